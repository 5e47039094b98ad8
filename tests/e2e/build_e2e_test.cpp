// SPDX-License-Identifier: GPL-3.0-or-later
// The whole road of a build without windows: halyard-build writes ide.bat, halyard-batch runs it,
// the stand-in tool chain compiles and links, and the verdict comes from the output file.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <random>
#include <sstream>
#include <string>

#include "base/dos_devices.h"
#include "base/paths.h"
#include "launch/launcher.h"
#include "run_program.h"
#include "shell/embedded.h"
#include "shell/ini_settings.h"
#include "support/fakes.h"
#include "tool_output/build_output.h"

namespace halyard::test {
namespace {

namespace fs = std::filesystem;

// A private home: the drive mapping and the settings file of every program started here.
class Workspace : public SampleHome {
protected:
    void SetUp() override {
        for (const char* tool : {"halyard-build", "halyard-batch", "halyard-sample", "cl370", "lnk370"})
            ASSERT_TRUE(fs::exists(fs::path(HALYARD_BIN_DIR) / tool)) << tool << " is not built";
        SampleHome::SetUp();
    }

    static std::string lastLine(const std::string& text) {
        std::string t = text;
        while (!t.empty() && (t.back() == '\n' || t.back() == '\r'))
            t.pop_back();
        const auto at = t.find_last_of('\n');
        return at == std::string::npos ? t : t.substr(at + 1);
    }

