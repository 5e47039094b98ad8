// SPDX-License-Identifier: GPL-3.0-or-later
// The Build panel on a real build: the stand-in tool chain under halyard-batch, the sample project,
// and a real main window offscreen.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

#include "editor/code_ed_window.h"
#include "launch/launcher.h"
#include "sample_project.h"
#include "shell/embedded.h"
#include "shell/main_window.h"
#include "support/fakes.h"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

struct BuildPanel : test::SampleProject {
    QListView* list = window.findChild<QListView*>("BuildOutputList");

    void SetUp() override {
        ASSERT_NE(list, nullptr);
        SampleProject::SetUp();
    }

    int rows() const { return list->model()->rowCount(); }
    QString text(int row) const { return list->model()->index(row, 0).data().toString(); }
    QColor colour(int row) const {
        return list->model()->index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color();
    }
    int row(const QString& wanted) const {
        for (int i = 0; i < rows(); ++i)
            if (text(i) == wanted) return i;
        return -1;
    }
    void shoot(const char* name) {
        if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
            window.grab().save(QString(dir) + "/" + name);
    }
};

TEST_F(BuildPanel, AFailedBuildsErrorOpensItsLineAndAGoodBuildShowsTheMemory) {
    const std::string main = MainC;
    const std::string good = breakMainC();

    build();
    auto* dock = window.findChild<QDockWidget*>("BuildPanel");
    EXPECT_TRUE(dock->isVisible());
    EXPECT_EQ(dock->windowTitle(), "Build - 1 error, 1 warning");
    const int error = row("main.c 15: error[E006]: expected ';' before 'for'");
    ASSERT_GE(error, 0);
    EXPECT_EQ(colour(error), QColor(0xB0, 0x00, 0x00));
    EXPECT_TRUE(text(rows() - 1).startsWith("Failed to create C:\\texassource\\demo.out  ("));
    EXPECT_FALSE(window.findChild<QPushButton*>("BuildStop")->isEnabled());
    shoot("build-failed.png");

    list->setCurrentIndex(list->model()->index(error, 0));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    QApplication::processEvents();
    QMdiSubWindow* sub = window.mdiArea()->activeSubWindow();
    ASSERT_NE(sub, nullptr);
    auto* editor = qobject_cast<gui::CodeEdWindow*>(sub->widget());
    ASSERT_TRUE(editor && editor->model());
    EXPECT_EQ(editor->model()->caption(), "main.c");
    EXPECT_EQ(editor->model()->lineOf(editor->model()->selStart()), 14u);
    EXPECT_GT(editor->model()->selLength(), 0u);
    shoot("build-error-opened.png");

    // F4 steps on to the warning, from the editor window too.
    QAction* next = window.findChild<QAction*>("NextError1");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->shortcut(), QKeySequence(Qt::Key_F4));
    next->trigger();
    EXPECT_EQ(list->currentIndex().row(), error + 1);
    EXPECT_EQ(editor->model()->lineOf(editor->model()->selStart()), 9u);
    window.findChild<QAction*>("PreviousError1")->trigger();
    EXPECT_EQ(list->currentIndex().row(), error);
    EXPECT_EQ(model.editors.count(), 1) << "the open window is used again";

    // Mended outside Halyard: the build saves the open editor windows, so the window goes first.
    ASSERT_TRUE(model.editors.CloseEditorFiles());
    dd.writeBytes(main, good);
    // Find in Files shares the panel's place; a build brings the Build panel forward.
    QApplication::processEvents();
    window.findChild<QAction*>("FindInFiles")->trigger();
    QApplication::processEvents();
    auto inFront = [&] {
        for (auto* tabs : window.findChildren<QTabBar*>())
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->tabText(i) == "Find in Files") return tabs->tabText(tabs->currentIndex());
        return QString();
    };
    ASSERT_EQ(inFront(), "Find in Files");
    build();
    EXPECT_TRUE(inFront().startsWith("Build")) << inFront().toStdString();
    EXPECT_EQ(dock->windowTitle(), "Build - 0 errors, 0 warnings");
    EXPECT_GE(row("Memory use (C:\\texassource\\demo.map):"), 0);
    EXPECT_TRUE(text(rows() - 1).startsWith("VECS")) << text(rows() - 1).toStdString();
    EXPECT_NE(colour(rows() - 1), QColor(0xB0, 0x00, 0x00)); // full of vectors, which do not grow
    shoot("build-good.png");
}

