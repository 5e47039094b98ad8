// SPDX-License-Identifier: GPL-3.0-or-later
// asm370's machine code and messages, and lnk370 finishing what the assembler left to it.
#include <gtest/gtest.h>

#include <sstream>

#include "assembler.h"
#include "linker.h"
#include "object_file.h"
#include "support/fakes.h"
#include "tms370/coff.h"

namespace halyard::sim370 {
namespace {

std::string hex(const std::string& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes)
        s += std::string{d[c >> 4], d[c & 15]};
    return s;
}

class Asm : public ::testing::Test {
protected:
    test::TempDrives td;
    ToolEnv env{td.dir, "C:\\lib"};
    std::ostringstream out;

    // Assembles text as C:\p\<name>; the module when it assembled.
    std::optional<ObjectModule> assemble(const std::string& text, const std::string& name = "t.asm") {
        const auto host = td.put("C:\\p\\" + name, text);
        out.str("");
        Diagnostics d(&out);
        if (!Assemble(host, name, host.parent_path(), d)) return std::nullopt;
        return ReadObject(td.dd.readBytes("C:\\p\\" + name.substr(0, name.size() - 4) + ".obj"));
    }
    std::string code(const std::string& line) {
        const auto m = assemble("        " + line + "\n");
        if (!m) return "error: " + out.str();
        std::string bytes = m->sections.at(0).bytes; // trailing zeros are implied by the size
        bytes.resize(static_cast<size_t>(m->sections.at(0).size), '\0');
        return hex(bytes);
    }
};

TEST_F(Asm, EveryAddressingModeEncodesAsTheFamilyDefinesIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"MOV #0,A", "2200"},
        {"ADD B,A", "68"},
        {"MOV A,R10", "D00A"},
        {"MOV 1234h,A", "8A1234"},
        {"MOV &1234h,A", "8A1234"},
        {"MOV @R10,A", "9A0A"},
        {"MOV *R10,A", "9A0A"},
        {"MOV 2(R10),A", "F4EA020A"},
        {"MOV -1(R10),A", "F4EAFF0A"},
        {"MOV 1000h(B),A", "AA1000"},
        {"MOV A,1000h(B)", "AB1000"},
        {"MOV R3,R4", "420304"},
        {"MOV #255,R4", "72FF04"},
        {"MOV P021,A", "8021"},
        {"MOV #5,P0AB", "F705AB"},
        {"AND #0FEh,P021", "A3FE21"},
        {"MOVW #1234h,R5", "88123405"},
        {"MOVW #10h(B),R5", "A8001005"},
        {"MOVW 3(R6),R5", "F4E8030605"},
        {"INCW #-1,R5", "70FF05"},
        {"DIV R7,A", "F4F807"},
        {"CALL 0F000h", "8EF000"},
        {"BR @R2", "9C02"},
        {"CALLR $", "8FFFFD"},
        {"JMPL $+3", "890000"},
        {"JMP $", "00FE"},
        {"TRAP 0", "EF"},
        {"TRAP 15", "E0"},
        {"PUSH ST", "FB"},
        {"POP A", "B9"},
        {"CLRC", "B0"},
        {"TST B", "C6"},
        {"EINT", "F00C"},
        {"DINT", "F000"},
        {"LDST #3", "F003"},
        {"NOP", "FF"},
        {"MPY #12,B", "5C0C"},
        {"DAC R2,A", "1E02"},
        {"CMP 1234h,A", "8D1234"},
    };
    for (const auto& [line, bytes] : cases)
        EXPECT_EQ(code(line), bytes) << line;
}

TEST_F(Asm, JumpsAndTestsCountFromTheNextInstruction) {
    const auto m = assemble("loop    DJNZ  R10,loop\n"
                            "        BTJO  #1,P021,loop\n"
                            "        JNZ   done\n"
                            "        .byte 0\n"
                            "done    RTS\n");
    ASSERT_TRUE(m) << out.str();
    EXPECT_EQ(hex(m->sections.at(0).bytes), "DA0AFD"
                                            "A60121F9"
                                            "0601"
                                            "00"
                                            "F9");
}

TEST_F(Asm, MistakesAreReportedAtTheirLineInTheToolsForm) {
    std::string far = "start   JMP   away\n        .space 200\naway    RTS\n";
    EXPECT_FALSE(assemble(far));
    EXPECT_NE(out.str().find("t.asm 1: error[E417]: relative jump to away is out of range (200 bytes)"),
              std::string::npos)
        << out.str();
    const std::pair<const char*, const char*> cases[] = {
        {"        MOV   A,#5\n", "t.asm 1: error[E416]: MOV does not take the operands 'A,#5'"},
        {"        DJNZ  #1,x\nx RTS\n", "t.asm 1: error[E416]: DJNZ does not take the operands '#1,x'"},
        {"        MOVE  A,B\n", "t.asm 1: error[E411]: unknown instruction move"},
        {"        MOV   #300,A\n", "t.asm 1: error[E418]: value 300 does not fit 8 bits"},
        {"        MOV   R256,A\n", "t.asm 1: error[E419]: register R256 is out of range"},
        {"        TRAP  16\n", "t.asm 1: error[E418]: TRAP takes a number from 0 to 15"},
        {"        CALL  nowhere\n", "t.asm 1: error[E413]: undefined symbol nowhere"},
        {"        MOV   5(R3),A\n        .space 70000\n", "t.asm: error[E420]: section .text is larger"},
    };
    for (const auto& [source, message] : cases) {
        EXPECT_FALSE(assemble(source)) << source;
        EXPECT_NE(out.str().find(message), std::string::npos) << source << "\n" << out.str();
    }
}