    const std::string project = "C:\\Halyard\\demo\\demo.prj";
    const std::string output = "C:\\texassource\\demo.out ";
};

// The verdict, the memory ranges of the link and the messages counted close the output.
TEST_F(Workspace, BuildCreatesThenUpdatesThenFailsOnASourceError) {
    Result first = run("halyard-build", {"build", project});
    EXPECT_NE(first.out.find(
                  "\nCreated " + output +
                  "\nrange     page  origin   length   used     free     use\n"
                  "REGS      0     0000h    0100h    0000h    0100h    [....................]   0.0 %\n"),
              std::string::npos)
        << first.out << first.err;
    EXPECT_NE(first.out.find(
                  "\nVECS      0     7FECh    0014h    0014h    0000h    [####################] 100.0 %\n"
                  "0 errors, 0 warnings\n"),
              std::string::npos)
        << first.out;
    EXPECT_EQ(first.code, 0);

    Result second = run("halyard-build", {"build", project});
    EXPECT_NE(second.out.find("\nUpdated " + output + "\n"), std::string::npos) << second.out << second.err;
    EXPECT_EQ(second.code, 0);

    DosDevices dd(dir / "data" / "halyard");
    const std::string main = "C:\\Halyard\\demo\\main.c";
    dd.writeBytes(main, dd.readBytes(main) + "\nint broken( {\n");
    Result third = run("halyard-build", {"build", project});
    // No table after a failed link: the map left behind is the last build's.
    EXPECT_NE(third.out.find("\nFailed to create " + output + "\n1 error, 0 warnings\n"), std::string::npos)
        << third.out << third.err;
    EXPECT_EQ(third.code, 1);
    EXPECT_NE(third.out.find("\nmain.c 25: error[E006]: "), std::string::npos) << third.out;
}

// A command file without "-o" links into a.out: the verdict still waits for the project's output,
// and one line under it says where the link's output went.
TEST_F(Workspace, ALinkWithoutOutputNameSaysWhereItsOutputWent) {
    DosDevices dd(dir / "data" / "halyard");
    const std::string cmd = "C:\\texassource\\lnk.cmd";
    std::vector<std::string> lines;
    for (const auto& line : dd.readLines(cmd))
        if (line.rfind("-o ", 0) != 0) lines.push_back(line);
    dd.writeLines(cmd, lines);
    const Result built = run("halyard-build", {"build", project});
    EXPECT_EQ(built.code, 1);
    EXPECT_NE(built.out.find("\nFailed to create " + output +
                             "\nThe link names no output file (no -o in C:\\TexasSource\\lnk.cmd or in the "
                             "linker options), so the linker wrote C:\\a.out instead of "
                             "C:\\texassource\\demo.out\n"),
              std::string::npos)
        << built.out << built.err;
    EXPECT_TRUE(dd.fileExists("C:\\a.out"));
}

TEST_F(Workspace, MakeWritesTheBatchOrStopsWithItsMessage) {
    Result made = run("halyard-build", {"make", project});
    EXPECT_EQ(made.code, 0) << made.err;
    EXPECT_NE(made.err.find("IDE.BAT successfully made"), std::string::npos) << made.err;
    DosDevices dd(dir / "data" / "halyard");
    const std::string batch = dd.readBytes("C:\\texassource\\ide.bat");
    EXPECT_EQ(
        batch.rfind("SET PATH=Drive;C:\\texassource;C:\\CL370\\\r\nSET C_DIR=C:\\Texassource\r\ncl370 ", 0),
        0u)
        << batch;

    // A project without sources stops the generation.
    auto lines = dd.readLines(project);
    lines.resize(66);
    dd.writeLines("C:\\Halyard\\demo\\empty.prj", lines);
    Result stopped = run("halyard-build", {"make", "C:\\Halyard\\demo\\empty.prj"});
    EXPECT_EQ(stopped.code, 1);
    EXPECT_NE(stopped.err.find("Number of Source Files is outside allowed Limits"), std::string::npos)
        << stopped.err;
}

// A project that names a batch file through a folder "x.h" gets nothing copied that IDE.BAT would
// run: the working folder comes first in its PATH, so a planted cl370.bat would run at every build.
TEST_F(Workspace, ACraftedProjectPlantsNothingAndTheNextBuildRunsTheRealCompiler) {
    DosDevices dd(dir / "data" / "halyard");
    dd.createDirs("C:\\Halyard\\evil");
    dd.writeLines("C:\\Halyard\\evil\\cl370.bat", {"@echo off", "echo planted> C:\\planted.txt"});
    auto lines = dd.readLines(project);
    lines.push_back("C:\\Halyard\\evil\\x.h\\..\\cl370.bat");
    lines.push_back("C:\\Halyard\\evil\\x.h\\..\\CL370.BAT\\..\\cl370");
    dd.writeLines("C:\\Halyard\\evil\\evil.prj", lines);

    const Result opened = run("halyard-build", {"make", "C:\\Halyard\\evil\\evil.prj"});
    EXPECT_EQ(opened.code, 0) << opened.out << opened.err;
    for (const char* planted : {"C:\\texassource\\cl370.bat", "C:\\texassource\\cl370"})
        EXPECT_FALSE(dd.fileExists(planted)) << planted;

    const Result built = run("halyard-build", {"build", project});
    EXPECT_NE(built.out.find("TMS370 C Compiler Shell"), std::string::npos) << built.out << built.err;
    EXPECT_NE(built.out.find("\nCreated " + output + "\n"), std::string::npos) << built.out << built.err;
    EXPECT_FALSE(dd.fileExists("C:\\planted.txt"));
}

// The desktop's model on the real launcher, as the Build panel drives it.
struct Desktop {
    DosDevices dd{DosDevices::defaultRoot()};
    FakeUi ui;
    IniSettings settings{IniSettings::defaultFile()};
    ShellLauncher launcher{dd};
    Clock clock;
    TEmbedded e{{ui, settings, launcher, dd, clock}};
    BuildOutput& out = e.buildOutput;

