#pragma once
// The run-time library builder's choices that outlive a project (kept in the settings).
#include "base/controls.h"

namespace halyard {

struct LibraryOptions {
    LibraryOptions();
    Edit Source, Lib;
    CheckBox NoHeaders, UseSource, ExtractSource, Overwrite, SuppressHeaders, Debug, C8, KandR, SuppressWarns,
        Trigraph, SmallMem;
};

} // namespace halyard
