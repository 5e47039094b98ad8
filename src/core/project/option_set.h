#pragma once
// The option controls: they are the project's options. The project file is written from them and
// read back into them, and the switch texts are built from them.
#include "base/controls.h"

namespace halyard {

struct OptionSet {
    OptionSet();

    // "Compiler" page.
    CheckBox EL;
    // "General" page: processor, memory format and the general build choices.
    ComboBox ProcType;
    RadioGroup FormatBox;
    CheckBox SpecObjLoc, DisplayCommand, Lastproject, SendToFile, ShowOnEnd, ShowBatch;
};

} // namespace halyard
