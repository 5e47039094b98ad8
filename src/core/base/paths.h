#pragma once
// Helpers for the Windows path texts that Halyard shows, stores and generates.
#include <string>

namespace halyard {

// text + "\" unless it already ends in "\" ("" -> "\").
std::string AddTrailingBackslash(const std::string& text);
// text without one final "\".
std::string RemoveTrailingBackslash(const std::string& text);
// The folder part: the text before the last "\" or ":", keeping the backslash of a root ("C:\").
std::string ExtractFileDir(const std::string& path);
// The file-name part: the text after the last "\" or ":".
std::string ExtractFileName(const std::string& path);
// The text without trailing blanks (stored names such as "C:\TexasSource\lnk.cmd " carry one).
std::string TrimRight(const std::string& text);
// ASCII case-insensitive comparison, as the file system and the tool lists compare names.
bool SameText(const std::string& a, const std::string& b);
int CompareText(const std::string& a, const std::string& b);
std::string LowerCase(std::string text);
std::string UpperCase(std::string text);

} // namespace halyard
