// SPDX-License-Identifier: GPL-3.0-or-later
// The Find in Files panel: what to look for and where at the top, the hits streaming in below as
// the search finds them (file, line, the line with the match marked), Enter or a double click
// opening the file at the line.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

#include "base/error.h"
#include "base/paths.h"
#include "editor/code_ed_window.h"
#include "panels.h"
#include "search/find_in_files.h"
#include "shell/embedded.h"
#include "shell/open_at_line.h"
#include "shortcuts.h"

namespace halyard::gui {

namespace {

enum Column { FileColumn, LineColumn, TextColumn };
constexpr int MatchRole = Qt::UserRole + 1; // (column, length) of the match in the text, in characters

// The line's text with its match on the highlight colour.
class MatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QPoint match = index.data(MatchRole).toPoint();
        if (index.column() != TextColumn || match.y() <= 0) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString text = o.text;
        o.text.clear();
        o.widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, p, o.widget);
        const QRect r = o.rect.adjusted(4, 0, -2, 0);
        const QFontMetrics fm(o.font);
        const QString before = text.left(match.x()), found = text.mid(match.x(), match.y());
        const int x0 = r.left() + fm.horizontalAdvance(before);
        const int w = fm.horizontalAdvance(found);
        p->save();
        p->fillRect(QRect(x0, r.top() + 1, w, r.height() - 2), QColor(0xFF, 0xD8, 0x60));
        p->setPen(
            o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        p->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, before);
        p->setPen(Qt::black);
        p->drawText(QRect(x0, r.top(), w, r.height()), Qt::AlignVCenter | Qt::AlignLeft, found);
        p->setPen(
            o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        p->drawText(QRect(x0 + w, r.top(), r.right() - x0 - w, r.height()), Qt::AlignVCenter | Qt::AlignLeft,
                    text.mid(match.x() + match.y()));
        p->restore();
    }
};

// The search runs on a worker of FileSearch; it tells the panel that hits are waiting through a
// signal queued to the panel's thread, where they are taken.
class FindPanel : public QWidget {
    Q_OBJECT
public:
    FindPanel(TEmbedded& e, QWidget* parent) : QWidget(parent), e_(e) {
        setObjectName("FindInFilesPanel");
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 0, 4, 4);
        auto* top = new QHBoxLayout;
        top->addWidget(new QLabel("Find:", this));
        what_ = new QComboBox(this);
        what_->setObjectName("FindWhat");
        what_->setEditable(true);
        what_->setInsertPolicy(QComboBox::InsertAtTop);
        what_->setMinimumWidth(220);
        top->addWidget(what_, 1);
        regex_ = box("Regular expression", "FindRegex", top);
        case_ = box("Match case", "FindCase", top);
        word_ = box("Whole word", "FindWord", top);
        find_ = new QPushButton("Find", this);
        find_->setObjectName("FindStart");
        find_->setDefault(true);
        stop_ = new QPushButton("Stop", this);
        stop_->setObjectName("FindStop");
        stop_->setEnabled(false);
        top->addWidget(find_);
        top->addWidget(stop_);
        layout->addLayout(top);

        auto* where = new QHBoxLayout;
        where->addWidget(new QLabel("In:", this));
        scope_ = new QComboBox(this);
        scope_->setObjectName("FindScope");
        scope_->addItems({"Project files", "Headers folder", "Folder"});
        where->addWidget(scope_);
        folder_ = new QLineEdit(this);
        folder_->setObjectName("FindFolder");
        folder_->setPlaceholderText("C:\\folder");
        folder_->setEnabled(false);
        where->addWidget(folder_, 1);
        browse_ = new QToolButton(this);
        browse_->setText("...");
        browse_->setEnabled(false);
        where->addWidget(browse_);
        where->addWidget(new QLabel("Masks:", this));
        masks_ = new QLineEdit("*.c;*.h;*.asm;*.inc;*.cmd", this);
        masks_->setObjectName("FindMasks");
        masks_->setMinimumWidth(200);
        where->addWidget(masks_);
        layout->addLayout(where);

