#include "project/option_set.h"

namespace halyard {

OptionSet::OptionSet() {
    EL.setCaption("Enable Linker");
    ProcType.setItems({"TMS370", "TMS370C8"});
    ProcType.setItemIndex(0);
    FormatBox.setCaption("Memory Format");
    FormatBox.items = {"Small", "Large"};
    FormatBox.setItemIndex(0);
    SpecObjLoc.setCaption("Put OBJ files in Compiler Folder");
    DisplayCommand.setCaption("Display Command Line");
    Lastproject.setCaption("Re Load Last Active project");
    SendToFile.setCaption("Send Output to File");
    ShowOnEnd.setCaption("Show O/P file on Compiler finish");
    ShowBatch.setCaption("Show Batch Execution");
}

} // namespace halyard
