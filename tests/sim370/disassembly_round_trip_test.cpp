// SPDX-License-Identifier: GPL-3.0-or-later
// The disassembler's listing, assembled again, gives the bytes it was made from: every opcode and
// addressing mode of the instruction table, with operands of every field kind.
#include <gtest/gtest.h>

#include "assembler.h"
#include "object_file.h"
#include "support/fakes.h"
#include "tms370/coff.h"
#include "tms370/disassembler.h"
#include "tms370/instruction_set.h"

namespace halyard::sim370 {
namespace {

using namespace tms370;

// Sample field bytes for each operand kind: a register pair, a peripheral, a value with high bits,
// a backward offset; jumps to the next instruction.
std::string fields(Operand k) {
    switch (k) {
    case Operand::Reg:
        return "\x0A";
    case Operand::Periph:
        return "\x21";
    case Operand::Imm8:
        return "\xA5";
    case Operand::Indirect:
        return "\x08";
    case Operand::Imm16:
    case Operand::Imm16IndexB:
    case Operand::Direct:
    case Operand::IndexB:
        return "\x12\xAB";
    case Operand::Offset:
        return "\xFE\x0C";
    case Operand::Rel8:
        return std::string(1, '\0');
    case Operand::Rel16:
    case Operand::Rel16IndexB:
        return std::string(2, '\0');
    default:
        return "";
    }
}

TEST(DisassemblyRoundTrip, EveryOpcodeAndModeAssemblesBackToItsBytes) {
    std::string code;
    for (const auto& i : InstructionTable()) {
        if (Decode(i.prefix ? i.prefix : i.opcode, i.opcode) != &i) continue; // a second spelling
        if (i.prefix) code += static_cast<char>(i.prefix);
        code += static_cast<char>(i.opcode);
        for (auto k : i.operands)
            code += fields(k);
    }
    // A byte that is no instruction, and a backward jump to a label.
    code += "\x01\xFC";
    CoffFile f;
    f.sections.push_back(
        {".text", 0xE000, 0xE000, static_cast<std::uint32_t>(code.size()), kSectText, 0, code, {}, {}});
    f.sections.push_back({"table", 0x0200, 0x0200, 3, kSectData, 0, std::string("\x00\x7F\xFF", 3), {}, {}});
    f.symbols.push_back({"entry", 0xE000, 1, 0, kClassExternal, {}});
    f.symbols.push_back({"cells", 0x0201, 2, 0, kClassLabel, {}});
    std::string listing;
    for (const auto& l : DisassembleListing(f))
        listing += l + "\n";

    test::TempDrives td;
    const auto source = td.put("C:\\p\\back.asm", listing);
    std::ostringstream out;
    Diagnostics d(&out);
    ASSERT_TRUE(Assemble(source, "back.asm", source.parent_path(), d)) << out.str() << listing;
    const auto m = ReadObject(td.dd.readBytes("C:\\p\\back.obj"));
    ASSERT_TRUE(m);
    const ObjSection* text = m->section(".text");
    ASSERT_TRUE(text);
    std::string bytes = text->bytes;
    bytes.resize(static_cast<size_t>(text->size), '\0');
    EXPECT_EQ(bytes, code) << listing;
    EXPECT_TRUE(m->relocs.empty()) << "the listing's jumps stay inside their section";
    const ObjSection* table = m->section("table");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->size, 3);
    EXPECT_NE(listing.find("cells:\n        .byte   7Fh,0FFh"), std::string::npos) << listing;
    EXPECT_NE(listing.find("entry:\n"), std::string::npos);
}

} // namespace
} // namespace halyard::sim370
