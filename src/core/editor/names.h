// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The name at the caret, as Go to Definition, Find References, completion and Find in Files take
// it: one rule for all of them, by the language of the file.
#include <cstddef>
#include <string>
#include <string_view>

#include "editor/highlighter.h"

namespace halyard {

// Letters, digits and '_' make names everywhere; letters beyond ASCII count as letters. '.' and
// '$' belong to names only in assembler (".sect", "$C$L1"); in C "s.timer" is two names.
bool IsNameChar(Syntax syntax, char16_t c);

struct NameSpan {
    size_t start = 0, length = 0; // within the line
    bool empty() const { return length == 0; }
};

// The name the caret at `column` stands in or right after; empty when there is none.
NameSpan NameAt(Syntax syntax, std::u16string_view line, size_t column);
// The part of a name that stands before the caret: what completion completes.
NameSpan NameBefore(Syntax syntax, std::u16string_view line, size_t column);

} // namespace halyard
