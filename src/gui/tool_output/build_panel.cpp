// SPDX-License-Identifier: GPL-3.0-or-later
// The Build panel: a dock at the bottom of the main window that shows the model's BuildOutput, with
// Stop, Copy and Save, and the Project menu's "Build Output", "Next Error" and "Previous Error".
#include <QAbstractListModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

#include <QPointer>
#include <algorithm>
#include <cmath>

#include "binders.h"
#include "editor/code_ed_window.h"
#include "help/context_help.h"
#include "panels.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

using Line = BuildOutput::Line;

QColor colourOf(const Line& line) {
    switch (line.kind) {
    case Line::Error:
    case Line::MemoryFull:
        return QColor(0xB0, 0x00, 0x00);
    case Line::Warning:
        return QColor(0x9A, 0x5B, 0x00);
    case Line::Command:
        return QColor(0x00, 0x3F, 0x8F);
    case Line::Note:
        return QColor(0x5A, 0x5A, 0x5A);
    case Line::Verdict:
        return line.text.rfind("Failed", 0) == 0 || line.text.rfind("Ended", 0) == 0
                   ? QColor(0xB0, 0x00, 0x00)
                   : QColor(0x00, 0x70, 0x20);
    default:
        return QApplication::palette().color(QPalette::Text);
    }
}

// Ctrl+C copies the lines while the list has the focus: taken as the list's own key, as a text field
// takes it, since a shortcut would clash with the Copy of the editor window that is active.
class CopyKey : public QObject {
public:
    CopyKey(QWidget* list, std::function<void()> copy) : QObject(list), copy_(std::move(copy)) {
        list->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
        if (!key || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) return false;
        if (event->type() == QEvent::KeyPress) copy_();
        event->accept();
        return true;
    }

private:
    std::function<void()> copy_;
};

bool bold(const Line& line) {
    return line.kind == Line::Command || line.kind == Line::Verdict || line.kind == Line::Summary ||
           line.kind == Line::Error;
}

// The lines the model shows, read where they lie: the list asks only for the rows on screen, so a
// line costs nothing until it is seen. The list follows the model in batches, at most once a
// frame, however fast the tools print.
class LinesModel : public QAbstractListModel {
public:
    LinesModel(const BuildOutput& out, QFont font, QObject* parent)
        : QAbstractListModel(parent), out_(out), font_(font), boldFont_(font) {
        boldFont_.setBold(true);
        // Fixed pitch, but not always a whole number of pixels per character.
        for (const QFont& f : {font_, boldFont_}) {
            const QFontMetricsF metrics(f);
            charWidth_ =
                std::max(charWidth_, metrics.horizontalAdvance(QString(100, QLatin1Char('W'))) / 100);
            lineHeight_ = std::max(lineHeight_, static_cast<int>(std::ceil(metrics.height())) + 2);
        }
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(end_ - first_);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const Line* line = at(index.row());
        if (!line) return {};
        switch (role) {
        case Qt::DisplayRole:
            return qs(line->text);
        case Qt::ForegroundRole:
            return QBrush(colourOf(*line));
        case Qt::FontRole:
            return bold(*line) ? boldFont_ : font_;
        case Qt::SizeHintRole:
            // Every row as wide as the widest so far, so the list scrolls to the end of any line
            // without measuring each.
            return QSize(static_cast<int>(std::ceil(widest_ * charWidth_)) + 8, lineHeight_);
        case Qt::ToolTipRole:
            if (line->kind == Line::Memory || line->kind == Line::MemoryFull)
                return QVariant("Click to show the memory map");
            return line->diagnostic()
                       ? QVariant("Double-click or press Enter to open the line (F4: next message)")
                       : QVariant();
        default:
            return {};
        }
    }
    // The run's line number of a row.
    size_t lineOf(int row) const { return first_ + static_cast<size_t>(row); }
    int rowOf(size_t line) const {
        return line >= first_ && line < end_ ? static_cast<int>(line - first_) : -1;
    }
    // The text of rows, whole, as Save gives them.
    QString wholeText(int row) const { return qs(out_.wholeLine(lineOf(row))); }

