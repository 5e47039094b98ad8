// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sample project as halyard-sample lays it out, opened in a real main window offscreen, with
// the stand-in tool chain under halyard-batch for builds.
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

#include "editor/code_ed_window.h"
#include "launch/launcher.h"
#include "qt_ui.h"
#include "shell/embedded.h"
#include "shell/main_window.h"
#include "support/fakes.h"

namespace halyard::test {

struct SampleProject : ::testing::Test {
    TempDrives home; // only for a fresh folder, which becomes XDG_DATA_HOME
    std::filesystem::path data = home.dir / "data";
    std::optional<std::string> oldData = [] {
        const char* v = std::getenv("XDG_DATA_HOME");
        return v ? std::optional<std::string>(v) : std::nullopt;
    }();
    bool ready = [this] {
        std::filesystem::create_directories(data);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        const std::string sample =
            (std::filesystem::path(HALYARD_BIN_DIR) / "halyard-sample").string() + " >/dev/null";
        return std::system(sample.c_str()) == 0;
    }();
    DosDevices dd{DosDevices::defaultRoot()};
    // Scripted answers; the real file dialog where a test asks for it.
    struct SampleUi : FakeUi {
        gui::QtUi* realFiles = nullptr;
        std::optional<std::string> openFile(const FileDialog& dialog) override {
            return realFiles ? realFiles->openFile(dialog) : FakeUi::openFile(dialog);
        }
    } ui;
    MemorySettings settings;
    ShellLauncher launcher{dd};
    Clock clock;
    TEmbedded model{{ui, settings, launcher, dd, clock}};
    gui::MainWindow window{model};

    ~SampleProject() override {
        oldData ? ::setenv("XDG_DATA_HOME", oldData->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    }

    void SetUp() override {
        ASSERT_TRUE(ready);
        model.FormCreate();
        model.starttimer.setEnabled(false);
        model.startupDone = true;
        ASSERT_TRUE(model.run([&] { model.project.Openpro("C:\\Halyard\\demo\\demo.prj"); }));
        model.opts.ShowBatch.setChecked(false);
        window.resize(900, 640);
        window.show();
    }

    template <class F> bool until(F done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        return done();
    }
    void build() {
        window.actionFor(model.menu.Compile1)->trigger();
        ASSERT_TRUE(until([&] { return !model.buildOutput.running(); }));
        model.CompileTimer.tick();
        QApplication::processEvents();
    }
    static constexpr const char* MainC = "C:\\Halyard\\demo\\main.c";
    // Takes a semicolon out of main.c, which the stand-in compiler then reports on line 15; gives
    // back the good text.
    std::string breakMainC() {
        const std::string good = dd.readBytes(MainC);
        std::string broken = good;
        broken.replace(broken.find("last = ticks;"), 13, "last = ticks");
        dd.writeBytes(MainC, broken);
        return good;
    }
    gui::CodeEdWindow* active() const {
        QMdiSubWindow* s = window.mdiArea()->activeSubWindow();
        return s ? qobject_cast<gui::CodeEdWindow*>(s->widget()) : nullptr;
    }
    gui::CodeEdWindow* open(const std::string& path) {
        model.run([&] { model.editors.LoadFile(path, 1); });
        QApplication::processEvents();
        return active();
    }
    void shoot(const char* name) {
        if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
            window.grab().save(QString(dir) + "/" + name);
    }
};

} // namespace halyard::test
