// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows hands a program one command-line text and the program splits it itself. The batch files
// and tool entries Halyard keeps are written for that, so on Linux the text is split here by the
// same rules before it becomes an argument vector.
#include <string>
#include <vector>

namespace halyard {

// Splits the arguments of a command line the way CommandLineToArgvW splits everything after the
// program name: blanks and tabs separate; "..." groups; 2n backslashes before a quote give n
// backslashes and a grouping quote, 2n+1 give n backslashes and a literal quote; other backslashes
// are literal; inside a group "" gives a literal quote and ends the group, and """ outside a group
// gives a literal quote.
std::vector<std::string> SplitWindowsCommandLine(const std::string& text);

// Splits batch arguments as %1..%9 see them: blanks, tabs, commas, semicolons and "=" separate,
// quoted parts keep their quotes.
std::vector<std::string> SplitBatchArguments(const std::string& text);

// What follows "'<name>" when a command names no program, batch file or command.
inline constexpr const char* NotRecognizedText =
    "' is not recognized as an internal or external command,\noperable program or batch file.";

} // namespace halyard
