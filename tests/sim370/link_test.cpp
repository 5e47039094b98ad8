// SPDX-License-Identifier: GPL-3.0-or-later
// The command-file language and the placement of sections.
#include <gtest/gtest.h>

#include "link_command.h"
#include "placement.h"

namespace halyard::sim370 {
namespace {

std::string messages(const Diagnostics& d) {
    std::string out;
    for (const auto& m : d.all())
        out += FormatDiagnostic(m) + "\n";
    return out;
}

// A file as Halyard's command-file builder writes it, with every placement form it can produce.
const char* kBuilderFile = R"(/*********** Halyard Linker Commnad file ******/
-l mylib.lib

-q 
-c 
-m test.map 
 -sstack 0200h 
 -o C:\texassource\demo.out  
 -a 



MEMORY
{
    ROM     :  (RX)  origin = 8000h length = 7FE0h 
    RAM     :  (RW)  origin = 0100h length = 0F00h fill = 0000010h
    RAMEXT  :  (RWXI)  origin = 1000h length = 0800h 
    SPARE   :  origin = 0000h length = 0000h 

}



SECTIONS
{
    .text:   > RAM align(0010h) run = > 8000h, type = COPY, fill =00000010h
    .bss:   > RAM
    .const:   > ROM PAGE1
    .cinit:  
.data:   > RAM
{
    C:\proj\main.obj(.data,.cinit)
}
.other:   > RAM
{
    C:\proj\io.obj()
}

.intvecs : load = 07FECh  /*Interrupt Vectors*/
  {
   C:\texassource\intvecs.obj(.intvecs)
   endvec =.; 
  }

}
)";

TEST(CommandFile, ReadsWhatTheBuilderWrites) {
    Diagnostics d;
    const CommandFile cf = ParseCommandFile(kBuilderFile, "lnk.cmd", d);
    ASSERT_EQ(d.errorCount(), 0) << messages(d);
    std::vector<std::string> args;
    for (const auto& a : cf.args)
        args.push_back(a.text);
    EXPECT_EQ(args, (std::vector<std::string>{"-l", "mylib.lib", "-q", "-c", "-m", "test.map", "-sstack",
                                              "0200h", "-o", "C:\\texassource\\demo.out", "-a"}));
    ASSERT_EQ(cf.memory.size(), 4u);
    EXPECT_EQ(cf.memory[0].name, "ROM");
    EXPECT_EQ(cf.memory[0].attrs, "RX");
    EXPECT_EQ(cf.memory[0].origin, 0x8000);
    EXPECT_EQ(cf.memory[0].length, 0x7FE0);
    EXPECT_EQ(cf.memory[1].fill, 0x10);
    EXPECT_EQ(cf.memory[1].line, 16);
    EXPECT_EQ(cf.memory[3].length, 0);

    ASSERT_EQ(cf.sections.size(), 7u);
    const OutputSpec& text = cf.sections[0];
    EXPECT_EQ(text.name, ".text");
    EXPECT_EQ(text.load.kind, Target::Range);
    EXPECT_EQ(text.load.range, "RAM");
    EXPECT_EQ(text.align, 0x10);
    EXPECT_EQ(text.run.kind, Target::Address);
    EXPECT_EQ(text.run.address, 0x8000);
    EXPECT_EQ(text.type, "COPY");
    EXPECT_EQ(text.fill, 0x10);
    EXPECT_EQ(cf.sections[2].page, 1);
    EXPECT_EQ(cf.sections[3].load.kind, Target::None) << "'.cinit:' with no placement";
    EXPECT_EQ(cf.sections[4].inputs.at(0).file, "C:\\proj\\main.obj");
    EXPECT_EQ(cf.sections[4].inputs.at(0).sections, (std::vector<std::string>{".data", ".cinit"}));
    EXPECT_TRUE(cf.sections[5].inputs.at(0).sections.empty());
    const OutputSpec& vec = cf.sections[6];
    EXPECT_EQ(vec.load.address, 0x7FEC);
    ASSERT_EQ(vec.inputs.size(), 2u);
    EXPECT_TRUE(vec.inputs[1].assignment);
    EXPECT_EQ(vec.inputs[1].file, "endvec");
}

TEST(CommandFile, ReadsTheManualsNotation) {
    Diagnostics d;
    const CommandFile cf = ParseCommandFile(R"(
main.obj io.obj  /* objects */
-lrts.lib
MEMORY
{
    PAGE 0: RFILE (RW) : o = 0x0000, l = 0x100
            ROM   (RX) : org = 2000h, len = 6000h + 20h
    PAGE 1: IO         : origin = 1000h, length = 100h
}
SECTIONS
{
    .text   load = ROM, run = RFILE
    .bss    > RFILE block(0100h)
    UNION : run = RFILE { .u1: { a.obj(.bss) } .u2: { b.obj(.bss) } }
    GROUP 2100h : { .g1: .g2: }
    start = 2000h;
    .io     > IO PAGE 1
    .const  { *(.const) . = . + 10h; last = .; }
}
)",
                                            "x.cmd", d);
    ASSERT_EQ(d.errorCount(), 0) << messages(d);
    ASSERT_EQ(cf.memory.size(), 3u);
    EXPECT_EQ(cf.memory[1].length, 0x6020);
    EXPECT_EQ(cf.memory[2].page, 1);
    ASSERT_EQ(cf.sections.size(), 7u);
    EXPECT_EQ(cf.sections[0].run.range, "RFILE");
    EXPECT_EQ(cf.sections[1].block, 0x100);
    EXPECT_EQ(cf.sections[2].kind, OutputSpec::Union);
    EXPECT_EQ(cf.sections[2].members.size(), 2u);
    EXPECT_EQ(cf.sections[3].kind, OutputSpec::Group);
    EXPECT_EQ(cf.sections[3].load.address, 0x2100);
    EXPECT_EQ(cf.sections[4].kind, OutputSpec::Assignment);
    EXPECT_EQ(cf.sections[5].page, 1);
    EXPECT_EQ(cf.sections[6].inputs.size(), 3u);
}

