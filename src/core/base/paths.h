// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for the Windows path texts that Halyard shows, stores and generates.
#include <string>
#include <string_view>

namespace halyard {

// Every helper here splits at "\" and "/" alike, as the drive mapping does.
bool IsPathSeparator(char c);
// text + "\" unless it already ends in a separator ("" -> "\").
std::string AddTrailingBackslash(const std::string& text);
// text without one final separator.
std::string RemoveTrailingBackslash(const std::string& text);
// The folder part: the text before the last separator or ":", keeping the separator of a root ("C:\").
std::string ExtractFileDir(const std::string& path);
// The file-name part: the text after the last separator or ":".
std::string ExtractFileName(const std::string& path);
// Whether a file name names a file of its own folder: not empty, no separator, not "." or "..".
bool IsPlainFileName(const std::string& name);
// The text without trailing blanks (stored names such as "C:\TexasSource\lnk.cmd " carry one).
std::string TrimRight(const std::string& text);
// The text without leading and trailing white space, as a tool's output lines are read.
std::string_view TrimSpace(std::string_view text);
// ASCII case-insensitive comparison, as the file system and the tool lists compare names.
bool SameText(const std::string& a, const std::string& b);
int CompareText(const std::string& a, const std::string& b);
// Two path texts that name the same place: case ignored, "\" and "/" alike.
bool SamePath(const std::string& a, const std::string& b);
std::string LowerCase(std::string text);
std::string UpperCase(std::string text);

} // namespace halyard
