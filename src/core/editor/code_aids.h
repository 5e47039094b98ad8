// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the editor windows show around the text to help find one's way in it: line numbers, the
// current line, the bracket that matches the one at the caret, the indentation Enter keeps and
// the lines the last build reported. Each is switched in Options › Setup and is on by default.
// The helpers look only near the caret, so typing in a long file costs the same as in a short one.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/controls.h"
#include "editor/highlighter.h"

namespace halyard {

struct EditorAids {
    EditorAids() {
        for (CheckBox* c : all())
            c->setChecked(c != &CompleteWhileTyping);
        LineNumbers.setCaption("Show line numbers");
        CurrentLine.setCaption("Mark the current line");
        MatchBrackets.setCaption("Mark the matching bracket");
        KeepIndent.setCaption("Keep the indentation on Enter");
        MessageMarks.setCaption("Mark the lines the last build reported");
        CompleteWhileTyping.setCaption("Offer names after three typed characters");
    }
    CheckBox LineNumbers, CurrentLine, MatchBrackets, KeepIndent, MessageMarks;
    // Off by default: a list that opens by itself is not to everyone's taste. Ctrl+Space always works.
    CheckBox CompleteWhileTyping;
    std::array<CheckBox*, 6> all() {
        return {&LineNumbers, &CurrentLine, &MatchBrackets, &KeepIndent, &MessageMarks, &CompleteWhileTyping};
    }
};

struct BracketPair {
    size_t at = 0;    // the bracket next to the caret
    size_t match = 0; // its partner
};

// The bracket just after the caret, else the one just before it, with its partner: the nearest
// one of the other kind at the same depth within `reach` characters. nullopt when there is no
// bracket at the caret or no partner within reach; `match` equals `at` when the partner is of the
// wrong kind ("(]"), which the view marks as a mismatch.
// Brackets inside comments, strings and character constants of `syntax` are not counted; a caret
// at such a bracket has none. The lines within reach are read from a state of their own (outside
// any comment), which holds unless a block comment starts more than `reach` characters before.
std::optional<BracketPair> MatchingBracket(std::u16string_view text, size_t caret, size_t reach = 20000,
                                           Syntax syntax = Syntax::None);

// The blanks and tabs that start `line`, at most up to `column`: what a new line after a break at
// `column` starts with.
std::u16string LeadingIndent(std::u16string_view line, size_t column);

} // namespace halyard
