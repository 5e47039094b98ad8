// SPDX-License-Identifier: GPL-3.0-or-later
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "base/paths.h"
#include "support/build_rig.h"

namespace halyard::test {
namespace {

constexpr const char* Line1 = "SET PATH=Drive;C:\\texassource;C:\\CL370\\";
constexpr const char* Line2 = "SET C_DIR=C:\\Texassource";

TEST(IdeBatGeneration, WritesTheThreeLinesOfTheDefaultProjectExactly) {
    BuildRig r;
    r.e.opts.SpecObjLoc.setChecked(true);
    r.e.opts.SendToFile.setChecked(true);
    r.e.cmdFile.DefaultCmdClick();
    r.t.put("C:\\TexasSource\\lnk.cmd", "-l rts.lib\r\n");
    r.t.put("C:\\Texassource\\rts.lib", "");

    EXPECT_TRUE(r.e.batch.MakeIdeBatClick());

    const std::string last = "cl370 -fr C:\\texassource -g -ms  C:\\work\\main.c -z C:\\TexasSource\\lnk.cmd "
                             "  -a -c > C:\\Outputfile.txt";
    EXPECT_EQ(r.batch(), std::string(Line1) + "\r\n" + Line2 + "\r\n" + last + "\r\n");
    EXPECT_EQ(r.e.LastCommandLine, last);
    EXPECT_EQ(r.e.LinkerCmdLine, "  -a -c ");
    EXPECT_EQ(r.t.dd.readBytes("C:\\Texassource\\io.h"), "#define PORT 1\n");
    EXPECT_TRUE(r.ui.shown.empty());
}

struct LineCase {
    const char* name;
    std::function<void(BuildRig&)> setup;
    std::vector<std::string> lines; // the batch text after the two SET lines
};

TEST(IdeBatGeneration, CompilerLineFollowsSourcesSwitchesAndMode) {
    const std::vector<LineCase> cases = {
        {"only headers give a line without sources",
         [](BuildRig& r) { r.e.ProjectListBox.setItems({"C:\\work\\io.h"}); },
         {"cl370 -g -ms  -z C:\\TexasSource\\lnk.cmd   -a -c "}},
        {"any .c or .C anywhere compiles, other entries are left out",
         [](BuildRig& r) {
             r.t.put("C:\\work\\lib.h.c", "x");
             r.e.ProjectListBox.setItems({"main.C", "notes.txt", "C:\\work\\lib.h.c"});
         },
         {"cl370 -g -ms  main.C C:\\work\\lib.h.c -z C:\\TexasSource\\lnk.cmd   -a -c "}},
        {"linker disabled: file list, one blank, redirection",
         [](BuildRig& r) {
             r.e.opts.EL.setChecked(false);
             r.e.opts.SendToFile.setChecked(true);
         },
         {"cl370 -g -ms  C:\\work\\main.c > C:\\Outputfile.txt"}},
        {"mode None names no command file",
         [](BuildRig& r) { r.e.cmdFile.NoCmdFileClick(); },
         {"cl370 -g -ms  C:\\work\\main.c -z   -a -c "}},
        {"a missing user-defined command file is named without a check",
         [](BuildRig& r) { r.e.CmdFilePath = "C:\\work\\gone.cmd"; },
         {"cl370 -g -ms  C:\\work\\main.c -z C:\\work\\gone.cmd  -a -c "}},
        {"object folder switch",
         [](BuildRig& r) { r.e.opts.SpecObjLoc.setChecked(true); },
         {"cl370 -fr C:\\texassource -g -ms  C:\\work\\main.c -z C:\\TexasSource\\lnk.cmd   -a -c "}},
        {"inline vectors add the first vector line",
         [](BuildRig& r) {
             r.e.menu.UseintVectors.setChecked(true);
             r.e.Intbatch = {"asm370 intvecs.asm -ms", "ignored"};
         },
         {"asm370 intvecs.asm -ms", "cl370 -g -ms  C:\\work\\main.c -z C:\\TexasSource\\lnk.cmd   -a -c "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BuildRig r;
        c.setup(r);
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        std::vector<std::string> expected = {Line1, Line2};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(r.e.Memo1, expected);
        EXPECT_EQ(r.t.dd.readLines("C:\\texassource\\ide.bat"), expected);
        EXPECT_EQ(r.e.LastCommandLine, expected.back());
        EXPECT_TRUE(r.ui.shown.empty()) << r.ui.shown.front();
    }
}

TEST(IdeBatGeneration, GeneratingTwiceWritesTheSameFile) {
    BuildRig r;
    ASSERT_TRUE(r.e.batch.MakeIdeBatClick());
    const std::string first = r.batch();
    ASSERT_TRUE(r.e.batch.MakeIdeBatClick());
    EXPECT_EQ(r.batch(), first);
}

struct CheckCase {
    const char* name;
    std::string cmdFile;              // contents of C:\work\my.cmd
    std::vector<std::string> present; // files that exist besides it
    std::vector<std::string> messages;
    bool completes;
};

TEST(IdeBatGeneration, CommandFileCheckReportsMissingLibrariesAndVectors) {
    const std::string cmd = "C:\\work\\my.cmd";
    const std::vector<CheckCase> cases = {
        {"library in the headers folder", "-l rts.lib\r\n", {"C:\\Texassource\\rts.lib"}, {}, true},
        {"library missing, written without a blank",
         "-lrts.lib\r\n",
         {},
         {"The Library file rts.lib Specified in \rC:\\work\\my.cmd Does not exist in C:\\Texassource"},
         false},
        {"a long library name is read whole",
         "-l rts370_large.lib\r\n",
         {"C:\\Texassource\\rts370_large.lib"},
         {},
         true},
        {"a library named with its folder is looked for there",
         "-l C:\\lib\\rts.lib\r\n",
         {"C:\\lib\\rts.lib"},
         {},
         true},
        {"a library named with its folder is missing there, not in the headers folder",
         "-l C:\\lib\\rts.lib\r\n",
         {"C:\\Texassource\\rts.lib"},
         {"The Library file rts.lib Specified in \rC:\\work\\my.cmd Does not exist in C:\\lib"},
         false},
        {"the last -l line before the vector line counts",
         "-l first.lib\r\n-l second.lib\r\nC:\\texassource\\v.obj\r\n-l after.lib\r\n",
         {"C:\\Texassource\\second.lib", "C:\\texassource\\v.obj"},
         {},
         true},
        {"vector folder compared without case",
         "  C:\\TEXASSOURCE\\intvecs.obj  \r\n",
         {"C:\\texassource\\intvecs.obj"},
         {},
         true},
        {"vector elsewhere warns and goes on",
         "C:\\work\\intvecs.obj\r\n",
         {"C:\\work\\intvecs.obj"},
         {"Warning, Compiler directory C:\\texassource does not match Intvector loction\rC:\\work Specified "
          "in "
          "C:\\work\\my.cmd"},
         true},
        {"vector name is cut three characters after its dot",
         "C:\\texassource\\intvecs.objx /* vectors */\r\n",
         {"C:\\texassource\\intvecs.obj"},
         {},
         true},
        {"vector missing stops",
         "C:\\texassource\\intvecs.obj\r\n",
         {},
         {"The Interrupt Vector object file intvecs.obj Specified in \rC:\\work\\my.cmd Does not exist in "
          "C:\\texassource"},
         false},
        {"a library line is tested before the vector text on the same line",
         "-l rts.lib intvecs.obj\r\n",
         {},
         {"The Library file rts.lib Specified in \rC:\\work\\my.cmd Does not exist in C:\\Texassource"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BuildRig r;
        r.e.Memo1 = {"previous"}; // the last generation's text, which the accept step writes again
        r.t.put(cmd, c.cmdFile);
        for (const auto& f : c.present)
            r.t.put(f, "");
        r.e.CmdFilePath = cmd;
        EXPECT_EQ(r.e.batch.MakeIdeBatClick(), c.completes);
        EXPECT_EQ(r.ui.shown, c.messages);
        if (c.completes) {
            EXPECT_EQ(r.e.Memo1.size(), 3u);
        } else {
            EXPECT_EQ(r.e.Memo1, (std::vector<std::string>{Line1, Line2}));
            EXPECT_EQ(r.batch(), "previous\r\n");
        }
    }
}

TEST(IdeBatGeneration, DefaultCommandFileIsTakenFromTheToolChainOrReported) {
    {
        SCOPED_TRACE("shipped lnk.cmd copied into the compiler folder");
        BuildRig r;
        r.e.cmdFile.DefaultCmdClick();
        r.t.put("C:\\CL370\\lnk.cmd", "-l rts.lib\r\n");
        r.t.put("C:\\Texassource\\rts.lib", "");
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        EXPECT_TRUE(r.ui.shown.empty());
        EXPECT_EQ(r.t.dd.readBytes("C:\\TexasSource\\lnk.cmd "), "-l rts.lib\r\n");
    }
    {
        SCOPED_TRACE("nothing to copy: reported, and the batch still names it");
        BuildRig r;
        r.e.cmdFile.DefaultCmdClick();
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        EXPECT_EQ(r.ui.shown, std::vector<std::string>{"Texas C Compiler, CL370 is not correctly installed "
                                                       "C:\\TexasSource\\lnk.cmd \rCompile is not possible"});
        EXPECT_EQ(r.e.LastCommandLine, "cl370 -g -ms  C:\\work\\main.c -z C:\\TexasSource\\lnk.cmd   -a -c ");
    }
}

TEST(IdeBatGeneration, StopsAndWritesNothingForAnEmptySourceList) {
    BuildRig r;
    r.e.Memo1 = {"previous"};
    r.e.ProjectListBox.clear();
    EXPECT_FALSE(r.e.batch.MakeIdeBatClick(&r.e.menu.Make));
    EXPECT_EQ(r.ui.shown, std::vector<std::string>{"Number of Source Files is outside allowed Limits"});
    EXPECT_TRUE(r.e.Memo1.empty());
    EXPECT_EQ(r.batch(), "previous\r\n");
}

TEST(IdeBatGeneration, OnlyTheMenusMakeConfirmsAndAMissingFolderIsReported) {
    {
        BuildRig r;
        r.e.menu.Make.click();
        EXPECT_EQ(r.ui.shown, std::vector<std::string>{"IDE.BAT successfully made"});
        r.ui.shown.clear();
        r.e.toolBar.MakeBtn.click();
        EXPECT_TRUE(r.ui.shown.empty());
    }
    {
        BuildRig r;
        r.e.CompSourceDir = "C:\\nowhere";
        EXPECT_FALSE(r.e.batch.MakeIdeBatClick(&r.e.menu.Make));
        // Once for the accept step's write, once for the generation's own.
        const std::string missing = "Compiler Temporary Folder does not exist\rPlease check Setup";
        EXPECT_EQ(r.ui.shown, (std::vector<std::string>{missing, missing}));
        EXPECT_FALSE(r.t.dd.fileExists("C:\\nowhere\\ide.bat"));
    }
}

TEST(IdeBatGeneration, HeaderCopies) {
    {
        SCOPED_TRACE("a header already in the headers folder stays intact");
        BuildRig r;
        r.t.put("C:\\TEXASSOURCE\\own.h", "keep me\n");
        r.e.ProjectListBox.setItems({"C:\\texassource\\OWN.H", "C:\\work\\main.c"});
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        EXPECT_EQ(r.t.dd.readBytes("C:\\Texassource\\own.h"), "keep me\n");
    }
    {
        SCOPED_TRACE("an unreadable header ends the command with the system's error");
        BuildRig r;
        r.e.ProjectListBox.setItems({"C:\\work\\main.c", "C:\\work\\gone.h"});
        EXPECT_FALSE(r.e.run([&] { r.e.batch.MakeIdeBatClick(); }));
        EXPECT_EQ(r.ui.errors, std::vector<std::string>{"Cannot open file C:\\work\\gone.h"});
    }
    {
        SCOPED_TRACE("a name part that climbs with \"/\" and \"..\" still lands in the headers folder");
        BuildRig r;
        r.t.put("C:\\work\\evil.h", "x\n");
        r.e.ProjectListBox.setItems({"C:\\work\\main.c", "C:\\work\\sub\\q/../../evil.h"});
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        EXPECT_EQ(r.t.dd.readBytes("C:\\Texassource\\evil.h"), "x\n");
        EXPECT_FALSE(r.t.dd.fileExists("C:\\evil.h"));
    }
    {
        SCOPED_TRACE("an entry whose name part is \"..\" names a folder: no header, nothing copied");
        BuildRig r;
        r.e.ProjectListBox.setItems({"C:\\work\\main.c", "C:\\work\\io.h\\.."});
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        EXPECT_FALSE(r.t.dd.fileExists("C:\\Texassource\\work"));
        EXPECT_TRUE(r.t.dd.listFiles("C:\\", "*").empty());
    }
    {
        SCOPED_TRACE("only a name ending in .h is copied: an upper-case .H is, lib.h.c and x.hpp are not");
        BuildRig r;
        r.t.put("C:\\work\\LIB.H", "upper\n");
        r.t.put("C:\\work\\lib.h.c", "int x;\n");
        r.t.put("C:\\work\\x.hpp", "x\n");
        r.e.ProjectListBox.setItems({"C:\\work\\LIB.H", "C:\\work\\lib.h.c", "C:\\work\\x.hpp"});
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        EXPECT_EQ(r.t.dd.listFiles("C:\\Texassource", "*.h*"), std::vector<std::string>{"LIB.H"});
    }
}

// A crafted project that names the tool chain's files through a folder "x.h" must plant nothing
// that the next build runs or reads: opening it regenerates IDE.BAT and copies the headers.
TEST(IdeBatGeneration, OpeningACraftedProjectCopiesNothingThatRunsNorAToolChainFile) {
    BuildRig r;
    const std::string evil = "C:\\Halyard\\evil\\";
    for (const char* name :
         {"cl370.bat", "cl370", "CL370.EXE", "asm370.com", "lnk.cmd", "rts.lib", "ide.bat"})
        r.t.put(evil + name, "planted\r\n");
    r.t.put(evil + "real.h", "#define REAL 1\n");
    r.t.put("C:\\Texassource\\rts.lib", "the real library");
    std::vector<std::string> entries{"C:\\work\\main.c"};
    for (const char* name :
         {"cl370.bat", "cl370", "CL370.EXE", "asm370.com", "lnk.cmd", "rts.lib", "ide.bat"})
        entries.push_back(evil + "x.h\\..\\" + name);
    entries.push_back(evil + "x.h/../sub.H/../real.h");
    r.e.ProjectListBox.setItems(entries);
    r.e.project.BuildProjectLines();
    r.t.dd.writeLines(evil + "evil.prj", r.e.ProList);
    r.e.ProjectListBox.clear();

    EXPECT_TRUE(r.e.run([&] { r.e.project.Openpro(evil + "evil.prj"); }));

    EXPECT_EQ(r.e.ProjectListBox.count(), static_cast<int>(entries.size()));
    EXPECT_EQ(r.t.dd.listFiles("C:\\Texassource", "*"),
              (std::vector<std::string>{"ide.bat", "real.h", "rts.lib"}));
    EXPECT_EQ(r.t.dd.readBytes("C:\\Texassource\\rts.lib"), "the real library");
    const std::string batch = r.batch();
    EXPECT_EQ(batch.find("planted"), std::string::npos) << batch;
}

TEST(IdeBatGeneration, TextsThatTheBatchLanguageWouldRunAreRefusedBeforeAnythingIsWrittenOrStarted) {
    const std::string tail = ", which a batch file does not take as part of a name.\rIDE.BAT was not made.";
    const std::string crafted = "C:\\work\\main.c & Z:\\bin\\sh -c \"touch pwned\"";
    struct Case {
        const char* name;
        std::function<void(BuildRig&)> setup;
        std::string message;
    } cases[] = {
        {"a source entry that chains a command",
         [&](BuildRig& r) {
             r.e.ProjectListBox.setItems({crafted, "C:\\work\\io.h"});
         },
         "The project entry " + crafted + "\rholds the character &" + tail},
        {"a header entry that redirects",
         [](BuildRig& r) {
             r.e.ProjectListBox.setItems({"C:\\work\\main.c", "C:\\work\\io.h>C:\\x.h"});
         },
         "The project entry C:\\work\\io.h>C:\\x.h\rholds the character >" + tail},
        {"a command file path that truncates a file",
         [](BuildRig& r) { r.e.CmdFilePath = "C:\\work\\lnk.cmd >C:\\work\\main.c "; },
         "The command file C:\\work\\lnk.cmd >C:\\work\\main.c \rholds the character >" + tail},
        {"a folder from the settings with a line break",
         [](BuildRig& r) { r.e.HeadersDir = "C:\\inc\r\ndel C:\\work\\main.c"; },
         "The headers folder C:\\inc??del C:\\work\\main.c\rholds a line break" + tail},
        {"an output file name that expands a variable",
         [](BuildRig& r) {
             r.e.opts.UN.setChecked(true);
             r.e.opts.OutputFile.setText("C:\\out\\%PATH%.out");
         },
         "The linker switch  -o C:\\out\\%PATH%.out  \rholds the character %" + tail},
        {"an entry point with a pipe and a control character",
         [](BuildRig& r) {
             r.e.opts.DEP.setChecked(true);
             r.e.opts.EntryPoint.setText("main\t|x");
         },
         "The linker switch -e main?|x \rholds the control character 9" + tail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BuildRig r;
        r.t.put("C:\\texassource\\ide.bat", "previous\r\n");
        r.e.Memo1 = {"previous"};
        c.setup(r);
        r.e.monitor.Compile1Click();
        EXPECT_EQ(r.ui.shown, std::vector<std::string>{c.message});
        EXPECT_EQ(r.batch(), "previous\r\n");
        EXPECT_TRUE(r.launcher.calls.empty());
        EXPECT_FALSE(r.t.dd.fileExists("C:\\Texassource\\io.h"));
        EXPECT_TRUE(r.t.dd.fileExists("C:\\work\\main.c"));
    }
}

TEST(IdeBatGeneration, TheBuildRewritesOnlyTheEditorWindowsThatWereChanged) {
    BuildRig r;
    const std::string rich = "{\\rtf1\\ansi {\\b bold} plain\\par}";
    const std::string lfEnded = "int x;\nint y;\n";
    r.t.put("C:\\work\\notes.rtf", rich);
    r.t.put("C:\\work\\lf.c", lfEnded);
    r.t.put("C:\\work\\edit.c", "a\n");
    r.e.editors.LoadFile("C:\\work\\notes.rtf", 1);
    r.e.editors.LoadFile("C:\\work\\lf.c", 1);
    r.e.editors.LoadFile("C:\\work\\edit.c", 1)->userEdit(0, 0, u"b");
    r.e.monitor.Compile1Click();
    EXPECT_EQ(r.launcher.calls.size(), 1u);
    EXPECT_EQ(r.e.editors.count(), 0);
    EXPECT_EQ(r.t.dd.readBytes("C:\\work\\notes.rtf"), rich);
    EXPECT_EQ(r.t.dd.readBytes("C:\\work\\lf.c"), lfEnded);
    EXPECT_EQ(r.t.dd.readBytes("C:\\work\\edit.c"), "ba\r\n");
}

TEST(IdeBatGeneration, AShutdownInARunThatMadeNoBatchKeepsIdeBat) {
    BuildRig r;
    r.t.put("C:\\texassource\\ide.bat", "previous\r\n");
    r.e.FormClose();
    EXPECT_EQ(r.batch(), "previous\r\n");
}

TEST(IdeBatGeneration, CommandFileLinePieces) {
    EXPECT_EQ(LibraryName("-l rts.lib"), "rts.lib");
    EXPECT_EQ(LibraryName("-lrts.lib"), "rts.lib");
    EXPECT_EQ(LibraryName("  -l  rts370_large.lib  /* c */\t"), "rts370_large.lib");
    EXPECT_EQ(LibraryName("-l \"my lib.lib\""), "my lib.lib");
    EXPECT_EQ(VectorObject("\t C:\\a\\intvecs.obj \r"), "C:\\a\\intvecs.obj");
    EXPECT_EQ(VectorObject("C:\\a\\v.objects"), "C:\\a\\v.obj");
}

#ifndef _WIN32
// A project unpacked into the compiler working folder may bring links named like the files a build
// makes there. Each generated file takes the link's place; what the link named keeps its bytes.
TEST(IdeBatGeneration, GeneratedFilesReplacePlantedLinksInsteadOfWritingThroughThem) {
    BuildRig r;
    namespace fs = std::filesystem;
    const fs::path work = r.t.dd.toHost("C:\\texassource");
    const fs::path victim = r.t.dir / "victim";
    std::ofstream(victim, std::ios::binary) << "the user's own text";
    const fs::path unborn = r.t.dir / "unborn"; // a link to nothing would create its target
    fs::create_symlink(victim, work / "ide.bat");
    fs::create_symlink(victim, work / "evil.h");
    fs::create_symlink(victim, work / "intvecs.bat");
    fs::create_symlink(unborn, work / "lnk.cmd");
    fs::create_hard_link(victim, work / "io.h");
    r.t.put("C:\\work\\sub\\evil.h", "#define EVIL 1\n");
    r.t.put("C:\\CL370\\lnk.cmd", "-o x.out\r\n");
    r.t.put("C:\\texassource\\intvecs.asm", " .sect \"vectors\"\r\n");
    r.e.cmdFile.DefaultCmdClick();
    r.e.ProjectListBox.setItems({"C:\\work\\main.c", "C:\\work\\io.h", "C:\\work\\sub\\evil.h"});

    EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
    EXPECT_TRUE(r.e.vectors.Assembleintvecs1Click());

    std::ifstream in(victim, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's own text");
    EXPECT_FALSE(fs::exists(fs::symlink_status(unborn)));
    for (const char* name : {"ide.bat", "evil.h", "intvecs.bat", "lnk.cmd", "io.h"})
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(work / name))) << name;
    EXPECT_EQ(r.t.dd.readBytes("C:\\texassource\\evil.h"), "#define EVIL 1\n");
    EXPECT_EQ(r.t.dd.readBytes("C:\\texassource\\io.h"), "#define PORT 1\n");
    EXPECT_NE(r.batch().find("cl370 "), std::string::npos);
}
#endif

} // namespace
} // namespace halyard::test
