// SPDX-License-Identifier: GPL-3.0-or-later
// The built tools run as IDE.BAT runs them: in a drive mapping of their own, found through
// XDG_DATA_HOME, on the sample workspace that halyard-sample sets up.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "ar_archive.h"
#include "base/text_file.h"
#include "object_file.h"
#include "sample.h"
#include "tool_output/memory_map.h"
#include "tool_output/tool_messages.h"

namespace halyard::sim370 {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int code = -1;
    std::string out;
};

class Workspace {
public:
    Workspace() {
        dir = fs::temp_directory_path() / ("sim370-e2e-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~Workspace() { fs::remove_all(dir); }

    fs::path dir;
    fs::path c() const { return dir / "halyard" / "drive_c"; }

    ToolRun run(const std::string& tool, const std::vector<std::string>& args,
                const std::string& cDir = "C:\\Texassource", const fs::path& cwd = {}) const {
        std::string cmd = "cd '" + (cwd.empty() ? c() : cwd).string() + "' && XDG_DATA_HOME='" +
                          dir.string() + "' C_DIR='" + cDir + "' '" +
                          (fs::path(SIM370_BIN_DIR) / tool).string() + "'";
        for (const auto& a : args)
            cmd += " '" + a + "'";
        cmd += " 2>&1";
        ToolRun r;
        FILE* p = popen(cmd.c_str(), "r");
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            r.out.append(buf, n);
        const int status = pclose(p);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }
    void put(const std::string& relative, const std::string& text) const {
        fs::create_directories((c() / relative).parent_path());
        std::ofstream(c() / relative, std::ios::binary) << text;
    }
    std::string read(const std::string& relative) const {
        std::string s;
        ReadHostFile(c() / relative, s);
        return s;
    }
};

class SampleWorkspace : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ws = new Workspace;
        const ToolRun r = ws->run("halyard-sample", {"--if-fresh"}, "", ws->dir);
        ASSERT_EQ(r.code, 0) << r.out;
    }
    static void TearDownTestSuite() {
        delete ws;
        ws = nullptr;
    }
    void SetUp() override { fs::remove(ws->c() / "texassource" / "demo.out"); }

    // The compiler line of IDE.BAT with Halyard's defaults and the sample project.
    static std::vector<std::string> ideBatLine(const std::string& firstSource, const std::string& cmdFile) {
        return {"-fr",
                "C:\\texassource",
                "-g",
                "-ms",
                "",
                firstSource,
                "C:\\Halyard\\demo\\timer.c",
                "C:\\Halyard\\demo\\leds.c",
                "",
                "-z",
                cmdFile,
                "",
                "",
                "-a",
                "-c",
                ""};
    }
    static bool outputExists() { return fs::exists(ws->c() / "texassource" / "demo.out"); }

    static Workspace* ws;
};
Workspace* SampleWorkspace::ws = nullptr;

TEST_F(SampleWorkspace, BuildsWithHalyardsDefaults) {
    const ToolRun r = ws->run("cl370", ideBatLine("C:\\Halyard\\demo\\main.c", "C:\\TexasSource\\lnk.cmd "));
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out.find("error["), std::string::npos) << r.out;
    EXPECT_TRUE(outputExists());
    const std::string map = ws->read("texassource/demo.map");
    EXPECT_NE(map.find("MEMORY CONFIGURATION"), std::string::npos);
    EXPECT_NE(map.find(".intvecs    0    00007fec    00000014"), std::string::npos) << map;
    EXPECT_NE(map.find("rts.lib : boot.obj (.text)"), std::string::npos) << map;

    const ToolRun again = ws->run("halyard-sample", {"--if-fresh"}, "", ws->dir);
    EXPECT_NE(again.out.find("nothing done"), std::string::npos) << again.out;
}

TEST_F(SampleWorkspace, SyntaxErrorNamesFileAndLineAndLinksNothing) {
    std::string main = ws->read("Halyard/demo/main.c");
    main.replace(main.find("last = ticks;"), 13, "last = ticks");
    ws->put("Halyard/demo/broken.c", main);
    const ToolRun r =
        ws->run("cl370", ideBatLine("C:\\Halyard\\demo\\broken.c", "C:\\TexasSource\\lnk.cmd "));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("broken.c 15: error[E006]: expected ';' before 'for'"), std::string::npos) << r.out;
    EXPECT_FALSE(outputExists());
}

