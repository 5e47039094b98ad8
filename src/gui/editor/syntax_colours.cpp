// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/syntax_colours.h"

#include <QTextDocument>
#include <QTimer>

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
    if (doc != document()) {
        if (document()) disconnect(document(), nullptr, this, nullptr);
        // Before the highlighter's own connection, so each edit's colouring gets its own time.
        if (doc) connect(doc, &QTextDocument::contentsChange, this, &SyntaxColours::editStarted);
        setDocument(doc);
    }
    cut_ = QTextCursor();
    whole_ = true;
    rehighlight();
    whole_ = false;
}

void SyntaxColours::editStarted() {
    step_.start();
}

void SyntaxColours::goOn() {
    pending_ = false;
    if (cut_.isNull() || !document() || cut_.document() != document()) return;
    // The block keeps the state it was stopped at, and the colouring goes on from the next one.
    QTextBlock block = cut_.block();
    cut_ = QTextCursor();
    block.setUserState(cutState_);
    const QTextBlock next = block.next();
    if (!next.isValid()) return;
    step_.start();
    rehighlightBlock(next);
}

void SyntaxColours::highlightBlock(const QString& text) {
    spans_.clear();
    const LineState state = HighlightLine(
        syntax_, std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())),
        previousBlockState(), spans_);
    for (const TokenSpan& s : spans_)
        setFormat(int(s.start), int(s.length), formats_[static_cast<size_t>(s.kind)]);
    const LineState before = currentBlockState();
    // A later edit's colouring has reached the block where an earlier one stopped: it decides now.
    if (!cut_.isNull() && cut_.block() == currentBlock()) cut_ = QTextCursor();
    if (!whole_ && state != before && step_.isValid() && step_.elapsed() >= StepMs) {
        // Out of time: the old state stops Qt's walk here; goOn puts the true one back.
        cut_ = QTextCursor(currentBlock());
        cutState_ = state;
        setCurrentBlockState(before);
        if (!pending_) {
            pending_ = true;
            QTimer::singleShot(0, this, &SyntaxColours::goOn);
        }
        return;
    }
    setCurrentBlockState(state);
}

} // namespace halyard::gui