TEST_F(Asm, RegisterAliasesAndConstantsDefinedByEqu) {
    const auto m = assemble("COUNT   .equ  R10\nPORT    .equ  P021\nTEN     .equ  10\n"
                            "        MOV   #TEN,COUNT\n        MOV   COUNT,PORT\n");
    ASSERT_TRUE(m) << out.str();
    EXPECT_EQ(hex(m->sections.at(0).bytes), "720A0A"
                                            "710A21");
}

// Calls and jumps across modules and sections are finished by the linker at the placed
// addresses; one that cannot reach is a link error at the line that wrote it.
TEST_F(Asm, LinkerFinishesReferencesAcrossModulesAndSections) {
    ASSERT_TRUE(assemble("        .global start, helper\n"
                         "start   CALL  helper\n"
                         "        MOVW  #table,R3\n"
                         "        JMP   tail\n"
                         "        .sect \"more\"\n"
                         "tail    IDLE\n"
                         "        .data\n"
                         "table   .word start, table+1\n",
                         "main.asm"))
        << out.str();
    ASSERT_TRUE(assemble("        .global helper\nhelper  RTS\n", "helper.asm")) << out.str();
    td.put("C:\\p\\lnk.cmd", "C:\\p\\main.obj\nC:\\p\\helper.obj\n-o C:\\p\\a.out\n-e start\n"
                             "MEMORY\n{\n ROM : o = 0F000h, l = 0F00h\n}\n"
                             "SECTIONS\n{\n .text > ROM\n more > ROM\n .data > ROM\n}\n");
    ASSERT_EQ(RunLinker({"C:\\p\\lnk.cmd"}, {}, env, out), 0) << out.str();
    const auto f = tms370::ReadCoff(td.dd.readBytes("C:\\p\\a.out"));
    ASSERT_TRUE(f.file) << f.error;
    EXPECT_EQ(f.file->entry, 0xF000u);
    // .text: main (CALL, MOVW, JMP = 9 bytes) then helper's RTS at F009; more at F00A; .data at F00B.
    const auto& text = f.file->sections.at(0);
    EXPECT_EQ(hex(text.data), "8EF009"
                              "88F00B03"
                              "0001"
                              "F9");
    EXPECT_EQ(hex(f.file->sections.at(1).data), "F6");
    EXPECT_TRUE(f.file->sections.at(1).flags & tms370::kSectText) << "a section of instructions is code";
    EXPECT_FALSE(f.file->sections.at(2).flags & tms370::kSectText);
    EXPECT_EQ(hex(f.file->sections.at(2).data), "F000"
                                                "F00C");
    bool sawLocal = false;
    for (const auto& s : f.file->symbols)
        sawLocal |= s.name == "tail" && s.value == 0xF00A;
    EXPECT_TRUE(sawLocal) << "labels that are not global still name their address";
    // main.asm's .text lines follow its .file symbol (index 0; helper.asm's is 2).
    ASSERT_GE(text.lines.size(), 4u);
    EXPECT_EQ(text.lines[0].line, 0);
    EXPECT_EQ(f.file->symbols.at(text.lines[0].address).aux.at(0).substr(0, 8), "main.asm");
    EXPECT_EQ(text.lines[1].address, 0xF000u);
    EXPECT_EQ(text.lines[1].line, 2);
    EXPECT_EQ(text.lines[2].address, 0xF003u);
    EXPECT_EQ(text.lines[2].line, 3);

    td.put("C:\\p\\far.cmd",
           "C:\\p\\main.obj\nC:\\p\\helper.obj\n-o C:\\p\\b.out\n"
           "SECTIONS\n{\n .text : load = 0F000h\n more : load = 0F800h\n .data > 0100h\n}\n");
    out.str("");
    EXPECT_EQ(RunLinker({"C:\\p\\far.cmd"}, {}, env, out), 1);
    EXPECT_NE(out.str().find("main.asm 4: error[E316]: relative jump to more+0 is out of range"),
              std::string::npos)
        << out.str();
    EXPECT_FALSE(td.dd.fileExists("C:\\p\\b.out"));
}

} // namespace
} // namespace halyard::sim370