// A tool may name any file of the host: only a text file an editor window can hold is opened,
// read-only outside the project's folders, and every refusal says why.
TEST_F(BuildPanel, AMessageOpensOnlyATextFileAndOutsideTheProjectOnlyToRead) {
    dd.createDirs("C:\\outside");
    dd.writeBytes("C:\\outside\\notes.txt", "line one\r\nline two\r\n");
    dd.writeBytes("C:\\outside\\big.txt", std::string(TCodeEd::MaxLength + 1, 'x'));
    dd.writeBytes("C:\\outside\\blob.txt", std::string("MZ\0\0\x01\x02", 6));
    dd.writeBytes("C:\\texassource\\inside.txt", "mine\r\n");
    dd.writeLines("C:\\texassource\\jump.bat",
                  {"@echo off", "echo C:\\outside\\notes.txt 2: error: outside the project",
                   "echo C:\\outside\\big.txt 1: error: too big",
                   "echo C:\\outside\\blob.txt 1: error: binary", "echo Z:\\dev\\null 1: error: a device",
                   "echo C:\\texassource\\inside.txt 1: error: inside"});
    model.buildOutput.StartBatch("C:\\texassource\\jump.bat", "C:\\texassource", Launcher::Hidden, false);
    ASSERT_TRUE(until([&] { return !model.buildOutput.running(); }));
    auto activate = [&](const char* text) {
        const int at = row(text);
        ASSERT_GE(at, 0) << text;
        ui.shown.clear();
        model.run([&] { model.buildOutput.Activate(at); });
        QApplication::processEvents();
    };
    auto editorOf = [&]() -> QPlainTextEdit* {
        QMdiSubWindow* sub = window.mdiArea()->activeSubWindow();
        return sub ? sub->widget()->findChild<QPlainTextEdit*>("CodeEditor") : nullptr;
    };

    activate("C:\\outside\\notes.txt 2: error: outside the project");
    ASSERT_EQ(model.editors.count(), 1);
    EXPECT_EQ(model.editors.child(0).caption(), "notes.txt (read-only)");
    ASSERT_NE(editorOf(), nullptr);
    EXPECT_TRUE(editorOf()->isReadOnly());
    EXPECT_TRUE(ui.shown.empty());
    shoot("build-read-only.png");

    const std::string head = " named by the message was not opened:\r";
    activate("C:\\outside\\big.txt 1: error: too big");
    EXPECT_EQ(ui.shown,
              std::vector<std::string>{"The file C:\\outside\\big.txt" + head + "it holds 2000001 " +
                                       "bytes, more than the 2000000 an editor window takes."});
    activate("C:\\outside\\blob.txt 1: error: binary");
    EXPECT_EQ(ui.shown,
              std::vector<std::string>{"The file C:\\outside\\blob.txt" + head + "it is not a text file."});
    activate("Z:\\dev\\null 1: error: a device");
    EXPECT_EQ(ui.shown, std::vector<std::string>{"The file Z:\\dev\\null" + head + "it is no plain file."});
    EXPECT_EQ(model.editors.count(), 1);

    activate("C:\\texassource\\inside.txt 1: error: inside");
    ASSERT_EQ(model.editors.count(), 2);
    EXPECT_EQ(model.editors.child(0).caption(), "inside.txt");
    ASSERT_NE(editorOf(), nullptr);
    EXPECT_FALSE(editorOf()->isReadOnly());
}

// A tool that floods the panel: the list holds the last lines only and says so above itself, a line
// longer than any before still scrolls into view, and Copy with nothing selected gives everything.
TEST_F(BuildPanel, AFloodShowsTheLastLinesWithANoteAndCopiesThemAll) {
    const fs::path fake = dd.toHost("C:\\CL370") / "cl370";
    const size_t printed = BuildOutput::ShownLines + 5'000;
    std::ofstream(fake)
        << "#!/bin/sh\nawk 'BEGIN { for (i = 1; i <= " << printed
        << "; i++) print \"demo.c \" i \": warning: w\" }'\nhead -c 300 /dev/zero | tr '\\0' y\n"
        << "echo\necho done\n";
    fs::permissions(fake, fs::perms::owner_all);
    build();
    const BuildOutput& out = model.buildOutput;
    EXPECT_EQ(rows(), static_cast<int>(BuildOutput::ShownLines));
    EXPECT_TRUE(text(rows() - 1).startsWith("Failed to create C:\\texassource\\demo.out  ("));
    EXPECT_EQ(text(0).toStdString(), out.lines().front().text);
    auto* note = window.findChild<QLabel*>("BuildOutputNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text().toStdString(), out.shownNote());
    EXPECT_TRUE(window.findChild<QDockWidget*>("BuildPanel")
                    ->windowTitle()
                    .endsWith(QString::number(printed) + " warnings"));

    // The 300 characters of y are wider than the panel: the list scrolls sideways to their end.
    list->scrollToBottom();
    QApplication::processEvents();
    EXPECT_GE(list->horizontalScrollBar()->maximum() + list->viewport()->width(),
              list->fontMetrics().horizontalAdvance(QString(300, 'y')));
    shoot("build-flood.png");

    list->clearSelection();
    window.findChild<QPushButton*>("BuildCopy")->click();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.count('\n'), static_cast<qsizetype>(out.lineCount()));
    EXPECT_TRUE(copied.contains("demo.c 1: warning: w\n"));
}