    void clear() {
        beginResetModel();
        first_ = end_ = out_.firstShown();
        widest_ = 0;
        endResetModel();
    }
    // Takes in what the model added since the last call; true when rows came.
    bool follow() {
        const size_t first = out_.firstShown(), end = out_.lineCount();
        if (first > first_) {
            const size_t gone = std::min(first, end_) - first_;
            if (gone > 0) {
                beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
                first_ += gone;
                endRemoveRows();
            }
            // All the rows went: the list starts again where the model's lines begin.
            if (first_ < first) first_ = end_ = first;
        }
        if (end <= end_) return false;
        for (size_t i = std::max(end_, out_.firstShown()); i < end; ++i) {
            const std::string& text = out_.lines()[i - out_.firstShown()].text;
            int columns = static_cast<int>(text.size());
            if (text.find('\t') != std::string::npos) {
                columns = 0;
                for (char c : text)
                    columns = c == '\t' ? (columns / 8 + 1) * 8 : columns + 1;
            }
            widest_ = std::max(widest_, columns);
        }
        beginInsertRows({}, rowCount(), rowCount() + static_cast<int>(end - end_) - 1);
        end_ = end;
        endInsertRows();
        return true;
    }

private:
    const Line* at(int row) const {
        const size_t line = lineOf(row);
        if (row < 0 || line >= end_ || line < out_.firstShown() || line >= out_.lineCount()) return nullptr;
        return &out_.lines()[line - out_.firstShown()];
    }
    const BuildOutput& out_;
    QFont font_, boldFont_;
    size_t first_ = 0, end_ = 0; // the run's lines that the list holds as rows
    int widest_ = 0, lineHeight_ = 0;
    qreal charWidth_ = 0;
};

// The dock's close button hides the panel in the model, so "Build Output" shows it again.
class CloseWatch : public QObject {
public:
    CloseWatch(Panel& panel, QObject* parent) : QObject(parent), panel_(panel) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) panel_.setVisible(false);
        return false;
    }

private:
    Panel& panel_;
};

// The dock and what it keeps between the model's changes: the rows fed so far, the frame timer that
// batches them, the notifier on the run's pipe and the timer that drives the model's OutputTimer.
class BuildPanel : public QDockWidget {
public:
    BuildPanel(TEmbedded& e, QMainWindow* window, QMdiArea* area);

private:
    static constexpr int FrameMs = 16;

    void buildWidgets();
    void addProjectCommands(QMainWindow* window);
    // New lines reach the list in batches: at once when the list has not been fed for a frame, else
    // at the end of that frame, so that a message is on screen within a frame of its arrival and a
    // flood of output costs one update per frame.
    void feed();
    // The pipe is read when it has something: a notifier on it, with the model's timer left to
    // notice the batch's end when a program it started keeps the pipe open.
    void watch();
    void sync(BuildOutput::Change c);
    void copyLines();
    void showMemoryRange(const QModelIndex& index);
    // The end of a run whose pipe stays open is noticed by the model's timer.
    void drive();

    TEmbedded& e_;
    BuildOutput& out_;
    QMdiArea* area_;
    QListView* list_ = nullptr;
    LinesModel* lines_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* stop_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QTimer frame_, outputTimer_;
    QElapsedTimer sinceFed_;
    QPointer<QSocketNotifier> notifier_;
};

