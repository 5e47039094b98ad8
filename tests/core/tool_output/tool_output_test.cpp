// SPDX-License-Identifier: GPL-3.0-or-later
// Reading back what the tool chain prints and writes: message lines, the files they name, and the
// memory use in a map file.
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "tool_output/memory_map.h"
#include "tool_output/tool_messages.h"

namespace halyard::test {
namespace {

TEST(ToolMessages, ReadFileLineAndCodeOrLeaveTheLinePlain) {
    struct Case {
        const char* line;
        ToolMessage::Kind kind;
        const char* file;
        int number;
        const char* code;
        const char* text;
    } cases[] = {
        {"main.c 12: error[E006]: expected ';' before 'return'", ToolMessage::Error, "main.c", 12, "E006",
         "expected ';' before 'return'"},
        {"io.h 3: warning[W300]: unused variable 'x'\r", ToolMessage::Warning, "io.h", 3, "W300",
         "unused variable 'x'"},
        {"my file.c 7: error: no code", ToolMessage::Error, "my file.c", 7, "", "no code"},
        {"cl370: error[E010]: invalid switch -mq; nothing compiled", ToolMessage::Error, "cl370", 0, "E010",
         "invalid switch -mq; nothing compiled"},
        {"lnk.cmd 9: error[E208]: section .text: error[x]: y", ToolMessage::Error, "lnk.cmd", 9, "E208",
         "section .text: error[x]: y"},
        {">> Compilation failure; nothing linked", ToolMessage::Summary, "", 0, "",
         "Compilation failure; nothing linked"},
        {"Updated C:\\texassource\\demo.out: errors none", ToolMessage::Plain, "", 0, "", ""},
        {"no file: error[E1 broken", ToolMessage::Plain, "", 0, "", ""},
        {": error[E1]: no file", ToolMessage::Plain, "", 0, "", ""},
        {"[main.c]", ToolMessage::Plain, "", 0, "", ""},
    };
    for (const auto& c : cases) {
        const ToolMessage m = ParseToolLine(c.line);
        EXPECT_EQ(m.kind, c.kind) << c.line;
        if (m.kind == ToolMessage::Plain) {
            EXPECT_EQ(m.text, c.line);
            continue;
        }
        EXPECT_EQ(m.file, c.file) << c.line;
        EXPECT_EQ(m.line, c.number) << c.line;
        EXPECT_EQ(m.code, c.code) << c.line;
        EXPECT_EQ(m.text, c.text) << c.line;
    }
    EXPECT_EQ(MessageCountText(2, 1), "2 errors, 1 warning");
    EXPECT_EQ(MessageCountText(1, 0), "1 error, 0 warnings");
}

TEST(ToolMessages, FileResolvesToTheProjectEntryThenTheFolders) {
    TempDrives t;
    t.put("C:\\work\\Main.C", "");
    t.put("C:\\other\\main.c", "");
    t.put("C:\\texassource\\lnk.cmd", "");
    t.put("C:\\cmd\\my.cmd", "");
    t.put("C:\\cmd\\lnk.cmd", "");
    const std::vector<std::string> sources{"C:\\work\\io.h", "C:\\work\\Main.C"};
    const std::vector<std::string> folders{"C:\\texassource", "C:\\cmd\\"};
    struct Case {
        const char* name;
        const char* found;
    } cases[] = {
        {"main.c", "C:\\work\\Main.C"},          // the project's entry, whatever the letter case
        {"io.h", ""},                            // in the project but gone from the disk
        {"LNK.CMD", "C:\\texassource\\LNK.CMD"}, // the compiler folder comes first
        {"my.cmd", "C:\\cmd\\my.cmd"},
        {"timer.c", ""},
        {"cl370", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveMessageFile(t.dd, c.name, sources, folders), c.found) << c.name;
}

TEST(MemoryMap, ReadsTheTableWithOrWithoutAUsedColumn) {
    // The stand-in's layout: a "used" column, each page named on its first range.
    const std::vector<std::string> withUsed{
        "MEMORY CONFIGURATION",
        "",
        "           name      origin    length      used     attr    fill",
        "         --------  --------  ---------  --------  ----  --------",
        "PAGE 0:  RAM       00000100  000000700  00000003  RW",
        "         ROM       00002000  000005fec  00005800  RX      0000ffff",
        "PAGE 1:  DATA      00000000  000000100  000000f0  RW",
        "",
        "",
        "SECTION ALLOCATION MAP"};
    auto r = ReadMemoryUse(withUsed);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].name, "RAM");
    EXPECT_EQ(r[1].page, 0);
    EXPECT_EQ(r[1].used, 0x5800u);
    EXPECT_EQ(r[1].attributes, "RX");
    EXPECT_EQ(r[2].page, 1);
    EXPECT_EQ(r[2].free(), 0x10u);
    EXPECT_FALSE(r[0].nearlyFull());
    EXPECT_TRUE(r[2].nearlyFull());

