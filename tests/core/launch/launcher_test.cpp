// SPDX-License-Identifier: GPL-3.0-or-later
// Starting programs: real children of the real halyard-batch, reporting through a FIFO, so that the
// test waits for an event and never for a time.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>

#include "core/batch/batch_fixture.h"
#include "launch/launcher.h"
#include "launch/run_mark.h"

namespace halyard::test {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class Launching : public ::testing::Test {
protected:
    // The mapping's root is ".../halyard", so a child finds it through XDG_DATA_HOME.
    fs::path base = [] {
        TempDrives t; // only for a fresh folder name
        fs::path p = t.dir.string() + "-launch";
        fs::create_directories(p);
        return p;
    }();
    DosDevices dd{base / "halyard"};
    fs::path bin = base / "bin";
    fs::path fifo = base / "report";
    int reader = -1;
    ScopedEnv path{"PATH", (base / "bin").c_str()};
    ScopedEnv display{"DISPLAY", nullptr};
    ScopedEnv wayland{"WAYLAND_DISPLAY", nullptr};
    ScopedEnv terminal{"TERMINAL", nullptr};

    void SetUp() override {
        dd.ensureCreated();
        dd.createDirs("C:\\texassource");
        dd.createDirs("C:\\work dir");
        dd.setCurrentDirectory("C:\\");
        fs::create_directories(bin);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        // Read and write ends both here: a writer never blocks and the reader never sees an end.
        reader = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        ASSERT_FALSE(FindBatchRunner().empty()) << "halyard-batch must be built beside the tests";
    }
    void TearDown() override {
        ::close(reader);
        std::error_code ec;
        fs::remove_all(base, ec);
    }

    void put(const std::string& winPath, const std::string& bytes, bool executable = false) {
        const fs::path host = dd.toHost(winPath);
        fs::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << bytes;
        if (executable) makeExecutable(host);
    }
    void putBin(const std::string& name, const std::string& body) {
        std::ofstream(bin / name) << "#!/bin/sh\n" << body;
        makeExecutable(bin / name);
    }

