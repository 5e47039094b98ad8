// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Syntax colouring for the editor windows: one line scanner driven by a rule table per language.
// A line is coloured from the state the line before it ended in, so a view re-colours only the
// lines an edit touched (and the following ones while their starting state changes).
#include <cstdint>
#include <string_view>
#include <vector>

namespace halyard {

enum class Syntax { None, C, Asm, LinkCmd, Batch };

// The language of a file, by its extension: .c/.h, .asm/.s, .cmd, .bat (any letter case).
Syntax SyntaxForFile(std::string_view fileName);

enum class Token : std::uint8_t {
    Keyword,
    Type,
    Preprocessor,
    String,
    Char,
    Number,
    Comment,
    Directive, // assembler directives (".word")
    Mnemonic,  // assembler instructions and batch commands
    Label,
    Option,   // linker options ("-o")
    Variable, // batch variables ("%PATH%", "%1", "%%f")
};

struct TokenSpan {
    size_t start = 0, length = 0;
    Token kind = Token::Keyword;
    bool operator==(const TokenSpan&) const = default;
};

// What a line hands on to the next one: an open block comment, a continued preprocessor line, a
// string continued with a backslash. 0 at the start of the text.
using LineState = int;

// Appends the coloured spans of one line (in order, never overlapping) and returns the state the
// line ends in.
LineState HighlightLine(Syntax syntax, std::u16string_view line, LineState state,
                        std::vector<TokenSpan>& out);

} // namespace halyard
