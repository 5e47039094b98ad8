// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/code_aids.h"

#include <algorithm>

namespace halyard {

namespace {

// Each bracket beside its partner: an opening one at an even place.
constexpr std::u16string_view Brackets = u"()[]{}";

char16_t partnerOf(char16_t c) {
    const size_t at = Brackets.find(c);
    return at == std::u16string_view::npos ? 0 : Brackets[at ^ 1];
}

bool opens(char16_t c) {
    const size_t at = Brackets.find(c);
    return at != std::u16string_view::npos && at % 2 == 0;
}

std::optional<size_t> partner(std::u16string_view text, size_t at, size_t reach) {
    const char16_t c = text[at];
    int depth = 0;
    if (opens(c)) {
        const size_t end = std::min(text.size(), at + 1 + reach);
        for (size_t i = at + 1; i < end; ++i) {
            if (opens(text[i]))
                ++depth;
            else if (partnerOf(text[i]) && depth-- == 0)
                return i;
        }
    } else {
        const size_t begin = at > reach ? at - reach : 0;
        for (size_t i = at; i-- > begin;) {
            if (partnerOf(text[i]) && !opens(text[i]))
                ++depth;
            else if (opens(text[i]) && depth-- == 0)
                return i;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<BracketPair> MatchingBracket(std::u16string_view text, size_t caret, size_t reach) {
    caret = std::min(caret, text.size());
    size_t at;
    if (caret < text.size() && partnerOf(text[caret]))
        at = caret;
    else if (caret > 0 && partnerOf(text[caret - 1]))
        at = caret - 1;
    else
        return std::nullopt;
    const auto found = partner(text, at, reach);
    if (!found) return std::nullopt;
    // A partner of the wrong kind closes the nesting all the same: shown as a mismatch.
    if (text[*found] != partnerOf(text[at])) return BracketPair{at, at};
    return BracketPair{at, *found};
}

std::u16string LeadingIndent(std::u16string_view line, size_t column) {
    const size_t limit = std::min(column, line.size());
    size_t n = 0;
    while (n < limit && (line[n] == u' ' || line[n] == u'\t'))
        ++n;
    return std::u16string(line.substr(0, n));
}

} // namespace halyard
