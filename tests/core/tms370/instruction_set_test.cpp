// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tms370/instruction_set.h"

using namespace halyard::tms370;
using K = Operand;

namespace {

const Instruction* find(const char* mnemonic, std::array<Operand, 3> ops) {
    for (const auto* i : FormsOf(mnemonic))
        if (i->operands == ops) return i;
    return nullptr;
}

} // namespace

// Opcode, length and cycles of representative rows of the family's instruction table, one per
// addressing mode and group.
TEST(InstructionSet, RowsCarryTheFamilysOpcodesLengthsAndCycles) {
    struct Row {
        const char* mnemonic;
        std::array<Operand, 3> ops;
        int prefix, opcode, length, cycles;
    };
    const Row rows[] = {
        {"MOV", {K::Imm8, K::A}, 0, 0x22, 2, 6},
        {"MOV", {K::Reg, K::A}, 0, 0x12, 2, 7},
        {"MOV", {K::A, K::Reg}, 0, 0xD0, 2, 7},
        {"MOV", {K::Reg, K::Reg}, 0, 0x42, 3, 9},
        {"MOV", {K::Imm8, K::Reg}, 0, 0x72, 3, 8},
        {"MOV", {K::A, K::B}, 0, 0xC0, 1, 9},
        {"MOV", {K::Direct, K::A}, 0, 0x8A, 3, 10},
        {"MOV", {K::A, K::Direct}, 0, 0x8B, 3, 10},
        {"MOV", {K::Indirect, K::A}, 0, 0x9A, 2, 9},
        {"MOV", {K::IndexB, K::A}, 0, 0xAA, 3, 12},
        {"MOV", {K::Offset, K::A}, 0xF4, 0xEA, 4, 17},
        {"MOV", {K::Periph, K::A}, 0, 0x80, 2, 8},
        {"MOV", {K::A, K::Periph}, 0, 0x21, 2, 8},
        {"MOV", {K::Imm8, K::Periph}, 0, 0xF7, 3, 10},
        {"ADD", {K::B, K::A}, 0, 0x68, 1, 8},
        {"ADD", {K::Reg, K::Reg}, 0, 0x48, 3, 9},
        {"SUB", {K::Imm8, K::A}, 0, 0x2A, 2, 6},
        {"CMP", {K::Imm8, K::Reg}, 0, 0x7D, 3, 8},
        {"MPY", {K::B, K::A}, 0, 0x6C, 1, 47},
        {"DAC", {K::B, K::A}, 0, 0x6E, 1, 10},
        {"DSB", {K::Reg, K::A}, 0, 0x1F, 2, 9},
        {"AND", {K::Imm8, K::Periph}, 0, 0xA3, 3, 10},
        {"BTJO", {K::Imm8, K::Periph, K::Rel8}, 0, 0xA6, 4, 11},
        {"BTJZ", {K::Reg, K::A, K::Rel8}, 0, 0x17, 3, 9},
        {"DJNZ", {K::Reg, K::Rel8}, 0, 0xDA, 3, 10},
        {"DJNZ", {K::B, K::Rel8}, 0, 0xCA, 2, 8},
        {"JMP", {K::Rel8}, 0, 0x00, 2, 7},
        {"JNZ", {K::Rel8}, 0, 0x06, 2, 5},
        {"MOVW", {K::Imm16, K::Reg}, 0, 0x88, 4, 13},
        {"MOVW", {K::Offset, K::Reg}, 0xF4, 0xE8, 5, 15},
        {"INCW", {K::Imm8, K::Reg}, 0, 0x70, 3, 11},
        {"CALL", {K::Direct}, 0, 0x8E, 3, 13},
        {"CALLR", {K::Rel16}, 0, 0x8F, 3, 15},
        {"BR", {K::IndexB}, 0, 0xAC, 3, 11},
        {"JMPL", {K::Rel16}, 0, 0x89, 3, 9},
        {"DIV", {K::Reg, K::A}, 0xF4, 0xF8, 3, 55},
        {"PUSH", {K::St}, 0, 0xFB, 1, 8},
        {"POP", {K::Reg}, 0, 0xD9, 2, 7},
        {"INC", {K::A}, 0, 0xB3, 1, 8},
        {"RLC", {K::Reg}, 0, 0xDF, 2, 6},
        {"LDST", {K::Imm8}, 0, 0xF0, 2, 6},
        {"RTS", {}, 0, 0xF9, 1, 9},
        {"RTI", {}, 0, 0xFA, 1, 12},
        {"IDLE", {}, 0, 0xF6, 1, 6},
        {"NOP", {}, 0, 0xFF, 1, 7},
        {"CLRC", {}, 0, 0xB0, 1, 9},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.mnemonic + std::string(" opcode ") + std::to_string(r.opcode));
        const Instruction* i = find(r.mnemonic, r.ops);
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->prefix, r.prefix);
        EXPECT_EQ(i->opcode, r.opcode);
        EXPECT_EQ(i->length, r.length);
        EXPECT_EQ(i->cycles, r.cycles);
    }
}

