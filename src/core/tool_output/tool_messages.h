// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the tool chain prints, read back: the message lines of the compiler, the assembler and the
// linker ("main.c 12: error[E006]: text", "lnk.cmd 9: warning[W2]: text", "cl370: error[E010]:
// text" for a message of the tool itself) and their ">> " summary lines. One reader serves the Build
// panel, the headless build and the tests, so every view counts the same messages.
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

class DosDevices;

struct ToolMessage {
    enum Kind { Plain, Error, Warning, Summary };
    Kind kind = Plain;
    std::string file; // as printed: a name without folder, or the tool's name
    int line = 0;     // 0 when the message names no line
    std::string code; // "E006"; empty when the message carries none
    std::string text; // the message after its code
    bool diagnostic() const { return kind == Error || kind == Warning; }
};

ToolMessage ParseToolLine(std::string_view line);

// "2 errors, 1 warning".
std::string MessageCountText(int errors, int warnings);

// Where the file a message names lies, as a Windows path: the project's source entry of that name
// (letter case ignored), else the first of the folders that holds it; empty when none does.
std::string ResolveMessageFile(const DosDevices& dd, const std::string& name,
                               const std::vector<std::string>& sources,
                               const std::vector<std::string>& folders);

} // namespace halyard
