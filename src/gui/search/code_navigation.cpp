// SPDX-License-Identifier: GPL-3.0-or-later
// Finding one's way through the project's code with the symbol index: Go to Definition (F12,
// Ctrl+click) and Back (Alt+Left), the Symbols dock of the active file, and completion of names
// (Ctrl+Space, or after three typed characters when switched on).
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QDockWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/paths.h"
#include "editor/code_ed_window.h"
#include "editor/names.h"
#include "panels.h"
#include "search/symbol_index.h"
#include "shell/embedded.h"
#include "shell/open_at_line.h"
#include "shortcuts.h"

namespace halyard::gui {

namespace {

bool nameChar(Syntax syntax, QChar c) {
    return IsNameChar(syntax, c.unicode());
}

class CodeNavigation : public QObject {
public:
    CodeNavigation(TEmbedded& e, QMainWindow* window, QMdiArea* area)
        : QObject(window), e_(e), window_(window), area_(area) {
        setObjectName("CodeNavigation");
        auto action = [&](const char* name, const QString& caption, Shortcut key,
                          void (CodeNavigation::*slot)()) {
            auto* a = new QAction(caption, window);
            a->setObjectName(name);
            setShortcut(a, key);
            window->addAction(a);
            connect(a, &QAction::triggered, this, slot);
            return a;
        };
        action("GoToDefinition", "Go to Definition", Shortcut::GoToDefinition,
               &CodeNavigation::goToDefinition);
        action("GoBack", "Back", Shortcut::Back, &CodeNavigation::goBack);
        action("CompleteName", "Complete Name", Shortcut::Complete, &CodeNavigation::completeNow);
        buildSymbolDock();

        // The index follows the project's source list and every saved file.
        rebuildTimer_ = new QTimer(this);
        rebuildTimer_->setSingleShot(true);
        rebuildTimer_->setInterval(300);
        connect(rebuildTimer_, &QTimer::timeout, this, &CodeNavigation::rebuild);
        QPointer<CodeNavigation> self(this);
        e.ProjectListBox.observe([self] {
            if (self) self->rebuildTimer_->start();
        });
        e.editors.observeOpened([self](TCodeEd& model) {
            if (!self) return;
            TCodeEd* m = &model;
            model.observe([self, m](TCodeEd::Change c) {
                if (self && c == TCodeEd::Change::Modified && !m->modified()) self->saved(m->FileName);
                // A window gets its file after it became the active one (Open File, Save As).
                if (self && c == TCodeEd::Change::Caption)
                    QTimer::singleShot(0, self, [self] {
                        if (self) self->showSymbols();
                    });
            });
            QTimer::singleShot(0, self, [self] {
                if (self) self->hookEditors();
            });
        });
        connect(area, &QMdiArea::subWindowActivated, this,
                [this] { QTimer::singleShot(0, this, &CodeNavigation::showSymbols); });
        // The dock follows the index as it grows: a look twice a second costs nothing.
        auto* poll = new QTimer(this);
        poll->setInterval(500);
        connect(poll, &QTimer::timeout, this, [this] {
            if (index_.generation() != shownGeneration_) showSymbols();
        });
        poll->start();
        rebuildTimer_->start();
    }