        hits_ = new QTreeWidget(this);
        hits_->setObjectName("FindResults");
        hits_->setRootIsDecorated(false);
        hits_->setUniformRowHeights(true);
        hits_->setHeaderLabels({"File", "Line", "Text"});
        hits_->setItemDelegate(new MatchDelegate(hits_));
        hits_->header()->setStretchLastSection(true);
        hits_->setColumnWidth(FileColumn, 260);
        hits_->setColumnWidth(LineColumn, 50);
        layout->addWidget(hits_, 1);
        totals_ = new QLabel(this);
        totals_->setObjectName("FindTotals");
        layout->addWidget(totals_);

        connect(scope_, &QComboBox::currentIndexChanged, this, &FindPanel::scopeChanged);
        connect(browse_, &QToolButton::clicked, this, &FindPanel::browse);
        connect(find_, &QPushButton::clicked, this, &FindPanel::start);
        connect(what_->lineEdit(), &QLineEdit::returnPressed, this, &FindPanel::start);
        connect(stop_, &QPushButton::clicked, this, &FindPanel::stop);
        connect(hits_, &QTreeWidget::itemActivated, this, &FindPanel::openHit);
        connect(this, &FindPanel::found, this, &FindPanel::takeHits, Qt::QueuedConnection);
        search_.changed = [this] { emit found(); };
    }

    ~FindPanel() override {
        // The worker may still call `changed`: it ends before the members it emits through go.
        search_.stop();
    }

    // Every use of a name in the project's files: a whole-word search that tells the case apart.
    void findReferences(const QString& word) {
        if (word.isEmpty()) return;
        what_->setEditText(word);
        regex_->setChecked(false);
        case_->setChecked(true);
        word_->setChecked(true);
        scope_->setCurrentIndex(0);
        start();
    }

    void focusWith(const QString& word) {
        if (!word.isEmpty()) what_->setEditText(word);
        what_->setFocus();
        what_->lineEdit()->selectAll();
    }

private:
    void scopeChanged(int scope) {
        folder_->setEnabled(scope == 2);
        browse_->setEnabled(scope == 2);
    }

    void browse() {
        if (auto chosen = e_.ui.chooseDirectory("Select Directory", folder_->text().toStdString()))
            folder_->setText(QString::fromStdString(*chosen));
    }

    void openHit(QTreeWidgetItem* item) {
        const std::string path = item->data(FileColumn, Qt::UserRole).toString().toStdString();
        const int line = item->text(LineColumn).toInt();
        e_.run([&] { OpenAtLine(e_, path, line); });
    }

    QCheckBox* box(const char* caption, const char* name, QHBoxLayout* row) {
        auto* b = new QCheckBox(caption, this);
        b->setObjectName(name);
        row->addWidget(b);
        return b;
    }

    // What to search: the files named one by one (Windows path, host path) and the folders the
    // worker walks. The drive mapping is asked here, on the GUI thread; the walk and every read of a
    // file happen on the worker.
    struct Sources {
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<FindFolder> folders;
    };
    Sources sources() const {
        const std::string masks = masks_->text().toStdString();
        Sources out;
        auto folder = [&](const std::string& windows, bool recurse) {
            out.folders.push_back({windows, e_.dd.toHost(windows), masks, recurse});
        };
        switch (scope_->currentIndex()) {
        case 0: {
            // The project's sources and what lies beside them that the masks take (its headers).
            std::set<std::string> folders;
            for (const std::string& f : e_.ProjectListBox.items()) {
                const std::string path = e_.dd.absolute(TrimRight(f));
                out.files.emplace_back(path, e_.dd.toHost(path).string());
                folders.insert(ExtractFileDir(path));
            }
            if (e_.ProjectLoaded()) folders.insert(ExtractFileDir(e_.dd.absolute(e_.ProjectPath)));
            for (const std::string& f : folders)
                folder(f, false);
            break;
        }
        case 1:
            folder(e_.HeadersDir, true);
            break;
        default:
            folder(folder_->text().toStdString(), true);
            break;
        }
        return out;
    }

    void start() {
        const QString text = what_->currentText();
        if (text.isEmpty()) return;
        if (scope_->currentIndex() == 2 && !e_.dd.dirExists(folder_->text().toStdString())) {
            totals_->setText("The folder " + folder_->text() + " does not exist");
            return;
        }
        Sources where = sources();
        hits_->clear();
        try {
            search_.start(std::move(where.files),
                          {text.toStdString(), regex_->isChecked(), case_->isChecked(), word_->isChecked()},
                          std::move(where.folders));
        } catch (const Error& error) {
            totals_->setText(QString::fromStdString(error.what()));
            return;
        }
        if (what_->findText(text) < 0) what_->insertItem(0, text);
        totals_->setText("Searching...");
        find_->setEnabled(false);
        stop_->setEnabled(true);
    }