TEST_F(SampleWorkspace, TextThatDoesNotFitIsRefused) {
    std::string cmd = ws->read("texassource/lnk.cmd");
    cmd.replace(cmd.find("length = 5FECh"), 14, "length = 0100h");
    ws->put("texassource/small.cmd", cmd);
    const ToolRun r = ws->run("cl370", ideBatLine("C:\\Halyard\\demo\\main.c", "C:\\texassource\\small.cmd"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("small.cmd 22: error[E208]: section .text (size "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("memory range ROM (origin 2000h, length 0100h)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bytes short"), std::string::npos) << r.out;
    EXPECT_FALSE(outputExists());
}

TEST_F(SampleWorkspace, UndefinedSymbolPointsAtItsFirstUse) {
    ws->put("texassource/u.c", "void main(void)\n{\n    missing();\n}\n");
    const ToolRun r = ws->run("cl370", {"-q", "u.c", "-z", "-o", "u.out", "-l", "rts.lib", "-c"},
                              "C:\\Texassource", ws->c() / "texassource");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("u.c 3: error[E310]: undefined symbol _missing, first referenced in"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(ws->c() / "texassource" / "u.out"));
}

TEST_F(SampleWorkspace, AssemblerWritesVectorsBesideTheSourceAndReportsMistakes) {
    fs::remove(ws->c() / "texassource" / "intvecs.obj");
    ToolRun r = ws->run("asm370", {"C:\\texassource\\intvecs.asm", "-ms"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(fs::exists(ws->c() / "texassource" / "intvecs.obj"));

    ws->put("texassource/bad.asm",
            "* vectors\n        .sect \".intvecs\"\n        .word _nowhere\n        .wrod 0\n"
            "        MOVE A,B\n");
    r = ws->run("asm370", {"C:\\texassource\\bad.asm"});
    EXPECT_EQ(r.code, 1);
    for (const char* m : {"bad.asm 4: error[E410]: unknown directive .wrod",
                          "bad.asm 5: error[E411]: unknown instruction move",
                          "bad.asm 3: error[E413]: undefined symbol _nowhere"})
        EXPECT_NE(r.out.find(m), std::string::npos) << m << "\n" << r.out;
    EXPECT_FALSE(fs::exists(ws->c() / "texassource" / "bad.obj"));

    // What the object file could not hold back is refused here, so every object written is one the
    // tools read.
    ws->put("texassource/names.asm", "        .global _co MOV\n        .usect \"my sect\", buf, 2\n"
                                     "        .space 0FFFFFFFFh\n        .space 1\n");
    r = ws->run("asm370", {"C:\\texassource\\names.asm"});
    EXPECT_EQ(r.code, 1);
    for (const char* m : {"names.asm 1: error[E414]: invalid symbol name '_co MOV'",
                          "names.asm 2: error[E414]: invalid section name 'my sect'",
                          "names.asm 4: error[E415]: section .text is larger than 0FFFFFFFFh bytes"})
        EXPECT_NE(r.out.find(m), std::string::npos) << m << "\n" << r.out;
    EXPECT_FALSE(fs::exists(ws->c() / "texassource" / "names.obj"));

    // A label on a line of its own, or a .bss symbol, comes before the first byte of its section.
    ws->put("texassource/labels.asm", "        .def    table, buf\n        .bss    buf, 10\n"
                                      "        .sect   \".intvecs\"\ntable:\n        .word   0, 0\n");
    r = ws->run("asm370", {"C:\\texassource\\labels.asm"});
    ASSERT_EQ(r.code, 0) << r.out;
    const auto object = ReadObject(ws->read("texassource/labels.obj"));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->sizeOf(".bss"), 10);
    EXPECT_EQ(object->sizeOf(".intvecs"), 4);
}

TEST_F(SampleWorkspace, LibraryBuilderRoundTripAndOverwriteRule) {
    const fs::path cl = ws->c() / "CL370";
    // As Halyard starts it: in the tool-chain folder, with "--k" from the default "Overwrite".
    ToolRun r = ws->run("mk370", {"--k", "", "", "rts.src", "-l", "C:\\Texassource\\rts2.lib"}, "", cl);
    ASSERT_EQ(r.code, 0) << r.out;
    std::string bytes;
    ASSERT_TRUE(ReadHostFile(ws->c() / "texassource" / "rts2.lib", bytes));
    const auto members = ReadAr(bytes);
    ASSERT_TRUE(members);
    std::vector<std::string> names;
    for (const auto& m : *members)
        names.push_back(m.name);
    EXPECT_EQ(names, (std::vector<std::string>{"boot.obj", "string.obj", "stdlib.obj"}));

    r = ws->run("mk370", {"rts.src", "-l", "C:\\Texassource\\rts3.lib"}, "", cl);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("mk370: error[E503]: file boot.obj already exists (use --k to overwrite)"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(ws->c() / "texassource" / "rts3.lib"));

    r = ws->run("mk370", {"--h", "--k", "--q", "-g", "rts.src", "-l", "C:\\inc\\rts.lib"}, "C:\\inc", cl);
    EXPECT_EQ(r.code, 1) << "C_DIR names a folder that does not exist";
    fs::create_directories(ws->c() / "inc");
    r = ws->run("mk370", {"--h", "--k", "--q", "-g", "rts.src", "-l", "C:\\inc\\rts.lib"}, "C:\\inc", cl);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(fs::exists(ws->c() / "inc" / "string.h"));

    r = ws->run("mk370", {"--z", "rts.src", "-l", "x.lib"}, "", cl);
    EXPECT_NE(r.out.find("mk370: error[E010]: invalid switch --z"), std::string::npos) << r.out;

    // A member name with a folder in it would be written outside the work folder.
    ws->put("CL370/evil.src", WriteAr({{"../evil.c", "int evil;\n"}}));
    r = ws->run("mk370", {"--k", "--c", "evil.src", "-l", "evil.lib"}, "", cl);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(
        r.out.find("mk370: error[E505]: evil.src holds a member that is not a plain file name: ../evil.c"),
        std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(ws->c() / "evil.c"));
    EXPECT_FALSE(fs::exists(cl / "evil.lib"));
}

TEST_F(SampleWorkspace, EverySourceIsCheckedAsCWhateverItsNameSays) {
    const fs::path src = ws->c() / "texassource";
    ws->put("texassource/upper.C", "int class;\n"); // a name in C, a keyword in C++
    ToolRun r = ws->run("cl370", {"-q", "-n", "upper.C"}, "C:\\Texassource", src);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(fs::exists(src / "upper.obj"));

    ws->put("texassource/notes.c.txt", "int x = ;\n");
    r = ws->run("cl370", {"-q", "-n", "notes.c.txt"}, "C:\\Texassource", src);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("notes.c.txt 1: error["), std::string::npos) << r.out;
}

TEST_F(SampleWorkspace, ListingSwitchesLeaveTheirFilesAndCompileOnlyLinksNothing) {
    const fs::path src = ws->c() / "texassource";
    for (const char* f : {"leds.obj", "leds.asm", "leds.lst", "leds.pp"})
        fs::remove(src / f);
    ToolRun r = ws->run("cl370", {"-q", "-n", "-k", "-s", "-al", "-pl", "-fr", "C:\\texassource",
                                  "C:\\Halyard\\demo\\leds.c", "-z", "C:\\TexasSource\\lnk.cmd"});
    EXPECT_EQ(r.code, 0) << r.out;
    for (const char* f : {"leds.obj", "leds.asm", "leds.lst", "leds.pp"})
        EXPECT_TRUE(fs::exists(src / f)) << f;
    EXPECT_NE(ws->read("texassource/leds.asm").find(";>>>> 4\tvoid leds_init(void)"), std::string::npos)
        << ws->read("texassource/leds.asm");
    EXPECT_FALSE(outputExists());

    fs::remove(src / "leds.obj");
    r = ws->run("cl370", {"-q", "-po", "-fr", "C:\\texassource", "C:\\Halyard\\demo\\leds.c"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_FALSE(fs::exists(src / "leds.obj")) << "-po stops after the preprocessor";
}

// The IDE reads the tools' own output back: every message line of a compile, an assembly and a
// link becomes a diagnostic with its file and line, and nothing else does.
TEST_F(SampleWorkspace, EveryMessageTheToolsPrintIsReadBackWithItsFileAndLine) {
    std::string main = ws->read("Halyard/demo/main.c");
    main.replace(main.find("last = ticks;"), 13, "last = ticks");
    ws->put("Halyard/demo/broken.c", main);
    ws->put("texassource/bad.asm", "        .wrod 0\n");
    std::string cmd = ws->read("texassource/lnk.cmd");
    cmd.replace(cmd.find("length = 5FECh"), 14, "length = 0100h");
    ws->put("texassource/small.cmd", cmd);
    struct Case {
        std::string tool;
        std::vector<std::string> args;
        std::vector<std::string> expected; // kind, file, line, code of every diagnostic, in order
        int summaries;                     // ">> " lines
    } cases[] = {
        {"cl370",
         ideBatLine("C:\\Halyard\\demo\\broken.c", "C:\\TexasSource\\lnk.cmd "),
         {"E broken.c 15 E006", "W broken.c 10 W709"},
         1},
        {"asm370", {"C:\\texassource\\bad.asm"}, {"E bad.asm 1 E410"}, 0},
        {"cl370",
         ideBatLine("C:\\Halyard\\demo\\main.c", "C:\\texassource\\small.cmd"),
         {"E small.cmd 22 E208"},
         1},
        {"cl370", {"-mq", "main.c"}, {"E cl370 0 E010"}, 0},
        {"cl370", ideBatLine("C:\\Halyard\\demo\\main.c", "C:\\TexasSource\\lnk.cmd "), {}, 0},
    };
    for (const auto& c : cases) {
        const ToolRun r = ws->run(c.tool, c.args);
        std::vector<std::string> got;
        int summaries = 0;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            const ToolMessage m = ParseToolLine(line);
            if (m.diagnostic())
                got.push_back(std::string(m.kind == ToolMessage::Error ? "E " : "W ") + m.file + " " +
                              std::to_string(m.line) + " " + m.code);
            summaries += m.kind == ToolMessage::Summary;
        }
        EXPECT_EQ(got, c.expected) << r.out;
        EXPECT_EQ(summaries, c.summaries) << r.out;
    }
}

TEST_F(SampleWorkspace, TheMapTellsHowMuchOfEveryMemoryRangeTheLinkUsed) {
    const ToolRun r = ws->run("cl370", ideBatLine("C:\\Halyard\\demo\\main.c", "C:\\TexasSource\\lnk.cmd "));
    ASSERT_EQ(r.code, 0) << r.out;
    std::vector<std::string> lines;
    std::istringstream text(ws->read("texassource/demo.map"));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line.substr(0, line.find('\r')));
    const auto ranges = ReadMemoryUse(lines);
    ASSERT_EQ(ranges.size(), 4u) << ws->read("texassource/demo.map");
    std::uint64_t sections = 0; // the output sections the map lists under ROM
    for (const auto& line : lines)
        for (const char* s : {".text ", ".const ", ".cinit "})
            if (line.rfind(s, 0) == 0) {
                std::istringstream row(line);
                std::string name, page, origin, length;
                row >> name >> page >> origin >> length;
                sections += std::stoull(length, nullptr, 16);
            }
    EXPECT_EQ(ranges[2].name, "ROM");
    EXPECT_EQ(ranges[2].origin, 0x2000u);
    EXPECT_EQ(ranges[2].length, 0x5FECu);
    EXPECT_EQ(ranges[2].used, sections);
    EXPECT_EQ(ranges[3].name, "VECS");
    EXPECT_EQ(ranges[3].used, ranges[3].length);
    EXPECT_TRUE(ranges[3].fixedSize); // the vectors fill it, and they do not grow
    EXPECT_FALSE(ranges[3].nearlyFull());
    EXPECT_FALSE(ranges[2].nearlyFull());
}

TEST(SampleProject, HoldsTheResetOptionsThenTheSources) {
    const auto l = SampleProjectLines({});
    ASSERT_EQ(l.size(), 66u + 4u);
    EXPECT_EQ(l[1], "1");  // AOP
    EXPECT_EQ(l[5], "0");  // Init ROM
    EXPECT_EQ(l[6], "1");  // EL
    EXPECT_EQ(l[17], "1"); // Allowinline
    EXPECT_EQ(l[45], "0200h");
    EXPECT_EQ(l[52], "0000h ");
    EXPECT_EQ(l[58], "2");
    EXPECT_EQ(l[62], "-g -ms ");
    EXPECT_EQ(l[63], "-z  -a -c ");
    EXPECT_EQ(l[64], "C:\\TexasSource\\lnk.cmd ");
    EXPECT_EQ(l[65], "C:\\texassource\\demo.out ");
    EXPECT_EQ(l[66], "C:\\Halyard\\demo\\main.c");
}

} // namespace
} // namespace halyard::sim370
