// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/code_aids_view.h"

#include <QAbstractTextDocumentLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolTip>

namespace halyard::gui {

// A child of the edit in the margin it keeps left of its viewport, level with the viewport, so a
// block's place on screen is its place in the gutter.
class LineGutter : public QWidget {
public:
    LineGutter(CodeAidsView& aids, QWidget* parent) : QWidget(parent), aids_(aids) {
        setObjectName("LineGutter");
        setAutoFillBackground(false);
    }
    QSize sizeHint() const override { return {gutterWidth(), 0}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

    int gutterWidth() const {
        const QFontMetrics fm(aids_.editor()->font());
        int width = 4;
        if (aids_.showMarks()) width += fm.height();
        if (aids_.showNumbers()) {
            int digits = 2;
            for (int n = aids_.editor()->document()->blockCount(); n >= 100; n /= 10)
                ++digits;
            width += fm.horizontalAdvance(u'9') * digits + 6;
        }
        return width;
    }
    // The line shown at height y of the gutter; 0 for none.
    int lineAt(int y) const {
        int found = 0;
        visibleBlocks([&](const QTextBlock& b, int top, int height) {
            if (y >= top && y < top + height) found = b.blockNumber() + 1;
        });
        return found;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette pal = aids_.editor()->palette();
        const bool dark = pal.color(QPalette::Base).lightness() < 128;
        p.fillRect(rect(),
                   dark ? pal.color(QPalette::Base).lighter(115) : pal.color(QPalette::Base).darker(104));
        p.setFont(aids_.editor()->font());
        const QFontMetrics fm(aids_.editor()->font());
        const int current = aids_.editor()->textCursor().blockNumber();
        const int markSize = aids_.showMarks() ? fm.height() : 0;
        const QColor number = pal.color(QPalette::PlaceholderText);
        visibleBlocks([&](const QTextBlock& b, int top, int) {
            const int line = b.blockNumber() + 1;
            const int lineHeight = b.layout() && b.layout()->lineCount() > 0
                                       ? static_cast<int>(b.layout()->lineAt(0).height())
                                       : fm.height();
            if (aids_.showMarks()) {
                if (auto m = aids_.marks().find(line); m != aids_.marks().end()) {
                    const int d = markSize * 6 / 10;
                    const QRect dot(2 + (markSize - d) / 2, top + (lineHeight - d) / 2, d, d);
                    p.setRenderHint(QPainter::Antialiasing);
                    p.setPen(Qt::NoPen);
                    p.setBrush(m->second.error ? QColor(0xD0, 0x20, 0x20) : QColor(0xE0, 0x90, 0x00));
                    p.drawEllipse(dot);
                }
            }
            if (aids_.showNumbers()) {
                QFont f = aids_.editor()->font();
                f.setBold(b.blockNumber() == current);
                p.setFont(f);
                p.setPen(b.blockNumber() == current ? pal.color(QPalette::Text) : number);
                p.drawText(QRect(2 + markSize, top, width() - markSize - 8, lineHeight),
                           Qt::AlignRight | Qt::AlignVCenter, QString::number(line));
            }
        });
    }

    bool event(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const auto m = aids_.marks().find(lineAt(help->pos().y()));
            if (aids_.showMarks() && m != aids_.marks().end())
                QToolTip::showText(help->globalPos(), m->second.text, this);
            else
                QToolTip::hideText();
            return true;
        }
        return QWidget::event(event);
    }

private:
    // Calls f(block, top, height) for each block on screen, top in the gutter's coordinates.
    template <class F> void visibleBlocks(F f) const {
        CodeTextEdit* edit = aids_.editor();
        const int bottom = edit->viewport()->height();
        for (QTextBlock b = edit->firstVisible(); b.isValid(); b = b.next()) {
            if (!b.isVisible()) continue;
            const QRectF r = edit->blockRect(b);
            if (r.top() > bottom) break;
            if (r.bottom() >= 0) f(b, qRound(r.top()), qRound(r.height()));
        }
    }

    CodeAidsView& aids_;
};

CodeAidsView::CodeAidsView(CodeTextEdit* editor, EditorAids& settings,
                           std::function<const std::u16string*()> text)
    : QObject(editor), editor_(editor), settings_(settings), text_(std::move(text)),
      gutter_(new LineGutter(*this, editor)) {
    editor_->setGutter(gutter_);
    editor_->installEventFilter(this);
    // Scrolls and edits: the edit says which part of its viewport changed, in the gutter's
    // coordinates too.
    connect(editor_, &QPlainTextEdit::updateRequest, gutter_, [this](const QRect& r, int dy) {
        if (dy != 0)
            gutter_->scroll(0, dy);
        else
            gutter_->update(0, r.y(), gutter_->width(), r.height());
    });
    connect(editor_, &QPlainTextEdit::blockCountChanged, gutter_, [this] {
        fitGutter();
        if (!anchored_.empty()) placeMarks();
        gutter_->update();
    });
    connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        markCaret();
        gutter_->update();
    });
    QPointer<CodeAidsView> self(this);
    for (CheckBox* c : settings_.all())
        c->observe([self] {
            if (self) self->settingsChanged();
        });
    settingsChanged();
}

