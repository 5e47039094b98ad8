// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Qt side of syntax colouring: hands each text block to the core's line scanner and paints the
// spans it returns. Colours follow the editor's palette, so they read on light and dark themes.
#include <QElapsedTimer>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTextCursor>
#include <array>
#include <vector>

#include "editor/highlighter.h"

namespace halyard::gui {

class SyntaxColours : public QSyntaxHighlighter {
public:
    explicit SyntaxColours(QObject* parent) : QSyntaxHighlighter(parent) {}
    Syntax syntax() const { return syntax_; }
    // Takes `document` for `syntax` (none: lets it go); recolours only when something changed.
    void attach(QTextDocument* document, Syntax syntax, bool darkBase);
    static QColor colour(Token kind, bool darkBase);

protected:
    void highlightBlock(const QString& text) override;

private:
    // An edit that changes how every following line starts ("/*" at the top) recolours for a few
    // milliseconds at once, which covers the lines on screen, and the rest in steps from the event
    // loop, so typing is answered meanwhile.
    static constexpr int StepMs = 8;
    void editStarted();
    void goOn();

    Syntax syntax_ = Syntax::None;
    QElapsedTimer step_;
    bool whole_ = false; // colouring the whole text: nothing is put off
    QTextCursor cut_;    // at the block whose end state the colouring stopped at; follows edits
    LineState cutState_ = 0;
    bool pending_ = false;
    std::array<QTextCharFormat, 12> formats_;
    std::vector<TokenSpan> spans_;
};

} // namespace halyard::gui