signals:
    // Emitted on the search's worker: hits or totals wait to be taken.
    void found();

private:
    void stop() {
        search_.stop();
        takeHits();
    }

    void takeHits() {
        if (!find_ || find_->isEnabled()) return; // a note of a search already ended and shown
        const bool ended = !search_.running();
        if (ended) search_.stop(); // joins the finished worker
        for (const FindHit& h : search_.take()) {
            auto* item = new QTreeWidgetItem(hits_);
            const QString path = QString::fromStdString(h.file);
            item->setText(FileColumn, path);
            item->setToolTip(FileColumn, path);
            item->setData(FileColumn, Qt::UserRole, path);
            item->setText(LineColumn, QString::number(h.line));
            item->setTextAlignment(LineColumn, Qt::AlignRight | Qt::AlignVCenter);
            const QString line = QString::fromStdString(h.text);
            // The match in characters: the bytes before it, as text, give its column.
            const int column = QString::fromStdString(h.text.substr(0, h.column)).size();
            const int length = QString::fromStdString(h.text.substr(h.column, h.length)).size();
            item->setText(TextColumn, line);
            item->setData(TextColumn, MatchRole, QPoint(column, length));
        }
        const FindTotals t = search_.totals();
        totals_->setText(ended ? QString::fromStdString(FindTotalsText(t))
                               : QString("Searching... %1 matches").arg(t.hits));
        if (ended) {
            find_->setEnabled(true);
            stop_->setEnabled(false);
        }
    }

    TEmbedded& e_;
    FileSearch search_;
    QComboBox *what_, *scope_;
    QCheckBox *regex_, *case_, *word_;
    QLineEdit *folder_, *masks_;
    QPushButton *find_, *stop_;
    QToolButton* browse_;
    QTreeWidget* hits_;
    QLabel* totals_;
};

} // namespace

void attachFindInFiles(TEmbedded& e, QMainWindow* window, QMdiArea* area) {
    auto* dock = new QDockWidget("Find in Files", window);
    dock->setObjectName("FindInFilesDock");
    dock->setFeatures(QDockWidget::DockWidgetClosable);
    dock->setAllowedAreas(Qt::BottomDockWidgetArea);
    auto* panel = new FindPanel(e, dock);
    dock->setWidget(panel);
    window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    if (auto* build = window->findChild<QDockWidget*>("BuildPanel")) window->tabifyDockWidget(build, dock);
    dock->hide();

    auto* action = new QAction("Find in Files", window);
    action->setObjectName("FindInFiles");
    setShortcut(action, Shortcut::FindInFiles);
    window->addAction(action);
    // The name at the caret of the active editor window, or its selection on one line.
    auto wordAtCaret = [area] {
        QString word;
        if (QMdiSubWindow* sub = area->activeSubWindow())
            if (auto* view = qobject_cast<CodeEdWindow*>(sub->widget())) {
                const QTextCursor c = view->CodeEditor()->textCursor();
                if (!c.hasSelection())
                    word = view->nameAtCaret();
                else if (!c.selectedText().contains(QChar::ParagraphSeparator))
                    word = c.selectedText();
            }
        return word;
    };
    QObject::connect(action, &QAction::triggered, dock, [dock, panel, wordAtCaret] {
        dock->show();
        dock->raise();
        panel->focusWith(wordAtCaret());
    });
    auto* references = new QAction("Find References", window);
    references->setObjectName("FindReferences");
    setShortcut(references, Shortcut::FindReferences);
    window->addAction(references);
    QObject::connect(references, &QAction::triggered, dock, [dock, panel, wordAtCaret] {
        const QString word = wordAtCaret();
        if (word.isEmpty()) return;
        dock->show();
        dock->raise();
        panel->findReferences(word);
    });
}

} // namespace halyard::gui

#include "find_panel.moc"
