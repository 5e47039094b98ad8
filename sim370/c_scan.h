// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns a preprocessed C module into the object the stand-in compiler writes. The section sizes
// are not real code sizes; they only need to grow with the source, the same way every time, so that
// placement in the linker behaves like it does with real modules:
//   .text  per function: 6 + 3 per statement + 4 per call + 2 per branch keyword
//   .bss   every file-level variable that is not const (TI's C model keeps initialised variables
//          in .bss and their start values in .cinit)
//   .cinit size + 4 per initialised variable
//   .const const initialised variables and string literals
//   .data  stays empty for C, as with the real compiler
#include <string>
#include <vector>

#include "object_file.h"

namespace halyard::sim370 {

struct ScannedFunction {
    std::string name;
    int line = 0;
    std::int64_t offset = 0, size = 0;
};

struct ScanResult {
    ObjectModule module;
    std::vector<ScannedFunction> functions; // for the assembly listings
};

// text is the output of the preprocessor with its "# line" markers; source names the module.
ScanResult ScanC(const std::string& text, const std::string& source);

} // namespace halyard::sim370