    // Without "used": the output sections placed in each range add up, page by page.
    const std::vector<std::string> without{"MEMORY CONFIGURATION",
                                           "           name      origin    length     attributes     fill",
                                           "PAGE 0:  RAM       0100h     0700h     RW",
                                           "PAGE 1:  RAM2      0100h     0700h     RW",
                                           "SECTION ALLOCATION MAP",
                                           "--------  ----  ----------  ----------   ----------------",
                                           ".bss        0    00000100    00000010",
                                           "                  00000100    00000010      main.obj (.bss)",
                                           ".data       1    00000200    00000020",
                                           ".sysmem     0    00000110    00000008",
                                           "GLOBAL SYMBOLS",
                                           "00000100 big"};
    r = ReadMemoryUse(without);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].used, 0x18u);
    EXPECT_EQ(r[1].used, 0x20u);
    EXPECT_TRUE(ReadMemoryUse({"OUTPUT FILE NAME: <a.out>"}).empty());

    const auto table = MemoryUseTable({{"ROM", 0, 0x2000, 0x1000, 0xF80, "RX"}});
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(
        table[1],
        "ROM       0     2000h    1000h    0F80h    0080h    [###################.]  96.9 %  over 90 %");
}

// Numbers a map may hold but the reader cannot: the line is a finding that names it, every other
// range is still read, and nothing throws.
TEST(MemoryMap, NumbersOutOfRangeAreNamedFindingsAndTheRestIsRead) {
    const std::vector<std::string> withUsed{
        "MEMORY CONFIGURATION",
        "           name      origin    length      used     attr",
        "PAGE 99999999999999999999:  LOST  00000100  00000700  00000003  RW",
        "         LOST2     00000900  00000100  00000000  RW",
        "PAGE 1:  RAM       00000100  00000700  00000003  RW",
        "         BIG       00000800  00000010  FFFFFFFFFFFFFFFF  RW",
        "         HUGE      100000000000000000  00000010  00000000  RW",
        "         ROM       0000000000000000002000  00001000  00000F80  RX"};
    std::vector<std::string> problems;
    const auto r = ReadMemoryUse(withUsed, &problems);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].name, "RAM");
    EXPECT_EQ(r[1].origin, 0x2000u); // leading zeros are no overflow
    EXPECT_EQ(
        problems,
        (std::vector<std::string>{
            "Map line 3: the page number 99999999999999999999 is out of range; the line is left out",
            "Map line 4: the range LOST2 follows a page number out of range; the line is left out",
            "Map line 6: the used size FFFFFFFFFFFFFFFF is above the length 00000010; the line is left out",
            "Map line 7: the origin 100000000000000000 is out of range; the line is left out"}));
    // The table holds any values it is given.
    const auto table = MemoryUseTable({{"BIG", 0, 0, 0x10, 0xFFFFFFFFFFFFFFFFull, "RW"}});
    EXPECT_NE(table.at(1).find("[####################]"), std::string::npos) << table.at(1);

    // Without "used": overlapping ranges take a section in the map's order, whatever their
    // addresses; sections add up to at most the range's length.
    const std::vector<std::string> without{"MEMORY CONFIGURATION",
                                           "           name      origin    length     attributes",
                                           "PAGE 0:  WIDE      0000h     1000h     RW",
                                           "         INNER     0100h     0100h     RW",
                                           "         LOW       0000h     0100h     RW",
                                           "PAGE 1:  FULL      0000h     0010h     RW",
                                           "SECTION ALLOCATION MAP",
                                           ".a          0    00000150    00000010",
                                           ".b          1    00000000    00000008",
                                           ".c          1    00000004    00000FFF",
                                           ".d          99999999999 00000004    00000001",
                                           ".e          0    00002000    00000001",
                                           "GLOBAL SYMBOLS"};
    problems.clear();
    const auto w = ReadMemoryUse(without, &problems);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[0].used, 0x10u);
    EXPECT_EQ(w[1].used, 0u);
    EXPECT_EQ(w[3].used, 0x10u);
    EXPECT_EQ(problems,
              std::vector<std::string>{
                  "Map line 11: the page number 99999999999 is out of range; the line is left out"});
}

