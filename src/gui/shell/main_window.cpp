// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/main_window.h"

#include <algorithm>

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QGridLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "binders.h"
#include "help/about_dialog.h"
#include "help/context_help.h"
#include "help/help_window.h"
#include "panels.h"
#include "project/page_kit.h"
#include "shortcuts.h"

namespace halyard::gui {

namespace {
// The stock "start" icon is a pale outline that reads as disabled beside its neighbours; a solid
// green triangle reads as ready, and the tool bar greys it when it is not.
QIcon compileIcon() {
    QIcon icon;
    for (int size : {24, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 24.0;
        p.setPen(QPen(QColor(0x1d6b29), 1.5 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(0x34a853));
        p.drawPolygon(QPolygonF{{6 * s, 4 * s}, {20 * s, 12 * s}, {6 * s, 20 * s}});
        icon.addPixmap(pixmap);
    }
    return icon;
}
// A page control or panel that scrolls when the window is lower than the page: as high as the page
// while there is room, never holding the window (and its Build panel and status bar) off the screen.
class PageScroll : public QScrollArea {
public:
    PageScroll(QWidget* page, Control& model, QWidget* parent) : QScrollArea(parent) {
        setObjectName(page->objectName() + "Scroll");
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setWidget(page); // which shows the page, whatever its model says
        page->setVisible(model.visible());
        // The page shows and hides itself; the place it takes follows it.
        follow(this, model, [this, &model] { setVisible(model.visible()); });
    }
    QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        return widget()->sizeHint() + QSize(frame, frame);
    }
    QSize minimumSizeHint() const override { return {120, 80}; }
};

// Icons come from the desktop's icon theme by their freedesktop names, so they follow a dark or any
// other theme; Adwaita (a dependency of the package) has each of them where that theme does not,
// and is the theme where the platform names none (no desktop, the offscreen platform).
void useIconTheme() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Such a platform names no folders either: the freedesktop ones.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& dir : qEnvironmentVariable("XDG_DATA_DIRS", "/usr/local/share:/usr/share").split(':'))
        if (!dir.isEmpty() && !paths.contains(dir + "/icons")) paths << dir + "/icons";
    QIcon::setThemeSearchPaths(paths);
#endif
    if (QIcon::themeName().isEmpty()) QIcon::setThemeName("Adwaita");
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == "hicolor")
        QIcon::setFallbackThemeName("Adwaita");
}
} // namespace

MainWindow::MainWindow(TEmbedded& model) : model_(model) {
    useIconTheme();
    // Halyard's windows, the editor windows inside it included, carry an icon of the kind, not the
    // toolkit's; the program puts its own in its place where it has one.
    QApplication::setWindowIcon(QIcon::fromTheme("system-run"));
    registerShellDialogs();
    setObjectName("TEmbedded");
    setWindowTitle(qs(model_.Caption));
    buildMenus();
    buildToolBar();
    buildStatusBar();
    buildPanels();
    driveTimer(model_.starttimer);
    driveTimer(model_.CompileTimer);
    model_.CloseMainWindow = [this] { close(); };
    model_.Tile1Click = [this] { mdi_->tileSubWindows(); };
    model_.Cascade1Click = [this] { mdi_->cascadeSubWindows(); };
    model_.Arrange1Click = [this] { arrangeIcons(); };
    attachEditors(model_, mdi_, this);
    setShortcut(actionFor(model_.menu.OpenFile), Shortcut::Open);
    setShortcut(actionFor(model_.menu.NewFile1), Shortcut::New);
    // An active editor window takes the Project menu's place in the menu bar; held by the window
    // itself, the build keys still reach their commands.
    for (auto [item, key] : {std::pair{&model_.menu.Compile1, Shortcut::BuildAll},
                             std::pair{&model_.menu.Make, Shortcut::Make}}) {
        QAction* action = actionFor(*item);
        setShortcut(action, key);
        addAction(action);
    }
    attachBuildPanel(model_, this, mdi_);
    attachFindInFiles(model_, this, mdi_);
    attachCodeNavigation(model_, this, mdi_);
    attachMemoryMap(model_, this, mdi_);
    QObject::connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (!sub || !symbolsStepAside_) return;
        symbolsStepAside_ = false;
        if (auto* symbols = findChild<QDockWidget*>("SymbolsDock")) symbols->show();
    });
    attachHelp();
    resize(1024, 700);
}

MainWindow::~MainWindow() {
    model_.help.detachView();
}