    // Started as the window starts; with a project, that project is open and counts as loaded.
    explicit Desktop(const std::string& project = "") {
        e.FormCreate();
        e.starttimer.setEnabled(false);
        if (project.empty()) return;
        e.startupDone = true;
        EXPECT_TRUE(e.run([&] { e.project.Openpro(project); })) << testing::PrintToString(ui.shown);
        e.opts.ShowBatch.setChecked(false); // no terminal window from a test
    }
    // Ticks the panel's timer, as the window does, until done() or a generous limit.
    template <class F> void until(F done) {
        for (int i = 0; i < 3000 && !done(); ++i) {
            ::poll(nullptr, 0, 10);
            out.OutputTimer.tick();
        }
    }
    int find(const std::string& text) const {
        for (size_t i = 0; i < out.lines().size(); ++i)
            if (out.lines()[i].text == text) return static_cast<int>(i);
        return -1;
    }
};

// The desktop starts the batch without waiting for it; a check that comes while the batch still
// runs must wait for its end rather than judge a half-done build.
TEST_F(Workspace, TheDesktopBuildIsJudgedOnlyWhenItsBatchHasEnded) {
    Desktop d(project);
    TEmbedded& e = d.e;
    FakeUi& ui = d.ui;

    e.menu.Compile1.click();
    EXPECT_EQ(e.StatusBar.panel(3).text, "Compile Started") << testing::PrintToString(ui.shown);
    e.CompileTimer.tick(); // at once: the batch has barely begun
    EXPECT_EQ(e.StatusBar.panel(3).text, "Compile Started");
    ASSERT_TRUE(e.CompileTimer.enabled());

    for (int i = 0; i < 6000 && e.CompileTimer.enabled(); ++i) {
        ::poll(nullptr, 0, 10);
        e.CompileTimer.tick();
    }
    EXPECT_EQ(e.StatusBar.panel(3).text, "Created " + output);
}

// With no display there is no terminal to show the batch in: the panel says so, once, and shows it.
TEST_F(Workspace, RedirectedOutputIsShownFromItsFileAndTheLinkFromItsMap) {
    const std::string noTerminal =
        "No terminal emulator was found to show the batch in; its output is shown here.";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    Desktop d(project);
    d.e.opts.SendToFile.setChecked(true);
    d.e.opts.ShowBatch.setChecked(true);
    d.e.menu.Compilie1.click();
    d.until([&] { return !d.out.running(); });
    EXPECT_EQ(d.find(noTerminal), 1) << d.out.text();
    d.e.CompileTimer.tick();
    d.e.menu.Compile1.click();
    d.until([&] { return !d.out.running(); });
    EXPECT_EQ(d.find(noTerminal), -1) << d.out.text();
    const int heading = d.find("Compiler output in C:\\Outputfile.txt:");
    ASSERT_GE(heading, 0) << d.out.text();
    EXPECT_EQ(d.out.lines()[heading + 2].text, "[main.c]");
    d.e.CompileTimer.tick();
    EXPECT_GE(d.find("Memory use (C:\\texassource\\demo.map):"), 0) << d.out.text();
    ASSERT_EQ(d.out.memory().size(), 4u);
    EXPECT_EQ(d.out.memory()[2].used, 0x130u);
    // VECS, filled to the last byte by the vectors: full, but nothing there grows.
    EXPECT_EQ(d.out.lines().back().kind, BuildOutput::Line::Memory);
}

// A tool that never ends: closing Halyard asks, and Stop ends it with the batch.
TEST_F(Workspace, StopEndsAToolThatNeverEnds) {
    DosDevices drives(dir / "data" / "halyard");
    // In place of the real compiler: the tool-chain folder is the only one its programs run from.
    const fs::path fake = drives.toHost("C:\\CL370") / "cl370";
    std::ofstream(fake) << "#!/bin/sh\necho $$ > '" << (dir / "pid").string()
                        << "'\necho compiling\nexec sleep 1000\n";
    fs::permissions(fake, fs::perms::owner_all);
    Desktop d(project);
    d.e.menu.Compile1.click();
    d.until([&] { return d.find("compiling") >= 0; });
    ASSERT_GE(d.find("compiling"), 0) << d.out.text();

    d.ui.answers = {Answer::No};
    EXPECT_FALSE(d.out.FormCloseQuery());
    EXPECT_TRUE(d.out.running());
    d.ui.answers = {Answer::Yes};
    EXPECT_TRUE(d.out.FormCloseQuery());
    EXPECT_FALSE(d.out.running());
    EXPECT_EQ(d.ui.shown.back(), "A build is running.\rStop it and close Halyard?");
    EXPECT_GE(d.find("Stopped"), 0);
    std::ifstream pidFile(dir / "pid");
    pid_t pid = 0;
    pidFile >> pid;
    ASSERT_GT(pid, 0);
    // Stop returns at once; the tool ends on TERM soon after, with nobody waiting for it.
    std::string state;
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        state.assign(std::istreambuf_iterator<char>(stat), {});
        if (state.empty() || state.find(") Z ") != std::string::npos) break;
        ::poll(nullptr, 0, 10);
    }
    EXPECT_TRUE(state.empty() || state.find(") Z ") != std::string::npos) << state;

