// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor window's aids around its text edit: the gutter with line numbers and the marks of
// the last build's messages, the current line and the matching bracket as extra selections, and
// Enter that keeps the line's indentation. Everything here looks only at what is on screen or
// next to the caret, so a keystroke costs the same at the end of a long file as in a short one.
#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QTextCursor>

#include "editor/code_aids.h"
#include "editor/code_text_edit.h"
#include "editor/highlighter.h"
#include "tool_output/build_output.h"

namespace halyard::gui {

class LineGutter;

class CodeAidsView : public QObject {
    Q_OBJECT
public:
    // `text` gives the model's text (nullptr once it is gone); the gutter is made inside the edit.
    CodeAidsView(CodeTextEdit* editor, EditorAids& settings, std::function<const std::u16string*()> text);
    QWidget* gutter() const;
    // Off for a Rich Text Format document: it keeps its own look.
    void setPlainText(bool on);
    // The language whose comments and strings bracket matching passes over.
    void setSyntax(Syntax syntax);
    void setMarks(const std::vector<BuildOutput::LineMark>& marks);

    struct Mark {
        bool error = false;
        QString text;
    };
    // By 1-based line, where the marked lines are now: the marks move with the text, as lines are
    // added or taken out above them.
    const std::map<int, Mark>& marks() const { return marks_; }
    CodeTextEdit* editor() const { return editor_; }
    bool showNumbers() const { return plain_ && settings_.LineNumbers.checked(); }
    bool showMarks() const { return plain_ && settings_.MessageMarks.checked(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void settingsChanged();
    void markCaret();
    bool keepIndent();
    void placeMarks();
    void fitGutter();

    CodeTextEdit* editor_;
    EditorAids& settings_;
    std::function<const std::u16string*()> text_;
    LineGutter* gutter_;
    std::map<int, Mark> marks_;
    // Each mark held by a cursor at the start of its line, which the document moves with edits.
    std::vector<std::pair<QTextCursor, Mark>> anchored_;
    Syntax syntax_ = Syntax::None;
    bool plain_ = true;
};

} // namespace halyard::gui
