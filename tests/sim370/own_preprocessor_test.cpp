// SPDX-License-Identifier: GPL-3.0-or-later
// cl370 without a host C compiler (on Windows, under Wine): its own preprocessor must leave the
// scanner the same module the host compiler's would, and a broken bracket must be one error at its
// line.
#include <gtest/gtest.h>

#include <fstream>

#include "c_scan.h"
#include "own_preprocessor.h"

namespace halyard::sim370 {
namespace {

namespace fs = std::filesystem;

struct Sources : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("own-pp-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir / "inc"); }
    void TearDown() override { fs::remove_all(dir); }
    fs::path put(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }
};

TEST_F(Sources, MacrosIncludesAndConditionalsLeaveTheModuleTheHostCompilerWould) {
    put("inc/io.h", "#ifndef IO_H\n#define IO_H\n#define PORT (*(volatile char *)0x10)\n"
                    "#define SET(x) PORT = (x)\n#if defined(_TMS370) && LEVEL >= 2\nint fast(void);\n"
                    "#else\n#error old level\n#endif\n#endif\n");
    const fs::path main = put("main.c", "#include <io.h>\n#include <io.h>\n#define LEVEL_ALIAS \\\n 3\n"
                                        "/* a { in a comment\n } */ static char text[] = \"(\";\n"
                                        "int count = LEVEL_ALIAS;\n"
                                        "void main(void)\n{\n  SET(1);\n  if (count) fast();\n}\n");
    Diagnostics diags;
    std::string out;
    ASSERT_TRUE(
        OwnPreprocess(main, "main.c", {dir / "inc"}, {"_TMS370=1", "LEVEL=2", "interrupt="}, diags, out))
        << out;
    EXPECT_EQ(diags.errorCount(), 0);
    const ObjectModule m = ScanC(out, "main.c").module;
    EXPECT_TRUE(m.defines("_main"));
    EXPECT_TRUE(m.defines("_count"));
    ASSERT_EQ(m.refs.size(), 1u) << "SET(1) is no call";
    EXPECT_EQ(m.refs[0].name, "_fast");
    EXPECT_EQ(m.refs[0].line, 11) << "lines keep their numbers through comments and continued lines";
    EXPECT_EQ(m.sizeOf(".bss"), 2 + 2); // text[] and count
}

TEST_F(Sources, ABracketLeftOpenIsOneErrorAtItsLine) {
    const fs::path main = put("main.c", "int a;\n\nint broken( {\nint b;\n");
    Diagnostics diags;
    std::string out;
    EXPECT_FALSE(OwnPreprocess(main, "main.c", {}, {}, diags, out));
    ASSERT_EQ(diags.all().size(), 1u);
    EXPECT_EQ(diags.all()[0].line, 3);
    EXPECT_EQ(diags.all()[0].code, 6);

    Diagnostics missing;
    EXPECT_FALSE(OwnPreprocess(put("m2.c", "\n#include \"nowhere.h\"\n"), "m2.c", {}, {}, missing, out));
    ASSERT_EQ(missing.all().size(), 1u);
    EXPECT_EQ(missing.all()[0].line, 2);
}

} // namespace
} // namespace halyard::sim370