    // Everything reported up to the line "END"; empty when nothing came within a generous limit.
    std::string report() {
        std::string got;
        while (got.find("END\n") == std::string::npos) {
            pollfd p{reader, POLLIN, 0};
            if (::poll(&p, 1, 30000) <= 0) break;
            char buf[4096];
            const ssize_t n = ::read(reader, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got.substr(0, got.find("END\n"));
    }
    std::string fifoWin() { return dd.toWindows(fifo); }
    std::string host(const std::string& winPath) { return dd.toHost(winPath).string(); }
};

TEST_F(Launching, HiddenBatchRunsInItsFolderWithWholeParameters) {
    const std::string longParameter(100, 'p');
    put("C:\\texassource\\intvecs.bat",
        "@echo off\r\n(echo %CD%\r\necho %1\r\necho %2\r\necho %3\r\necho END) > " + fifoWin() + "\r\n");
    ShellLauncher launcher(dd);
    launcher.LaunchProgram("C:\\TexasSource\\INTVECS.BAT", "\"a b\" " + longParameter + " x\"y z\"w",
                           "C:\\texassource", Launcher::Hidden);
    EXPECT_EQ(report(), "C:\\texassource\n\"a b\"\n" + longParameter + "\nx\"y z\"w\n");
    // The launcher waited for nothing and left nothing to reap.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(Launching, ShownBatchOpensInTheTerminalOrRunsHiddenWithoutOne) {
    put("C:\\work dir\\show.bat", "@echo shown %1> " + fifoWin() + "\r\n@echo END>> " + fifoWin() + "\r\n");
    ShellLauncher launcher(dd);
    // No display: nothing to show a terminal on, so the batch runs hidden.
    launcher.LaunchProgram("C:\\work dir\\show.bat", "one", "C:\\work dir", Launcher::Shown);
    EXPECT_EQ(report(), "shown one\n");

    ScopedEnv withDisplay("DISPLAY", ":99");
    putBin("x-terminal-emulator",
           "printf 'terminal %s %s %s %s %s %s %s\\n' \"$1\" \"$2\" \"$3\" \"${6##*/}\" \"$7\" \"$9\" "
           "\"${10}\" > '" +
               fifo.string() + "'\nshift\nexec \"$@\"\n");
    launcher.LaunchProgram("C:\\work dir\\show.bat", "two", "C:\\work dir", Launcher::Shown);
    // The terminal runs a shell that runs the batch and then waits for Enter, so a short batch is not
    // gone before its window is drawn.
    EXPECT_EQ(report(),
              "terminal -e /bin/sh -c halyard-batch --run-mark /c C:\\work dir\\show.bat\nshown two\n");

    // The user's own $TERMINAL comes before the system's default.
    putBin("my-term", "echo mine > '" + fifo.string() + "'\nshift\nexec \"$@\"\n");
    ScopedEnv mine("TERMINAL", "my-term");
    launcher.LaunchProgram("C:\\work dir\\show.bat", "three", "C:\\work dir", Launcher::Shown);
    EXPECT_EQ(report(), "mine\nshown three\n");
}

TEST_F(Launching, TellsWhetherTheBatchItStartedStillRuns) {
    const fs::path gate = base / "gate";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    // The batch's program says it is waiting, then waits until the test opens the gate.
    put("C:\\texassource\\hold",
        "#!/bin/sh\necho waiting > '" + fifo.string() + "'\necho END > '" + fifo.string() + "'\nread x < '" +
            gate.string() + "'\n",
        true);
    put("C:\\texassource\\ide.bat", "@C:\\texassource\\hold\r\n");
    ShellLauncher launcher(dd);
    EXPECT_FALSE(launcher.batchRunning("C:\\texassource\\ide.bat")); // nothing started yet

    launcher.LaunchProgram("C:\\texassource\\ide.bat", "", "C:\\texassource", Launcher::Hidden);
    ASSERT_EQ(report(), "waiting\n");
    EXPECT_TRUE(launcher.batchRunning("c:\\TEXASSOURCE\\IDE.BAT"));
    EXPECT_FALSE(launcher.batchRunning("C:\\texassource\\other.bat"));

    const int opener = ::open(gate.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(opener, 0);
    ASSERT_EQ(::write(opener, "\n", 1), 1);
    ::close(opener);
    // The end is an event without a report of its own: look until it shows, within a generous limit.
    bool running = true;
    for (int i = 0; i < 3000 && running; ++i) {
        running = launcher.batchRunning("C:\\texassource\\ide.bat");
        if (running) ::poll(nullptr, 0, 10);
    }
    EXPECT_FALSE(running);
}

TEST_F(Launching, NativeProgramsRunDirectlyAndDocumentsGoToTheDesktop) {
    const std::string longArg(90, 'x');
    put("C:\\tools\\prog",
        "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" + fifo.string() + "'\npwd >> '" +
            fifo.string() + "'\necho END >> '" + fifo.string() + "'\n",
        true);
    putBin("xdg-open", "echo \"open $*\" > '" + fifo.string() + "'\necho END >> '" + fifo.string() + "'\n");
    put("C:\\work dir\\readme.txt", "hello");
    ShellLauncher launcher(dd);

    launcher.LaunchProgram("C:\\tools\\prog", "-a \"b c\" " + longArg, "C:\\work dir", Launcher::Hidden);
    EXPECT_EQ(report(), "[-a]\n[b c]\n[" + longArg + "]\n" + host("C:\\work dir") + "\n");

    launcher.LaunchProgram("readme.txt", "", "C:\\work dir", Launcher::Shown);
    EXPECT_EQ(report(), "open " + host("C:\\work dir\\readme.txt") + "\n");

    launcher.LaunchProgram("https://example.org/halyard", "", "", Launcher::Shown);
    EXPECT_EQ(report(), "open https://example.org/halyard\n");
}

TEST_F(Launching, RunBatchAndWaitCollectsOutputAndExitCode) {
    put("C:\\texassource\\ide.bat", "@echo off\r\necho first\r\ncd\r\nnothere\r\nexit /b 3\r\n");
    std::string output;
    EXPECT_EQ(RunBatchAndWait(dd, "C:\\texassource\\ide.bat", "C:\\texassource", output), 3);
    EXPECT_EQ(output,
              "first\nC:\\texassource\n'nothere' is not recognized as an internal or external command,\n"
              "operable program or batch file.\n");

    EXPECT_EQ(RunBatchAndWait(dd, "C:\\texassource\\ide.bat", "C:\\nowhere", output), -1);
    EXPECT_EQ(RunBatchAndWait(dd, "C:\\texassource\\none.bat", "C:\\texassource", output), 127);

    // A program that leaves a process behind holding the output open does not keep the wait going.
    const fs::path gate = base / "gate";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    put("C:\\texassource\\bg", "#!/bin/sh\n( read x < '" + gate.string() + "' ) &\necho started\n", true);
    put("C:\\texassource\\leave.bat", "@bg\r\n@echo done\r\n");
    EXPECT_EQ(RunBatchAndWait(dd, "C:\\texassource\\leave.bat", "C:\\texassource", output), 0);
    EXPECT_EQ(output, "started\ndone\n");
    const int opener = ::open(gate.c_str(), O_WRONLY | O_CLOEXEC); // lets the one left behind end
    ASSERT_GE(opener, 0);
    ASSERT_EQ(::write(opener, "\n", 1), 1);
    ::close(opener);
}

// What a tool prints reaches the caller while the batch still runs, and Stop ends the batch with
// every program it started, also one that refuses the polite request.
TEST_F(Launching, ToolChainRunStreamsItsLinesAndStopLeavesNothingBehind) {
    const fs::path gate = base / "gate";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    put("C:\\texassource\\slow",
        "#!/bin/sh\necho first\nread x < '" + gate.string() + "'\nprintf 'second\\r\\nlast'\n", true);
    put("C:\\texassource\\ide.bat", "@slow\r\n");
    ShellLauncher launcher(dd);
    std::vector<std::string> lines;
    auto run = launcher.StartToolChainRun("C:\\texassource\\ide.bat", "", "C:\\texassource",
                                          [&lines](const std::string& l) { lines.push_back(l); });
    ASSERT_TRUE(run);
    auto pumpUntil = [&](auto done) {
        for (int i = 0; i < 300 && !done(); ++i) {
            pollfd p{run->descriptor(), POLLIN, 0};
            ::poll(&p, p.fd >= 0 ? 1 : 0, 100);
            run->pump();
        }
    };
    pumpUntil([&] { return !lines.empty(); });
    EXPECT_EQ(lines, std::vector<std::string>{"first"});
    EXPECT_FALSE(run->ended());
    EXPECT_TRUE(launcher.batchRunning("C:\\texassource\\ide.bat"));
    const int opener = ::open(gate.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::write(opener, "\n", 1), 1);
    ::close(opener);
    pumpUntil([&] { return run->ended(); });
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "last"}));
    EXPECT_EQ(run->exitCode(), 0);

