// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/highlighter.h"

using namespace halyard;

namespace {

char letter(Token t) {
    switch (t) {
    case Token::Keyword:
        return 'k';
    case Token::Type:
        return 't';
    case Token::Preprocessor:
        return 'p';
    case Token::String:
        return 's';
    case Token::Char:
        return 'h';
    case Token::Number:
        return 'n';
    case Token::Comment:
        return 'c';
    case Token::Directive:
        return 'd';
    case Token::Mnemonic:
        return 'm';
    case Token::Label:
        return 'l';
    case Token::Option:
        return 'o';
    case Token::Variable:
        return 'v';
    }
    return '?';
}

// Each line as its coloured pieces, "t[int] c[/* x]", the state carried from line to line.
std::vector<std::string> colour(Syntax syntax, const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    LineState state = 0;
    for (const std::string& line : lines) {
        const std::u16string text(line.begin(), line.end());
        std::vector<TokenSpan> spans;
        state = HighlightLine(syntax, text, state, spans);
        std::string shown;
        size_t end = 0;
        for (const TokenSpan& s : spans) {
            EXPECT_GE(s.start, end) << "spans overlap or go backwards in: " << line;
            end = s.start + s.length;
            EXPECT_LE(end, line.size()) << line;
            if (!shown.empty()) shown += ' ';
            shown += letter(s.kind) + ("[" + line.substr(s.start, s.length) + "]");
        }
        out.push_back(shown);
    }
    return out;
}

struct Case {
    const char* name;
    Syntax syntax;
    std::vector<std::string> lines, expected;
};

class Colouring : public ::testing::TestWithParam<Case> {};

TEST_P(Colouring, ColoursEachLineFromTheStateTheLineBeforeEnded) {
    EXPECT_EQ(colour(GetParam().syntax, GetParam().lines), GetParam().expected);
}

const Case cases[] = {
    {"CommentClosedThreeLinesLater",
     Syntax::C,
     {"int a; /* opened", "  \"not a string", "  still", "closed */ return 0x1Fu; // rest"},
     {"t[int] c[/* opened]", "c[  \"not a string]", "c[  still]",
      "c[closed */] k[return] n[0x1Fu] c[// rest]"}},
    {"StringWithEscapedQuotes",
     Syntax::C,
     {R"(char *s = "say \"hi\" /* no */"; char c = '\''; float f = 1.5e-3;)"},
     {R"(t[char] s["say \"hi\" /* no */"] t[char] h['\''] t[float] n[1.5e-3])"}},
    {"StringContinuedWithBackslash",
     Syntax::C,
     {R"(s = "one \)", R"(two"; if)"},
     {R"(s["one \])", R"(s[two"] k[if])"}},
    {"PreprocessorContinuedWithBackslash",
     Syntax::C,
     {"  #define MAX(a, b) \\", "    ((a) > (b) ? (a) : (b)) /* big */", "unsigned x; #define"},
     {"p[  #define MAX(a, b) \\]", "p[    ((a) > (b) ? (a) : (b)) ] c[/* big */]", "t[unsigned]"}},
    {"PreprocessorLineWithCommentAcrossLines",
     Syntax::C,
     {"#include \"demo.h\" /* a", "b */ int", "int"},
     {"p[#include ] s[\"demo.h\"] p[ ] c[/* a]", "c[b */] p[ int]", "t[int]"}},
    {"KeywordsAreWholeWordsAndCaseSensitive", Syntax::C, {"iffy = If + for_x + while;"}, {"k[while]"}},
    {"AssemblerLabelsMnemonicsDirectivesAndSuffixedNumbers",
     Syntax::Asm,
     {"loop:   mov  #0FFh, A   ; say \"x\"", "* a whole line", "        .word   1010b, 7FECh, FFh",
      "_isr    RTI", "        .string \"a\"\"b\", 'c'"},
     {"l[loop:] m[mov] n[0FFh] c[; say \"x\"]", "c[* a whole line]", "d[.word] n[1010b] n[7FECh]",
      "l[_isr] m[RTI]", "d[.string] s[\"a\"\"b\"] h['c']"}},
    {"LinkerCommandFile",
     Syntax::LinkCmd,
     {"-o demo.out -m demo.map", "/* libraries", "   and more */ -l rts.lib", "MEMORY {",
      "  ROM (RX) : origin = 2000h, Length = 0x5FEC", "} sections"},
     {"o[-o] o[-m]", "c[/* libraries]", "c[   and more */] o[-l]", "k[MEMORY]",
      "k[origin] n[2000h] k[Length] n[0x5FEC]", "k[sections]"}},
    {"BatchFile",
     Syntax::Batch,
     {"@echo off", "REM set is not a command here", "  :: nor here", ":build", "set PATH=%PATH%;C:\\tools",
      "cl370 %1 %%f %~dp0 100% done", "if errorlevel 1 echo failed %ERR% call", "remark x"},
     {"m[echo]", "c[REM set is not a command here]", "c[:: nor here]", "l[:build]", "m[set] v[%PATH%]",
      "v[%1] v[%%f] v[%~dp0] n[100]", "m[if] m[errorlevel] n[1] m[echo] v[%ERR%]", ""}},
    {"PlainTextIsNotColoured", Syntax::None, {"int a; /* x"}, {""}},
};

INSTANTIATE_TEST_SUITE_P(Languages, Colouring, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SyntaxForFile, ChoosesTheLanguageByExtensionInAnyCase) {
    const std::pair<const char*, Syntax> table[] = {
        {"C:\\texassource\\main.c", Syntax::C},
        {"DEMO.H", Syntax::C},
        {"intvecs.ASM", Syntax::Asm},
        {"boot.s", Syntax::Asm},
        {"C:\\TexasSource\\lnk.cmd ", Syntax::LinkCmd},
        {"C:\\texassource\\ide.bat", Syntax::Batch},
        {"C:\\Outputfile.txt", Syntax::None},
        {"C:\\dir.c\\readme", Syntax::None},
        {"Makefile", Syntax::None},
        {"", Syntax::None},
    };
    for (auto [name, syntax] : table)
        EXPECT_EQ(SyntaxForFile(name), syntax) << name;
}

} // namespace
