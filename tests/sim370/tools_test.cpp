// SPDX-License-Identifier: GPL-3.0-or-later
// Switches of cl370, the message form, and the file formats the tools share.
#include <gtest/gtest.h>

#include "ar_archive.h"
#include "c_scan.h"
#include "compiler.h"
#include "diagnostics.h"
#include "object_file.h"

namespace halyard::sim370 {
namespace {

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : line + " ") {
        if (c != ' ')
            cur += c;
        else if (!cur.empty())
            out.push_back(cur), cur.clear();
        else
            out.push_back(""); // runs of blanks give empty words, as a batch line may
    }
    return out;
}

TEST(CompilerSwitches, AcceptsEverySwitchHalyardGenerates) {
    const char* lines[] = {
        "-c8 -q -g -k -s -n -ms -pk -pl -po -pw -x0 -tf -tp main.c",
        "-ma -mc -mh -mk -mn -mp -mr -mtnn -mu -mw main.c",
        "-aa -al -ao -as -ax -o0 -o1 -o2 -o3 -oe -oi1 -oi -ol1 -on2 -o main.c",
        "-v0 -ms -g main.c",
        "-fr C:\\texassource -g -ms    main.c",
        "-g  -C8  -pk  -pw  -p?  -ms main.c",
    };
    for (const char* line : lines) {
        Diagnostics d;
        CompilerOptions o;
        EXPECT_TRUE(ParseCompilerArgs(words(line), o, d)) << line;
        EXPECT_EQ(d.errorCount(), 0) << line;
        EXPECT_EQ(o.sources, std::vector<std::string>{"main.c"}) << line;
    }
}

TEST(CompilerSwitches, RejectsUnknownSwitchesByName) {
    for (const char* bad : {"-mq", "-o4", "-olx", "-zz", "-fr", "-v", "--k"}) {
        Diagnostics d;
        CompilerOptions o;
        EXPECT_FALSE(ParseCompilerArgs({"main.c", bad}, o, d)) << bad;
        ASSERT_EQ(d.all().size(), 1u) << bad;
        EXPECT_EQ(d.all()[0].file, "cl370");
    }
    Diagnostics d;
    CompilerOptions o;
    ParseCompilerArgs({"-mq"}, o, d);
    EXPECT_EQ(FormatDiagnostic(d.all()[0]), "cl370: error[E010]: invalid switch -mq; nothing compiled");
}

TEST(CompilerSwitches, EverythingAfterZGoesToTheLinker) {
    Diagnostics d;
    CompilerOptions o;
    ASSERT_TRUE(ParseCompilerArgs(
        words("-fr C:\\t -g -ms  C:\\w\\a.c C:\\w\\b.C  -z C:\\TexasSource\\lnk.cmd   -a -c -q"), o, d));
    EXPECT_EQ(o.objDir, "C:\\t");
    EXPECT_EQ(o.sources, (std::vector<std::string>{"C:\\w\\a.c", "C:\\w\\b.C"}));
    EXPECT_TRUE(o.link);
    EXPECT_FALSE(o.quiet) << "-q after -z is the linker's";
    std::vector<std::string> linkWords;
    for (const auto& w : o.linkArgs)
        if (!w.empty()) linkWords.push_back(w);
    EXPECT_EQ(linkWords, (std::vector<std::string>{"C:\\TexasSource\\lnk.cmd", "-a", "-c", "-q"}));
}