QWidget* CodeAidsView::gutter() const {
    return gutter_;
}

void CodeAidsView::setPlainText(bool on) {
    if (plain_ == on) return;
    plain_ = on;
    settingsChanged();
}

void CodeAidsView::setSyntax(Syntax syntax) {
    syntax_ = syntax;
    markCaret();
}

void CodeAidsView::setMarks(const std::vector<BuildOutput::LineMark>& marks) {
    std::map<int, Mark> byLine;
    for (const auto& m : marks) {
        Mark& mark = byLine[m.line];
        mark.error = mark.error || m.error;
        mark.text += (mark.text.isEmpty() ? "" : "\n") + QString::fromStdString(m.text);
    }
    anchored_.clear();
    QTextDocument* doc = editor_->document();
    for (auto& [line, mark] : byLine) {
        const QTextBlock block = doc->findBlockByNumber(line - 1);
        if (block.isValid()) anchored_.emplace_back(QTextCursor(block), std::move(mark));
    }
    placeMarks();
}

void CodeAidsView::placeMarks() {
    marks_.clear();
    for (const auto& [cursor, mark] : anchored_) {
        Mark& at = marks_[cursor.blockNumber() + 1];
        at.error = at.error || mark.error;
        at.text += (at.text.isEmpty() ? "" : "\n") + mark.text;
    }
    gutter_->update();
}

void CodeAidsView::settingsChanged() {
    fitGutter();
    gutter_->update();
    markCaret();
}

void CodeAidsView::fitGutter() {
    editor_->setGutterWidth(showNumbers() || showMarks() ? gutter_->gutterWidth() : 0);
}

void CodeAidsView::markCaret() {
    QList<QTextEdit::ExtraSelection> marks;
    const QTextCursor caret = editor_->textCursor();
    const bool dark = editor_->palette().color(QPalette::Base).lightness() < 128;
    if (plain_ && settings_.CurrentLine.checked()) {
        QTextEdit::ExtraSelection line;
        line.format.setBackground(dark ? QColor(0x30, 0x30, 0x38) : QColor(0xFF, 0xFA, 0xDC));
        line.format.setProperty(QTextFormat::FullWidthSelection, true);
        line.cursor = caret;
        line.cursor.clearSelection();
        marks << line;
    }
    const std::u16string* text = text_ ? text_() : nullptr;
    if (plain_ && settings_.MatchBrackets.checked() && text && !caret.hasSelection()) {
        QTextDocument* doc = editor_->document();
        const auto pair = MatchingBracket(*text, static_cast<size_t>(caret.position()), 20000, syntax_);
        // The model follows the edit; a pair it has not seen yet is left unmarked.
        auto same = [&](size_t at) {
            return at < text->size() && doc->characterAt(static_cast<int>(at)) == QChar((*text)[at]);
        };
        if (pair && same(pair->at) && same(pair->match)) {
            const bool mismatch = pair->at == pair->match;
            for (size_t at : {pair->at, pair->match}) {
                QTextEdit::ExtraSelection b;
                b.format.setBackground(mismatch
                                           ? (dark ? QColor(0x80, 0x20, 0x20) : QColor(0xFF, 0xB0, 0xB0))
                                           : (dark ? QColor(0x20, 0x60, 0x30) : QColor(0xB4, 0xE6, 0xB4)));
                b.cursor = QTextCursor(doc);
                b.cursor.setPosition(static_cast<int>(at));
                b.cursor.setPosition(static_cast<int>(at) + 1, QTextCursor::KeepAnchor);
                marks << b;
                if (mismatch) break;
            }
        }
    }
    editor_->setExtraSelections(marks);
}

bool CodeAidsView::keepIndent() {
    QTextCursor c = editor_->textCursor();
    if (!plain_ || !settings_.KeepIndent.checked() || editor_->isReadOnly() || c.hasSelection()) return false;
    const std::u16string indent = LeadingIndent(c.block().text().toStdU16String(), c.positionInBlock());
    if (indent.empty()) return false;
    c.insertText(QString(u'\n') + QString::fromStdU16String(indent));
    editor_->setTextCursor(c);
    editor_->ensureCursorVisible();
    return true;
}

bool CodeAidsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
                return keepIndent();
        } else if (event->type() == QEvent::FontChange) {
            fitGutter();
            gutter_->update();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace halyard::gui