TEST(InstructionSet, TrapsCountDownFromEFhAndTakeTheirVectorsBelowFFE0h) {
    for (int n = 0; n < 16; ++n) {
        const Instruction* i = Decode(static_cast<std::uint8_t>(0xEF - n));
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->op, Op::Trap);
        EXPECT_EQ(i->trap, n);
        EXPECT_EQ(i->length, 1);
    }
    EXPECT_EQ(kTrapVector(0), 0x7FDE);
    EXPECT_EQ(kTrapVector(15), 0x7FC0);
}

// The assembler picks a row by mnemonic and operand kinds: two rows with the same pair would make
// one of them unreachable, and a decoded row that is not the one at its opcode would disassemble
// to other bytes.
TEST(InstructionSet, EveryFormIsReachableFromTheSourceAndDecodesToItself) {
    std::map<std::pair<std::string, std::array<Operand, 3>>, int> seen;
    for (const auto& i : InstructionTable()) {
        const int count = ++seen[std::make_pair(std::string(i.mnemonic) + char('a' + i.trap), i.operands)];
        EXPECT_EQ(count, 1) << i.mnemonic << " twice with the same operands";
        const Instruction* d = Decode(i.prefix ? i.prefix : i.opcode, i.opcode);
        ASSERT_NE(d, nullptr) << i.mnemonic;
        EXPECT_EQ(d->opcode, i.opcode);
        EXPECT_EQ(d->length, i.length) << i.mnemonic;
        const bool sameOp =
            d->op == i.op || (d->op == Op::Xchb && i.op == Op::Tst) || (d->op == Op::Tst && i.op == Op::Xchb);
        EXPECT_TRUE(sameOp) << i.mnemonic << " shares opcode " << int(i.opcode) << " with " << d->mnemonic;
    }
    EXPECT_EQ(Decode(kPagePrefix, 0x00), nullptr);
    EXPECT_EQ(Decode(0xF4, 0xEA)->length, 4);
}

TEST(InstructionSet, SignedJumpsReadOverflowAndUnsignedOnesReadCarry) {
    const std::uint8_t negative = kFlagN, overflowed = kFlagN | kFlagV, zero = kFlagZ, carry = kFlagC;
    EXPECT_TRUE(ConditionHolds(Cond::L, negative));
    EXPECT_FALSE(ConditionHolds(Cond::L, overflowed)); // negative only through overflow: not less
    EXPECT_TRUE(ConditionHolds(Cond::G, overflowed));
    EXPECT_FALSE(ConditionHolds(Cond::G, zero));
    EXPECT_TRUE(ConditionHolds(Cond::Le, zero));
    EXPECT_TRUE(ConditionHolds(Cond::Hs, carry));
    EXPECT_TRUE(ConditionHolds(Cond::Lo, 0));
    EXPECT_FALSE(ConditionHolds(Cond::P, zero));
}
