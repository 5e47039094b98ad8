// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/code_ed_window.h"

#include <QCloseEvent>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include "base/dos_devices.h"
#include "base/paths.h"
#include "binders.h"
#include "editor/code_aids_view.h"
#include "editor/code_text.h"
#include "editor/code_text_edit.h"
#include "editor/editor_dialogs.h"
#include "editor/names.h"
#include "editor/syntax_colours.h"
#include "help/context_help.h"
#include "shell/embedded.h"
#include "shortcuts.h"

namespace halyard::gui {

namespace {

QTextCharFormat charFormat(const RtfCharFormat& f) {
    QTextCharFormat out;
    if (!f.font.empty()) out.setFontFamilies({QString::fromStdString(f.font)});
    out.setFontPointSize(f.halfPoints / 2.0);
    out.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(f.italic);
    out.setFontUnderline(f.underline);
    out.setFontStrikeOut(f.strikeOut);
    if (f.color) out.setForeground(QColor::fromRgb(*f.color));
    return out;
}

QTextBlockFormat blockFormat(const RtfParaFormat& p) {
    constexpr double twipsPerPixel = 15.0; // 1440 twips an inch, 96 pixels an inch
    QTextBlockFormat out;
    out.setAlignment(p.align == RtfAlign::Center    ? Qt::AlignHCenter
                     : p.align == RtfAlign::Right   ? Qt::AlignRight
                     : p.align == RtfAlign::Justify ? Qt::AlignJustify
                                                    : Qt::AlignLeft);
    out.setLeftMargin(p.leftIndent / twipsPerPixel);
    out.setRightMargin(p.rightIndent / twipsPerPixel);
    out.setTextIndent(p.firstIndent / twipsPerPixel);
    out.setTopMargin(p.spaceBefore / twipsPerPixel);
    out.setBottomMargin(p.spaceAfter / twipsPerPixel);
    return out;
}

std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

} // namespace

CodeEdWindow::CodeEdWindow(TEmbedded& e, TCodeEd& model, QWidget* parent)
    : QWidget(parent), e_(e), model_(&model) {
    setObjectName("TCodeEd");
    setAttribute(Qt::WA_DeleteOnClose);
    setHelpTopic(this, HelpTopic::Editor);
    // A plain-text edit lays out only the lines an edit touches, so typing costs the same anywhere
    // in a long file; it still draws the character formats of a Rich Text Format file.
    editor_ = new CodeTextEdit(this);
    editor_->setObjectName("CodeEditor");
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The selection stays visible when the window loses the focus.
    QPalette palette = editor_->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    editor_->setPalette(palette);

    auto* bar = bar_ = new QStatusBar(this);
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < model.StatusBar.count(); ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        const bool last = i == model.StatusBar.count() - 1;
        sizeStatusPanel(label, model.StatusBar.panel(i).width, last);
        bar->addWidget(label, last ? 1 : 0);
        panels_.push_back(label);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    aids_ = new CodeAidsView(editor_, e_.editorAids, [this]() -> const std::u16string* {
        return model_ ? &model_->text() : nullptr;
    });
    layout->addWidget(editor_, 1);
    layout->addWidget(bar);
    resize(initialClientSize());

    buildMenus();
    showCaption();
    showFont();
    showDocument();
    auto syncStatus = [this] {
        if (!model_) return;
        for (int i = 0; i < model_->StatusBar.count(); ++i) {
            // The whole text also as the tool tip: the panels are narrow.
            const QString text = QString::fromStdString(model_->StatusBar.panel(i).text);
            panels_[static_cast<size_t>(i)]->setText(text);
            panels_[static_cast<size_t>(i)]->setToolTip(text);
        }
    };
    syncStatus();
    QPointer<CodeEdWindow> self(this);
    model.StatusBar.observe([self, syncStatus] {
        if (self) syncStatus();
    });
    model.observe([self](TCodeEd::Change c) {
        if (self) self->modelChanged(c);
    });
    e.buildOutput.observe([self](BuildOutput::Change c) {
        if (self && (c == BuildOutput::Change::Cleared || c == BuildOutput::Change::Added))
            self->marksChanged();
    });
    connect(editor_->document(), &QTextDocument::contentsChange, this, &CodeEdWindow::documentChanged);
    // The document knows when Undo and Redo bring it back to the text last loaded or saved.
    connect(editor_->document(), &QTextDocument::modificationChanged, this, [this](bool changed) {
        if (!changed && model_ && model_->modified()) model_->userReturnedToSaved();
    });
    connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, &CodeEdWindow::selectionMoved);
    connect(editor_, &QPlainTextEdit::selectionChanged, this, &CodeEdWindow::selectionMoved);
    // Made after the edit's own change handler, so the model has every edit before colours follow.
    colours_ = new SyntaxColours(this);
    showSyntax();
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &CodeEdWindow::fileChanged);
    watchFile();
}