    SymbolIndex& index() { return index_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Ctrl+click on a name goes to its definition.
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->modifiers() & Qt::ControlModifier && mouse->button() == Qt::LeftButton) {
                if (CodeEdWindow* view = active(); view && view->CodeEditor()->viewport() == watched) {
                    QPlainTextEdit* edit = view->CodeEditor();
                    edit->setTextCursor(edit->cursorForPosition(mouse->position().toPoint()));
                    QTimer::singleShot(0, this, &CodeNavigation::goToDefinition);
                    return true;
                }
            }
        }
        // The list's own keys: the completer would hand Enter to the edit first, which takes it
        // as a line break.
        if (event->type() == QEvent::KeyPress && completer_ && watched == completer_->popup()) {
            QAbstractItemView* list = completer_->popup();
            switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Tab: {
                const QModelIndex current = list->currentIndex();
                list->hide();
                if (current.isValid()) insert(current.data(Qt::UserRole).toString());
                return true;
            }
            case Qt::Key_Escape:
                list->hide();
                return true;
            default:
                break;
            }
        }
        if (event->type() == QEvent::KeyRelease && e_.editorAids.CompleteWhileTyping.checked()) {
            auto* key = static_cast<QKeyEvent*>(event);
            CodeEdWindow* view = active();
            if (view && !key->text().isEmpty() && nameChar(view->syntax(), key->text().at(0)) &&
                key->modifiers() == Qt::NoModifier)
                complete(false);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CodeEdWindow* active() const {
        QMdiSubWindow* sub = area_->activeSubWindow();
        auto* view = sub ? qobject_cast<CodeEdWindow*>(sub->widget()) : nullptr;
        return view && view->model() ? view : nullptr;
    }

    void hookEditors() {
        for (QMdiSubWindow* sub : area_->subWindowList())
            if (auto* view = qobject_cast<CodeEdWindow*>(sub->widget());
                view && !view->property("navigation").toBool()) {
                view->setProperty("navigation", true);
                view->CodeEditor()->viewport()->installEventFilter(this);
                view->CodeEditor()->installEventFilter(this);
            }
    }

    std::pair<std::string, std::string> named(const std::string& windows) const {
        return {windows, e_.dd.toHost(windows).string()};
    }

    void rebuild() {
        if (!index_.available()) return;
        std::vector<std::string> folders;
        if (e_.ProjectLoaded()) folders.push_back(ExtractFileDir(e_.dd.absolute(e_.ProjectPath)));
        folders.push_back(e_.HeadersDir);
        index_.rebuild(e_.dd, e_.ProjectListBox.items(), std::move(folders));
    }

    void saved(const std::string& file) {
        if (!index_.available() || TrimRight(file).empty()) return;
        index_.update(named(e_.dd.absolute(TrimRight(file))));
    }

    bool needIndex() {
        if (index_.available()) return true;
        e_.ui.inform(SymbolIndex::MissingCtagsText);
        return false;
    }

    void goTo(const Symbol& s) {
        e_.run([&] {
            TCodeEd* m = OpenAtLine(e_, s.file, s.line);
            if (!m || m->closed() || s.line > m->lineCount()) return;
            // The caret on the name, where the line has it.
            const size_t start = m->lineStart(static_cast<size_t>(s.line - 1));
            const std::u16string name = QString::fromStdString(s.name).toStdU16String();
            const size_t at = m->text().find(name, start);
            const size_t end = static_cast<size_t>(s.line) < static_cast<size_t>(m->lineCount())
                                   ? m->lineStart(static_cast<size_t>(s.line))
                                   : m->text().size();
            if (at != std::u16string::npos && at < end) m->select(at, name.size());
        });
    }

public:
    // The definition of a name found elsewhere (the memory map's symbols): false when the index
    // knows none, or has none yet.
    bool openDefinition(const std::string& name) {
        if (!needIndex()) return true;
        const auto found = index_.definitions(name);
        if (found.empty()) return false;
        goTo(found.front());
        return true;
    }

    bool indexBusy() const { return index_.busy(); }

private:
    void goToDefinition() {
        CodeEdWindow* view = active();
        if (!view || !needIndex()) return;
        const QString word = view->nameAtCaret();
        if (word.isEmpty()) return;
        const std::string file = view->model()->FileName;
        const auto found = index_.definitions(word.toStdString(), e_.dd.absolute(TrimRight(file)));
        if (found.empty()) {
            e_.ui.inform(index_.busy()
                             ? "The symbol index is still being made; try again in a moment."
                             : "No definition of " + word.toStdString() + " was found in the project.");
            return;
        }
        const Symbol* target = &found.front();
        if (found.size() > 1) {
            QMenu menu(view);
            menu.setObjectName("DefinitionChoice");
            for (const Symbol& s : found) {
                QAction* a =
                    menu.addAction(QString("%1 (%2)  %3:%4")
                                       .arg(QString::fromStdString(s.name), QString::fromStdString(s.kind),
                                            QString::fromStdString(s.file))
                                       .arg(s.line));
                a->setData(static_cast<int>(&s - found.data()));
            }
            QPlainTextEdit* edit = view->CodeEditor();
            QPointer<CodeEdWindow> shown(view); // the menu's event loop may close the window
            QAction* chosen = menu.exec(edit->viewport()->mapToGlobal(edit->cursorRect().bottomLeft()));
            if (!chosen || !shown || !shown->model()) return;
            target = &found[static_cast<size_t>(chosen->data().toInt())];
        }
        back_.push_back({file, view->model()->selStart()});
        goTo(*target);
    }

    void goBack() {
        while (!back_.empty()) {
            const auto [file, position] = back_.back();
            back_.pop_back();
            bool done = false;
            e_.run([&] {
                if (TCodeEd* m = OpenAtLine(e_, file, 1)) {
                    m->select(std::min(position, m->text().size()), 0);
                    done = true;
                }
            });
            if (done) return;
        }
    }

    void completeNow() { complete(true); }

    // Names that start with what stands before the caret: from the index and, when asked for,
    // from the file itself.
    void complete(bool asked) {
        CodeEdWindow* view = active();
        if (!view) return;
        if (asked && !needIndex()) return;
        QPlainTextEdit* edit = view->CodeEditor();
        const QString prefix = view->nameAtCaret(nullptr, true);
        if (prefix.isEmpty() || (!asked && prefix.size() < 3)) {
            if (completer_) completer_->popup()->hide();
            return;
        }
        auto* model = new QStandardItemModel(this);
        QStringList seen;
        for (const Symbol& s : index_.startingWith(prefix.toStdString())) {
            const QString name = QString::fromStdString(s.name);
            if (name == prefix) continue;
            auto* item = new QStandardItem(QString("%1  %2  %3:%4")
                                               .arg(name, QString::fromStdString(s.kind),
                                                    QString::fromStdString(ExtractFileName(s.file)))
                                               .arg(s.line));
            item->setData(name, Qt::UserRole);
            item->setToolTip(QString::fromStdString(s.file));
            model->appendRow(item);
            seen << name;
        }
        if (asked) {
            // The file's own words, also those not saved yet.
            const QString text = QString::fromStdU16String(view->model()->text());
            const Syntax syntax = view->syntax();
            QStringList own;
            for (int i = 0; i < text.size();) {
                if (!nameChar(syntax, text[i]) || (i > 0 && nameChar(syntax, text[i - 1]))) {
                    ++i;
                    continue;
                }
                int j = i;
                while (j < text.size() && nameChar(syntax, text[j]))
                    ++j;
                const QString w = text.mid(i, j - i);
                if (w.startsWith(prefix) && w != prefix && !seen.contains(w) && !own.contains(w)) own << w;
                i = j;
            }
            for (const QString& w : own) {
                auto* item = new QStandardItem(w + "  (this file)");
                item->setData(w, Qt::UserRole);
                model->appendRow(item);
            }
        }
        if (model->rowCount() == 0) {
            delete model;
            if (completer_) completer_->popup()->hide();
            return;
        }
        if (!completer_) {
            completer_ = new QCompleter(this);
            completer_->setObjectName("NameCompleter");
            completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
            completer_->popup()->setObjectName("CompletionList");
            connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this,
                    [this](const QModelIndex& i) { insert(i.data(Qt::UserRole).toString()); });
        }
        if (QAbstractItemModel* old = completer_->model(); old && old->parent() == this) old->deleteLater();
        completer_->setModel(model);
        completer_->setWidget(edit);
        prefixLength_ = static_cast<int>(prefix.size());
        QRect r = edit->cursorRect();
        r.setWidth(completer_->popup()->sizeHintForColumn(0) +
                   completer_->popup()->verticalScrollBar()->sizeHint().width());
        completer_->complete(r);
        // Installed after the completer's own filter, so asked first.
        completer_->popup()->removeEventFilter(this);
        completer_->popup()->installEventFilter(this);
        completer_->popup()->setCurrentIndex(model->index(0, 0));
    }