TEST(Diagnostics, HostCompilerLinesBecomeTheToolChainsForm) {
    struct Case {
        const char* gcc;
        const char* shown; // empty: not a diagnostic
    } cases[] = {
        {"/tmp/x/main.c:12:5: error: expected ';' before 'return'",
         "main.c 12: error[E006]: expected ';' before 'return'"},
        {"/tmp/x/io.h:3:1: warning: unused variable \xE2\x80\x98x\xE2\x80\x99 [-Wunused-variable]",
         "io.h 3: warning[W300]: unused variable 'x'"},
        {"main.c:1:10: fatal error: demo.h: No such file or directory",
         "main.c 1: error[E005]: demo.h: No such file or directory"},
        {"main.c:7:1: error: C++ style comments are not allowed in ISO C90",
         "main.c 7: error[E007]: C++ style comments are not allowed in ISO C90"},
        {"/tmp/x/e.c:-2147483648:22: warning: implicit declaration of function 'g'",
         "e.c: warning[W225]: implicit declaration of function 'g'"},
        {"e.c:99999999999999999999:1: error: expected ';' before 'int'",
         "e.c: error[E006]: expected ';' before 'int'"},
        {"main.c: In function 'main':", ""},
        {"main.c:4:9: note: each undeclared identifier is reported only once", ""},
    };
    for (const auto& c : cases) {
        Diagnostic d;
        const bool converted = ConvertHostDiagnostic(c.gcc, d);
        EXPECT_EQ(converted, *c.shown != 0) << c.gcc;
        if (converted) {
            EXPECT_EQ(FormatDiagnostic(d), c.shown);
        }
    }
}

TEST(Numbers, ReadTheNotationsOfCommandFilesAndPrintAddresses) {
    EXPECT_EQ(ParseNumber("0200h"), 0x200);
    EXPECT_EQ(ParseNumber("07FECh"), 0x7FEC);
    EXPECT_EQ(ParseNumber("0x200"), 0x200);
    EXPECT_EQ(ParseNumber("256 "), 256);
    EXPECT_EQ(ParseNumber("0000010h"), 0x10);
    EXPECT_FALSE(ParseNumber("FFh"));
    EXPECT_FALSE(ParseNumber("12G"));
    EXPECT_FALSE(ParseNumber(""));
    EXPECT_EQ(Hex(0x200), "0200h");
    EXPECT_EQ(Hex(0xFFE0), "0FFE0h");
}

TEST(Archive, RoundTripKeepsNamesAndBytes) {
    const std::vector<ArMember> in = {
        {"boot.c", "odd"}, {"a_rather_long_member_name.c", "x\ny\n"}, {"empty.h", ""}};
    const auto out = ReadAr(WriteAr(in));
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ((*out)[i].name, in[i].name);
        EXPECT_EQ((*out)[i].data, in[i].data);
    }
    EXPECT_FALSE(ReadAr("not an archive"));
    std::string cut = WriteAr(in);
    cut.resize(cut.size() - 3);
    EXPECT_FALSE(ReadAr(cut));
}

TEST(Archive, DamagedSizeFieldsAreRefusedNotWrapped) {
    auto member = [](const std::string& name, const std::string& size, const std::string& data) {
        std::string h = name;
        h.resize(48, ' ');
        h += size;
        h.resize(58, ' ');
        return h + "`\n" + data;
    };
    const std::string magic = "!<arch>\n";
    for (const char* size : {"-60", "+2", "0x2", "2 2", "99999999999", "18446744073709551615"})
        EXPECT_FALSE(ReadAr(magic + member("a.c/", size, "ab"))) << size;
    EXPECT_FALSE(ReadAr(magic + member("//", "2", "x\n") + member("/-1", "0", "")));
    const auto ok = ReadAr(magic + member("a.c/", "2", "ab"));
    ASSERT_TRUE(ok);
    EXPECT_EQ((*ok)[0].data, "ab");
}

TEST(ObjectFile, RoundTrip) {
    ObjectModule m{"main.c", {{".text", 64}, {".bss", 3}}, {{"_main", ".text", 0}}, {{"_strlen", 14}}};
    const auto back = ReadObject(WriteObject(m));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->source, "main.c");
    EXPECT_EQ(back->sizeOf(".text"), 64);
    EXPECT_EQ(back->sizeOf(".bss"), 3);
    EXPECT_TRUE(back->defines("_main"));
    ASSERT_EQ(back->refs.size(), 1u);
    EXPECT_EQ(back->refs[0].line, 14);
    // A hand-edited object must not bring a negative size into the placement.
    EXPECT_FALSE(ReadObject("SIM370 OBJECT 1\nsection .text -5\n"));
    EXPECT_FALSE(ReadObject("SIM370 OBJECT 1\nsection .text 5\ndef _f .text -1\n"));
    // Sizes past the scanner's limit would overflow the linker's sums.
    EXPECT_FALSE(ReadObject("SIM370 OBJECT 1\nsection .text 9223372036854775807\n"));
    EXPECT_FALSE(ReadObject("SIM370 OBJECT 1\nsection .text 5\ndef _f .text 4294967296\n"));
}