    // The verdict waits for the batch runner's end, which follows the stop.
    d.until([&] {
        d.e.CompileTimer.tick();
        return d.e.StatusBar.panel(3).text != "Compile Started";
    });
    EXPECT_EQ(d.e.StatusBar.panel(3).text, "Failed to create " + output);
}

// "Assemble intvecs", "Libraries › Build" and "Build All" while a build runs: the build is stopped
// only when the user says so; a No starts nothing and leaves the build and its output as they were.
TEST_F(Workspace, AnotherRunAsksBeforeItStopsARunningBuild) {
    DosDevices drives(dir / "data" / "halyard");
    const fs::path fake = drives.toHost("C:\\CL370") / "cl370";
    std::ofstream(fake) << "#!/bin/sh\necho compiling\nexec sleep 1000\n";
    fs::permissions(fake, fs::perms::owner_all);
    ::unsetenv("DISPLAY"); // the vectors' batch is shown: here, not in a terminal
    ::unsetenv("WAYLAND_DISPLAY");
    Desktop d(project);
    d.e.menu.Compile1.click();
    d.until([&] { return d.find("compiling") >= 0; });
    ASSERT_GE(d.find("compiling"), 0) << d.out.text();
    const std::deque<BuildOutput::Line> before = d.out.lines();

    d.ui.shown.clear();
    d.ui.answers = {Answer::No};
    d.e.menu.Assembleintvecs1.click();
    d.e.lib.Lib.setText(AddTrailingBackslash(d.e.HeadersDir) + "mine.lib");
    d.ui.answers = {Answer::Yes, Answer::No}; // "Continue ?", then keep the build
    d.e.menu.Build1.click();
    d.ui.answers = {Answer::No};
    d.e.menu.Compile1.click();
    ASSERT_EQ(d.ui.shown.size(), 4u) << testing::PrintToString(d.ui.shown);
    EXPECT_EQ(d.ui.shown[0], "A build is running.\rStop it and start the assembly of intvecs?");
    EXPECT_EQ(d.ui.shown[2], "A build is running.\rStop it and start the library build?");
    EXPECT_EQ(d.ui.shown[3], "A build is running.\rStop it and start the build?");
    EXPECT_TRUE(d.out.running());
    EXPECT_EQ(d.out.lines().size(), before.size());
    EXPECT_FALSE(drives.fileExists("C:\\texassource\\intvecs.bat"));

    d.ui.answers = {Answer::Yes};
    d.e.menu.Assembleintvecs1.click();
    EXPECT_EQ(d.find("compiling"), -1) << d.out.text(); // the panel follows the new run
    EXPECT_EQ(d.out.lines().front().text, "Running C:\\texassource\\intvecs.bat");
    d.until([&] { return !d.out.running(); });
}

// A tool that prints without pause: the panel keeps the last lines and every message counted, cuts a
// line without end at a readable length, and Save still writes everything; the headless build
// prints the tool's lines unchanged.
TEST_F(Workspace, AFloodOfOutputIsShownInPartAndKeptWhole) {
    DosDevices drives(dir / "data" / "halyard");
    const fs::path fake = drives.toHost("C:\\CL370") / "cl370";
    const size_t printed = BuildOutput::ShownLines + 20'000;
    std::ofstream(fake)
        << "#!/bin/sh\nawk 'BEGIN { for (i = 1; i <= " << printed
        << "; i++) if (i % 6 == 0) print \"main.c \" i \": error: x\"; else print \"line \" i }'\n"
           "head -c 10000 /dev/zero | tr '\\0' y\n";
    fs::permissions(fake, fs::perms::owner_all);
    Desktop d(project);
    d.e.menu.Compile1.click();
    d.until([&] { return !d.out.running(); });
    const BuildOutput& out = d.out;
    // The batch's own lines come first; the tool's line i is the panel's line p + i - 1.
    const size_t p = out.lineCount() - 1 - printed;
    ASSERT_LT(p, 10u) << out.text().substr(0, 1000);
    EXPECT_EQ(out.lines().size(), BuildOutput::ShownLines);
    EXPECT_EQ(out.lines().back().text,
              std::string(BuildOutput::ShownLineLength, 'y') + " [... 6000 more characters]");
    EXPECT_EQ(out.wholeLine(out.lineCount() - 1), std::string(10'000, 'y'));
    EXPECT_EQ(out.shownNote(),
              "The first " + std::to_string(out.lineCount() - BuildOutput::ShownLines) +
                  " lines are not shown; 1 line is shown cut at 4000 characters. Save and Copy "
                  "give the whole output.");
    EXPECT_EQ(out.errors(), static_cast<int>(printed / 6));

    // F4 goes to the first message still shown, Shift+F4 from there round to the last one.
    d.e.run([&] { d.out.NextErrorClick(); });
    const size_t firstTool = (out.firstShown() - p + 1 + 5) / 6 * 6;
    EXPECT_EQ(static_cast<size_t>(out.current()), p + firstTool - 1);
    d.e.run([&] { d.out.PreviousErrorClick(); });
    EXPECT_EQ(static_cast<size_t>(out.current()), p + printed - 1);

    d.ui.files = {std::string("C:\\texassource\\flood.txt")};
    d.e.run([&] { d.out.SaveOutputClick(); });
    const auto saved = drives.readLines("C:\\texassource\\flood.txt");
    ASSERT_EQ(saved.size(), out.lineCount());
    EXPECT_EQ(saved[0].rfind("Running ", 0), 0u);
    EXPECT_EQ(saved[p], "line 1");
    EXPECT_EQ(saved.back(), std::string(10'000, 'y'));

    const Result headless = run("halyard-build", {"build", project});
    std::istringstream lines(headless.out);
    size_t count = 0;
    std::string line, last;
    for (; std::getline(lines, line) && line.rfind("Failed to create", 0) != 0; ++count)
        last = line;
    EXPECT_EQ(count, out.lineCount() - 1) << "every line but the panel's own first";
    EXPECT_EQ(last, std::string(10'000, 'y'));
}

TEST_F(Workspace, CheckReportsACommandFilesProblemsInItsExitCode) {
    DosDevices dd(dir / "data" / "halyard");
    dd.createDirs("C:\\work");
    dd.writeLines("C:\\work\\good.cmd",
                  {"-l mylib.lib", "MEMORY", "{", "    ROM     :  (RX)  origin = 8000h length = 7FE0h ",
                   "    RAM     :  (RW)  origin = 0100h length = 0F00h ", "}", "SECTIONS", "{",
                   "    .text:   > ROM", "    .bss:   > RAM", "}"});
    dd.writeLines("C:\\work\\bad.cmd", {"MEMORY", "{", "    ROM     :  (RX)  origin = 8000h length = 7FE0h ",
                                        "    RAM     :  (RW)  origin = 0100h length = 8000h ", "}",
                                        "SECTIONS", "{", "    .text:   > FLASH", "}"});
    const Result good = run("halyard-build", {"check", "C:\\work\\good.cmd"});
    EXPECT_EQ(good.code, 0) << good.err;
    EXPECT_EQ(good.out, "");
    const Result bad = run("halyard-build", {"check", (dir / "data/halyard/drive_c/work/bad.cmd").string()});
    EXPECT_EQ(bad.code, 1) << bad.err;
    const std::string file = (dir / "data/halyard/drive_c/work/bad.cmd").string();
    EXPECT_EQ(bad.out,
              file +
                  " 4: error: memory range RAM (origin 0100h, length 8000h) overlaps memory range ROM "
                  "(origin 8000h, length 7FE0h) on page 0\n" +
                  file + " 8: error: memory range FLASH is not defined (load placement of .text)\n");
    const Result missing = run("halyard-build", {"check", "C:\\work\\none.cmd"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("Cannot open file C:\\work\\none.cmd"), std::string::npos) << missing.err;
}

// The sample's link writes a COFF executable: its assembled vectors are listed as bytes, the C
// modules' sections by size; a file that is no executable is refused by name.
TEST_F(Workspace, DisassembleListsTheLinkedProgramAndRefusesOtherFiles) {
    ASSERT_EQ(run("halyard-build", {"build", project}).code, 0);
    const Result listing = run("halyard-build", {"disassemble", "C:\\texassource\\demo.out"});
    EXPECT_EQ(listing.code, 0) << listing.err;
    EXPECT_NE(listing.out.find("        .sect   \".intvecs\""), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("        .byte   "), std::string::npos) << listing.out;
    const Result refused = run("halyard-build", {"disassemble", project});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find(project + ": not a TMS370 COFF file"), std::string::npos) << refused.err;
}

TEST_F(Workspace, VectorsAssembleWithTheToolChainsAsmOrSayWhyNot) {
    DosDevices dd(dir / "data" / "halyard");
    const std::string object = "C:\\texassource\\intvecs.obj";
    fs::remove(dd.toHost(object));

    Result made = run("halyard-build", {"vectors", project});
    EXPECT_EQ(made.code, 0) << made.out << made.err;
    EXPECT_EQ(lastLine(made.out), "Assembled " + object);
    EXPECT_EQ(dd.readBytes("C:\\texassource\\intvecs.bat"),
              "C:\\CL370\\asm370 C:\\texassource\\intvecs.asm -ms\r\n");
    EXPECT_TRUE(dd.fileExists(object));

    // Without the assembler the object stays as it was, and the batch runner says why.
    fs::remove(dd.toHost("C:\\CL370\\asm370"));
    Result missing = run("halyard-build", {"vectors", project});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(lastLine(missing.out), "Failed to assemble " + object);
    EXPECT_NE(missing.out.find("not recognized"), std::string::npos) << missing.out;
}

// The builder's own file, saved as the project's command file, is what the next build links with.
TEST_F(Workspace, TheBuildersFileSavedForTheProjectLinksTheSample) {
    Desktop d(project);
    TEmbedded& e = d.e;
    FakeUi& ui = d.ui;
    DosDevices& dd = d.dd;
    LinkCmdControls& c = e.linkCmd;
    CmdBuilder& b = e.cmdBuild;

    // A library in a folder whose name holds a blank, named with its path: the check before the
    // build and the linker read the one quoted name (unquoted, the check once named "my" missing).
    dd.createDirs("C:\\my libs");
    ASSERT_TRUE(dd.copyFile("C:\\Texassource\\rts.lib", "C:\\my libs\\rts.lib"));
    c.CheckBox6.setChecked(true);
    ui.files = {"C:\\my libs\\rts.lib"};
    b.AddLibClick();
    for (auto [name, attrs, origin, length] : {std::tuple{"REGS", "RW", "0000", "0100"},
                                               {"RAM", "RW", "0100", "0700"},
                                               {"ROM", "RX", "2000", "5FEC"},
                                               {"VECS", "R", "7FEC", "0014"}}) {
        c.NameBox.setText(name);
        for (CheckBox* box : {&c.R, &c.W, &c.X, &c.I})
            box->setChecked(std::string(attrs).find(box->caption()) != std::string::npos);
        c.Origin.setText(origin);
        c.MemLength.setText(length);
        b.AddMemClick();
    }
    for (auto [name, region] :
         {std::pair{"text", "ROM"}, {"const", "ROM"}, {"cinit", "ROM"}, {"bss", "RAM"}, {"data", "RAM"}}) {
        c.SectionNames.setText(name);
        b.SpeedButton5Click();
        ui.dialogs.push_back([region = std::string(region)](ModalDialog& d) {
            auto& s = dynamic_cast<TSectionsEdit&>(d);
            s.MemoryType.userSelect(TSectionsEdit::Named);
            s.Memory.setText(region);
            s.Button47Click();
            return Answer::Ok;
        });
        b.SetuploadClick();
        b.Addsec();
    }
    b.Button30Click();
    c.AddIPSection.click();
    e.opts.UN.setChecked(true); // the output file's name goes into the command file
    c.Include.setChecked(true);
    b.BuildCommandClick();
    c.SaveOptions.setItemIndex(2);
    const std::string cmd = "C:\\Halyard\\demo\\built.cmd";
    ui.files = {cmd};
    ASSERT_TRUE(e.run([&] { b.saveCMDClick(); }));
    EXPECT_EQ(e.menu.OpenCommand.caption(), "&Edit built.cmd");
    ASSERT_TRUE(e.run([&] { e.batch.MakeIdeBatClick(&e.menu.Make); })) << testing::PrintToString(ui.shown);
    EXPECT_NE(dd.readBytes("C:\\texassource\\ide.bat").find("-z " + cmd), std::string::npos);
    e.project.SaveProjectClick();

    const Result check = run("halyard-build", {"check", cmd});
    EXPECT_EQ(check.code, 0) << check.out;
    const Result built = run("halyard-build", {"build", project});
    EXPECT_NE(built.out.find("\nCreated " + output + "\n"), std::string::npos) << built.out << built.err;
    EXPECT_EQ(built.code, 0);
}

// A file as the builder makes it, with ranges high in memory and an input block added twice: the
// check names exactly the faults in it, each at its line.
TEST_F(Workspace, CheckOfABuildersFileNamesExactlyItsFaults) {
    Desktop d;
    d.e.startupDone = true;
    TEmbedded& e = d.e;
    FakeUi& ui = d.ui;
    DosDevices& dd = d.dd;
    LinkCmdControls& c = e.linkCmd;
    CmdBuilder& b = e.cmdBuild;

    ui.files = {"C:\\Texassource\\rts.lib"};
    b.AddLibClick();
    // The MEMORY page's lines as the builder writes them; for origins entered as F000 and FFE0 a
    // number that begins with a letter gets a leading 0.
    for (const auto& [name, line] : {std::pair{"RAM", "    RAM     :  (RW)  origin = 0100h length = 0700h "},
                                     {"ROM", "    ROM     :  (RX)  origin = 0F000h length = 0FE0h "},
                                     {"VECS", "    VECS    :  (R)  origin = 0FFE0h length = 0040h "}}) {
        c.MemList.add(line);
        b.SectionsEdit.Memory.addItem(name);
    }
    c.SectionNames.setText("text");
    b.SpeedButton5Click();
    ui.dialogs.push_back([](ModalDialog& d) {
        auto& s = dynamic_cast<TSectionsEdit&>(d);
        s.MemoryType.userSelect(TSectionsEdit::Named);
        s.Memory.setText("ROM");
        s.Button47Click();
        return Answer::Ok;
    });
    b.SetuploadClick();
    b.Addsec();
    // Two input blocks, each added to the section list without Abort in between: the second Add
    // copies the first block again.
    for (const std::string name : {"data", "bss"}) {
        c.SectionNames.setText(name);
        c.ParamLine.setText("." + name + ":   > RAM");
        b.CreateIPSecClick();
        ui.files = {"C:\\texassource\\gone.obj"};
        ui.answers = {Answer::No};
        b.SelectFilesClick();
        b.AddIPSectionClick();
    }
    b.BuildCommandClick();
    const std::string cmd = "C:\\Halyard\\demo\\twice.cmd";
    ui.files = {cmd};
    ASSERT_TRUE(e.run([&] { b.saveCMDClick(); })) << testing::PrintToString(ui.errors);

    const std::vector<std::string> lines = dd.readLines(cmd);
    auto lineOf = [&](const std::string& text, int nth = 1) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == text && --nth == 0) return std::to_string(i + 1);
        ADD_FAILURE() << text << " is not in\n" << testing::PrintToString(lines);
        return std::string("?");
    };
    const Result check = run("halyard-build", {"check", cmd});
    EXPECT_EQ(check.code, 1) << check.err;
    EXPECT_EQ(check.out, cmd + " " + lineOf("    VECS    :  (R)  origin = 0FFE0h length = 0040h ") +
                             ": error: memory range VECS (origin 0FFE0h, length 0040h) reaches past the 64K "
                             "address space (ends at 1001Fh)\n" +
                             cmd + " " + lineOf("    C:\\texassource\\gone.obj()") +
                             ": warning: input file C:\\texassource\\gone.obj does not exist\n" + cmd + " " +
                             lineOf(".data:   > RAM", 2) +
                             ": warning: output section .data is defined twice (first on line " +
                             lineOf(".data:   > RAM") + ")\n");
}

// "Libraries › Build" as the desktop runs it: the real launcher starts the stand-in mk370 in the
// tool-chain folder, and the Build panel follows it to its end as it follows a batch.
TEST_F(Workspace, LibraryBuildRunsMk370InTheBuildPanel) {
    Desktop d;
    TEmbedded& e = d.e;
    FakeUi& ui = d.ui;
    DosDevices& dd = d.dd;
    const std::string lib = AddTrailingBackslash(e.HeadersDir) + "mine.lib";
    e.lib.Lib.setText(lib);
    for (CheckBox* b : {&e.lib.Overwrite, &e.lib.SmallMem})
        b->setChecked(b == &e.lib.Overwrite);
    e.libBuilder.LibOkSpecClick();
    ui.answers = {Answer::Yes};
    e.menu.Build1.click();
    ASSERT_EQ(ui.shown.size(), 1u) << testing::PrintToString(ui.shown);
    EXPECT_EQ(ui.shown[0],
              "Library " + lib + " will be built, using rts.src\r--k   rts.src -l " + lib + "\r Continue ?");
    EXPECT_TRUE(d.out.BuildPanel.visible());
    d.until([&] { return !d.out.running(); });
    ASSERT_FALSE(d.out.lines().empty());
    EXPECT_EQ(d.out.lines().front().text, "Running mk370 --k   rts.src -l " + lib);
    EXPECT_GE(d.find("TMS370 Library Build Utility (Halyard stand-in)    Version 5.30"), 0) << d.out.text();
    EXPECT_EQ(d.out.lines().back().text.rfind("Done (", 0), 0u) << d.out.text();
    ASSERT_TRUE(dd.fileExists(lib));
    EXPECT_EQ(dd.readBytes(lib).rfind("!<arch>", 0), 0u);

    // A source archive that is not there: mk370's own message is counted, and its exit code ends it.
    e.lib.Source.setText("none.src");
    ui.answers = {Answer::Yes};
    e.menu.Build1.click();
    d.until([&] { return !d.out.running(); });
    EXPECT_EQ(d.out.errors(), 1) << d.out.text();
    EXPECT_EQ(d.out.title(), "Build - 1 error, 0 warnings");
    EXPECT_EQ(d.out.lines().back().text.rfind("Ended with exit code 1 (", 0), 0u) << d.out.text();
}

// A project unpacked into the compiler working folder brings its own cl370.bat. IDE.BAT's PATH names
// that folder before the tool chain's, yet the planted batch never runs: the build fails and counts
// the runner's message naming it.
TEST_F(Workspace, APlantedCompilerInTheWorkingFolderIsNotRunAndFailsTheBuild) {
    DosDevices dd(dir / "data" / "halyard");
    const fs::path mark = dir / "planted-ran";
    dd.writeBytes("C:\\texassource\\cl370.bat", "@echo ran > Z:" + mark.string() + "\r\n");
    const Result built = run("halyard-build", {"build", project});
    EXPECT_EQ(built.code, 1);
    EXPECT_FALSE(fs::exists(mark));
    EXPECT_NE(
        built.out.find("halyard-batch: error: C:\\texassource\\cl370.bat is not the tool chain's cl370; "
                       "remove it or rename it\n"),
        std::string::npos)
        << built.out << built.err;
    EXPECT_NE(built.out.find("\nFailed to create " + output + "\n1 error, 0 warnings\n"), std::string::npos)
        << built.out;
}

} // namespace
} // namespace halyard::test
