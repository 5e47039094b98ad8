// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics.h"

#include <cctype>
#include <cstdio>
#include <ostream>

namespace halyard::sim370 {

std::string FormatDiagnostic(const Diagnostic& d) {
    char code[16];
    std::snprintf(code, sizeof code, "%c%03d", d.severity == Severity::Error ? 'E' : 'W', d.code);
    std::string out = BaseName(d.file);
    if (d.line > 0) out.append(" ").append(std::to_string(d.line));
    out += d.severity == Severity::Error ? ": error[" : ": warning[";
    return out + code + "]: " + d.text;
}

Diagnostics::Diagnostics(std::ostream* echo)
    : linkcmd::Diagnostics(
          echo ? Echo([echo](const Diagnostic& d) { *echo << FormatDiagnostic(d) << std::endl; }) : Echo()) {}

std::string BaseName(const std::string& path) {
    const auto cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string StemOf(const std::string& path) {
    std::string name = BaseName(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace halyard::sim370
