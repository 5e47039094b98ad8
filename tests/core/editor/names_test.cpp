// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "editor/names.h"

using namespace halyard;

namespace {
std::u16string at(Syntax syntax, std::u16string_view line, size_t column, bool before = false) {
    const NameSpan n = before ? NameBefore(syntax, line, column) : NameAt(syntax, line, column);
    return std::u16string(line.substr(n.start, n.length));
}
} // namespace

// A member after '.' is a name of its own in C, as after "->"; in assembler '.' and '$' are parts
// of names.
TEST(Names, TheNameAtTheCaretFollowsTheLanguage) {
    EXPECT_EQ(at(Syntax::C, u"if (s.timer_elapsed)", 9), u"timer_elapsed");
    EXPECT_EQ(at(Syntax::C, u"if (s->timer_elapsed)", 10), u"timer_elapsed");
    EXPECT_EQ(at(Syntax::C, u"if (s.timer_elapsed)", 5), u"s"); // right after the name
    EXPECT_EQ(at(Syntax::C, u"x = caf\u00e9 + 1;", 5), u"caf\u00e9");
    EXPECT_EQ(at(Syntax::C, u"a + b", 2), u"");
    EXPECT_EQ(at(Syntax::Asm, u" .sect \".text\"", 3), u".sect");
    EXPECT_EQ(at(Syntax::Asm, u" br $C$L1", 6), u"$C$L1");
    EXPECT_EQ(at(Syntax::C, u"s.tim", 5, true), u"tim");
    EXPECT_EQ(at(Syntax::Asm, u" .se", 4, true), u".se");
    EXPECT_EQ(at(Syntax::C, u"timer_elapsed", 3, true), u"tim");
}