TEST(CScan, SectionsAndSymbolsFollowTheSource) {
    const std::string pre =
        "# 1 \"m.c\"\n"
        "int counter;\n"
        "static char flags[4] = {1, 2, 3, 4};\n"
        "const int table[3] = {1, 2, 3};\n"
        "extern int elsewhere;\n"
        "int proto(int a);\n"
        "typedef struct { int a; int b; } pair;\n"
        "static void helper(void) { counter++; }\n"
        "int main(void)\n{\n  helper();\n  if (counter) proto(\"hi\"[0]);\n  return 0;\n}\n";
    const ObjectModule m = ScanC(pre, "m.c").module;
    EXPECT_EQ(m.sizeOf(".bss"), 2 + 4);   // counter, flags
    EXPECT_EQ(m.sizeOf(".cinit"), 4 + 4); // flags with its record
    EXPECT_EQ(m.sizeOf(".const"), 6 + 3); // table, "hi"
    EXPECT_EQ(m.sizeOf(".data"), 0);
    EXPECT_EQ(m.sizeOf(".text"), (6 + 3) + (6 + 3 * 3 + 4 * 2 + 2));
    EXPECT_TRUE(m.defines("_main"));
    EXPECT_TRUE(m.defines("_counter"));
    EXPECT_FALSE(m.defines("_helper")) << "static";
    EXPECT_FALSE(m.defines("_flags")) << "static";
    ASSERT_EQ(m.refs.size(), 1u) << "helper is local";
    EXPECT_EQ(m.refs[0].name, "_proto");
    EXPECT_EQ(m.refs[0].line, 11);
}

TEST(CScan, FileLevelDeclarationsTakeTheirSections) {
    struct Case {
        const char* decl;
        std::int64_t bss, cinit, konst;
    } cases[] = {
        {"int a;", 2, 0, 0},
        {"char s[] = \"abc\";", 4, 8, 0},
        {"int v[] = {1, 2, 3};", 6, 10, 0},
        {"const char *p = \"hi\";", 2, 6, 3},
        {"char * const q = 0;", 0, 0, 2},
        {"long big[4];", 16, 0, 0},
        {"struct s { int a; int b; } pair;", 4, 0, 0},
        {"int x, y = 1, z[2];", 8, 6, 0},
        {"extern int e;", 0, 0, 0},
        {"int f(int);", 0, 0, 0},
        {"typedef int word;", 0, 0, 0},
        // K&R mode lets such sizes through with a warning; they are held, not overflowed.
        {"char huge[99999999999999999999];", 0xFFFFFFFF, 0, 0},
        {"char wide[0x10000][0x10000][0x10000];", 0xFFFFFFFF, 0, 0},
        {"# 4294967295 \"d.c\"\nint late;", 2, 0, 0},
        {"long a1[4294967295], a2[4294967295], a3[4294967295];", 0xFFFFFFFF, 0, 0},
        {"struct { int a; int b; } s1[4294967295] = {0}, s2[4294967295];", 0xFFFFFFFF, 0xFFFFFFFF, 0},
    };
    for (const auto& c : cases) {
        const ObjectModule m = ScanC(std::string("# 1 \"d.c\"\n") + c.decl + "\n", "d.c").module;
        EXPECT_EQ(m.sizeOf(".bss"), c.bss) << c.decl;
        EXPECT_EQ(m.sizeOf(".cinit"), c.cinit) << c.decl;
        EXPECT_EQ(m.sizeOf(".const"), c.konst) << c.decl;
    }
}

} // namespace
} // namespace halyard::sim370
