// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "help/about_box.h"
#include "linkcmd/sections_edit.h"
#include "project/project_file.h"
#include "qt_ui.h"
#include "shell/dir_setup.h"
#include "shell/main_window.h"
#include "support/fakes.h"
#include "tools/tool_menus.h"

using namespace halyard;

namespace {
struct Gui : test::GuiFixture {};
} // namespace

TEST_F(Gui, MainWindowShowsItsCaptionMenusToolBarAndSevenPanels) {
    EXPECT_EQ(window.windowTitle(), "Halyard  CL370 IDE");
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    QStringList menus;
    for (QAction* a : window.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "Project", "&Edit Batch", "Options", "Int Vectors", "Libraries",
                                  "Tools", "Program", "Command File", "Window", "&Help"}));
    EXPECT_FALSE(window.actionFor(model.menu.Window1)->isVisible());

    auto* bar = window.findChild<QToolBar*>("ToolBar1");
    ASSERT_NE(bar, nullptr);
    QStringList hints;
    for (QAction* a : bar->actions())
        if (!a->isSeparator()) hints << a->toolTip();
    EXPECT_EQ(hints, (QStringList{"Exit Halyard", "Open Project", "New Project", "Edit Project", "New File",
                                  "Open File", "Compiler Options", "Linker Options",
                                  "Display/Hide Project List", "Compile", "Make", "Run Programming Tool",
                                  "Libarary Options", "Configure Tools", "Halyard Help"}));
    // Each icon draws something: the icon theme, or its fallback, has every name.
    for (QAction* a : bar->actions()) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().pixmap(24, 24).isNull()) << a->toolTip().toStdString();
        }
    }

    const int widths[] = {150, 100, 60, 200, 100, 100, 50};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(window.statusPanel(i)->width(), widths[i]) << i;
    // The last panel reaches the right edge, so its text is never cut at 50 pixels.
    EXPECT_GE(window.statusPanel(6)->width(), widths[6]);
    EXPECT_EQ(window.statusPanel(6)->maximumWidth(), QWIDGETSIZE_MAX);
}

TEST_F(Gui, ModelChangesReachTheWidgetsAndMenuClicksReachTheModel) {
    model.UpdateStatusPanels();
    EXPECT_EQ(window.statusPanel(3)->text(), "-v0 -ms -g");
    model.menu.Compilie1.setEnabled(false);
    EXPECT_FALSE(window.actionFor(model.menu.Compilie1)->isEnabled());

    QAction* display = window.actionFor(model.menu.DisplayCmdLine);
    display->trigger();
    EXPECT_TRUE(model.DisplayCommandLine.checked());
    EXPECT_TRUE(display->isChecked());
    EXPECT_FALSE(window.statusPanel(1)->isVisibleTo(&window));
    display->trigger();
    EXPECT_TRUE(window.statusPanel(1)->isVisibleTo(&window));
}

TEST_F(Gui, ExitClosesTheWindowAndWritesTheSettings) {
    window.show();
    window.actionFor(model.toolBar.ExitBtn)->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(settings.values["Drive"].text, "C:\\");
}

TEST_F(Gui, ArrangeLinesUpTheMinimisedEditorWindowsAndLeavesTheOpenOnesInPlace) {
    window.show();
    model.menu.NewFile1.click();
    model.menu.NewFile1.click();
    QApplication::processEvents();
    const auto subs = window.mdiArea()->subWindowList();
    ASSERT_EQ(subs.size(), 2);
    QMdiSubWindow* open = subs[0];
    QMdiSubWindow* icon = subs[1];
    open->setGeometry(40, 30, 300, 200);
    icon->showMinimized();
    icon->move(120, 10);
    QApplication::processEvents();

    window.actionFor(model.menu.Arrange1)->trigger();
    EXPECT_EQ(open->geometry(), QRect(40, 30, 300, 200));
    EXPECT_EQ(icon->pos(), QPoint(0, window.mdiArea()->viewport()->height() - icon->height()));
}

TEST_F(Gui, TheFirstActivationMaximisesAndLaterOnesLeaveARestoredWindowAsItIs) {
    window.show();
    QApplication::processEvents();
    EXPECT_TRUE(window.isMaximized());
    window.showNormal();
    QApplication::processEvents();
    window.hide();
    window.show(); // shown again, as after returning from another application
    QApplication::processEvents();
    EXPECT_FALSE(window.isMaximized());
}

TEST(QtUiTexts, ClassicFiltersExtensionsAndLineBreaksBecomeQtOnes) {
    EXPECT_EQ(gui::qtFilter("cmd files|*.cmd"), "cmd files (*.cmd)");
    EXPECT_EQ(gui::qtFilter("C Source|*.C|Both|*.c;*.h"), "C Source (*.C);;Both (*.c *.h)");
    // Qt appends the suffix as given: "*.obj" would turn "prog" into "prog.*.obj".
    EXPECT_EQ(gui::qtSuffix("*.obj"), "obj");
    EXPECT_EQ(gui::qtSuffix(".prj"), "prj");
    EXPECT_EQ(gui::qtSuffix(""), "");
    EXPECT_EQ(gui::messageText("Compiler Temporary Folder does not exist\rPlease check Setup"),
              "Compiler Temporary Folder does not exist\nPlease check Setup");
}

