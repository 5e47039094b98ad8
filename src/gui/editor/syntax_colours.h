// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Qt side of syntax colouring: hands each text block to the core's line scanner and paints the
// spans it returns. Colours follow the editor's palette, so they read on light and dark themes.
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
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
    Syntax syntax_ = Syntax::None;
    std::array<QTextCharFormat, 12> formats_;
    std::vector<TokenSpan> spans_;
};

} // namespace halyard::gui
