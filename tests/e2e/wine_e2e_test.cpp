// SPDX-License-Identifier: GPL-3.0-or-later
// The tool chain a user owns is made of Windows programs: here the stand-in, cross-built as 32-bit
// Windows programs, sits in C:\CL370 under its .exe names and runs through real Wine, from
// halyard-build, from the library build's direct start and under Stop. One Wine prefix serves the
// whole program: preparing it is the expensive part.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <random>
#include <sstream>

#include "base/dos_devices.h"
#include "launch/foreign_program.h"
#include "launch/launcher.h"
#include "run_program.h"

#ifdef HALYARD_WIN32_TOOLS_DIR

namespace halyard::test {
namespace {

namespace fs = std::filesystem;

class UnderWine : public ::testing::Test {
protected:
    static inline fs::path dir;
    static inline std::string skip;
    static inline Result first; // the first build, which prepared Wine

    static Result run(const std::string& program, const std::vector<std::string>& args,
                      const std::string& env = "") {
        return RunProgram(dir, program, args, env);
    }

    static void SetUpTestSuite() {
        if (FindWine().empty()) {
            skip = "Wine is not installed (scripts/setup installs wine and wine32)";
            return;
        }
        dir = fs::temp_directory_path() / ("halyard-wine-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir / "config");
        ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        if (run("halyard-sample", {}).code != 0) return;
        DosDevices dd(dir / "halyard");
        // The native stand-ins go: only the Windows programs are left to be found.
        for (const char* tool : {"cl370", "lnk370", "asm370", "mk370"}) {
            fs::remove(dd.toHost(std::string("C:\\CL370\\") + tool));
            fs::copy_file(fs::path(HALYARD_WIN32_TOOLS_DIR) / (std::string(tool) + ".exe"),
                          dd.toHost(std::string("C:\\CL370\\") + tool + ".exe"));
        }
        first = run("halyard-build", {"build", project});
    }
    static void TearDownTestSuite() {
        if (dir.empty()) return;
        // The server this program's runs kept alive goes with the prefix.
        [[maybe_unused]] const int ended = std::system(
            ("WINEPREFIX='" + (dir / "halyard").string() + "' wineserver -k 2>/dev/null").c_str());
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void SetUp() override {
        if (!skip.empty()) GTEST_SKIP() << skip;
    }

    static inline const std::string project = "C:\\Halyard\\demo\\demo.prj";
    DosDevices dd{dir / "halyard"};
};

TEST_F(UnderWine, TheSampleBuildsAndASyntaxErrorFailsWithOneError) {
    EXPECT_NE(first.err.find(PreparingWineText), std::string::npos) << first.err;
    EXPECT_NE(first.out.find("\nCreated C:\\texassource\\demo.out \n"), std::string::npos)
        << first.out << first.err;
    EXPECT_NE(first.out.find("\n0 errors, 0 warnings\n"), std::string::npos) << first.out;
    EXPECT_EQ(first.code, 0);
    // Wine's own first-run lines are not the tools' output.
    EXPECT_EQ(first.out.find("wine:"), std::string::npos) << first.out;

    const std::string main = "C:\\Halyard\\demo\\main.c";
    const std::string good = dd.readBytes(main);
    dd.writeBytes(main, good + "\nint broken( {\n");
    const Result broken = run("halyard-build", {"build", project});
    dd.writeBytes(main, good);
    EXPECT_NE(broken.out.find("\nmain.c 25: error[E006]: "), std::string::npos) << broken.out << broken.err;
    EXPECT_NE(broken.out.find("\n1 error, 0 warnings\n"), std::string::npos) << broken.out;
    EXPECT_EQ(broken.code, 1);

    const Result vectors = run("halyard-build", {"vectors", project});
    EXPECT_NE(vectors.out.find("Assembled C:\\texassource\\intvecs.obj"), std::string::npos) << vectors.out;
    EXPECT_EQ(vectors.code, 0);

    // Without Wine the build says what is missing, counts it and fails, old output file or not.
    const Result noWine = run("halyard-build", {"build", project}, "HALYARD_WINE=/nonexistent/wine");
    EXPECT_NE(noWine.out.find(
                  "cl370: error: C:\\CL370\\cl370.exe is a Windows program; Wine is needed to run "
                  "it (HALYARD_WINE names /nonexistent/wine, which is not a program that can run here)\n"),
              std::string::npos)
        << noWine.out;
    EXPECT_NE(noWine.out.find("\n1 error, 0 warnings\n"), std::string::npos) << noWine.out;
    EXPECT_EQ(noWine.code, 1);
}

std::vector<std::string> finish(ToolChainRun& run) {
    for (int i = 0; i < 12000 && !run.ended(); ++i) {
        pollfd p{run.descriptor(), POLLIN, 0};
        ::poll(&p, p.fd >= 0 ? 1 : 0, 10);
        run.pump();
    }
    return {};
}

TEST_F(UnderWine, TheLibraryBuildsThroughMk370Exe) {
    ShellLauncher launcher(dd);
    std::vector<std::string> lines;
    dd.createDirs("C:\\libs");
    auto run = launcher.StartToolChainRun("mk370", "--k   rts.src -l C:\\libs\\rts.lib", "C:\\CL370",
                                          [&lines](const std::string& l) { lines.push_back(l); });
    finish(*run);
    ASSERT_TRUE(run->ended());
    EXPECT_EQ(run->exitCode(), 0) << ::testing::PrintToString(lines);
    EXPECT_TRUE(dd.fileExists("C:\\libs\\rts.lib")) << ::testing::PrintToString(lines);
}

TEST_F(UnderWine, AWindowsUserToolStartsWithoutBeingWaitedFor) {
    ShellLauncher launcher(dd);
    const std::string object = "C:\\texassource\\intvecs.obj";
    if (dd.fileExists(object)) fs::remove(dd.toHost(object));
    launcher.LaunchProgram("C:\\CL370\\asm370.exe", "intvecs.asm", "C:\\texassource", Launcher::Hidden);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!dd.fileExists(object) && std::chrono::steady_clock::now() < until)
        ::poll(nullptr, 0, 50);
    EXPECT_TRUE(dd.fileExists(object));
}

// The processes whose command line names what.
std::vector<std::string> processesNaming(const std::string& what) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline");
        std::string command((std::istreambuf_iterator<char>(in)), {});
        if (command.find(what) != std::string::npos) found.push_back(entry.path().filename().string());
    }
    return found;
}

TEST_F(UnderWine, StopEndsAWindowsProgramThatHangsAndLeavesNoProcess) {
    ShellLauncher launcher(dd);
    // Wine's ping waits a second between its hundred rounds.
    auto run = launcher.StartToolChainRun("C:\\windows\\system32\\ping.exe", "-n 100 127.0.0.1", "C:\\",
                                          [](const std::string&) {});
    ASSERT_FALSE(run->ended());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (processesNaming("ping.exe").empty() && std::chrono::steady_clock::now() < until)
        ::poll(nullptr, 0, 50);
    ASSERT_FALSE(processesNaming("ping.exe").empty()) << "ping.exe never started";
    run->stop();
    EXPECT_TRUE(run->ended() || (run->pump(), run->ended()));
    ::poll(nullptr, 0, 200);
    EXPECT_EQ(processesNaming("ping.exe"), std::vector<std::string>{});
}

} // namespace
} // namespace halyard::test

#endif
