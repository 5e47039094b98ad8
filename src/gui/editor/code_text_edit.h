// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor window's text edit: a plain-text edit that keeps a margin at the left of its viewport
// for the gutter, a child of the edit placed in that margin (the way Qt's Code Editor example lays
// out its line-number area), and that tells where its blocks lie on screen.
#include <QPlainTextEdit>
#include <QRectF>
#include <QTextBlock>

namespace halyard::gui {

class CodeTextEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    // The gutter, a child of this edit; a width of 0 hides it.
    void setGutter(QWidget* gutter) {
        gutter_ = gutter;
        placeGutter();
    }
    void setGutterWidth(int width) {
        if (width != width_) {
            width_ = width;
            setViewportMargins(width, 0, 0, 0);
        }
        placeGutter();
    }
    // The first block on screen, and where a block lies in the viewport's coordinates.
    QTextBlock firstVisible() const { return firstVisibleBlock(); }
    QRectF blockRect(const QTextBlock& block) const {
        return blockBoundingGeometry(block).translated(contentOffset());
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QPlainTextEdit::resizeEvent(event);
        placeGutter();
    }

private:
    void placeGutter() {
        if (!gutter_) return;
        const QRect r = contentsRect();
        gutter_->setGeometry(r.left(), r.top(), width_, r.height());
        gutter_->setVisible(width_ > 0);
    }
    QWidget* gutter_ = nullptr;
    int width_ = 0;
};

} // namespace halyard::gui
