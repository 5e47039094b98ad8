// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's document is held as UTF-16 code units, the unit the Qt view counts its positions in,
// so an offset names the same character in the model and on screen; a line break is one '\n'.
// Files are 8-bit text in the Windows code page (1252): every byte decodes to one character and
// encodes back to the same byte, so a load and a save never change bytes the user did not edit.
#include <string>
#include <string_view>

namespace halyard {

std::u16string DecodeAnsi(std::string_view bytes);
// Characters the code page cannot hold are written as '?', as the platform's own conversion does.
std::string EncodeAnsi(std::u16string_view text);
char16_t AnsiChar(unsigned char byte);
// A NUL byte anywhere: an object file, an executable or UTF-16 text, not code-page text.
bool LooksBinary(std::string_view bytes);

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Upper case of the code page's letters, one unit for one unit, so offsets survive the folding.
char16_t AnsiUpper(char16_t c);

} // namespace halyard