// The file shown is watched: a window without changes of its own follows the disk by itself; one
// with changes asks before its next save (TCodeEd::Save1Click).
void CodeEdWindow::watchFile() {
    if (const QStringList old = watcher_->files(); !old.isEmpty()) watcher_->removePaths(old);
    if (!model_ || model_->FileName.empty()) return;
    try {
        const std::string host = e_.dd.toHost(TrimRight(model_->FileName)).string();
        if (e_.dd.fileExists(model_->FileName)) watcher_->addPath(QString::fromStdString(host));
    } catch (const std::exception&) {
        // A name on no mapped drive: nothing to watch.
    }
}

void CodeEdWindow::fileChanged() {
    if (!model_) return;
    if (!model_->modified() && model_->changedOnDisk()) run([](TCodeEd& m) { m.ReloadFromDisk(); });
    // A file replaced by a rename is a new file to the watcher.
    watchFile();
}

Syntax CodeEdWindow::syntax() const {
    return model_ ? SyntaxForFile(model_->FileName) : Syntax::None;
}

QString CodeEdWindow::nameAtCaret(int* start, bool before) const {
    const QTextCursor c = editor_->textCursor();
    const std::u16string line = u16(c.block().text());
    const size_t column = static_cast<size_t>(c.positionInBlock());
    const NameSpan name = before ? NameBefore(syntax(), line, column) : NameAt(syntax(), line, column);
    if (start) *start = c.block().position() + static_cast<int>(name.start);
    return QString::fromStdU16String(line.substr(name.start, name.length));
}

QMdiSubWindow* CodeEdWindow::subWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void CodeEdWindow::run(const std::function<void(TCodeEd&)>& command) {
    if (TCodeEd* m = model_) e_.run([&] { command(*m); });
}

// The caption stays the file's name; the frame adds the platform's mark while the text is modified.
void CodeEdWindow::showCaption() {
    setWindowTitle(QString::fromStdString(model_->caption()) + "[*]");
    setWindowModified(model_->modified());
    editor_->setReadOnly(model_->readOnly());
}

