// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every message of the stand-in tools has one fixed form that the IDE's editor navigates:
// "<file> <line>: error[E<nnn>]: <text>" (or warning[W<nnn>]), the file name without its folder.
// Messages that belong to no file use the tool's name in place of the file and carry no line.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "linkcmd/cmd_language.h"

namespace halyard::sim370 {

using linkcmd::Diagnostic;
using linkcmd::Hex;
using linkcmd::ParseNumber;
using linkcmd::Severity;

std::string FormatDiagnostic(const Diagnostic& d);

// The messages of one tool run, each echoed in the tools' form as it arrives.
class Diagnostics : public linkcmd::Diagnostics {
public:
    explicit Diagnostics(std::ostream* echo = nullptr);
};

// The text after the last "\", "/" or ":".
std::string BaseName(const std::string& path);
// The name without its last extension ("main.c" -> "main").
std::string StemOf(const std::string& path);

} // namespace halyard::sim370
