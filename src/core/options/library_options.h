// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run-time library builder's controls. All but `Verbose` and the "Model" page's placement
// boxes outlive a project (kept in the settings).
#include "base/controls.h"

namespace halyard {

struct LibraryOptions {
    LibraryOptions();
    Edit Source, Lib;
    CheckBox Verbose, NoHeaders, UseSource, ExtractSource, Overwrite, SuppressHeaders, Debug, C8, KandR,
        SuppressWarns, Trigraph, SmallMem;
    // The "Model" page's other boxes: shown, but no switch of mk370 follows them.
    CheckBox Asumealias, CheckBox2, CheckBox3, CheckBox4, CheckBox5;
};

} // namespace halyard