void CodeEdWindow::buildMenus() {
    auto add = [this](QMenu* menu, const QString& caption, std::function<void()> action) {
        QAction* a = menu->addAction(caption);
        connect(a, &QAction::triggered, this, std::move(action));
        return a;
    };
    auto keyed = [add](QMenu* menu, const QString& caption, Shortcut key, std::function<void()> action) {
        QAction* a = add(menu, caption, std::move(action));
        setShortcut(a, key);
        return a;
    };
    Editors& eds = e_.editors;
    TEmbedded& e = e_;

    auto* file = new QMenu(tr("&File"), this);
    file->setObjectName("CodeEdFile");
    keyed(file, "&Open File", Shortcut::Open, [&e, &eds] { e.run([&] { eds.OpenFileClick(0); }); });
    keyed(file, "&New File", Shortcut::New, [&e, &eds] { e.run([&] { eds.NewFile1Click(); }); });
    keyed(file, "Close File", Shortcut::CloseWindow, [this] {
        if (QMdiSubWindow* sub = subWindow())
            sub->close();
        else
            close();
    });
    keyed(file, "&Save File", Shortcut::Save, [this] { run([](TCodeEd& m) { m.Save1Click(); }); });
    keyed(file, "Save File &As", Shortcut::SaveAs, [this] { run([](TCodeEd& m) { m.SaveAs1Click(); }); });
    file->addSeparator();
    add(file, "Save Object File", [&e, &eds] { e.run([&] { eds.SaveObjectFile1Click(); }); });
    file->addSeparator();
    keyed(file, "S&ave All", Shortcut::SaveAll, [&e, &eds] { e.run([&] { eds.SaveEdtorFiles(); }); });
    add(file, "&Close All", [&e, &eds] { e.run([&] { eds.CloseEditorFiles(); }); });
    file->addSeparator();
    add(file, "Print Setup", [&e, &eds] { e.run([&] { eds.Printsetup(); }); });
    keyed(file, "&Print", Shortcut::Print, [this, &eds] { run([&eds](TCodeEd& m) { eds.PrintClick(m); }); });
    file->addSeparator();
    // Through the main window's own close: its questions, the settings and the project save.
    add(file, "&Exit", [&e] { e.run([&] { e.Exit1Click(); }); });

    auto* edit = new QMenu(tr("&Edit"), this);
    edit->setObjectName("CodeEdEdit");
    QAction* undo = keyed(edit, "&Undo", Shortcut::Undo, [this] { editor_->undo(); });
    QAction* redo = keyed(edit, "&Redo", Shortcut::Redo, [this] { editor_->redo(); });
    undo->setEnabled(false);
    redo->setEnabled(false);
    connect(editor_, &QPlainTextEdit::undoAvailable, undo, &QAction::setEnabled);
    connect(editor_, &QPlainTextEdit::redoAvailable, redo, &QAction::setEnabled);
    edit->addSeparator();
    keyed(edit, "&Cut", Shortcut::Cut, [this] { editor_->cut(); });
    keyed(edit, "C&opy", Shortcut::Copy, [this] { editor_->copy(); });
    keyed(edit, "&Paste", Shortcut::Paste, [this] { editor_->paste(); });
    add(edit, "&Delete", [this] { editor_->textCursor().removeSelectedText(); });
    edit->addSeparator();
    keyed(edit, "&Select All", Shortcut::SelectAll, [this] { run([](TCodeEd& m) { m.SelectAll1Click(); }); });
    edit->addSeparator();
    add(edit, "Set &Font", [this] { run([](TCodeEd& m) { m.Setfont(); }); });

    auto* search = new QMenu(tr("Search"), this);
    search->setObjectName("CodeEdSearch");
    keyed(search, "Find", Shortcut::Find, [this] {
        FindReplaceDialog* d = FindDialog();
        const QPoint at = editor_->mapToGlobal(QPoint(0, 0));
        d->move(at.x() + editor_->width() / 2, at.y() + 300);
        d->show();
        d->raise();
        d->activateWindow(); // typing goes into the search text, also when the dialog was open already
    });
    keyed(search, "Replace", Shortcut::Replace, [this] {
        FindReplaceDialog* d = ReplaceDialog();
        const QPoint at = editor_->mapToGlobal(QPoint(0, 0));
        d->move(at.x() + editor_->width(), at.y());
        d->show();
        d->raise();
        d->activateWindow(); // typing goes into the search text, also when the dialog was open already
    });
    add(search, "Find Error", [this] { run([](TCodeEd& m) { m.FindError1Click(); }); });
    keyed(search, "Go to Line", Shortcut::GoToLine, [this] { goToLine(); });
    menus_ = {file, edit, search};

    // Find Next has no menu entry: it repeats the Find dialog's search, or opens the dialog.
    auto* findNext = new QAction(this);
    findNext->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    setShortcut(findNext, Shortcut::FindNext);
    connect(findNext, &QAction::triggered, this, [this, search] {
        if (find_ && !find_->findEdit()->text().isEmpty())
            find_->findNextButton()->click();
        else
            search->actions().constFirst()->trigger();
    });
    addAction(findNext);
}

void CodeEdWindow::goToLine() {
    if (!model_) return;
    QInputDialog dialog(this);
    dialog.setObjectName("GoToLineDialog");
    dialog.setWindowTitle(tr("Go to Line"));
    dialog.setLabelText(tr("&Line number (1 - %1):").arg(std::max(model_->lineCount(), 1)));
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(1, std::max(model_->lineCount(), 1));
    dialog.setIntValue(static_cast<int>(model_->lineOf(model_->selStart())) + 1);
    if (dialog.exec() != QDialog::Accepted || !model_) return;
    const int line = dialog.intValue();
    run([line](TCodeEd& m) { m.GoToLine(line); });
    editor_->setFocus();
}

FindReplaceDialog* CodeEdWindow::FindDialog() {
    if (!find_) {
        find_ = new FindReplaceDialog(false, this);
        setHelpTopic(find_, HelpTopic::Editor);
        find_->onFindNext = [this](const QString& what, FindReplaceDialog::Options o) {
            run([&](TCodeEd& m) { m.Find(u16(what), o); });
        };
    }
    return find_;
}