TEST(CommandFile, ReportsEachMistakeWithItsLine) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"/* open\n\n", "x.cmd 1: error[E101]: comment is not closed"},
        {"MEMORY\n{\n  RAM : origin = 0100h\n}\n", "x.cmd 3: error[E111]: memory range RAM has no length"},
        {"MEMORY\n{\n  RAM : length = 0100h\n}\n", "x.cmd 3: error[E110]: memory range RAM has no origin"},
        {"MEMORY\n{\n        :  origin = 0000h length = 0000h \n}\n",
         "x.cmd 3: error[E109]: memory range has no name"},
        {"MEMORY\n{\n  RAM (RQ) : o = 0, l = 1\n}\n",
         "x.cmd 3: error[E106]: invalid attribute 'Q' (use R, W, X, I)"},
        {"MEMORY\n{\n  RAM : o = 0, size = 1\n}\n",
         "x.cmd 3: error[E108]: unknown memory range parameter 'size'"},
        {"MEMORY\n{\n  RAM : o = 0, l = 1\n  RAM : o = 2, l = 1\n}\n",
         "x.cmd 4: error[E112]: memory range RAM is defined twice"},
        {"MEMORY\n{\n  RAM : o = 0G, l = 1\n}\n",
         "x.cmd 3: error[E104]: invalid value for origin: '0G' is not a number"},
        {"MEMORY\n{\n  RAM : o = 0, l = 1\n", "x.cmd 1: error[E114]: MEMORY is not closed with '}'"},
        {"SECTIONS\n{\n  .text: > ROM\n", "x.cmd 1: error[E116]: SECTIONS is not closed with '}'"},
        {"SECTIONS\n{\n  .text:   run = \n  .bss: > RAM\n}\n",
         "x.cmd 3: error[E119]: missing run placement for section .text"},
        {"SECTIONS\n{\n  .text: > RAM align(3)\n}\n",
         "x.cmd 3: error[E121]: align value 0003h is not a power of 2"},
        {"SECTIONS\n{\n  .text: > RAM, type = ROMONLY\n}\n",
         "x.cmd 3: error[E122]: section type must be COPY, DSECT or NOLOAD"},
        {"SECTIONS\n{\n  .text: { a.obj(.text }\n}\n",
         "x.cmd 3: error[E123]: missing ')' after the sections of a.obj"},
        {"SECTIONS\n{\n\n  UNION : > RAM\n}\n",
         "x.cmd 4: error[E117]: UNION needs a list of sections in '{ }'"},
        {"main.obj\n{\n", "x.cmd 2: error[E103]: unexpected '{'"},
        {"SECTIONS\n{\n  .text: > RAM PAGE99999999999999999999\n}\n",
         "x.cmd 3: error[E125]: invalid page number 99999999999999999999 (use 0 to 255)"},
        {"MEMORY\n{\n  PAGE 256:\n  RAM : o = 0, l = 1\n}\n",
         "x.cmd 3: error[E125]: invalid page number 256 (use 0 to 255)"},
        {"MEMORY\n{\n  RAM : o = 0FFFFFFFFh * 0FFFFFFFFh * 0FFFFFFFFh, l = 1\n}\n",
         "x.cmd 3: error[E104]: invalid value for origin: the value is out of range"},
        {"MEMORY\n{\n  RAM : o = 0, l = 0 - 10h\n}\n",
         "x.cmd 3: error[E104]: invalid value for length: the value is negative"},
    };
    for (const auto& c : cases) {
        Diagnostics d;
        ParseCommandFile(c.text, "x.cmd", d);
        ASSERT_GE(d.all().size(), 1u) << c.text;
        EXPECT_EQ(FormatDiagnostic(d.all()[0]), c.message) << c.text;
    }
}