BuildPanel::BuildPanel(TEmbedded& e, QMainWindow* window, QMdiArea* area)
    : QDockWidget(qs(e.buildOutput.title()), window), e_(e), out_(e.buildOutput), area_(area) {
    setObjectName("BuildPanel");
    setHelpTopic(this, HelpTopic::BuildPanel);
    setFeatures(QDockWidget::DockWidgetClosable);
    setAllowedAreas(Qt::BottomDockWidgetArea);
    installEventFilter(new CloseWatch(out_.BuildPanel, this));
    buildWidgets();
    window->addDockWidget(Qt::BottomDockWidgetArea, this);
    window->resizeDocks({this}, {200}, Qt::Vertical);

    frame_.setSingleShot(true);
    sinceFed_.start();
    connect(&frame_, &QTimer::timeout, this, &BuildPanel::feed);
    sync(BuildOutput::Change::State);
    out_.observe([this](BuildOutput::Change c) { sync(c); });
    auto show = [this] { setVisible(out_.BuildPanel.visible()); };
    show();
    out_.BuildPanel.observe(show);
    // A run and F4 bring the panel forward, also from behind Find in Files, which shares its place.
    out_.observe([this](BuildOutput::Change c) {
        if (c == BuildOutput::Change::Cleared || c == BuildOutput::Change::Current)
            QTimer::singleShot(0, this, [this] {
                if (out_.BuildPanel.visible()) raise();
            });
    });

    connect(&outputTimer_, &QTimer::timeout, this, [this] { out_.OutputTimer.tick(); });
    drive();
    out_.OutputTimer.observe([this] { drive(); });

    out_.showEditor = [area = area_](TCodeEd& editor) {
        for (QMdiSubWindow* sub : area->subWindowList()) {
            auto* view = qobject_cast<CodeEdWindow*>(sub->widget());
            if (view && view->model() == &editor) area->setActiveSubWindow(sub);
        }
    };
    addProjectCommands(window);
}

