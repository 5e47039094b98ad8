// SPDX-License-Identifier: GPL-3.0-or-later
// The Build panel: a dock at the bottom of the main window that shows the model's BuildOutput, with
// Stop, Copy and Save, and the Project menu's "Build Output", "Next Error" and "Previous Error".
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

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
    CopyKey(QListWidget* list, std::function<void()> copy) : QObject(list), copy_(std::move(copy)) {
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

QListWidgetItem* itemFor(const Line& line) {
    auto* item = new QListWidgetItem(qs(line.text));
    item->setForeground(colourOf(line));
    if (line.kind == Line::Command || line.kind == Line::Verdict || line.kind == Line::Summary ||
        line.kind == Line::Error) {
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
    }
    if (line.diagnostic())
        item->setToolTip("Double-click or press Enter to open the line (F4: next message)");
    return item;
}

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

} // namespace

void attachBuildPanel(TEmbedded& e, QMainWindow* window, QMdiArea* area) {
    BuildOutput& out = e.buildOutput;
    auto* dock = new QDockWidget(qs(out.title()), window);
    dock->setObjectName("BuildPanel");
    setHelpTopic(dock, HelpTopic::BuildPanel);
    dock->setFeatures(QDockWidget::DockWidgetClosable);
    dock->setAllowedAreas(Qt::BottomDockWidgetArea);
    dock->installEventFilter(new CloseWatch(out.BuildPanel, dock));

    auto* body = new QWidget(dock);
    auto* layout = new QHBoxLayout(body);
    layout->setContentsMargins(4, 0, 4, 4);
    auto* list = new QListWidget(body);
    list->setObjectName("BuildOutputList");
    // Long command lines scroll rather than lose their end.
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(list, 1);
    auto* buttons = new QVBoxLayout;
    auto* stop = new QPushButton("Stop", body);
    stop->setObjectName("BuildStop");
    stop->setToolTip("End the batch and every program it started");
    auto* copy = new QPushButton("Copy", body);
    copy->setToolTip("Copy the selected lines, or all of them when none is selected");
    auto* save = new QPushButton("Save...", body);
    save->setToolTip("Save the output to a text file");
    for (auto* b : {stop, copy, save})
        buttons->addWidget(b);
    auto* busy = new QProgressBar(body); // while Wine is prepared
    busy->setObjectName("BuildBusy");
    busy->setRange(0, 0);
    busy->setMaximumWidth(stop->sizeHint().width());
    busy->setVisible(false);
    buttons->addWidget(busy);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    dock->setWidget(body);
    window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    window->resizeDocks({dock}, {200}, Qt::Vertical);

    auto sync = [&out, dock, list, stop, busy](BuildOutput::Change c) {
        if (c == BuildOutput::Change::Cleared) list->clear();
        if (c == BuildOutput::Change::Added) {
            QScrollBar* bar = list->verticalScrollBar();
            const bool atEnd = bar->value() == bar->maximum();
            for (int i = list->count(); i < static_cast<int>(out.lines().size()); ++i)
                list->addItem(itemFor(out.lines()[static_cast<size_t>(i)]));
            if (atEnd) list->scrollToBottom();
        }
        if (c == BuildOutput::Change::Current && out.current() >= 0 && out.current() < list->count()) {
            list->setCurrentRow(out.current());
            list->scrollToItem(list->item(out.current()));
        }
        dock->setWindowTitle(qs(out.title()));
        stop->setEnabled(out.running());
        busy->setVisible(out.preparing());
    };
    sync(BuildOutput::Change::State);
    out.observe(sync);
    auto show = [&out, dock] { dock->setVisible(out.BuildPanel.visible()); };
    show();
    out.BuildPanel.observe(show);

    QObject::connect(list, &QListWidget::itemActivated, list, [&e, list](QListWidgetItem* item) {
        const int row = list->row(item);
        e.run([&e, row] { e.buildOutput.Activate(row); });
    });
    QObject::connect(stop, &QPushButton::clicked, stop, [&e] { e.run([&e] { e.buildOutput.StopClick(); }); });
    auto copyLines = [list] {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            if (list->selectedItems().isEmpty() || list->item(i)->isSelected())
                texts << list->item(i)->text();
        QApplication::clipboard()->setText(texts.join('\n') + '\n');
    };
    QObject::connect(copy, &QPushButton::clicked, copy, copyLines);
    new CopyKey(list, copyLines);
    QObject::connect(save, &QPushButton::clicked, save,
                     [&e] { e.run([&e] { e.buildOutput.SaveOutputClick(); }); });

    // The output arrives while the timer runs.
    auto* timer = new QTimer(dock);
    QObject::connect(timer, &QTimer::timeout, dock, [&out] { out.OutputTimer.tick(); });
    auto drive = [timer, &out] {
        if (out.OutputTimer.enabled() && !timer->isActive())
            timer->start(out.OutputTimer.interval);
        else if (!out.OutputTimer.enabled())
            timer->stop();
    };
    drive();
    out.OutputTimer.observe(drive);

    out.showEditor = [area](TCodeEd& editor) {
        for (QMdiSubWindow* sub : area->subWindowList()) {
            auto* view = qobject_cast<CodeEdWindow*>(sub->widget());
            if (view && view->model() == &editor) area->setActiveSubWindow(sub);
        }
    };

    // Beside the build commands; the main window holds the keys too, so that F4 works while an
    // editor's menus stand in the Project menu's place.
    QMenu* project = nullptr;
    for (QAction* a : window->menuBar()->actions())
        if (a->menu() && a->text().toStdString() == e.menu.Project1.caption()) project = a->menu();
    auto* showOutput = new QAction(window);
    auto* next = new QAction(window);
    auto* previous = new QAction(window);
    bind(showOutput, out.ShowBuildOutput);
    bind(next, out.NextError1);
    bind(previous, out.PreviousError1);
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

} // namespace halyard::gui
