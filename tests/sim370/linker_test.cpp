// SPDX-License-Identifier: GPL-3.0-or-later
// The linker on files: options from both places, libraries, missing inputs, and what it writes.
#include <gtest/gtest.h>

#include <sstream>

#include "ar_archive.h"
#include "linker.h"
#include "object_file.h"
#include "support/fakes.h"
#include "tms370/coff.h"

namespace halyard::sim370 {
namespace {

class LinkerFiles : public ::testing::Test {
protected:
    test::TempDrives td;
    ToolEnv env{td.dir, "C:\\lib"};

    void SetUp() override {
        td.put(
            "C:\\p\\main.obj",
            WriteObject({"main.c", {{".text", 0x20}, {".bss", 2}}, {{"_main", ".text", 0}}, {{"_used", 7}}}));
        const std::vector<ArMember> lib = {
            {"used.obj",
             WriteObject({"used.c", {{".text", 0x10}}, {{"_used", ".text", 0}}, {{"_deeper", 3}}})},
            {"deeper.obj", WriteObject({"deeper.c", {{".text", 0x8}}, {{"_deeper", ".text", 0}}, {}})},
            {"unused.obj", WriteObject({"unused.c", {{".text", 0x400}}, {{"_unused", ".text", 0}}, {}})}};
        td.put("C:\\lib\\my.lib", WriteAr(lib));
    }

    int link(const std::string& cmd, const std::vector<std::string>& extra = {}) {
        td.put("C:\\p\\lnk.cmd", cmd);
        std::vector<std::string> args{"C:\\p\\lnk.cmd"};
        args.insert(args.end(), extra.begin(), extra.end());
        out.str("");
        return RunLinker(args, {}, env, out);
    }
    bool exists(const std::string& p) { return td.dd.fileExists(p); }
    std::string read(const std::string& p) { return td.dd.readBytes(p); }

    std::ostringstream out;
};

const char* kGood = "C:\\p\\main.obj\n-l my.lib\n-o C:\\p\\a.out\n-m C:\\p\\a.map\n"
                    "MEMORY\n{\n RAM : o = 0100h, l = 0100h\n ROM : o = 2000h, l = 1000h\n}\n"
                    "SECTIONS\n{\n .text > ROM\n .bss > RAM\n}\n";

TEST_F(LinkerFiles, PullsOnlyTheLibraryMembersThatAreNeeded) {
    ASSERT_EQ(link(kGood, {"-heap", "0040h", "-sstack=20h"}), 1) << "'-sstack=20h' is not a size";
    ASSERT_EQ(link(kGood, {"-heap", "0040h", "-sstack", "20h"}), 0) << out.str();
    const std::string map = read("C:\\p\\a.map");
    EXPECT_NE(map.find("my.lib : used.obj (.text)"), std::string::npos) << map;
    EXPECT_NE(map.find("my.lib : deeper.obj (.text)"), std::string::npos) << map;
    EXPECT_EQ(map.find("unused.obj"), std::string::npos) << map;
    EXPECT_NE(map.find(".sysmem     0    00000122    00000040"), std::string::npos) << map;
    EXPECT_NE(map.find(".stack      0    00000102    00000020"), std::string::npos) << map;
    const auto out = tms370::ReadCoff(read("C:\\p\\a.out"));
    ASSERT_TRUE(out.file) << out.error;
    const auto& text = out.file->sections.at(0);
    EXPECT_EQ(text.name, ".text");
    EXPECT_EQ(text.address, 0x2000u);
    EXPECT_EQ(text.size, 0x38u);
}

TEST_F(LinkerFiles, ReportsMissingInputsAndBadOptionsWhereTheyAreWritten) {
    struct Case {
        std::string cmd;
        std::vector<std::string> extra;
        const char* message;
    } cases[] = {
        {"C:\\p\\main.obj\n-l other.lib\n",
         {},
         "lnk.cmd 2: error[E308]: cannot find library other.lib in C:\\lib"},
        {"C:\\p\\main.obj\n\n C:\\p\\gone.obj\n",
         {},
         "lnk.cmd 3: error[E306]: cannot find file C:\\p\\gone.obj"},
        {"SECTIONS\n{\n .text: { C:\\p\\gone.obj(.text) }\n}\n",
         {},
         "lnk.cmd 3: error[E306]: cannot find file C:\\p\\gone.obj"},
        {"C:\\p\\main.obj\n-l my.lib\n-o\n", {}, "lnk.cmd 3: error[E303]: option -o needs a value"},
        {"C:\\p\\main.obj\n-l my.lib\n", {"-w"}, "lnk370: error[E302]: invalid option -w"},
        {"C:\\p\\main.obj\n-l my.lib\n",
         {"-u", "", "-e", "_main"},
         "lnk370: error[E303]: option -u needs a value"},
        {"C:\\p\\main.obj\n",
         {},
         "main.c 7: error[E310]: undefined symbol _used, first referenced in main.obj"},
        {"C:\\p\\main.obj\n-l my.lib\n-c\n", {}, "lnk370: error[E311]: undefined entry point _c_int00"},
        {"C:\\p\\main.obj\nC:\\p\\main.obj\n-l my.lib\n",
         {},
         "main.c: error[E309]: symbol _main is defined in both main.obj and main.obj"},
        {"C:\\p\\main.obj\n-l my.lib\nC:\\p\\lnk.cmd\n",
         {},
         "lnk.cmd 3: error[E314]: command file C:\\p\\lnk.cmd includes itself"},
        {"SECTIONS\n{\n .text: { C:\\p\\lnk.cmd(.text) }\n}\n",
         {},
         "lnk.cmd 3: error[E304]: file C:\\p\\lnk.cmd is not a valid object file"},
        {"C:\\p\\main.obj\n-l my.lib\n-o C:\\p\\a.out\n-m C:\\gone\\a.map\n",
         {},
         "lnk370: error[E313]: cannot create map file C:\\gone\\a.map"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(link(c.cmd, c.extra), 1) << c.cmd;
        EXPECT_NE(out.str().find(c.message), std::string::npos) << c.cmd << "\n" << out.str();
        EXPECT_FALSE(exists("C:\\p\\a.out"));
    }
    // An input that cannot be read stops the link before its symbols are missed one by one.
    link("C:\\p\\main.obj\n-l other.lib\n");
    EXPECT_EQ(out.str().find("E310"), std::string::npos) << out.str();
}

TEST_F(LinkerFiles, RelocatableOutputMayKeepSymbolsOpen) {
    EXPECT_EQ(link("C:\\p\\main.obj\n-r\n-o C:\\p\\part.out\n"), 0) << out.str();
    EXPECT_EQ(read("C:\\p\\part.out").rfind("SIM370 RELOCATABLE OUTPUT", 0), 0u);
}

} // namespace
} // namespace halyard::sim370