void BuildPanel::buildWidgets() {
    auto* body = new QWidget(this);
    auto* layout = new QHBoxLayout(body);
    layout->setContentsMargins(4, 0, 4, 4);
    auto* column = new QVBoxLayout;
    note_ = new QLabel(body);
    note_->setObjectName("BuildOutputNote");
    note_->setVisible(false);
    column->addWidget(note_);
    list_ = new QListView(body);
    list_->setObjectName("BuildOutputList");
    // Long command lines scroll rather than lose their end.
    list_->setTextElideMode(Qt::ElideNone);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One fixed-pitch line per row, so the list never measures rows it does not show.
    list_->setUniformItemSizes(true);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lines_ = new LinesModel(out_, list_->font(), list_);
    list_->setModel(lines_);
    column->addWidget(list_, 1);
    layout->addLayout(column, 1);
    auto* buttons = new QVBoxLayout;
    stop_ = new QPushButton("Stop", body);
    stop_->setObjectName("BuildStop");
    stop_->setToolTip("End the batch and every program it started");
    auto* copy = new QPushButton("Copy", body);
    copy->setObjectName("BuildCopy");
    copy->setToolTip("Copy the selected lines, or all of them when none is selected");
    auto* save = new QPushButton("Save...", body);
    save->setToolTip("Save the output to a text file");
    for (auto* b : {stop_, copy, save})
        buttons->addWidget(b);
    busy_ = new QProgressBar(body); // while Wine is prepared
    busy_->setObjectName("BuildBusy");
    busy_->setRange(0, 0);
    busy_->setMaximumWidth(stop_->sizeHint().width());
    busy_->setVisible(false);
    buttons->addWidget(busy_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setWidget(body);

    connect(list_, &QListView::activated, list_, [this](const QModelIndex& index) {
        const int line = static_cast<int>(lines_->lineOf(index.row()));
        e_.run([this, line] { out_.Activate(line); });
    });
    connect(list_, &QListView::clicked, list_, [this](const QModelIndex& index) { showMemoryRange(index); });
    connect(stop_, &QPushButton::clicked, stop_, [this] { e_.run([this] { out_.StopClick(); }); });
    connect(copy, &QPushButton::clicked, copy, [this] { copyLines(); });
    new CopyKey(list_, [this] { copyLines(); });
    connect(save, &QPushButton::clicked, save, [this] { e_.run([this] { out_.SaveOutputClick(); }); });
}

void BuildPanel::feed() {
    sinceFed_.restart();
    QScrollBar* bar = list_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    if (lines_->follow() && atEnd) list_->scrollToBottom();
    const QString title = qs(out_.title());
    if (windowTitle() != title) setWindowTitle(title);
    const QString why = qs(out_.shownNote());
    if (note_->text() != why) {
        note_->setText(why);
        note_->setVisible(!why.isEmpty());
    }
    stop_->setEnabled(out_.running());
    busy_->setVisible(out_.preparing());
}

void BuildPanel::watch() {
    const int fd = out_.running() ? out_.outputDescriptor() : -1;
    if (notifier_ && notifier_->socket() == fd) return;
    if (notifier_) {
        // It may be the one whose signal runs now.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (fd < 0) return;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_.data(), &QSocketNotifier::activated, this, [this] { out_.OutputTimer.tick(); });
}

void BuildPanel::sync(BuildOutput::Change c) {
    if (c == BuildOutput::Change::Cleared) {
        lines_->clear();
        // The old run's pipe is closed already; its number may come back for the next run.
        watch();
    }
    if (c == BuildOutput::Change::Current) {
        feed();
        const int row = lines_->rowOf(static_cast<size_t>(out_.current()));
        if (row >= 0) {
            list_->setCurrentIndex(lines_->index(row));
            list_->scrollTo(lines_->index(row));
        }
    }
    if (c == BuildOutput::Change::Added) {
        if (!frame_.isActive()) frame_.start(std::max<qint64>(0, FrameMs - sinceFed_.elapsed()));
        return;
    }
    // The run closes its pipe: the notifier goes before the number is given back.
    if (c == BuildOutput::Change::Pipe) return watch();
    watch();
    feed();
}

void BuildPanel::copyLines() {
    QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        QApplication::clipboard()->setText(qs(out_.text()));
        return;
    }
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList texts;
    for (const QModelIndex& row : rows)
        texts << lines_->wholeText(row.row());
    QApplication::clipboard()->setText(texts.join('\n') + '\n');
}

// A click on a row of the memory table shows that range in the memory map.
void BuildPanel::showMemoryRange(const QModelIndex& index) {
    const size_t line = lines_->lineOf(index.row());
    if (line < out_.firstShown() || line >= out_.lineCount() || !out_.showMemoryMap) return;
    const Line& l = out_.lines()[line - out_.firstShown()];
    if (l.kind != Line::Memory && l.kind != Line::MemoryFull) return;
    const std::string first = l.text.substr(0, l.text.find(' '));
    for (const MemoryUse& r : out_.memory())
        if (r.name == first) return out_.showMemoryMap(first);
    if (first == "range") out_.showMemoryMap({});
}

void BuildPanel::drive() {
    if (out_.OutputTimer.enabled() && !outputTimer_.isActive())
        outputTimer_.start(out_.OutputTimer.interval);
    else if (!out_.OutputTimer.enabled())
        outputTimer_.stop();
}

// Beside the build commands; the main window holds the keys too, so that F4 works while an editor's
// menus stand in the Project menu's place.
void BuildPanel::addProjectCommands(QMainWindow* window) {
    QMenu* project = nullptr;
    for (QAction* a : window->menuBar()->actions())
        if (a->menu() && a->text().toStdString() == e_.menu.Project1.caption()) project = a->menu();
    auto* showOutput = new QAction(window);
    auto* next = new QAction(window);
    auto* previous = new QAction(window);
    bind(showOutput, out_.ShowBuildOutput);
    bind(next, out_.NextError1);
    bind(previous, out_.PreviousError1);
    next->setShortcut(Qt::Key_F4);
    previous->setShortcut(Qt::SHIFT | Qt::Key_F4);
    for (QAction* a : {showOutput, next, previous}) {
        a->setObjectName(qs(a == next ? "NextError1" : a == previous ? "PreviousError1" : "ShowBuildOutput"));
        window->addAction(a);
    }
    if (project) {
        project->addSeparator();
        project->addActions({showOutput, next, previous});
    }
}

} // namespace

void attachBuildPanel(TEmbedded& e, QMainWindow* window, QMdiArea* area) {
    new BuildPanel(e, window, area); // the main window owns its docks
}

} // namespace halyard::gui