TEST(CommandFile, TakesASectionsPropertiesInAnyOrder) {
    struct Case {
        const char* entry;
        const char* load; // range name, or "@" + address in hex
        const char* run;
        std::int64_t fill; // -1: none
        bool inputs;
        int page;
    } cases[] = {
        {".text : {} > ROM PAGE 0", "ROM", "", -1, true, 0},
        {".text : { a.obj(.text) } load = ROM, run > RAM", "ROM", "RAM", -1, true, 0},
        {".text : ROM", "ROM", "", -1, false, 0},
        {".text : 2000h", "@2000", "", -1, false, 0},
        {".text : run = RAM load > ROM", "ROM", "RAM", -1, false, 0},
        {".text : { a.obj } = 0FFh > ROM", "ROM", "", 0xFF, true, 0},
        {".text : fill = 10h, {} , ROM, PAGE 1", "ROM", "", 0x10, true, 1},
        {".text : > ROM, { } run = RAM", "ROM", "RAM", -1, true, 0},
    };
    for (const auto& c : cases) {
        Diagnostics d;
        const CommandFile cf =
            ParseCommandFile(std::string("SECTIONS\n{\n") + c.entry + "\n.bss : > RAM\n}\n", "x.cmd", d);
        ASSERT_EQ(d.errorCount(), 0) << c.entry << "\n" << messages(d);
        ASSERT_EQ(cf.sections.size(), 2u) << c.entry;
        const OutputSpec& s = cf.sections[0];
        const std::string load = s.load.kind == Target::Address ? "@" + Hex(s.load.address) : s.load.range;
        EXPECT_EQ(load,
                  c.load[0] == '@' ? std::string("@") + Hex(std::stoll(c.load + 1, nullptr, 16)) : c.load)
            << c.entry;
        EXPECT_EQ(s.run.range, c.run) << c.entry;
        EXPECT_EQ(s.fill.value_or(-1), c.fill) << c.entry;
        EXPECT_EQ(s.hasInputs, c.inputs) << c.entry;
        EXPECT_EQ(s.page, c.page) << c.entry;
        EXPECT_EQ(cf.sections[1].load.range, "RAM") << c.entry;
    }
}

LinkObject object(const std::string& name, std::vector<ObjSection> sections,
                  std::vector<ObjSymbol> defs = {}) {
    return {name, {name, std::move(sections), std::move(defs), {}}};
}

Placement place(const std::string& cmd, const std::vector<LinkObject>& objects, Diagnostics& d) {
    const CommandFile cf = ParseCommandFile(cmd, "lnk.cmd", d);
    EXPECT_EQ(d.errorCount(), 0) << messages(d);
    return Place(cf.memory, cf.sections, objects, d);
}

const PlacedSection* find(const Placement& p, const std::string& name) {
    for (const auto& s : p.sections)
        if (s.name == name) return &s;
    return nullptr;
}

const char* kMemory = "MEMORY\n{\n  RAM (RW) : o = 0100h, l = 0100h\n  ROM (RX) : o = 2000h, l = 1000h\n}\n";