FindReplaceDialog* CodeEdWindow::ReplaceDialog() {
    if (!replace_) {
        replace_ = new FindReplaceDialog(true, this);
        setHelpTopic(replace_, HelpTopic::Editor);
        replace_->onFindNext = [this](const QString& what, FindReplaceDialog::Options o) {
            run([&](TCodeEd& m) { m.Find(u16(what), o); });
        };
        replace_->onReplace = [this](const QString& what, const QString& with, FindReplaceDialog::Options o) {
            run([&](TCodeEd& m) { m.ReplaceDialogReplace(u16(what), u16(with), o); });
        };
        replace_->onReplaceAll = [this](const QString& what, const QString& with,
                                        FindReplaceDialog::Options o) {
            run([&](TCodeEd& m) { m.ReplaceAllClick(u16(what), u16(with), o); });
        };
    }
    return replace_;
}

void CodeEdWindow::modelChanged(TCodeEd::Change change) {
    switch (change) {
    case TCodeEd::Change::Document:
        showSyntax();
        showDocument();
        break;
    case TCodeEd::Change::Edit:
        applyEdit();
        break;
    case TCodeEd::Change::Selection:
        showSelection();
        break;
    case TCodeEd::Change::Font:
        showFont();
        break;
    case TCodeEd::Change::Caption:
        showCaption();
        showSyntax(); // Save As may have changed the extension
        watchFile();
        break;
    case TCodeEd::Change::Modified:
        setWindowModified(model_->modified());
        if (!model_->modified()) {
            // Undo back to here is back to the saved text.
            editor_->document()->setModified(false);
            watchFile(); // a save replaces the file
        }
        break;
    case TCodeEd::Change::Closed:
        model_ = nullptr;
        for (QDialog* d : {static_cast<QDialog*>(find_), static_cast<QDialog*>(replace_)})
            if (d) d->hide();
        if (!closing_) {
            if (QMdiSubWindow* sub = subWindow())
                sub->close();
            else
                close();
        }
        break;
    }
}

void CodeEdWindow::showFont() {
    const FontSpec& spec = model_->font();
    const QFont font = toQFont(spec);
    editor_->setFont(font);
    editor_->document()->setDefaultFont(font);
    QPalette palette = editor_->palette();
    palette.setColor(QPalette::Text, QColor::fromRgb(spec.color));
    editor_->setPalette(palette);
}

// Colours by the file's extension; a Rich Text Format document keeps the colours it came with.
void CodeEdWindow::showSyntax() {
    if (!model_) return;
    const Syntax syntax = model_->richText() ? Syntax::None : SyntaxForFile(model_->FileName);
    const bool dark = editor_->palette().color(QPalette::Base).lightness() < 128;
    syncing_ = true; // colouring changes formats only
    colours_->attach(editor_->document(), syntax, dark);
    syncing_ = false;
    aids_->setPlainText(!model_->richText());
    aids_->setSyntax(syntax);
    marksChanged();
}

// A build adds its messages line by line: the marks follow once it pauses.
void CodeEdWindow::marksChanged() {
    if (marksPending_) return;
    marksPending_ = true;
    QTimer::singleShot(0, this, [this] {
        marksPending_ = false;
        if (model_) aids_->setMarks(e_.buildOutput.marksFor(model_->FileName));
    });
}

void CodeEdWindow::showDocument() {
    syncing_ = true;
    const auto& rich = model_->richText();
    if (!rich) {
        editor_->setPlainText(QString::fromStdU16String(model_->text()));
    } else {
        editor_->clear();
        QTextCursor c(editor_->document());
        const std::u16string& text = rich->text;
        size_t paragraph = 0;
        if (!rich->paragraphs.empty()) c.setBlockFormat(blockFormat(rich->paragraphs[0].format));
        for (const RtfRun& run : rich->runs) {
            const QTextCharFormat format = charFormat(run.format);
            for (size_t i = run.start, end = run.start + run.length; i < end;) {
                const size_t stop = std::min(text.find(u'\n', i), end);
                if (stop > i) c.insertText(QString::fromStdU16String(text.substr(i, stop - i)), format);
                if (stop == end) break;
                ++paragraph;
                c.insertBlock(paragraph < rich->paragraphs.size()
                                  ? blockFormat(rich->paragraphs[paragraph].format)
                                  : QTextBlockFormat(),
                              format);
                i = stop + 1;
            }
        }
    }
    if (!model_->modified()) editor_->document()->setModified(false);
    syncing_ = false;
    showSelection();
}

void CodeEdWindow::showSelection() {
    if (!model_) return;
    syncing_ = true;
    const int length = editor_->document()->characterCount() - 1;
    const int start = std::min(static_cast<int>(model_->selStart()), length);
    QTextCursor c = editor_->textCursor();
    c.setPosition(start);
    c.setPosition(std::min(start + static_cast<int>(model_->selLength()), length), QTextCursor::KeepAnchor);
    editor_->setTextCursor(c);
    editor_->ensureCursorVisible();
    syncing_ = false;
}

