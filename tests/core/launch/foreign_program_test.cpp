// SPDX-License-Identifier: GPL-3.0-or-later
// Windows and DOS programs: told apart by their headers, refused with a message a user can act on
// when Wine or DOSBox is missing, and a DOS program (assembled here with nasm) run through DOSBox
// from a batch with its output and error level coming back.
#include <gtest/gtest.h>

#include <fstream>
#include <poll.h>

#include "core/batch/batch_fixture.h"
#include "launch/foreign_program.h"
#include "launch/launcher.h"
#include "shell/dir_setup.h"
#include "tool_output/tool_messages.h"

namespace halyard::test {
namespace {

namespace fs = std::filesystem;

// The smallest program file with a PE header at 0x40.
std::string windowsProgram() {
    std::string bytes(0x100, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    return bytes;
}

class ForeignPrograms : public ::testing::Test {
protected:
    // The mapping's root is ".../halyard", so that halyard-batch finds it through XDG_DATA_HOME.
    TempDrives t;
    DosDevices dd = [this] {
        DosDevices d(t.dir / "halyard");
        d.ensureCreated();
        return d;
    }();
    void put(const std::string& winPath, const std::string& bytes) {
        const fs::path host = dd.toHost(winPath);
        fs::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << bytes;
    }
    void TearDown() override { ::unsetenv("HALYARD_WINE"); }
};

TEST_F(ForeignPrograms, TheHeaderTellsWhatAProgramIsAndNoExecuteBitIsNeeded) {
    put("C:\\CL370\\cl370.exe", windowsProgram());
    put("C:\\old\\tool.exe", "MZ" + std::string(30, 'x'));
    put("C:\\old\\hex.com", "\xB4\x4C\xCD\x21");
    put("C:\\old\\notes.exe", "just text");
    // A bare name in a batch finds the Windows program under its .exe name.
    const FoundProgram cl = FindProgram(dd, "cl370", {"C:\\CL370"});
    EXPECT_EQ(cl.kind, FoundProgram::Windows);
    EXPECT_EQ(cl.winPath, "C:\\CL370\\cl370.exe");
    EXPECT_EQ(FindProgram(dd, "tool", {"C:\\old"}).kind, FoundProgram::Dos);
    EXPECT_EQ(FindProgram(dd, "HEX", {"C:\\old"}).kind, FoundProgram::Dos);
    // Neither a program by its header nor executable: nothing to run.
    EXPECT_EQ(FindProgram(dd, "notes", {"C:\\old"}).kind, FoundProgram::None);
}

TEST_F(ForeignPrograms, SetupSaysWhenTheToolChainIsWindowsProgramsAndWhatRunsThem) {
    put("C:\\CL370\\cl370.exe", windowsProgram());
    test::FakeUi ui;
    TDirsetup setup(ui, &dd);
    EXPECT_EQ(setup.ToolChainKind("C:\\CL370\\"), "cl370.exe is a Windows program: it runs through Wine");
    EXPECT_EQ(setup.ToolChainKind("C:\\"), "");
    // A variable that names a missing program is named: installing Wine would not mend it.
    ::setenv("HALYARD_WINE", "/nonexistent/wine", 1);
    EXPECT_EQ(
        TDirsetup::ForeignRunners().rfind(
            "Wine: not found (HALYARD_WINE names /nonexistent/wine, which is not a program that can run "
            "here)\nDOSBox",
            0),
        0u);
    ::unsetenv("HALYARD_WINE");
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(TDirsetup::ForeignRunners().substr(0, 41), "Wine: not found (apt install wine)\nDOSBox");
    ::setenv("PATH", path.c_str(), 1);
}

TEST_F(ForeignPrograms, WithoutWineTheRunSaysWhatToInstallAsAnErrorTheBuildCounts) {
    put("C:\\CL370\\cl370.exe", windowsProgram());
    dd.createDirs("C:\\texassource");
    put("C:\\texassource\\ide.bat", "SET PATH=Drive;C:\\texassource;C:\\CL370\\\r\ncl370 -q main.c\r\n");
    ::setenv("HALYARD_WINE", "/nonexistent/wine", 1);
    ShellLauncher launcher(dd);
    std::vector<std::string> lines;
    auto run = launcher.StartToolChainRun("C:\\texassource\\ide.bat", "", "C:\\texassource",
                                          [&lines](const std::string& l) { lines.push_back(l); });
    for (int i = 0; i < 1000 && !run->ended(); ++i) {
        ::poll(nullptr, 0, 10);
        run->pump();
    }
    ASSERT_TRUE(run->ended());
    const std::string said =
        "cl370: error: C:\\CL370\\cl370.exe is a Windows program; Wine is needed to run "
        "it (HALYARD_WINE names /nonexistent/wine, which is not a program that can run here)";
    ASSERT_NE(std::find(lines.begin(), lines.end(), said), lines.end()) << ::testing::PrintToString(lines);
    EXPECT_EQ(ParseToolLine(said).kind, ToolMessage::Error);
    EXPECT_NE(run->exitCode(), 0);
}

TEST_F(ForeignPrograms, ADosProgramRunsInDosBoxWithItsOutputAndErrorLevel) {
    const std::string dosbox = FindExecutableOnPath("dosbox"), nasm = FindExecutableOnPath("nasm");
    if (dosbox.empty() || nasm.empty())
        GTEST_SKIP() << "dosbox and nasm are needed (scripts/setup installs them)";
    dd.createDirs("C:\\tools");
    const fs::path source = dd.toHost("C:\\tools") / "hello.asm";
    std::ofstream(source) << "org 100h\n mov dx, msg\n mov ah, 9\n int 21h\n mov ax, 4C03h\n int 21h\n"
                             "msg db 'HELLO FROM DOS', 13, 10, '$'\n";
    const std::string com = (dd.toHost("C:\\tools") / "HELLO.COM").string();
    ASSERT_EQ(std::system((nasm + " -f bin -o " + com + " " + source.string()).c_str()), 0);
    dd.createDirs("C:\\work");
    dd.createDirs("C:\\a long folder");
    put("C:\\work\\t.bat", "@echo off\r\nSET PATH=C:\\tools\r\nhello one.txt\r\necho level %ERRORLEVEL%\r\n"
                           "cd \"C:\\a long folder\"\r\nhello\r\necho level %ERRORLEVEL%\r\n");
    std::string output;
    RunBatchAndWait(dd, "C:\\work\\t.bat", "C:\\work", output);
    EXPECT_NE(output.find("HELLO FROM DOS\r\nlevel 3\n"), std::string::npos) << output;
    // A working folder DOS cannot name is refused with a message naming it.
    EXPECT_NE(output.find("hello: error: The working folder C:\\a long folder cannot reach a DOS program"),
              std::string::npos)
        << output;
}

// Stop ends the runner with TERM while DOSBox runs: the folder made for the DOS run goes with it.
TEST_F(ForeignPrograms, StoppingADosRunRemovesItsFolder) {
    const fs::path tmp = t.dir / "tmp", fakeDosBox = t.dir / "dosbox";
    fs::create_directories(tmp);
    std::ofstream(fakeDosBox) << "#!/bin/sh\nexec sleep 1000\n";
    fs::permissions(fakeDosBox, fs::perms::owner_all);
    ::setenv("HALYARD_DOSBOX", fakeDosBox.c_str(), 1);
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    ::setenv("TMPDIR", tmp.c_str(), 1);
    put("C:\\tools\\HELLO.COM", "\xB4\x4C\xCD\x21");
    dd.createDirs("C:\\work");
    put("C:\\work\\t.bat", "@echo off\r\nSET PATH=C:\\tools\r\nhello\r\n");
    ShellLauncher launcher(dd);
    auto run = launcher.StartToolChainRun("C:\\work\\t.bat", "", "C:\\work", [](const std::string&) {});
    auto folders = [&] {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(tmp))
            if (e.path().filename().string().starts_with("halyard-dos-")) found.push_back(e.path());
        return found;
    };
    for (int i = 0; i < 1000 && (folders().empty() || !fs::exists(folders()[0] / "dosbox.conf")); ++i)
        ::poll(nullptr, 0, 10);
    ASSERT_EQ(folders().size(), 1u);
    run->stop();
    // Stop returns at once; the runner removes the folder as it ends, a moment later.
    for (int i = 0; i < 1000 && (!run->ended() || !folders().empty()); ++i) {
        ::poll(nullptr, 0, 10);
        run->pump();
    }
    oldTmp ? ::setenv("TMPDIR", savedTmp.c_str(), 1) : ::unsetenv("TMPDIR");
    ::unsetenv("HALYARD_DOSBOX");
    ASSERT_TRUE(run->ended());
    EXPECT_TRUE(folders().empty());
}

} // namespace
} // namespace halyard::test