void MainWindow::attachHelp() {
    helpEngine_ = std::make_unique<QtHelpEngine>(model_.dd, model_.ui);
    aboutMetrics_ = std::make_unique<QtAboutMetrics>(model_.dd);
    model_.help.setEngine(*helpEngine_);
    model_.help.setMetrics(*aboutMetrics_);
    model_.help.Application.window = reinterpret_cast<WindowHandle>(this);
    auto open = [](const std::string& url) { QDesktopServices::openUrl(QUrl(qs(url))); };
    model_.help.web.open = open;
    model_.help.email.open = open;
    registerHelpDialogs(model_.dd);
    installContextHelp(model_, this);
}

QAction* MainWindow::actionFor(const MenuItem& item) const {
    auto it = actions_.find(&item);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::buildMenus() {
    for (auto& m : model_.menu.layout()) {
        QAction* top;
        if (m.entries.empty()) {
            // A top-level entry that is itself a command ("&Edit Batch").
            top = menuBar()->addAction(qs(m.top->caption()));
            bind(top, *m.top);
        } else {
            QMenu* menu = menuBar()->addMenu(qs(m.top->caption()));
            top = menu->menuAction();
            bind(top, *m.top);
            QActionGroup* radio = nullptr;
            for (MenuItem* item : m.entries) {
                if (!item) {
                    menu->addSeparator();
                    continue;
                }
                QAction* a = menu->addAction(qs(item->caption()));
                bind(a, *item);
                if (item->radioItem) {
                    if (!radio) radio = new QActionGroup(menu);
                    radio->addAction(a);
                }
                actions_[item] = a;
            }
        }
        actions_[m.top] = top;
    }
    attachToolsMenu(model_, actionFor(model_.menu.Tools1)->menu());
}

void MainWindow::buildToolBar() {
    // Freedesktop icon names; the empty one is "Compile", drawn here.
    static const char* icons[] = {"application-exit",    "folder-open",
                                  "folder-new",          "accessories-text-editor",
                                  "document-new",        "document-open",
                                  "preferences-system",  "preferences-other",
                                  "format-justify-left", "",
                                  "system-run",          "media-record",
                                  "emblem-package",      "applications-utilities",
                                  "help-browser"};
    auto* bar = addToolBar("ToolBar1");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    int i = 0;
    for (MenuItem* button : model_.toolBar.buttons()) {
        if (!button) {
            bar->addSeparator();
            continue;
        }
        const char* name = icons[i++];
        QAction* a = bar->addAction(*name ? QIcon::fromTheme(name) : compileIcon(), qs(button->hint()));
        bind(a, *button);
        actions_[button] = a;
    }
}

void MainWindow::buildStatusBar() {
    auto& model = model_.StatusBar;
    for (int i = 0; i < model.count(); ++i) {
        auto* label = new QLabel(statusBar());
        label->setObjectName(QString("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(label, i == model.count() - 1 ? 1 : 0);
        panels_.push_back(label);
    }
    auto sync = [this] {
        auto& m = model_.StatusBar;
        for (int i = 0; i < m.count(); ++i) {
            panels_[i]->setText(qs(m.panel(i).text));
            panels_[i]->setToolTip(qs(m.panel(i).text)); // a panel may be too narrow for its text
            sizeStatusPanel(panels_[i], m.panel(i).width, i == m.count() - 1);
            // The command-line display spreads panel 0 over the whole bar.
            panels_[i]->setVisible(i == 0 || m.panel(0).width < m.totalWidth);
        }
    };
    sync();
    model.observe(sync);
}

void MainWindow::buildPanels() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    // The page controls share one place: shown together they overlap, the one shown last in front,
    // instead of piling up and stretching the window beyond the screen.
    auto* pages = new QGridLayout;
    pages->setContentsMargins(0, 0, 0, 0);
    const std::pair<QWidget*, Panel*> pageControls[] = {
        {createOptionsTabs(model_, central), &model_.OptionsTabs},
        {createLinkerOptions(model_, central), &model_.LinkerOptions},
        {createLinkCmdWiz(model_, central), &model_.LinkCmdWiz},
        {createLibaryGenOps(model_, central), &model_.LibaryGenOps}};
    for (auto [widget, panel] : pageControls) {
        auto* scroll = new PageScroll(widget, *panel, central);
        pages->addWidget(scroll, 0, 0);
        follow(scroll, *panel, [this, scroll, panel, shown = panel->visible()]() mutable {
            if (panel->visible() && !shown) {
                scroll->raise();
                QTimer::singleShot(0, this, [this, scroll] { fitPage(scroll); });
            }
            shown = panel->visible();
        });
        pageScrolls_.push_back(scroll);
    }
    layout->addLayout(pages);
    // A click on a page's tab takes the focus there, so F1 then asks for that page's topic rather
    // than for whatever had the focus before.
    for (auto* tabs : central->findChildren<QTabWidget*>())
        tabs->tabBar()->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(new PageScroll(createProjEditPan(model_, central), model_.ProjEditPan, central));
    mdi_ = new QMdiArea(central);
    mdi_->setObjectName("MDIArea");
    // The editor windows' place takes what the pages leave, down to nothing on a small screen.
    mdi_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    layout->addWidget(mdi_, 1);
    setCentralWidget(central);

    auto* dock = new QDockWidget(this);
    dock->setObjectName("DisplayPanel");
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    dock->setWidget(createDisplayPanel(model_, dock));
    dock->setFixedWidth(300);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    auto syncDock = [this, dock] { dock->setVisible(model_.DisplayPanel.visible()); };
    syncDock();
    model_.DisplayPanel.observe(syncDock);
}

void MainWindow::driveTimer(Timer& timer) {
    auto* qt = new QTimer(this);
    qt->setSingleShot(false);
    // A modal dialog's event loop runs timers as well, and so does a menu's. What the start-up and a
    // build's verdict do (open a project, save and close the editor windows, ask questions) would
    // pull windows from under them: they wait for the answer, the timer trying again at its next
    // interval.
    QObject::connect(qt, &QTimer::timeout, this, [&timer] {
        if (!QApplication::activeModalWidget() && !QApplication::activePopupWidget()) timer.tick();
    });
    auto sync = [qt, &timer] {
        if (timer.enabled() && !qt->isActive())
            qt->start(timer.interval);
        else if (!timer.enabled())
            qt->stop();
    };
    sync();
    timer.observe(sync);
}

void MainWindow::arrangeIcons() {
    // Only the minimised windows move: they line up from the bottom left corner, row above row,
    // and the open windows keep their places.
    const int width = mdi_->viewport()->width();
    int x = 0, bottom = mdi_->viewport()->height(), rowHeight = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        if (!w->isMinimized()) continue;
        if (x > 0 && x + w->width() > width) {
            x = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        w->move(x, bottom - w->height());
        x += w->width();
        rowHeight = std::max(rowHeight, w->height());
    }
}

void MainWindow::activated() {
    // Only the first activation maximises: a window the user has since restored stays as it is.
    const bool before = model_.maximized;
    model_.FormCreate();
    if (!before && model_.maximized) showMaximized();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Offscreen and some window managers never report activation; the first showing counts too.
    QTimer::singleShot(0, this, [this] { activated(); });
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) activated();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    model_.StatusBar.totalWidth = width();
    for (QWidget* scroll : pageScrolls_)
        if (scroll->isVisible()) QTimer::singleShot(0, this, [this, scroll] { fitPage(scroll); });
}

// The Build panel gets lower, down to its least height, and the Symbols dock, which lists an
// editor window's names, steps aside while no editor window is active; the next one brings it back.
void MainWindow::fitPage(QWidget* scroll) {
    if (!scroll->isVisible()) return;
    const QSize need = scroll->sizeHint() - scroll->size();
    auto* build = findChild<QDockWidget*>("BuildPanel");
    if (need.height() > 0 && build && build->isVisible() && !build->isFloating()) {
        const int least = build->minimumSizeHint().height();
        if (build->height() > least)
            resizeDocks({build}, {std::max(least, build->height() - need.height())}, Qt::Vertical);
    }
    auto* symbols = findChild<QDockWidget*>("SymbolsDock");
    if (need.width() > 0 && symbols && symbols->isVisible() && !symbols->isFloating() &&
        !mdi_->activeSubWindow()) {
        symbols->hide();
        symbolsStepAside_ = true;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!model_.buildOutput.FormCloseQuery()) {
        event->ignore();
        return;
    }
    bool carryOn = true;
    const bool windowMenu = model_.menu.Window1.visible();
    model_.run([&] { carryOn = model_.editors.CloseEditorFiles(); });
    if (!carryOn) {
        // Halyard stays open with its editor windows, so they keep their menu.
        model_.menu.Window1.setVisible(windowMenu);
        event->ignore();
        return;
    }
    model_.FormClose();
    event->accept();
}

} // namespace halyard::gui
