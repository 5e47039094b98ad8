// SPDX-License-Identifier: GPL-3.0-or-later
// The whole map read into one model, its JSON and snapshots, and what changed between two links.
#include <gtest/gtest.h>

#include "base/error.h"
#include "support/fakes.h"
#include "tool_output/memory_model.h"
#include "tool_output/memory_report.h"

namespace halyard::test {
namespace {

// A map in the tool chain's layout: a section that loads in ROM and runs in RAM, an uninitialized
// one, members of a library written both ways, a hole with its fill, a long section name on a line
// of its own, and both symbol tables.
const std::vector<std::string> Map = {
    "OUTPUT FILE NAME:   <demo.out>",
    "ENTRY POINT SYMBOL: \"_c_int00\"  address: 00002040",
    "",
    "MEMORY CONFIGURATION",
    "",
    "           name      origin    length      used     attr    fill",
    "         --------  --------  ---------  --------  ----  --------",
    "PAGE 0:  RAM       00000100  000000700  00000030  RW",
    "         ROM       00002000  000001000  00000080  RX",
    "",
    "SECTION ALLOCATION MAP",
    "",
    " output                                  attributes/",
    "section   page    origin      length       input sections",
    "--------  ----  ----------  ----------   ----------------",
    ".text       0    00002000    00000060",
    "                  00002000    00000020      main.obj (.text)",
    "                  00002020    00000010      --HOLE-- [fill = ff00]",
    "                  00002030    00000010      rts.lib : boot.obj (.text)",
    "                  00002040    00000020      rts.lib(string.obj) (.text) [fill=0000]",
    "",
    ".data       0    00002060    00000020     RUN ADDR = 00000110",
    "                  00000110    00000020      main.obj (.data)",
    "",
    ".bss        0    00000100    00000010     UNINITIALIZED",
    "                  00000100    00000010      main.obj (.bss)",
    "",
    ".a_name_longer_than_its_column",
    "            0    00002080    00000000",
    "",
    "GLOBAL SYMBOLS: SORTED ALPHABETICALLY BY Name",
    "",
    "address   name",
    "--------  ----",
    "00002030  _c_int00",
    "00002000  _main",
    "00002010  _main_helper",
    "00002010  _main_alias",
    "00000100  _ticks",
    "00002040  _strlen",
    "00002050  _strcpy",
    "00002060  edata",
    "",
    "GLOBAL SYMBOLS: SORTED BY Symbol Address",
    "",
    "address   name",
    "--------  ----",
    "00000100  _ticks",
    "00002000  _main",
    "",
    "[8 symbols]",
};

const MapSymbol* symbolNamed(const MemoryModel& m, const std::string& name) {
    for (const auto& s : m.symbols)
        if (s.name == name) return &s;
    return nullptr;
}

TEST(MemoryModel, ReadsSectionsInputsHolesAndSymbolsWithInferredSizes) {
    const MemoryModel m = ReadMemoryModel(Map);
    EXPECT_TRUE(m.problems.empty());
    EXPECT_EQ(m.outputFile, "demo.out");
    EXPECT_EQ(m.entryPoint, "_c_int00");
    ASSERT_EQ(m.ranges.size(), 2u);
    ASSERT_EQ(m.sections.size(), 4u);

    const MapSection& text = m.sections[0];
    EXPECT_EQ(text.name, ".text");
    EXPECT_EQ(text.range, 1);
    EXPECT_EQ(text.runRange, -1);
    ASSERT_EQ(text.inputCount, 4u);
    const MapInput& hole = m.inputs[text.firstInput + 1];
    EXPECT_TRUE(hole.hole);
    EXPECT_EQ(hole.fill, "ff00");
    EXPECT_EQ(hole.size, 0x10u);
    const MapInput& boot = m.inputs[text.firstInput + 2];
    EXPECT_EQ(boot.library, "rts.lib");
    EXPECT_EQ(boot.object, "boot.obj");
    EXPECT_EQ(boot.section, ".text");
    const MapInput& string = m.inputs[text.firstInput + 3];
    EXPECT_EQ(string.origin(), "rts.lib : string.obj");
    EXPECT_EQ(string.fill, "0000");

    const MapSection& data = m.sections[1];
    EXPECT_EQ(data.load, 0x2060u);
    EXPECT_EQ(data.run, 0x110u);
    EXPECT_EQ(data.range, 1) << "loaded in ROM";
    EXPECT_EQ(data.runRange, 0) << "runs in RAM";
    EXPECT_EQ(m.sections[2].attributes, "UNINITIALIZED");
    EXPECT_EQ(m.sections[3].name, ".a_name_longer_than_its_column");
    EXPECT_EQ(m.sections[3].load, 0x2080u);

    // Named in both tables, counted once.
    EXPECT_EQ(m.symbols.size(), 8u);
    // The next symbol of the same input section sets the size; two at one address share it.
    EXPECT_EQ(symbolNamed(m, "_main")->size, 0x10u);
    EXPECT_EQ(symbolNamed(m, "_main_helper")->size, 0x10u);
    EXPECT_EQ(symbolNamed(m, "_main_alias")->size, 0x10u);
    EXPECT_TRUE(symbolNamed(m, "_main")->sizeInferred);
    // The last one of an input section ends with it, never in the next object's code.
    EXPECT_EQ(symbolNamed(m, "_c_int00")->size, 0x10u);
    EXPECT_EQ(symbolNamed(m, "_strcpy")->size, 0x10u);
    EXPECT_EQ(m.inputOf(*symbolNamed(m, "_strlen"))->object, "string.obj");
    // A symbol that runs in RAM is found by its run address.
    EXPECT_EQ(m.inputOf(*symbolNamed(m, "_ticks"))->section, ".bss");
    // Outside every input section: no size to infer.
    EXPECT_EQ(symbolNamed(m, "edata")->input, -1);
    EXPECT_FALSE(symbolNamed(m, "edata")->sizeInferred);
    EXPECT_EQ(symbolNamed(m, "edata")->size, 0u);

    std::vector<std::string> byName;
    for (size_t k : m.byName)
        byName.push_back(m.symbols[k].name);
    EXPECT_TRUE(std::is_sorted(byName.begin(), byName.end()));
    const auto objects = m.objects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0].name, "main.obj");
    EXPECT_EQ(objects[0].size, 0x20u + 0x20u + 0x10u);
}

