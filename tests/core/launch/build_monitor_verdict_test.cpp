// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>

#include "base/paths.h"
#include "support/build_rig.h"

namespace halyard::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Sets the output file's time stamp relative to the build's start.
void stamp(BuildRig& r, fs::file_time_type when) {
    r.t.put(TrimRight(r.e.ObjectFile), "linked");
    fs::last_write_time(r.t.dd.toHost(r.e.ObjectFile), when);
}

TEST(BuildMonitor, RefusesWithoutAProject) {
    BuildRig r;
    r.e.ProjectPath = NoProjectLoaded;
    r.e.menu.Compile1.click();
    EXPECT_EQ(r.ui.shown, std::vector<std::string>{"Cant Compile,  No Project loaded"});
    EXPECT_TRUE(r.launcher.calls.empty());
    EXPECT_EQ(r.batch(), "<none>");
    EXPECT_FALSE(r.e.CompileTimer.enabled());
}

TEST(BuildMonitor, StartsTheBatchAndArmsTheCheck) {
    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown" : "hidden");
        BuildRig r;
        r.e.opts.ShowBatch.setChecked(shown);
        r.e.toolBar.CompileBtn.click();
        ASSERT_EQ(r.launcher.calls.size(), 1u);
        const auto& call = r.launcher.calls[0];
        EXPECT_EQ(call.file, "C:\\texassource\\ide.bat");
        EXPECT_EQ(call.parameters, "");
        EXPECT_EQ(call.directory, "C:\\");
        EXPECT_EQ(call.showMode, shown ? 5 : 0);
        EXPECT_EQ(r.e.StatusBar.panel(3).text, "Compile Started");
        EXPECT_TRUE(r.e.CompileTimer.enabled());
        EXPECT_EQ(r.e.CompileTimer.interval, 5000);
        EXPECT_EQ(r.e.CompileStartTime, r.clock.time);
        EXPECT_EQ(r.e.dd.currentDirectory(), "C:\\texassource");
        EXPECT_NE(r.batch(), "<none>");
        EXPECT_TRUE(r.ui.shown.empty());
    }
}

// What happens to the output file between the build's start and the check.
enum class After { Untouched, Rewritten, Replaced, Removed };

struct VerdictCase {
    const char* name;
    bool existedBefore;
    After after;
    fs::file_time_type::duration stampAfterStart; // the written file's time, relative to the start
    const char* verdict;
};

