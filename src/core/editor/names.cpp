// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/names.h"

#include <algorithm>

namespace halyard {

bool IsNameChar(Syntax syntax, char16_t c) {
    if (c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
        return true;
    if (c >= 0x80) return c != 0xA0 && c != 0x2028 && c != 0x2029 && c != 0xFEFF; // no blanks or breaks
    return syntax == Syntax::Asm && (c == u'.' || c == u'$');
}

NameSpan NameBefore(Syntax syntax, std::u16string_view line, size_t column) {
    const size_t end = std::min(column, line.size());
    size_t from = end;
    while (from > 0 && IsNameChar(syntax, line[from - 1]))
        --from;
    return {from, end - from};
}

NameSpan NameAt(Syntax syntax, std::u16string_view line, size_t column) {
    const NameSpan before = NameBefore(syntax, line, column);
    size_t to = before.start + before.length;
    while (to < line.size() && IsNameChar(syntax, line[to]))
        ++to;
    return {before.start, to - before.start};
}

} // namespace halyard