// On an 800 x 600 screen the builder (or the compiler options) scrolls inside the window rather
// than holding it taller than the screen, with the Build panel and the status bar below it.
TEST_F(Gui, PagesScrollSoTheWholeWindowFitsASmallScreen) {
    window.show();
    QApplication::processEvents(); // the first activation maximises
    window.showNormal();
    model.buildOutput.BuildPanel.setVisible(true);
    for (MenuItem* show : {&model.menu.Construct1, &model.menu.CompilerOptions}) {
        show->click();
        window.resize(800, 560);
        QApplication::processEvents();
        EXPECT_EQ(window.height(), 560) << show->caption();
        EXPECT_LE(window.statusBar()->geometry().bottom(), window.height()) << show->caption();
        auto* panel = window.findChild<QWidget*>("BuildPanel");
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_GT(panel->height(), 0);
    }
    // With room to spare the page takes its whole height, without a scroll bar.
    window.resize(1024, 1000);
    QApplication::processEvents();
    auto* scroll = window.findChild<QScrollArea*>("OptionsTabsScroll");
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
}

namespace {
// The buttons of `w` that are shown but lie outside `area` (global coordinates), by their texts.
std::string outside(QWidget* w, const QRect& area) {
    std::string out;
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(w) || b->text().isEmpty()) continue;
        QRect seen = area;
        for (QWidget* p = b->parentWidget(); p && p != w; p = p->parentWidget())
            if (auto* scroll = qobject_cast<QAbstractScrollArea*>(p->parentWidget());
                scroll && scroll->viewport() == p)
                seen &= QRect(p->mapToGlobal(QPoint(0, 0)), p->size());
        if (!seen.contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())))
            out += " \"" + b->text().toStdString() + "\"";
    }
    return out;
}
} // namespace

// Every dialog fits the offscreen platform's 800x600 screen with each of its buttons on it, and
// every page of the main window shows its buttons there without scrolling.
TEST_F(Gui, EveryDialogAndPageFitsAnEightHundredBySixHundredScreen) {
    const QSize small(800, 600);
    gui::QtUi qt{drives.dd, &window};
    window.show();
    QApplication::processEvents(); // the first activation maximises
    window.showNormal();
    window.resize(small);
    TDirWarningDlg warning;
    TDirsetup setup{ui, &drives.dd};
    TNewProjPan newProject;
    TNTDlg toolName;
    TAbout about{drives.dd};
    TSectionsEdit sections{ui};
    TIPSectionName inputName{ui};
    for (ModalDialog* d : std::initializer_list<ModalDialog*>{&warning, &setup, &newProject, &toolName,
                                                              &about, &sections, &inputName}) {
        std::string cut = "not shown";
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            cut.clear();
            // As the dialog shows itself, and as small as it lets itself be made.
            for (QSize size : {dialog->size(), dialog->minimumSizeHint().expandedTo(dialog->minimumSize())}) {
                if (size.width() > small.width() || size.height() > small.height())
                    cut += " (the window: " + std::to_string(size.width()) + "x" +
                           std::to_string(size.height()) + ")";
            }
            cut += outside(dialog, QRect(dialog->mapToGlobal(QPoint(0, 0)), dialog->size()));
            if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
                dialog->grab().save(QString(dir) + "/dialog-" + d->kind() + ".png");
            dialog->reject();
        });
        qt.execute(*d);
        EXPECT_EQ(cut, "") << d->kind();
    }
    model.buildOutput.BuildPanel.setVisible(true);
    for (QSize size : {small, QSize(1280, 800)})
        for (MenuItem* show :
             {&model.menu.Construct1, &model.menu.CompilerOptions, &model.menu.LinkerOptions1}) {
            window.resize(size);
            show->click();
            for (int i = 0; i < 3; ++i)
                QApplication::processEvents();
            EXPECT_EQ(window.size(), size);
            for (auto* tabs : window.findChildren<QTabWidget*>()) {
                if (!tabs->isVisible()) continue;
                for (int i = 0; i < tabs->count(); ++i) {
                    tabs->setCurrentIndex(i);
                    QApplication::processEvents();
                    EXPECT_EQ(outside(&window, QRect(window.mapToGlobal(QPoint(0, 0)), window.size())), "")
                        << size.width() << "x" << size.height() << " " << show->caption() << " "
                        << tabs->tabText(i).toStdString();
                }
            }
            if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
                window.grab().save(QString("%1/page-%2-%3.png")
                                       .arg(dir)
                                       .arg(size.width())
                                       .arg(QString::fromStdString(show->caption())));
        }
}
