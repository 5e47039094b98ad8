// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// cl370 without a host C compiler, as on Windows or under Wine: a real tool chain carries its own
// preprocessor, and so does the stand-in. This one knows #include, #define (object-like macros are
// expanded, a function-like macro's name is dropped so its use is no call), #undef and the
// conditionals; its check finds brackets that do not match, which is what a syntax error mostly
// leaves behind. Nothing else of C is checked.
#include <filesystem>
#include <string>
#include <vector>

#include "diagnostics.h"

namespace halyard::sim370 {

// Preprocesses source into text with "# <line> "<file>"" markers, as the host compiler's -E
// writes it; defines are "NAME" or "NAME=value". False when an error was reported.
bool OwnPreprocess(const std::filesystem::path& source, const std::string& shownName,
                   const std::vector<std::filesystem::path>& includes,
                   const std::vector<std::string>& defines, Diagnostics& diags, std::string& out);

} // namespace halyard::sim370