TEST(MemoryModel, TheSideBySideSymbolTableAndBadNumbersAreReadLineByLine) {
    std::vector<std::string> map(Map.begin(), Map.begin() + 30);
    map[18] = "                  00002030    1000000000000000000      rts.lib : boot.obj (.text)";
    map[21] = ".data       0    100000000000000000    00000020";
    for (const char* line : {"GLOBAL SYMBOLS", "", "address  name     address  name",
                             "-------- ----     -------- ----", "00002030 _c_int00 00000100 _ticks",
                             "00002000 _main   00002000 _main", "00000100 _ticks  00002030 _c_int00"})
        map.push_back(line);
    const MemoryModel m = ReadMemoryModel(map);
    EXPECT_EQ(m.problems,
              (std::vector<std::string>{
                  "Map line 22: the origin 100000000000000000 is out of range; the line is left out",
                  "Map line 19: the input section's length 1000000000000000000 is out of range; the line is "
                  "left out"}));
    EXPECT_EQ(m.sections.size(), 3u);
    EXPECT_EQ(m.sections[0].inputCount, 3u) << "the input of the section left out goes with it";
    EXPECT_EQ(m.symbols.size(), 3u);
    EXPECT_EQ(symbolNamed(m, "_main")->size, 0x20u);
    EXPECT_EQ(symbolNamed(m, "_c_int00")->input, -1);
}

TEST(MemoryReport, TheJsonReadsBackAsTheSameSnapshot) {
    std::vector<std::string> map = Map;
    map[16] = "                  00002000    00000020      C:\\objs\\\"quoted\".obj (.text)";
    const MemoryModel m = ReadMemoryModel(map);
    const std::string json = MemoryModelJson(m, "C:\\t\\demo.map");
    std::string why;
    const auto back = ReadSnapshot(json, &why);
    ASSERT_TRUE(back) << why << json;
    const MemorySnapshot s = SnapshotOf(m);
    EXPECT_EQ(back->sections, s.sections);
    EXPECT_EQ(back->objects, s.objects);
    EXPECT_EQ(back->symbols, s.symbols);
    EXPECT_EQ(back->inputs, s.inputs);
    EXPECT_TRUE(back->objects.count("C:\\objs\\\"quoted\".obj"));
    ASSERT_EQ(back->ranges.size(), 2u);
    EXPECT_EQ(back->ranges[1].used, 0x80u);

    EXPECT_FALSE(ReadSnapshot("{\"ranges\": [", &why));
    EXPECT_EQ(why, "line 1: the document ends early");
    EXPECT_FALSE(ReadSnapshot("[1, 2]", &why));
    EXPECT_EQ(why, "it holds no \"ranges\" list");
    EXPECT_FALSE(ReadSnapshot(std::string(100000, '['), &why)) << "a deep document is refused, not followed";
}

