// The Build panel on a real build: the stand-in tool chain under halyard-batch, the sample project,
// and a real main window offscreen.
#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QKeyEvent>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

#include "editor/code_ed_window.h"
#include "launch/launcher.h"
#include "shell/embedded.h"
#include "shell/main_window.h"
#include "support/fakes.h"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

struct BuildPanel : ::testing::Test {
    test::TempDrives home; // only for a fresh folder, which becomes XDG_DATA_HOME
    fs::path data = home.dir / "data";
    std::optional<std::string> oldData = [] {
        const char* v = std::getenv("XDG_DATA_HOME");
        return v ? std::optional<std::string>(v) : std::nullopt;
    }();
    bool ready = [this] {
        fs::create_directories(data);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        const std::string sample = (fs::path(HALYARD_BIN_DIR) / "halyard-sample").string() + " >/dev/null";
        return std::system(sample.c_str()) == 0;
    }();
    DosDevices dd{DosDevices::defaultRoot()};
    test::FakeUi ui;
    test::MemorySettings settings;
    ShellLauncher launcher{dd};
    Clock clock;
    TEmbedded model{{ui, settings, launcher, dd, clock}};
    gui::MainWindow window{model};
    QListWidget* list = window.findChild<QListWidget*>("BuildOutputList");

    ~BuildPanel() override {
        oldData ? ::setenv("XDG_DATA_HOME", oldData->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    }

    void SetUp() override {
        ASSERT_TRUE(ready);
        ASSERT_NE(list, nullptr);
        // Started as the desktop starts, minus the start timer's questions.
        model.FormCreate();
        model.starttimer.setEnabled(false);
        model.startupDone = true;
        ASSERT_TRUE(model.run([&] { model.project.Openpro("C:\\Halyard\\demo\\demo.prj"); }));
        model.opts.ShowBatch.setChecked(false);
        window.show();
    }

    // Runs the event loop until done() or a generous limit.
    template <class F> bool until(F done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        return done();
    }
    int row(const QString& text) {
        const auto found = list->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? -1 : list->row(found.first());
    }
    void build() {
        window.actionFor(model.menu.Compile1)->trigger();
        ASSERT_TRUE(until([&] { return !model.buildOutput.running(); }));
        model.CompileTimer.tick(); // the run has ended: no need to wait out the check's period
        QApplication::processEvents();
    }
    void shoot(const char* name) {
        if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
            window.grab().save(QString(dir) + "/" + name);
    }
};

TEST_F(BuildPanel, AFailedBuildsErrorOpensItsLineAndAGoodBuildShowsTheMemory) {
    const std::string main = "C:\\Halyard\\demo\\main.c";
    const std::string good = dd.readBytes(main);
    std::string broken = good;
    broken.replace(broken.find("last = ticks;"), 13, "last = ticks");
    dd.writeBytes(main, broken);

    build();
    auto* dock = window.findChild<QDockWidget*>("BuildPanel");
    EXPECT_TRUE(dock->isVisible());
    EXPECT_EQ(dock->windowTitle(), "Build - 1 error, 1 warning");
    const int error = row("main.c 15: error[E006]: expected ';' before 'for'");
    ASSERT_GE(error, 0);
    EXPECT_EQ(list->item(error)->foreground().color(), QColor(0xB0, 0x00, 0x00));
    EXPECT_TRUE(
        list->item(list->count() - 1)->text().startsWith("Failed to create C:\\texassource\\demo.out  ("));
    EXPECT_FALSE(window.findChild<QPushButton*>("BuildStop")->isEnabled());
    shoot("build-failed.png");

    list->setCurrentRow(error);
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
    EXPECT_EQ(list->currentRow(), error + 1);
    EXPECT_EQ(editor->model()->lineOf(editor->model()->selStart()), 9u);
    window.findChild<QAction*>("PreviousError1")->trigger();
    EXPECT_EQ(list->currentRow(), error);
    EXPECT_EQ(model.editors.count(), 1) << "the open window is used again";

    // Mended outside Halyard: the build saves the open editor windows, so the window goes first.
    ASSERT_TRUE(model.editors.CloseEditorFiles());
    dd.writeBytes(main, good);
    build();
    EXPECT_EQ(dock->windowTitle(), "Build - 0 errors, 0 warnings");
    EXPECT_GE(row("Memory use (C:\\texassource\\demo.map):"), 0);
    const QListWidgetItem* vecs = list->item(list->count() - 1);
    EXPECT_TRUE(vecs->text().startsWith("VECS")) << vecs->text().toStdString();
    EXPECT_NE(vecs->foreground().color(), QColor(0xB0, 0x00, 0x00)); // full of vectors, which do not grow
    shoot("build-good.png");
}

} // namespace