    void insert(const QString& name) {
        CodeEdWindow* view = active();
        if (!view) return;
        QTextCursor c = view->CodeEditor()->textCursor();
        c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, prefixLength_);
        c.insertText(name);
        view->CodeEditor()->setTextCursor(c);
    }

    void buildSymbolDock() {
        auto* dock = new QDockWidget("Symbols", window_);
        dock->setObjectName("SymbolsDock");
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
        auto* body = new QWidget(dock);
        auto* layout = new QVBoxLayout(body);
        layout->setContentsMargins(4, 4, 4, 4);
        filter_ = new QLineEdit(body);
        filter_->setObjectName("SymbolFilter");
        filter_->setPlaceholderText("Filter");
        filter_->setClearButtonEnabled(true);
        order_ = new QComboBox(body);
        order_->setObjectName("SymbolOrder");
        order_->addItems({"File order", "By name"});
        symbols_ = new QTreeWidget(body);
        symbols_->setObjectName("SymbolList");
        symbols_->setRootIsDecorated(false);
        symbols_->setHeaderLabels({"Name", "Kind", "Line"});
        // Names as wide as the longest one: "DPORT_DIR" and "DPORT_DATA" must not both read "DPOR...".
        // A narrow dock scrolls sideways, and each row's tool tip tells it all.
        symbols_->header()->setStretchLastSection(false);
        symbols_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        note_ = new QLabel(body);
        note_->setObjectName("SymbolNote");
        note_->setWordWrap(true);
        layout->addWidget(filter_);
        layout->addWidget(order_);
        layout->addWidget(symbols_, 1);
        layout->addWidget(note_);
        dock->setWidget(body);
        window_->addDockWidget(Qt::RightDockWidgetArea, dock);
        connect(filter_, &QLineEdit::textChanged, this, [this] { showSymbols(); });
        connect(order_, &QComboBox::currentIndexChanged, this, [this] { showSymbols(); });
        connect(symbols_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
            CodeEdWindow* view = active();
            if (!view) return;
            Symbol s;
            s.name = item->text(0).toStdString();
            s.file = view->model()->FileName;
            s.line = item->text(2).toInt();
            goTo(s);
        });
        connect(symbols_, &QTreeWidget::itemActivated, symbols_, &QTreeWidget::itemClicked);
    }

    void showSymbols() {
        shownGeneration_ = index_.generation();
        symbols_->clear();
        CodeEdWindow* view = active();
        if (!index_.available()) {
            note_->setText(QString(SymbolIndex::MissingCtagsText).replace('\r', ' '));
            return;
        }
        note_->setText(view ? "" : "No editor window is active.");
        if (!view) return;
        const std::string file = e_.dd.absolute(TrimRight(view->model()->FileName));
        std::vector<Symbol> list = index_.inFile(file);
        if (list.empty() && index_.busy()) note_->setText("Reading the project's symbols...");
        // A file ctags was not given or failed on says so, rather than seeming to hold nothing.
        for (const std::string& problem : index_.problems())
            if (problem.size() > file.size() && SameText(problem.substr(0, file.size()), file) &&
                problem.compare(file.size(), 2, ": ") == 0)
                note_->setText("Not indexed: " + QString::fromStdString(problem.substr(file.size() + 2)) +
                               ".");
        if (order_->currentIndex() == 1)
            std::stable_sort(list.begin(), list.end(),
                             [](const Symbol& a, const Symbol& b) { return a.name < b.name; });
        const QString filter = filter_->text();
        for (const Symbol& s : list) {
            const QString name = QString::fromStdString(s.name);
            if (!filter.isEmpty() && !name.contains(filter, Qt::CaseInsensitive)) continue;
            auto* item = new QTreeWidgetItem(symbols_);
            item->setText(0, name);
            item->setText(1, QString::fromStdString(s.kind));
            item->setText(2, QString::number(s.line));
            item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
            const QString tip = QString("%1 (%2), line %3").arg(name, item->text(1), item->text(2));
            for (int column = 0; column < 3; ++column)
                item->setToolTip(column, tip);
        }
    }

    TEmbedded& e_;
    QMainWindow* window_;
    QMdiArea* area_;
    SymbolIndex index_;
    QTimer* rebuildTimer_;
    std::vector<std::pair<std::string, size_t>> back_;
    QCompleter* completer_ = nullptr;
    int prefixLength_ = 0;
    QLineEdit* filter_;
    QComboBox* order_;
    QTreeWidget* symbols_;
    QLabel* note_;
    std::uint64_t shownGeneration_ = ~std::uint64_t{0};
};

} // namespace

void attachCodeNavigation(TEmbedded& e, QMainWindow* window, QMdiArea* area) {
    new CodeNavigation(e, window, area);
}

bool openDefinition(QMainWindow* window, const std::string& name) {
    auto* nav = static_cast<CodeNavigation*>(window->findChild<QObject*>("CodeNavigation"));
    return nav && nav->openDefinition(name);
}

bool symbolIndexBusy(QMainWindow* window) {
    auto* nav = static_cast<CodeNavigation*>(window->findChild<QObject*>("CodeNavigation"));
    return nav && nav->indexBusy();
}

} // namespace halyard::gui
