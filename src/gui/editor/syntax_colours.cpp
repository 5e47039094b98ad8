// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/syntax_colours.h"

#include <QTextDocument>

namespace halyard::gui {

QColor SyntaxColours::colour(Token kind, bool darkBase) {
    struct Pair {
        QRgb light, dark;
    };
    // Indexed by Token; light ones for a light base, dark ones for a dark base.
    static constexpr Pair table[] = {
        {0x0033b3, 0x7aa2f7}, // Keyword
        {0x00707a, 0x4fd6be}, // Type
        {0x8a5a00, 0xe0af68}, // Preprocessor
        {0x067d17, 0x9ece6a}, // String
        {0x067d17, 0x9ece6a}, // Char
        {0x9c27b0, 0xd49bff}, // Number
        {0x5f6b76, 0x9aa5b1}, // Comment
        {0x8a5a00, 0xe0af68}, // Directive
        {0x0033b3, 0x7aa2f7}, // Mnemonic
        {0xa0306e, 0xf7768e}, // Label
        {0x00707a, 0x4fd6be}, // Option
        {0x9c27b0, 0xd49bff}, // Variable
    };
    const Pair& p = table[static_cast<size_t>(kind)];
    return QColor::fromRgb(darkBase ? p.dark : p.light);
}

void SyntaxColours::attach(QTextDocument* doc, Syntax syntax, bool darkBase) {
    for (size_t i = 0; i < formats_.size(); ++i)
        formats_[i].setForeground(colour(static_cast<Token>(i), darkBase));
    if (syntax == Syntax::None) doc = nullptr;
    if (doc == document() && syntax == syntax_) return;
    syntax_ = syntax;
    // The whole text is coloured now rather than later from the event loop; after that only the
    // blocks an edit touches are.
    if (doc != document()) setDocument(doc);
    rehighlight();
}

void SyntaxColours::highlightBlock(const QString& text) {
    spans_.clear();
    const LineState state = HighlightLine(
        syntax_, std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())),
        previousBlockState(), spans_);
    for (const TokenSpan& s : spans_)
        setFormat(int(s.start), int(s.length), formats_[static_cast<size_t>(s.kind)]);
    setCurrentBlockState(state);
}

} // namespace halyard::gui