void CodeEdWindow::applyEdit() {
    syncing_ = true;
    const auto& edit = model_->lastEdit();
    QTextCursor c(editor_->document());
    c.setPosition(static_cast<int>(edit.position));
    c.setPosition(static_cast<int>(edit.position + edit.removed), QTextCursor::KeepAnchor);
    c.insertText(QString::fromStdU16String(edit.inserted));
    syncing_ = false;
}

QString CodeEdWindow::textBetween(int from, int to) const {
    const int length = editor_->document()->characterCount() - 1;
    QTextCursor c(editor_->document());
    c.setPosition(std::clamp(from, 0, length));
    c.setPosition(std::clamp(to, 0, length), QTextCursor::KeepAnchor);
    QString s = c.selectedText();
    s.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    return s;
}

void CodeEdWindow::documentChanged(int position, int removed, int added) {
    if (syncing_ || !model_) return;
    const size_t before = model_->text().size();
    const size_t length = static_cast<size_t>(editor_->document()->characterCount() - 1);
    const size_t pos = static_cast<size_t>(position);
    if (pos > before) {
        resyncText();
    } else {
        // Qt counts the document's closing paragraph mark in changes that reach the end; the clamps
        // in textBetween and in the model drop it again, and any other mismatch is mended by a resync.
        const std::u16string inserted = u16(textBetween(position, position + added));
        const std::u16string_view old =
            std::u16string_view(model_->text()).substr(pos, static_cast<size_t>(removed));
        if (old == inserted) return; // a change of format only
        model_->userEdit(pos, static_cast<size_t>(removed), inserted);
        if (model_->text().size() != length) resyncText();
    }
    if (length > TCodeEd::MaxLength && added > removed) {
        if (pendingGrowth_ == 0) QTimer::singleShot(0, this, &CodeEdWindow::trimToMaxLength);
        pendingGrowth_ += std::min<size_t>(length - TCodeEd::MaxLength, static_cast<size_t>(added - removed));
    }
}

// The edit holds at most MaxLength characters: what the latest edits added beyond it is taken back
// from before the caret, where typing and pasting leave it. Text that was there before is kept, so a
// longer file that was loaded whole stays whole.
void CodeEdWindow::trimToMaxLength() {
    const size_t now = static_cast<size_t>(editor_->document()->characterCount() - 1);
    const size_t excess = now > TCodeEd::MaxLength ? std::min(pendingGrowth_, now - TCodeEd::MaxLength) : 0;
    pendingGrowth_ = 0;
    if (excess == 0) return;
    QTextCursor c = editor_->textCursor();
    c.clearSelection();
    const int end = c.position();
    c.setPosition(std::max(0, end - static_cast<int>(excess)), QTextCursor::KeepAnchor);
    c.removeSelectedText();
    bar_->showMessage(tr("The text is full: an editor window holds at most %L1 characters.")
                          .arg(static_cast<qulonglong>(TCodeEd::MaxLength)),
                      5000);
}

// The whole text as the view holds it; the model takes the part that differs as one edit.
void CodeEdWindow::resyncText() {
    const std::u16string now = u16(textBetween(0, editor_->document()->characterCount() - 1));
    const std::u16string& old = model_->text();
    size_t prefix = 0;
    while (prefix < now.size() && prefix < old.size() && now[prefix] == old[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < now.size() - prefix && suffix < old.size() - prefix &&
           now[now.size() - 1 - suffix] == old[old.size() - 1 - suffix])
        ++suffix;
    if (prefix == now.size() && now.size() == old.size()) return;
    model_->userEdit(prefix, old.size() - prefix - suffix,
                     std::u16string_view(now).substr(prefix, now.size() - prefix - suffix));
}

void CodeEdWindow::selectionMoved() {
    if (syncing_ || !model_) return;
    const QTextCursor c = editor_->textCursor();
    model_->userSelect(static_cast<size_t>(c.selectionStart()),
                       static_cast<size_t>(c.selectionEnd() - c.selectionStart()));
}

void CodeEdWindow::closeEvent(QCloseEvent* event) {
    if (!model_) {
        event->accept();
        return;
    }
    closing_ = true;
    bool closed = false;
    e_.run([&] { closed = model_->Close1Click(); });
    closing_ = false;
    if (closed)
        event->accept();
    else
        event->ignore();
}

} // namespace halyard::gui