TEST(MemoryReport, ChangesAreSignedAndNamed) {
    MemorySnapshot before, after;
    before.ranges = {{"ROM", 0, 0x1000, 0x100, false}, {"VECS", 0, 0x14, 0x14, true}};
    after.ranges = {{"ROM", 0, 0x1000, 0x1F8, false}, {"VECS", 0, 0x14, 0x14, true}};
    before.sections = {{".text", 0x100}, {".old", 4}};
    after.sections = {{".text", 0x1F8}};
    before.symbols = {{"_main", 0x10}, {"_gone", 4}};
    after.symbols = {{"_main", 0x10}, {"_added", 0xF8}};
    const MemoryDiff d = CompareMemory(before, after);
    EXPECT_EQ(ChangeSummary(d, "the last build"), "ROM +248 bytes since the last build");
    EXPECT_EQ(d.section(".text"), 248);
    EXPECT_EQ(d.section(".old"), -4);
    ASSERT_TRUE(d.symbolChange("_added"));
    EXPECT_TRUE(d.symbolChange("_added")->added);
    EXPECT_TRUE(d.symbolChange("_gone")->removed);
    EXPECT_EQ(d.symbolChange("_main"), nullptr);
    const auto table = ChangeTable(after, d);
    auto has = [&](const std::string& row) {
        return std::find(table.begin(), table.end(), row) != table.end();
    };
    EXPECT_TRUE(has("section  .text             504       +248"));
    EXPECT_TRUE(has("section  .old              gone      -4"));
    EXPECT_TRUE(has("range    VECS              20        0"));
    EXPECT_TRUE(has("symbol   _added            new       +248"));
    EXPECT_TRUE(has("symbol   _gone             removed   -4"));
    EXPECT_EQ(ChangeSummary(CompareMemory(after, after), "the baseline"),
              "No memory range changed since the baseline");

    // The vectors are full by design: only ranges that grow with the program count.
    std::vector<MemoryUse> ranges = {{"ROM", 0, 0x2000, 0x1000, 0x110, "RX"},
                                     {"VECS", 0, 0x7FEC, 0x14, 0x14, "R", true}};
    EXPECT_EQ(RangesAbove(ranges, 1), std::vector<std::string>{"ROM (page 0) is 6.6 % used, above 1 %"});
    EXPECT_TRUE(RangesAbove(ranges, 100).empty());
}

TEST(MemoryReport, SnapshotsAreKeptBesideTheOutputAndComparedWithTheBaselineOnceOneIsPinned) {
    TempDrives t;
    t.dd.createDirs("C:\\t");
    const std::string output = "C:\\t\\demo.out ";
    const SnapshotFiles f = SnapshotFilesOf(output);
    EXPECT_EQ(f.current, "C:\\t\\demo.memory.json");
    EXPECT_EQ(f.baseline, "C:\\t\\demo.memory.baseline.json");

    MemoryModel first = ReadMemoryModel(Map);
    EXPECT_FALSE(KeepSnapshot(t.dd, output, first, "C:\\t\\demo.map").diff) << "nothing before the first";
    MemoryModel second = first;
    second.ranges[1].used += 8;
    second.sections[0].size += 8;
    KeptSnapshot kept = KeepSnapshot(t.dd, output, second, "");
    ASSERT_TRUE(kept.diff);
    EXPECT_EQ(kept.summary, "ROM +8 bytes since the last build");
    EXPECT_TRUE(t.dd.fileExists(f.previous));

    PinBaseline(t.dd, output, f.previous);
    kept = KeepSnapshot(t.dd, output, second, "");
    EXPECT_EQ(kept.summary, "ROM +8 bytes since the baseline");
    PinBaseline(t.dd, output, "");
    EXPECT_FALSE(t.dd.fileExists(f.baseline));

    // A snapshot spoiled by hand costs the comparison, never the build.
    t.dd.writeBytes(f.current, "{ not json");
    kept = KeepSnapshot(t.dd, output, first, "");
    EXPECT_FALSE(kept.diff);
    EXPECT_TRUE(ReadSnapshot(t.dd.readBytes(f.current)));
}

} // namespace
} // namespace halyard::test