TEST(Placement, PutsSectionsIntoTheirRangesInOrder) {
    Diagnostics d;
    const auto p = place(std::string(kMemory) + "SECTIONS\n{\n .text > ROM\n .bss > RAM\n}\n",
                         {object("a.obj", {{".text", 0x10}, {".bss", 4}}, {{"_a", ".text", 2}}),
                          object("b.obj", {{".text", 0x20}, {".bss", 0}, {".const", 6}})},
                         d);
    ASSERT_EQ(d.errorCount(), 0) << messages(d);
    ASSERT_TRUE(find(p, ".text"));
    EXPECT_EQ(find(p, ".text")->load, 0x2000);
    EXPECT_EQ(find(p, ".text")->size, 0x30);
    EXPECT_EQ(find(p, ".text")->inputs.at(1).offset, 0x10);
    EXPECT_EQ(find(p, ".bss")->load, 0x100);
    // .const has no entry: it goes to the first range with room, after what is there.
    EXPECT_EQ(find(p, ".const")->load, 0x104);
    EXPECT_EQ(p.symbols.at("_a"), 0x2002);
    EXPECT_EQ(p.memory[1].used, 0x30);
}

TEST(Placement, RefusesASectionThatDoesNotFitNamingTheShortfall) {
    Diagnostics d;
    place(std::string(kMemory) + "SECTIONS\n{\n .bss > RAM\n .text > RAM\n}\n",
          {object("a.obj", {{".text", 0xF0}, {".bss", 0x20}})}, d);
    ASSERT_EQ(d.errorCount(), 1);
    EXPECT_EQ(FormatDiagnostic(d.all()[0]), "lnk.cmd 9: error[E208]: section .text (size 00F0h) does not fit "
                                            "into memory range RAM (origin 0100h, "
                                            "length 0100h), 00E0h bytes free; 0010h bytes short");
}

TEST(Placement, ReportsPlacementMistakesWhereTheyAreWritten) {
    struct Case {
        const char* cmd;
        const char* message;
    } cases[] = {
        {"MEMORY\n{\n A : o = 0, l = 100h\n B : o = 80h, l = 100h\n}\n",
         "lnk.cmd 4: error[E201]: memory range B (origin 0080h, length 0100h) overlaps range A (origin "
         "0000h, length 0100h)"},
        {"MEMORY\n{\n A : o = 0, l = 100h\n}\nSECTIONS\n{\n .text > FLASH\n}\n",
         "lnk.cmd 7: error[E207]: memory range FLASH is not defined (load placement of .text)"},
        {"MEMORY\n{\n A : o = 0, l = 100h\n}\nSECTIONS\n{\n .text > 0F8h\n}\n",
         "lnk.cmd 7: error[E204]: section .text (size 0010h) at 00F8h does not fit into memory range A "
         "(origin 0000h, "
         "length 0100h); 0008h bytes short"},
        {"MEMORY\n{\n A : o = 0, l = 100h\n}\nSECTIONS\n{\n .text > 0200h\n}\n",
         "lnk.cmd 7: error[E206]: section .text at 0200h is not inside any configured memory range"},
        {"MEMORY\n{\n A : o = 0, l = 100h\n}\nSECTIONS\n{\n .bss > 08h\n .text > 0h\n}\n",
         "lnk.cmd 8: error[E205]: section .text at 0000h overlaps section .bss (0008h-000Bh)"},
        {"MEMORY\n{\n A : o = 0, l = 8h\n}\nSECTIONS\n{\n .text\n}\n",
         "lnk.cmd 7: error[E209]: no memory range has room for section .text (size 0010h)"},
        {"SECTIONS\n{\n .text > 10000h\n .bss > 10000h\n}\n",
         "lnk.cmd 3: error[E206]: section .text at 10000h is outside the address space 0000h-0FFFFh"},
    };
    for (const auto& c : cases) {
        Diagnostics d;
        place(c.cmd, {object("a.obj", {{".text", 0x10}, {".bss", 4}})}, d);
        ASSERT_GE(d.all().size(), 1u) << c.cmd;
        EXPECT_EQ(FormatDiagnostic(d.all()[0]), c.message) << c.cmd;
    }
}

