// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/code_aids.h"

#include <algorithm>
#include <vector>

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

// Which characters of [begin, end) are code: not in a comment, string or character constant.
std::vector<bool> codeMap(std::u16string_view text, size_t begin, size_t end, Syntax syntax) {
    std::vector<bool> code(end - begin, true);
    if (syntax == Syntax::None) return code;
    std::vector<TokenSpan> spans;
    LineState state = 0;
    for (size_t start = begin; start < end;) {
        size_t stop = text.find(u'\n', start);
        if (stop == std::u16string_view::npos || stop > end) stop = end;
        spans.clear();
        state = HighlightLine(syntax, text.substr(start, stop - start), state, spans);
        for (const TokenSpan& t : spans)
            if (t.kind == Token::Comment || t.kind == Token::String || t.kind == Token::Char)
                std::fill_n(code.begin() + static_cast<std::ptrdiff_t>(start - begin + t.start), t.length,
                            false);
        start = stop + 1;
    }
    return code;
}

// The partner of the bracket at `at` within [begin, end); `code` starts at `mapped`.
std::optional<size_t> partner(std::u16string_view text, size_t at, size_t begin, size_t end, size_t mapped,
                              const std::vector<bool>& code) {
    const char16_t c = text[at];
    const auto counts = [&](size_t i) { return code[i - mapped] && partnerOf(text[i]); };
    int depth = 0;
    if (opens(c)) {
        for (size_t i = at + 1; i < end; ++i) {
            if (!counts(i)) continue;
            if (opens(text[i]))
                ++depth;
            else if (depth-- == 0)
                return i;
        }
    } else {
        for (size_t i = at; i-- > begin;) {
            if (!counts(i)) continue;
            if (!opens(text[i]))
                ++depth;
            else if (depth-- == 0)
                return i;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<BracketPair> MatchingBracket(std::u16string_view text, size_t caret, size_t reach,
                                           Syntax syntax) {
    caret = std::min(caret, text.size());
    size_t at;
    if (caret < text.size() && partnerOf(text[caret]))
        at = caret;
    else if (caret > 0 && partnerOf(text[caret - 1]))
        at = caret - 1;
    else
        return std::nullopt;
    const size_t from = at > reach ? at - reach : 0, end = std::min(text.size(), at + 1 + reach);
    // The lines are read whole, each from its start.
    size_t begin = from;
    if (begin > 0) {
        const size_t lineEnd = text.rfind(u'\n', begin - 1);
        begin = lineEnd == std::u16string_view::npos ? 0 : lineEnd + 1;
    }
    const std::vector<bool> code = codeMap(text, begin, end, syntax);
    if (!code[at - begin]) return std::nullopt;
    const auto found = partner(text, at, from, end, begin, code);
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
