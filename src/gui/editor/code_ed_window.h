// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CodeEdWindow: the Qt view of one TCodeEd, shown as an MDI child of the main window. It mirrors the
// model's document in a plain-text edit, reports the user's edits and selection moves back, and owns
// the window's File, Edit and Search menus that the main window merges while it is active.
#include <QCoreApplication>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <functional>
#include <vector>

#include "editor/code_ed.h"
#include "editor/code_text_edit.h"
#include "editor/highlighter.h"

class QFileSystemWatcher;
class QLabel;
class QStatusBar;
class QMenu;
class QMdiSubWindow;
class QPlainTextEdit;

namespace halyard {
class TEmbedded;
}

namespace halyard::gui {

class CodeAidsView;
class FindReplaceDialog;
class SyntaxColours;

class CodeEdWindow : public QWidget {
    Q_OBJECT
public:
    CodeEdWindow(TEmbedded& e, TCodeEd& model, QWidget* parent = nullptr);
    // A new window's client area: the edit and the status bar below it.
    static QSize initialClientSize() { return {492, 250}; }

    // nullptr once the model has closed.
    TCodeEd* model() const { return model_; }
    QPlainTextEdit* CodeEditor() const { return editor_; }
    QLabel* statusPanel(int i) const { return panels_.at(static_cast<size_t>(i)); }
    // File, Edit and Search, in the order they are merged.
    const std::vector<QMenu*>& menus() const { return menus_; }
    CodeAidsView* aids() const { return aids_; }
    FindReplaceDialog* FindDialog();
    FindReplaceDialog* ReplaceDialog();
    QMdiSubWindow* subWindow() const;
    // The name the caret stands in or after, by the rule of the file's language; with where it
    // starts in the document. `before` takes only its part before the caret (what completion
    // completes).
    QString nameAtCaret(int* start = nullptr, bool before = false) const;
    Syntax syntax() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void modelChanged(TCodeEd::Change change);
    void showDocument();
    void showFont();
    void showSyntax();
    void showCaption();
    void marksChanged();
    void goToLine();
    void showSelection();
    void applyEdit();
    void documentChanged(int position, int removed, int added);
    void resyncText();
    void trimToMaxLength();
    void selectionMoved();
    void watchFile();
    void fileChanged();
    QString textBetween(int from, int to) const;
    void run(const std::function<void(TCodeEd&)>& command);

    TEmbedded& e_;
    TCodeEd* model_;
    CodeTextEdit* editor_ = nullptr;
    SyntaxColours* colours_ = nullptr;
    CodeAidsView* aids_ = nullptr;
    bool marksPending_ = false;
    std::vector<QLabel*> panels_;
    QStatusBar* bar_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    std::vector<QMenu*> menus_;
    QPointer<FindReplaceDialog> find_, replace_;
    bool syncing_ = false; // the view is showing a model change: no echo back
    bool closing_ = false;
    size_t pendingGrowth_ = 0; // characters added beyond MaxLength, taken back by trimToMaxLength
};

} // namespace halyard::gui
