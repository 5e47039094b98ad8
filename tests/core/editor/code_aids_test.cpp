// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "editor/code_aids.h"

using namespace halyard;

TEST(CodeAids, TheBracketAtTheCaretFindsItsPartnerAcrossNestingInBothDirections) {
    const std::u16string text = u"f(a[1], {b(c)}) x";
    // After the caret first, then before it.
    auto p = MatchingBracket(text, 1);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at, 1u);
    EXPECT_EQ(p->match, 14u);
    p = MatchingBracket(text, 15); // just after the closing one
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at, 14u);
    EXPECT_EQ(p->match, 1u);
    p = MatchingBracket(text, 8);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->match, 13u);
    EXPECT_FALSE(MatchingBracket(text, 16));
    EXPECT_FALSE(MatchingBracket(text, 99)); // a caret past the end is the end
}

TEST(CodeAids, AWrongPartnerIsAMismatchAndNothingIsLookedForBeyondTheReach) {
    auto p = MatchingBracket(u"(a]", 0);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->at, p->match);
    EXPECT_FALSE(MatchingBracket(u"(abc", 0));
    const std::u16string far = u"(" + std::u16string(100, u'x') + u")";
    EXPECT_FALSE(MatchingBracket(far, 0, 50));
    EXPECT_TRUE(MatchingBracket(far, 0, 200));
    EXPECT_FALSE(MatchingBracket(far, far.size(), 50));
}

TEST(CodeAids, EnterKeepsTheBlanksAndTabsBeforeTheCaretOnly) {
    EXPECT_EQ(LeadingIndent(u"\t  x = 1;", 9), u"\t  ");
    EXPECT_EQ(LeadingIndent(u"    x", 2), u"  "); // a break inside the indentation
    EXPECT_EQ(LeadingIndent(u"x", 1), u"");
    EXPECT_EQ(LeadingIndent(u"  ", 10), u"  ");
}

// Brackets in comments, strings and character constants are no code: they neither match nor count.
TEST(CodeAids, BracketsInCommentsAndStringsAreNotCounted) {
    const std::u16string c = u"f(a, \")\", ')', /* ) */ b // )\n)";
    auto p = MatchingBracket(c, 1, 20000, Syntax::C);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->match, c.size() - 1);
    EXPECT_FALSE(MatchingBracket(c, c.find(u"/* )") + 3, 20000, Syntax::C)); // at a bracket in a comment
    const std::u16string asm370 = u" .string \"(\" ; (\n mov (a), b";
    p = MatchingBracket(asm370, asm370.find(u"(a"), 20000, Syntax::Asm);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->match, asm370.find(u"),"));
}
