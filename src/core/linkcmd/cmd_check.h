// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks a linker command file before the link: what the linker would refuse (syntax, ranges that
// overlap or leave the 64K address space, placements into ranges that no MEMORY line defines,
// alignments that are no power of two) as errors, and what is likely a mistake (code placed into a
// range without the X attribute, variables and stacks into one without W, input files that are not
// there yet) as warnings. The text is only
// read, never changed.
#include <string>
#include <vector>

#include "linkcmd/cmd_language.h"

namespace halyard {

class DosDevices;

namespace linkcmd {

// `label` names the file in the messages; input files named with a relative path are looked for in
// `baseDir` (a Windows path), the folder the linker runs in.
std::vector<Diagnostic> CheckCommandFile(const std::string& text, const std::string& label,
                                         const DosDevices& dd, const std::string& baseDir);

// "<file> <line>: error: text" or "... warning: text".
std::string FormatCheckMessage(const Diagnostic& d);

} // namespace linkcmd
} // namespace halyard
