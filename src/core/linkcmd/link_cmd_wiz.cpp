// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkcmd/link_cmd_wiz.h"

namespace halyard {

LinkCmdControls::LinkCmdControls() {
    CheckBox6.setCaption("Include paths in  Command File");
    NameBox.setText("RAM");
    Origin.setText("0000");
    MemLength.setText("0000");
    FillBox.setText("0000000");
    for (auto [box, letter] : {std::pair{&R, "R"}, {&W, "W"}, {&X, "X"}, {&I, "I"}})
        box->setCaption(letter);

    SectionNames.setItems({"bss", "cinit", "const", "data", "hstack", "intvecs", "text", "UNION"});
    SectionType.setItems({"NONE", "COPY", "DSECT", "NOLOAD"});
    SectionType.setItemIndex(0);
    SectionFill.setText("00000000");
    addBtn.setCaption("Add");
    InsertBtn.setCaption("Insert");
    ReplaceBtn.setCaption("Replace");

    CreateIPSec.setCaption("Create I/P Section");
    SelectFiles.setCaption("Select Files");
    for (MenuItem* b : {&SelectFiles, &AbortIpsection, &AddIPSection})
        b->setEnabled(false);

    Include.setCaption("Include Linker options");
    ClearCLine.setCaption("Clear Command file options from Command Line");
    // Follows Include from the start; loading the settings checks Include through its handler.
    ClearCLine.setEnabled(false);
    SaveOptions.setCaption("Save Options");
    SaveOptions.items = {"Save Only", "Save and set as user defined command file",
                         "Save, Set as User defined command file and Use in current Project "};
}

} // namespace halyard