// A program that closes its output and goes on running: the panel lets go of the pipe the moment
// the run closes it, so Qt never watches a closed (or reused) descriptor.
TEST_F(BuildPanel, APipeClosedBeforeTheProgramEndsIsNoLongerWatched) {
    const fs::path quiet = dd.toHost("C:\\CL370") / "quiet";
    std::ofstream(quiet) << "#!/bin/sh\necho before\nexec >&- 2>&-\nsleep 1\n";
    fs::permissions(quiet, fs::perms::owner_all);
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { warnings << text; });
    model.buildOutput.StartProgram("C:\\CL370\\quiet", "", "C:\\CL370", Launcher::Hidden);
    until([&] { return !model.buildOutput.running(); });
    qInstallMessageHandler(previous);
    EXPECT_FALSE(model.buildOutput.running());
    EXPECT_GE(row("before"), 0);
    EXPECT_TRUE(warnings.filter("QSocketNotifier").isEmpty()) << warnings.join("\n").toStdString();
}

} // namespace

#ifdef HALYARD_WIN32_TOOLS_DIR
#include "launch/foreign_program.h"

namespace {

// The tool chain a user owns: Windows programs in C:\CL370, run through real Wine, which is
// prepared on the first build with a busy note.
TEST_F(BuildPanel, BuildAllRunsTheWindowsToolChainThroughWine) {
    if (FindWine().empty()) GTEST_SKIP() << "Wine is not installed (scripts/setup installs wine and wine32)";
    for (const char* tool : {"cl370", "lnk370", "asm370", "mk370"}) {
        fs::remove(dd.toHost(std::string("C:\\CL370\\") + tool));
        fs::copy_file(fs::path(HALYARD_WIN32_TOOLS_DIR) / (std::string(tool) + ".exe"),
                      dd.toHost(std::string("C:\\CL370\\") + tool + ".exe"));
    }
    auto* busy = window.findChild<QWidget*>("BuildBusy");
    ASSERT_NE(busy, nullptr);
    bool sawBusy = false;
    window.actionFor(model.menu.Compile1)->trigger();
    // Preparing Wine takes a while on a busy machine.
    for (int i = 0; i < 18000 && model.buildOutput.running(); ++i) {
        QApplication::processEvents();
        if (!sawBusy && busy->isVisible()) shoot("build-wine-preparing.png");
        sawBusy = sawBusy || busy->isVisible();
        QThread::msleep(10);
    }
    ASSERT_FALSE(model.buildOutput.running());
    model.CompileTimer.tick();
    QApplication::processEvents();
    EXPECT_TRUE(sawBusy);
    EXPECT_FALSE(busy->isVisible());
    const int note = row(PreparingWineText);
    ASSERT_GE(note, 0);
    EXPECT_EQ(colour(note), QColor(0x5A, 0x5A, 0x5A));
    EXPECT_TRUE(text(rows() - 1).startsWith("VECS"));
    EXPECT_EQ(window.findChild<QDockWidget*>("BuildPanel")->windowTitle(), "Build - 0 errors, 0 warnings");
    auto startingWith = [&](const QString& start) {
        std::vector<int> found;
        for (int i = 0; i < rows(); ++i)
            if (text(i).startsWith(start)) found.push_back(i);
        return found;
    };
    EXPECT_EQ(startingWith("Created C:\\texassource\\demo.out  (").size(), 1u);
    shoot("build-wine.png");

    const std::string main = "C:\\Halyard\\demo\\main.c";
    const std::string good = dd.readBytes(main);
    dd.writeBytes(main, good + "\nint broken( {\n");
    build();
    EXPECT_EQ(row(PreparingWineText), -1) << "Wine is prepared once";
    EXPECT_EQ(window.findChild<QDockWidget*>("BuildPanel")->windowTitle(), "Build - 1 error, 0 warnings");
    const auto found = startingWith("main.c 25: error[E006]");
    ASSERT_EQ(found.size(), 1u);
    model.buildOutput.Activate(found.front());
    QApplication::processEvents();
    QMdiSubWindow* sub = window.mdiArea()->activeSubWindow();
    ASSERT_NE(sub, nullptr);
    auto* editor = qobject_cast<gui::CodeEdWindow*>(sub->widget());
    ASSERT_TRUE(editor && editor->model());
    EXPECT_EQ(editor->model()->lineOf(editor->model()->selStart()), 24u);
    ASSERT_TRUE(model.editors.CloseEditorFiles());
    dd.writeBytes(main, good);
    [[maybe_unused]] const int ended =
        std::system(("WINEPREFIX='" + dd.root().string() + "' wineserver -k 2>/dev/null").c_str());
}

} // namespace
#endif