// Full is a warning where the program's code or data may grow; a range that only tables of fixed
// size fill (the vectors, the stacks) does not grow and is not.
TEST(MemoryMap, ARangeOfFixedTablesIsNotMarkedFull) {
    const std::vector<std::string> map{"MEMORY CONFIGURATION",
                                       "           name      origin    length      used     attr    fill",
                                       "PAGE 0:  ROM       00002000  000000100  000000100  RX",
                                       "         VECS      00007fec  000000014  000000014  R",
                                       "         REGS      00000000  000000100  0000000f8  RW",
                                       "         RAM       00000100  000000020  000000020  RW",
                                       "         XRAM      00001000  000000020  000000020  RW",
                                       "SECTION ALLOCATION MAP",
                                       "--------  ----  ----------  ----------   ----------------",
                                       ".text       0    00002000    00000100",
                                       ".intvecs    0    00007fec    00000014",
                                       ".hstack     0    00000000    000000f8",
                                       ".stack      0    00000100    00000010",
                                       ".bss        0    00000110    00000010"};
    const auto r = ReadMemoryUse(map);
    ASSERT_EQ(r.size(), 5u);
    EXPECT_TRUE(r[0].nearlyFull());  // code to the last byte
    EXPECT_FALSE(r[1].nearlyFull()); // the vectors, to the last byte
    EXPECT_FALSE(r[2].nearlyFull());
    EXPECT_TRUE(r[3].nearlyFull()); // a stack beside data that grows
    EXPECT_TRUE(r[4].nearlyFull()); // a map that places nothing here says nothing of it
    const auto table = MemoryUseTable(r);
    EXPECT_EQ(table[2], "VECS      0     7FECh    0014h    0014h    0000h    [####################] 100.0 %");
    EXPECT_EQ(table[1].substr(table[1].size() - 9), "over 90 %");
}

TEST(MemoryMap, TheLinksMapFileIsTheLastOneNamed) {
    const std::vector<std::string> cmd{"/* -m C:\\not\\this.map */",
                                       "-o demo.out",
                                       "-m C:\\t\\demo.map ",
                                       "MEMORY",
                                       "{",
                                       "  RAM : origin = 0100h length = 0700h",
                                       "}"};
    EXPECT_EQ(MapFileOfLink(cmd, "  -a -c "), "C:\\t\\demo.map");
    EXPECT_EQ(MapFileOfLink(cmd, "-a -m other.map -c"), "other.map");
    EXPECT_EQ(MapFileOfLink({}, "-a -mx.map"), "x.map");
    EXPECT_EQ(MapFileOfLink({"/* a map", "-m inside.map */"}, "-a -c"), "");
}

} // namespace
} // namespace halyard::test