TEST(BuildMonitor, JudgesTheBuildByWhatHappenedToTheOutputFileNotByTheClock) {
    const std::vector<VerdictCase> cases = {
        {"rewritten", true, After::Rewritten, 2s, "Updated C:\\texassource\\demo.out "},
        // A coarse clock (2 s on FAT) rounds a fast rebuild's time down to the start or before it.
        {"rewritten within the clock's grain", true, After::Rewritten, 0s,
         "Updated C:\\texassource\\demo.out "},
        {"rewritten, time rounded below the start", true, After::Rewritten, -1s,
         "Updated C:\\texassource\\demo.out "},
        {"replaced by a file carrying the old time", true, After::Replaced, -2h,
         "Updated C:\\texassource\\demo.out "},
        {"old file left behind", true, After::Untouched, 0s, "Failed to create C:\\texassource\\demo.out "},
        {"new file", false, After::Rewritten, 2s, "Created C:\\texassource\\demo.out "},
        {"new file with a time before the start", false, After::Rewritten, -1s,
         "Created C:\\texassource\\demo.out "},
        {"no file before or after", false, After::Removed, 0s, "Failed to create C:\\texassource\\demo.out "},
        {"old file removed", true, After::Removed, 0s, "Failed to create C:\\texassource\\demo.out "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BuildRig r;
        if (c.existedBefore) stamp(r, r.clock.time - 2h);
        r.e.menu.Compile1.click();
        ASSERT_EQ(r.launcher.calls.size(), 1u);
        const fs::path host = r.t.dd.toHost(r.e.ObjectFile);
        switch (c.after) {
        case After::Untouched:
            break;
        case After::Rewritten: // in place
            stamp(r, r.e.CompileStartTime + c.stampAfterStart);
            break;
        case After::Replaced: // written beside it and renamed over it, as linkers often do
            r.t.dd.writeBytes(r.e.ObjectFile, "relinked");
            fs::last_write_time(host, r.e.CompileStartTime + c.stampAfterStart);
            break;
        case After::Removed:
            fs::remove(host);
            break;
        }
        r.e.CompileTimer.tick();
        EXPECT_FALSE(r.e.CompileTimer.enabled());
        EXPECT_EQ(r.e.StatusBar.panel(3).text, c.verdict);
    }
}

TEST(BuildMonitor, ASecondBuildKeepsThePeriodAndJudgesFromItsOwnStart) {
    BuildRig r;
    stamp(r, r.clock.time - 2h);
    r.e.menu.Compile1.click();
    const auto first = r.e.CompileStartTime;
    // Written by the first build before the second one started: not the second build's output.
    stamp(r, first + 1s);
    r.clock.time += 3s;
    r.e.menu.Compile1.click();
    EXPECT_EQ(r.e.CompileStartTime, first + 3s);
    EXPECT_EQ(r.launcher.calls.size(), 2u);
    r.e.CompileTimer.tick();
    EXPECT_EQ(r.e.StatusBar.panel(3).text, "Failed to create C:\\texassource\\demo.out ");
}

TEST(BuildMonitor, WaitsForABatchThatIsStillRunning) {
    BuildRig r;
    r.e.menu.Compile1.click();
    r.launcher.running.insert(r.launcher.calls.at(0).file);
    r.e.CompileTimer.tick();
    EXPECT_EQ(r.e.StatusBar.panel(3).text, "Compile Started");
    EXPECT_TRUE(r.e.CompileTimer.enabled());
    EXPECT_EQ(r.e.CompileTimer.interval, BuildMonitor::RecheckDelay);

    stamp(r, r.e.CompileStartTime + 9s);
    r.launcher.running.clear();
    r.e.CompileTimer.tick();
    EXPECT_EQ(r.e.StatusBar.panel(3).text, "Created C:\\texassource\\demo.out ");
    EXPECT_FALSE(r.e.CompileTimer.enabled());
    EXPECT_EQ(r.e.CompileTimer.interval, 5000);
}

TEST(BuildMonitor, AStoppedGenerationStartsNothing) {
    BuildRig r;
    r.t.put("C:\\work\\my.cmd", "-l missing.lib\r\n");
    r.e.CmdFilePath = "C:\\work\\my.cmd";
    r.e.menu.Compile1.click();
    EXPECT_EQ(r.ui.shown.size(), 1u);
    EXPECT_TRUE(r.launcher.calls.empty());
    EXPECT_FALSE(r.e.CompileTimer.enabled());
}

TEST(BuildMonitor, CompileOnlyLeavesOutTheLinkerAndRestoresIt) {
    for (bool linking : {true, false}) {
        SCOPED_TRACE(linking ? "linker enabled" : "linker disabled");
        BuildRig r;
        r.e.opts.EL.setChecked(linking);
        r.e.menu.Compilie1.click();
        EXPECT_EQ(r.e.LastCommandLine, "cl370 -g -ms  C:\\work\\main.c ");
        EXPECT_EQ(r.e.opts.EL.checked(), linking);
        EXPECT_EQ(r.launcher.calls.size(), 1u);
    }
}

// A run that has printed its lines and ended with the given exit code.
class EndedRun : public ToolChainRun {
public:
    EndedRun(std::vector<std::string> lines, int code, std::function<void(const std::string&)> onLine)
        : lines_(std::move(lines)), code_(code), onLine_(std::move(onLine)) {}
    void pump() override {
        for (const auto& l : lines_)
            onLine_(l);
        lines_.clear();
    }
    bool ended() const override { return lines_.empty(); }
    int exitCode() const override { return code_; }
    void stop() override {}

private:
    std::vector<std::string> lines_;
    int code_;
    std::function<void(const std::string&)> onLine_;
};

class PipingLauncher : public RecordingLauncher {
public:
    std::vector<std::string> lines;
    int code = 0;
    std::unique_ptr<ToolChainRun> StartToolChainRun(const std::string& file, const std::string& parameters,
                                                    const std::string& directory,
                                                    std::function<void(const std::string&)> onLine) override {
        LaunchProgram(file, parameters, directory, Hidden);
        auto run = std::make_unique<EndedRun>(lines, code, std::move(onLine));
        run->pump();
        return run;
    }
};

// "Compilie" never links, so the output file left from the last link says nothing about it: an
// old one once made every clean compile read "Failed to create ...".
TEST(BuildMonitor, ACompileThatDoesNotLinkIsJudgedByItsMessages) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int code;
        const char* verdict;
    } cases[] = {
        {"clean", {"cl370 main.c"}, 0, "Compiled, 0 errors, 0 warnings"},
        {"warning", {"main.c 3: warning[W300]: unused"}, 0, "Compiled, 0 errors, 1 warning"},
        {"error", {"main.c 3: error[E006]: syntax error"}, 1, "Failed to compile, 1 error, 0 warnings"},
        {"crashed", {}, 139, "Failed to compile, 0 errors, 0 warnings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeUi ui;
        MemorySettings store;
        PipingLauncher launcher;
        launcher.lines = c.lines;
        launcher.code = c.code;
        TempDrives t;
        TestClock clock;
        TEmbedded e{{ui, store, launcher, t.dd, clock}};
        t.dd.createDirs("C:\\texassource");
        e.ProjectPath = "C:\\work\\demo.prj";
        e.startupDone = true;
        e.compiler.SetDefsClick();
        e.linker.setLinkerDefs();
        e.opts.EL.setChecked(true);
        e.ObjectFile = "C:\\texassource\\demo.out ";
        t.put("C:\\texassource\\demo.out", "linked long ago");
        t.put("C:\\work\\main.c", "int main(void) { return 0; }\n");
        e.ProjectListBox.setItems({"C:\\work\\main.c"});
        e.menu.Compilie1.click();
        ASSERT_EQ(launcher.calls.size(), 1u);
        e.CompileTimer.tick();
        EXPECT_EQ(e.StatusBar.panel(3).text, c.verdict);
    }
    // A link is still judged by its output file.
    BuildRig r;
    r.e.menu.Compile1.click();
    r.e.CompileTimer.tick();
    EXPECT_EQ(r.e.StatusBar.panel(3).text, "Failed to create C:\\texassource\\demo.out ");
}

TEST(BuildMonitor, ShowsTheCompilerOutputWhenAsked) {
    BuildRig r;
    int viewed = 0;
    r.e.menu.ViewCompilerOP.onClick = [&] { ++viewed; };
    r.e.menu.ViewCompilerOP.setEnabled(true);
    r.e.menu.Compile1.click();
    r.e.CompileTimer.tick();
    EXPECT_EQ(viewed, 0);
    r.e.opts.ShowOnEnd.setChecked(true);
    r.e.menu.Compile1.click();
    r.e.CompileTimer.tick();
    EXPECT_EQ(viewed, 1);
}

} // namespace
} // namespace halyard::test