    // A tool that never ends, and one it left in the background that ignores the request to end.
    const fs::path pids = base / "pids";
    put("C:\\texassource\\hang",
        "#!/bin/sh\n(trap '' TERM; echo $(exec /bin/sh -c 'echo $PPID') >> '" + pids.string() +
            "'; while :; do /bin/sleep 1; done) &\necho $$ >> '" + pids.string() +
            "'\necho hanging\nwhile :; do /bin/sleep 1; done\n",
        true);
    put("C:\\texassource\\ide.bat", "@hang\r\n");
    lines.clear();
    run = launcher.StartToolChainRun("C:\\texassource\\ide.bat", "", "C:\\texassource",
                                     [&lines](const std::string& l) { lines.push_back(l); });
    pumpUntil([&] {
        std::ifstream in(pids);
        return !lines.empty() && std::count(std::istreambuf_iterator<char>(in), {}, '\n') == 2;
    });
    ASSERT_EQ(lines, std::vector<std::string>{"hanging"});
    run->stop();
    pumpUntil([&] { return run->ended(); });
    EXPECT_TRUE(run->ended());
    EXPECT_NE(run->exitCode(), 0);
    std::ifstream in(pids);
    for (pid_t pid; in >> pid;) {
        // Gone, or a zombie that only waits for its new parent to collect it. A killed process
        // takes a moment to get there on a busy machine.
        std::string text;
        for (int i = 0; i < 50; ++i) {
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            text.assign(std::istreambuf_iterator<char>(stat), {});
            if (text.empty() || text.find(") Z ") != std::string::npos) break;
            ::poll(nullptr, 0, 100);
        }
        EXPECT_TRUE(text.empty() || text.find(") Z ") != std::string::npos) << pid << ": " << text;
    }
}

// The library build runs mk370 itself, not a batch: its arguments split as the Windows command line
// splits them, its output and exit code come back the same way; a name that finds nothing says so
// as the command processor would, without starting anything.
TEST_F(Launching, ToolChainRunOfAProgramPassesItsArgumentsAndItsExitCode) {
    put("C:\\CL370\\mk370", "#!/bin/sh\npwd\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\nexit 3\n",
        true);
    ShellLauncher launcher(dd);
    std::vector<std::string> lines;
    auto run = launcher.StartToolChainRun("mk370", "--k   \"my lib.src\" -l C:\\x\\a.lib", "C:\\CL370",
                                          [&lines](const std::string& l) { lines.push_back(l); });
    ASSERT_TRUE(run);
    for (int i = 0; i < 300 && !run->ended(); ++i) {
        ::poll(nullptr, 0, 10);
        run->pump();
    }
    ASSERT_TRUE(run->ended());
    EXPECT_EQ(lines, (std::vector<std::string>{dd.toHost("C:\\CL370").string(), "[--k]", "[my lib.src]",
                                               "[-l]", "[C:\\x\\a.lib]"}));
    EXPECT_EQ(run->exitCode(), 3);

    lines.clear();
    run = launcher.StartToolChainRun("mk371", "-l x.lib", "C:\\CL370",
                                     [&lines](const std::string& l) { lines.push_back(l); });
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->ended());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"'mk371' is not recognized as an internal or external command,",
                                        "operable program or batch file."}));
}

// A runner that dies without ending its batch must not keep a build waiting for ever.
TEST(RunMark, AKilledRunnerNoLongerCountsAsRunning) {
    RunMark mark;
    EXPECT_FALSE(mark.running()); // never armed
    const std::string path = mark.arm();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(mark.running()); // armed, runner not there yet: still starting

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const char held = HoldRunMark(path) ? 'y' : 'n';
        (void)!::write(ready[1], &held, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(held, 'y');
    EXPECT_TRUE(mark.running());

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(mark.running());
    EXPECT_FALSE(fs::exists(path)); // the mark is cleared away once its run is over
}

} // namespace
} // namespace halyard::test
