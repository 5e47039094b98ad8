// SPDX-License-Identifier: GPL-3.0-or-later
// The pre-link check of command files: what it reports, where, and how seriously.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "linkcmd/cmd_check.h"
#include "support/fakes.h"

namespace halyard::linkcmd {
namespace {

std::string check(const std::string& text, test::TempDrives& drives) {
    std::string out;
    for (const auto& m : CheckCommandFile(text, "x.cmd", drives.dd, "C:\\work"))
        out += FormatCheckMessage(m) + "\n";
    return out;
}

const char* kMemory = "MEMORY\n{\n"
                      "    ROM     :  (RX)  origin = 8000h length = 7FE0h \n"
                      "    RAM     :  (RW)  origin = 0100h length = 0F00h \n"
                      "}\n";

TEST(CommandFileCheck, AcceptsSoundFilesSilently) {
    test::TempDrives drives;
    drives.put("C:\\work\\main.obj", "");
    drives.put("C:\\lib\\io.obj", "");
    for (const std::string sections : {
             "    .text:   > ROM\n    .bss:   > RAM\n",
             ".data:   > RAM\n{\n    main.obj(.data)\n    C:\\lib\\io.obj()\n}\n",
             "    .text:   > RAM run = > 8000h, fill =00000010h\n    .const : > ROM align(0010h) PAGE1\n",
             ".intvecs : load = 0FFD0h\n{\n   endvec =.; \n}\n",
             // Each folder is listed once; its names are still found in any case.
             ".data:   > RAM\n{\n    C:\\WORK\\MAIN.OBJ(.data)\n    ..\\work\\Main.obj()\n}\n",
         }) {
        const std::string text = std::string(kMemory) + "SECTIONS\n{\n" + sections + "}\n";
        EXPECT_EQ(check(text, drives), "") << text;
    }
}

TEST(CommandFileCheck, NamesEachProblemWithItsLine) {
    struct Case {
        const char* text;
        const char* report;
    } cases[] = {
        {"MEMORY\n{\n  A : o = 0100h, l = 0100h\n  B : o = 0180h, l = 0100h\n  C : o = 0180h, l = 10h\n}\n"
         "SECTIONS\n{\n  .text : > FLASH\n}\n",
         "x.cmd 4: error: memory range B (origin 0180h, length 0100h) overlaps memory range A (origin 0100h, "
         "length 0100h) on page 0\n"
         "x.cmd 5: error: memory range C (origin 0180h, length 0010h) overlaps memory ranges A (origin "
         "0100h, "
         "length 0100h) and B (origin 0180h, length 0100h) on page 0\n"
         "x.cmd 9: error: memory range FLASH is not defined (load placement of .text)\n"},
        {"MEMORY\n{\n PAGE 0: A : o = 0, l = 100h\n PAGE 1: B : o = 0, l = 100h\n}\n", ""},
        {"MEMORY\n{\n  A : o = 0F000h, l = 1001h\n}\n",
         "x.cmd 3: error: memory range A (origin 0F000h, length 1001h) reaches past the 64K address space "
         "(ends "
         "at 10000h)\n"},
        {"MEMORY\n{\n  RAM (RW) : o = 0, l = 100h\n}\nSECTIONS\n{\n  .text : > RAM\n  .bss : > RAM\n"
         "  .data : run = RAM\n}\n",
         "x.cmd 7: warning: section .text holds code but memory range RAM (RW) lacks the X attribute\n"},
        // Variables and stacks are written where they run: a read-only range will not hold them.
        {"MEMORY\n{\n  ROM (RX) : o = 8000h, l = 100h\n  VECS (R) : o = 0FFE0h, l = 20h\n}\nSECTIONS\n{\n"
         "  .bss : > VECS\n  .data : load = ROM, run = VECS\n  .sysmem : load = VECS, run = ROM\n"
         "  .stack : > ROM\n  .cinit : > VECS\n}\n",
         "x.cmd 8: warning: section .bss holds data the program writes but memory range VECS (R) lacks the W "
         "attribute\n"
         "x.cmd 9: warning: section .data holds data the program writes but memory range VECS (R) lacks the "
         "W "
         "attribute\n"
         "x.cmd 10: warning: section .sysmem holds data the program writes but memory range ROM (RX) lacks "
         "the W attribute\n"
         "x.cmd 11: warning: section .stack holds data the program writes but memory range ROM (RX) lacks "
         "the "
         "W attribute\n"},
        {"MEMORY\n{\n  RAM : o = 0, l = 100h\n}\nSECTIONS\n{\n  .text : > RAM run = SLOW\n"
         "  .bss : > 0200h\n  .x : > 10000h\n}\n",
         "x.cmd 7: error: memory range SLOW is not defined (run placement of .text)\n"
         "x.cmd 8: error: section .bss at 0200h is not inside any MEMORY range (load placement)\n"
         "x.cmd 9: error: section .x at 10000h is outside the 64K address space\n"},
        {"SECTIONS\n{\n  .text : > RAM align(0030h)\n  .bss : block(0) > RAM\n}\n",
         "x.cmd 3: error: align value 0030h is not a power of 2\n"
         "x.cmd 3: error: memory range RAM is not defined (load placement of .text)\n"
         "x.cmd 4: error: block value 0000h is not a power of 2\n"
         "x.cmd 4: error: memory range RAM is not defined (load placement of .bss)\n"},
        {"SECTIONS\n{\n.data:\n{\n    C:\\proj\\gone.obj(.data)\n    gone.obj\n    gone.obj\n}\n}\n",
         "x.cmd 5: warning: input file C:\\proj\\gone.obj does not exist\n"
         "x.cmd 6: warning: input file gone.obj does not exist\n"},
        {"MEMORY\n{\n  RAM : o = 0, l = \n}\n", "x.cmd 3: error: invalid value for length\n"},
    };
    test::TempDrives drives;
    for (const auto& c : cases) {
        EXPECT_EQ(check(c.text, drives), c.report) << c.text;
        // The same lines whatever ends them.
        for (const char* end : {"\r\n", "\r"}) {
            std::string text;
            for (char ch : std::string(c.text))
                text += ch == '\n' ? std::string(end) : std::string(1, ch);
            EXPECT_EQ(check(text, drives), c.report) << c.text;
        }
    }
}

// The builder writes a hexadecimal number that begins with a letter with a leading 0 (0F000h); one
// without it (F000h) is a symbol to the linker, and once was also taken as 0, overlapping whatever
// lies there. Each fault here is reported once, at its own line, and nothing that follows from it.
TEST(CommandFileCheck, ReportsEachFaultOnceAndNothingThatFollowsFromIt) {
    struct Case {
        const char* text;
        const char* report;
    } cases[] = {
        {"MEMORY\n{\n    ROM     :  (RX)  origin = 0F000h length = 0FE0h \n"
         "    VECS    :  (R)  origin = 0FFE0h length = 0020h fill = 00000FFh\n}\n"
         "SECTIONS\n{\n    .text:   > ROM\n    .intvecs : load = 0FFE0h\n}\n",
         ""},
        {"MEMORY\n{\n    RAM     :  (RW)  origin = 0000h length = 1000h \n"
         "    ROM     :  (RX)  origin = F000h length = 0FE0h \n}\n"
         "SECTIONS\n{\n    .text:   > ROM\n    .const:   > 0F100h\n}\n",
         "x.cmd 4: error: invalid value for origin: 'F000h' is not defined\n"},
        {"MEMORY\n{\n  ROM : origin = 8000h, size = 10h, length = 1000h\n  RAM : o = 0, lenght = 100h\n}\n"
         "SECTIONS\n{\n  .text : > ROM\n  .bss : > RAM\n}\n",
         "x.cmd 3: error: unknown memory range parameter 'size'\n"
         "x.cmd 4: error: unknown memory range parameter 'lenght'\n"},
        {"MEMORY\n{\n  A : origin 0, length = 10h\n  B origin = 0, length = 10h\n}\n"
         "SECTIONS\n{\n  .bss : > A\n  .data : > B\n}\n",
         "x.cmd 3: error: unexpected 'origin' in memory range A\n"
         "x.cmd 4: error: expected ':' after memory range name B\n"},
        {"MEMORY\n{\n  A : o = 0, l = 100h\n  A : o = 80h, l = 100h\n}\n",
         "x.cmd 4: error: memory range A is defined twice\n"},
        // An input block added twice in the builder.
        {"MEMORY\n{\n    RAM     :  (RW)  origin = 0100h length = 0F00h \n}\n"
         "SECTIONS\n{\n.data:   > RAM\n{\n    main.obj(.data)\n}\n.data:   > RAM\n{\n    "
         "main.obj(.data)\n}\n\n}\n",
         "x.cmd 11: warning: output section .data is defined twice (first on line 7)\n"},
        {"SECTIONS\n{\n  UNION : > 0\n  {\n    .a :\n    .b :\n  }\n  .a : > 0\n}\n",
         "x.cmd 8: warning: output section .a is defined twice (first on line 5)\n"},
    };
    test::TempDrives drives;
    drives.put("C:\\work\\main.obj", "");
    for (const auto& c : cases)
        EXPECT_EQ(check(c.text, drives), c.report) << c.text;
}

// A file of many ranges laid over each other says so once per range, whatever their number.
TEST(CommandFileCheck, NamesAFewOfTheRangesARangeOverlapsAndCountsTheRest) {
    test::TempDrives drives;
    std::string text = "MEMORY\n{\n";
    for (int i = 0; i < 6; ++i)
        text += "  R" + std::to_string(i) + " : o = 100h, l = 10h\n";
    text += "  W : o = 0, l = 1000h\n  PAGE 1: P : o = 100h, l = 10h\n}\n";
    const std::string r = " (origin 0100h, length 0010h)";
    const std::string first3 = "R0" + r + ", R1" + r + ", R2" + r;
    EXPECT_EQ(check(text, drives),
              "x.cmd 4: error: memory range R1" + r + " overlaps memory range R0" + r + " on page 0\n" +
                  "x.cmd 5: error: memory range R2" + r + " overlaps memory ranges R0" + r + " and R1" + r +
                  " on page 0\n" + "x.cmd 6: error: memory range R3" + r + " overlaps memory ranges R0" + r +
                  ", R1" + r + " and R2" + r + " on page 0\n" + "x.cmd 7: error: memory range R4" + r +
                  " overlaps memory ranges " + first3 + " and 1 more on page 0\n" +
                  "x.cmd 8: error: memory range R5" + r + " overlaps memory ranges " + first3 +
                  " and 2 more on page 0\n" +
                  "x.cmd 9: error: memory range W (origin 0000h, length 1000h) overlaps memory ranges " +
                  first3 + " and 3 more on page 0\n");
}

// Against every pair compared with every other: the same ranges found, counted and named (the
// lowest origins first) for ranges that touch, nest, cross and repeat.
TEST(CommandFileCheck, FindsTheOverlapsThatComparingEveryPairFinds) {
    struct R {
        int page, origin, length;
    };
    std::mt19937 random(22);
    for (int round = 0; round < 20; ++round) {
        std::vector<R> ranges(60);
        for (auto& x : ranges)
            x = {static_cast<int>(random() % 2), static_cast<int>(random() % 200),
                 static_cast<int>(random() % 40)};
        std::string text = "MEMORY\n{\n", expected;
        for (size_t i = 0; i < ranges.size(); ++i) {
            const R& a = ranges[i];
            text += "PAGE " + std::to_string(a.page) + ": R" + std::to_string(i) +
                    " : o = " + std::to_string(a.origin) + ", l = " + std::to_string(a.length) + "\n";
            std::vector<std::pair<int, size_t>> earlier;
            for (size_t j = 0; j < i; ++j) {
                const R& b = ranges[j];
                if (a.page == b.page && a.length && b.length && a.origin < b.origin + b.length &&
                    b.origin < a.origin + a.length)
                    earlier.emplace_back(b.origin, j);
            }
            std::sort(earlier.begin(), earlier.end());
            auto span = [&](size_t k) {
                return "R" + std::to_string(k) + " (origin " + linkcmd::Hex(ranges[k].origin) + ", length " +
                       linkcmd::Hex(ranges[k].length) + ")";
            };
            if (earlier.empty()) continue;
            expected += "x.cmd " + std::to_string(i + 3) + ": error: memory range " + span(i) + " overlaps ";
            if (earlier.size() == 1) {
                expected += "memory range " + span(earlier[0].second);
            } else {
                const size_t named = std::min<size_t>(3, earlier.size());
                expected += "memory ranges ";
                for (size_t k = 0; k < named; ++k)
                    expected += (k == 0                                    ? ""
                                 : k + 1 < named || earlier.size() > named ? ", "
                                                                           : " and ") +
                                span(earlier[k].second);
                if (earlier.size() > named)
                    expected += " and " + std::to_string(earlier.size() - named) + " more";
            }
            expected += " on page " + std::to_string(a.page) + "\n";
        }
        text += "}\n";
        test::TempDrives drives;
        EXPECT_EQ(check(text, drives), expected) << text;
    }
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(CommandFileCheck, NestingBeyondAnyRealFileIsOneErrorNotACrash) {
    const std::string deepParens = repeat("(", 100000) + "1" + repeat(")", 100000);
    const std::string tooDeep = ": parentheses nest deeper than 64 levels\n";
    struct Case {
        std::string text, report;
    } cases[] = {
        {"SECTIONS\n{\n" + repeat("UNION {\n", 20000) + ".bss :\n" + repeat("}\n", 20000) + "}\n",
         "x.cmd 67: error: UNION nests deeper than 64 levels\n"},
        {"SECTIONS\n{\n" + repeat("GROUP { UNION {\n", 40) + repeat("} }\n", 40) + "}\nx = 1;\n",
         "x.cmd 35: error: GROUP nests deeper than 64 levels\n"},
        {"SECTIONS\n{\n" + repeat("UNION {\n", 64) + ".bss :\n" + repeat("}\n", 64) + "}\n", ""},
        {"x = " + deepParens + ";\ny = 2;\n", "x.cmd 1: error: invalid expression assigned to x" + tooDeep},
        {"x = " + repeat("(", 64) + "1 + 2" + repeat(")", 64) + " * 3;\n", ""},
        {"x = " + repeat("(\n", 65) + "1" + repeat(")\n", 65) + ";\n",
         "x.cmd 1: error: invalid expression assigned to x" + tooDeep},
        {"MEMORY\n{\n  A : o = " + deepParens + ", l = 10h\n}\n",
         "x.cmd 3: error: invalid value for origin" + tooDeep},
        {"SECTIONS\n{\n  .text : { a = " + deepParens + " }\n}\n",
         "x.cmd 3: error: invalid expression assigned to a" + tooDeep},
        {"MEMORY { A : o = 0, l = 10h }\nMEMORY { B : o = 10h, l = 10h\nA : o = 100h, l = 10h }\n",
         "x.cmd 3: error: memory range A is defined twice\n"},
    };
    test::TempDrives drives;
    for (const auto& c : cases)
        EXPECT_EQ(check(c.text, drives), c.report) << c.text.substr(0, 80);
}

// A command file of a few megabytes of one name: what comes back is a bounded number of bounded
// lines, not the file again (a 3 GB file once came back whole).
TEST(CommandFileCheck, EchoesNoUnboundedInput) {
    test::TempDrives drives;
    std::string text = "MEMORY { " + std::string(1u << 20, 'X') + " }\n";
    for (int i = 0; i < 3000; ++i)
        text += "bad" + std::to_string(i) + " " + std::string(1000, 'y') + "\n";
    const auto messages = CheckCommandFile(text, "x.cmd", drives.dd, "C:\\work");
    ASSERT_FALSE(messages.empty());
    EXPECT_LE(messages.size(), Diagnostics::MaxMessages + 1);
    for (const auto& m : messages)
        EXPECT_LE(m.text.size(), Diagnostics::MaxMessageText + 3);
}

} // namespace
} // namespace halyard::linkcmd