TEST(Placement, AlignmentRunAddressesUnionsAndGroups) {
    Diagnostics d;
    const auto p =
        place(std::string(kMemory) + "SECTIONS\n{\n"
                                     " .bss > RAM\n"
                                     " .data > RAM align(10h)\n"
                                     " .text load = ROM, run = RAM\n"
                                     " UNION : run = RAM { .u1: { a.obj(.u1) } .u2: { a.obj(.u2) } }\n"
                                     " GROUP > ROM { .g1: .g2: }\n"
                                     " .vec : load = 2F00h { a.obj(.vec) endvec = .; }\n"
                                     " top = 2FFFh;\n"
                                     "}\n",
              {object("a.obj", {{".bss", 3},
                                {".data", 2},
                                {".text", 8},
                                {".u1", 4},
                                {".u2", 6},
                                {".g1", 5},
                                {".g2", 7},
                                {".vec", 4}})},
              d);
    ASSERT_EQ(d.errorCount(), 0) << messages(d);
    EXPECT_EQ(find(p, ".data")->load, 0x110) << "aligned past .bss";
    EXPECT_EQ(find(p, ".text")->load, 0x2000);
    EXPECT_EQ(find(p, ".text")->run, 0x103) << "first fit: the gap before .data";
    EXPECT_EQ(find(p, ".u1")->run, find(p, ".u2")->run);
    EXPECT_EQ(find(p, ".u1")->run, 0x112);
    EXPECT_EQ(find(p, ".g2")->load, find(p, ".g1")->load + 5);
    EXPECT_EQ(p.symbols.at("endvec"), 0x2F04);
    EXPECT_EQ(p.symbols.at("top"), 0x2FFF);
    EXPECT_EQ(p.memory[0].used, 3 + 2 + 8 + 6);
}

TEST(Placement, AnEmptyInputListBeforeThePlacementLinks) {
    Diagnostics d;
    const auto p = place(std::string(kMemory) + "SECTIONS\n{\n .text : {} > ROM PAGE 0\n}\n",
                         {object("a.obj", {{".text", 8}})}, d);
    ASSERT_EQ(d.errorCount(), 0) << messages(d);
    ASSERT_TRUE(find(p, ".text"));
    EXPECT_EQ(find(p, ".text")->load, 0x2000);
}

TEST(Placement, RunAndLoadPlacementsTakeMemoryOnlyWhereNamed) {
    Diagnostics d;
    const auto p =
        place(std::string(kMemory) + "SECTIONS\n{\n"
                                     " .text : run = RAM\n"
                                     " .cinit : > ROM, type = COPY\n"
                                     " .data : > (2000h + 10h)\n"
                                     " GROUP : load = ROM, run = RAM { .g1: .g2: }\n"
                                     "}\n",
              {object("a.obj", {{".text", 8}, {".cinit", 0x20}, {".data", 4}, {".g1", 5}, {".g2", 7}})}, d);
    ASSERT_EQ(d.errorCount(), 0) << messages(d);
    EXPECT_EQ(find(p, ".text")->load, 0x100) << "a run placement alone is allocated once";
    EXPECT_EQ(find(p, ".text")->run, 0x100);
    EXPECT_EQ(find(p, ".data")->load, 0x2010);
    EXPECT_EQ(find(p, ".g2")->run, 0x108 + 5);
    EXPECT_EQ(find(p, ".g2")->load, 0x2000 + 5) << "the group loads as one block in ROM";
    EXPECT_EQ(p.memory[0].used, 8 + 12);
    EXPECT_EQ(p.memory[1].used, 4 + 12) << "the COPY section takes no room in ROM";
}

TEST(Placement, BlockingAndAlignmentHoldAtTheAbsoluteAddress) {
    Diagnostics d;
    const auto p = place(
        std::string(kMemory) + "SECTIONS\n{\n"
                               " .a > RAM\n"
                               " .b > RAM block(40h)\n"
                               " .c > RAM block(40h)\n"
                               " .x > ROM\n"
                               " GROUP > ROM { .g1: .g2: align(10h) }\n"
                               "}\n",
        {object("a.obj", {{".a", 0x30}, {".b", 0x20}, {".c", 8}, {".x", 3}, {".g1", 5}, {".g2", 2}})}, d);
    ASSERT_EQ(d.errorCount(), 0) << messages(d);
    EXPECT_EQ(find(p, ".b")->load, 0x140) << "0130h-014Fh would cross 0140h";
    EXPECT_EQ(find(p, ".c")->load, 0x130) << "fits in the gap without crossing";
    EXPECT_EQ(find(p, ".g1")->load, 0x2010) << "the group starts on its members' alignment";
    EXPECT_EQ(find(p, ".g2")->load, 0x2020);
}

} // namespace
} // namespace halyard::sim370
