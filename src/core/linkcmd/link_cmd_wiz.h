#pragma once
// The linker command file builder's controls.
#include "base/controls.h"

namespace halyard {

struct LinkCmdControls {
    LinkCmdControls() {
        Include.setCaption("Include Linker options");
        ClearCLine.setCaption("Clear Command file options from Command Line");
    }
    // "BUILD" page.
    CheckBox Include, ClearCLine;
};

} // namespace halyard
