#pragma once
// The linker command file builder's controls.
#include "base/controls.h"

namespace halyard {

struct LinkCmdControls {
    LinkCmdControls() {
        Include.setCaption("Include Linker options");
        ClearCLine.setCaption("Clear Command file options from Command Line");
        InsertBtn.setCaption("Insert");
        ReplaceBtn.setCaption("Replace");
    }
    // "SEC TIONS" page: the buttons that put the parameter line into the section list.
    MenuItem InsertBtn, ReplaceBtn;
    // "BUILD" page.
    CheckBox Include, ClearCLine;
};

} // namespace halyard
