// SPDX-License-Identifier: GPL-3.0-or-later
// Every row of the instruction table executed once: the bytes it takes, the cycles it costs and the
// status bits it may change; then the flags of the arithmetic and logic results.
#include <gtest/gtest.h>

#include "program_builder.h"
#include "sim/simulator.h"

namespace halyard::sim::test {
namespace {

constexpr uint16_t At = 0x0200; // in RAM, so that every opcode can be written there

// Field bytes that make every operand harmless: registers 10h/11h (the pair 10h:11h points at
// 0300h), peripheral 20h, addresses 0300h, immediates 0, jump offsets 0.
std::vector<uint8_t> Fields(const tms370::Instruction& row) {
    std::vector<uint8_t> f;
    for (K k : row.operands) {
        switch (k) {
        case K::Reg:
            f.push_back(0x11);
            break;
        case K::Indirect:
            f.push_back(0x11);
            break;
        case K::Offset:
            f.insert(f.end(), {0x00, 0x11});
            break;
        case K::Periph:
            f.push_back(0x20);
            break;
        case K::Imm8:
        case K::Rel8:
            f.push_back(0x00);
            break;
        case K::Imm16:
        case K::Rel16:
        case K::Rel16IndexB:
            f.insert(f.end(), {0x00, 0x00});
            break;
        case K::Imm16IndexB:
        case K::Direct:
        case K::IndexB:
            f.insert(f.end(), {0x03, 0x00});
            break;
        default:
            break;
        }
    }
    return f;
}

bool Transfers(tms370::Op op) {
    using O = tms370::Op;
    return op == O::Br || op == O::Jmpl || op == O::Call || op == O::Callr || op == O::Rts || op == O::Rti ||
           op == O::Trap || op == O::Idle;
}

TEST(Instructions, EveryRowTakesItsLengthItsCyclesAndChangesOnlyItsFlags) {
    int checked = 0;
    for (const auto& row : tms370::InstructionTable()) {
        if (tms370::Decode(row.prefix ? row.prefix : row.opcode, row.opcode) != &row) continue; // an alias
        for (uint8_t seed : {uint8_t{0x00}, uint8_t{0xF0}}) {
            Simulator sim;
            std::vector<uint8_t> bytes;
            if (row.prefix) bytes.push_back(row.prefix);
            bytes.push_back(row.opcode);
            const auto fields = Fields(row);
            bytes.insert(bytes.end(), fields.begin(), fields.end());
            ASSERT_EQ(bytes.size(), row.length) << row.mnemonic << " " << std::hex << int(row.opcode);
            for (size_t i = 0; i < bytes.size(); ++i)
                sim.poke(static_cast<uint16_t>(At + i), bytes[i]);
            sim.poke(0x10, 0x03);
            sim.poke(0x11, 0x00);
            sim.poke(0, 0x12); // A
            sim.poke(1, 0x34); // B
            sim.poke(0x11, 0x00);
            sim.setPc(At);
            sim.setSt(seed);
            sim.setSp(0x40);
            const StopReason why = sim.step();
            const std::string what = std::string(row.mnemonic) + " opcode " + std::to_string(row.opcode);
            EXPECT_NE(why, StopReason::Illegal) << what;
            EXPECT_TRUE(sim.cycles() == row.cycles || sim.cycles() == row.takenCycles)
                << what << ": " << sim.cycles() << " cycles";
            if (!Transfers(row.op)) {
                EXPECT_EQ(sim.pc(), At + row.length) << what;
            }
            if (row.flags != 0xFF) {
                EXPECT_EQ(sim.st() & ~row.flags, seed & ~row.flags) << what << " changed a flag it keeps";
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 2 * 200);
}

TEST(Instructions, UndefinedOpcodesStopTheRunWithAnEvent) {
    Simulator sim;
    int undefined = 0;
    for (unsigned op = 0; op < 256; ++op) {
        if (op == tms370::kPagePrefix || tms370::Decode(static_cast<uint8_t>(op))) continue;
        sim.poke(At, static_cast<uint8_t>(op));
        sim.setPc(At);
        EXPECT_EQ(sim.step(), StopReason::Illegal) << op;
        EXPECT_EQ(sim.pc(), At);
        ++undefined;
    }
    sim.poke(At, tms370::kPagePrefix);
    sim.poke(At + 1, 0x00);
    sim.setPc(At);
    EXPECT_EQ(sim.step(), StopReason::Illegal);
    EXPECT_EQ(sim.events().back().kind, Event::Illegal);
}

struct FlagCase {
    const char* mnemonic;
    uint8_t a;       // A before
    uint8_t operand; // #n
    bool carryIn;
    uint8_t result; // A after
    uint8_t flags;  // C N Z V after
};

TEST(Instructions, ArithmeticAndLogicSetCarrySignZeroAndOverflow) {
    const FlagCase cases[] = {
        {"ADD", 0x7F, 0x01, false, 0x80, StN | StV},
        {"ADD", 0xFF, 0x01, false, 0x00, StC | StZ},
        {"ADC", 0x10, 0x01, true, 0x12, 0},
        {"SUB", 0x00, 0x01, false, 0xFF, StN},       // a borrow clears C
        {"SUB", 0x05, 0x05, false, 0x00, StC | StZ}, // no borrow sets it
        {"SUB", 0x80, 0x01, false, 0x7F, StC | StV},
        {"SBB", 0x05, 0x01, false, 0x03, StC}, // C clear: one more is taken
        {"SBB", 0x05, 0x01, true, 0x04, StC},
        {"CMP", 0x03, 0x05, false, 0x03, StN}, // A lower: C clear, A kept
        {"CMP", 0x05, 0x03, false, 0x05, StC},
        {"AND", 0xF0, 0x0F, true, 0x00, StC | StZ}, // C kept: logic changes N and Z only
        {"OR", 0x80, 0x01, false, 0x81, StN},
        {"XOR", 0xFF, 0xFF, false, 0x00, StZ},
        {"MOV", 0x00, 0x80, true, 0x80, StC | StN},
    };
    for (const auto& t : cases) {
        Code c(At);
        c.op(t.mnemonic, {K::Imm8, K::A}, {t.operand});
        Simulator sim;
        const auto bytes = c.finish();
        for (size_t i = 0; i < bytes.size(); ++i)
            sim.poke(static_cast<uint16_t>(At + i), bytes[i]);
        sim.poke(0, t.a);
        sim.setPc(At);
        sim.setSt(t.carryIn ? StC : 0);
        sim.step();
        EXPECT_EQ(sim.read(0), t.result) << t.mnemonic << " " << int(t.a) << "," << int(t.operand);
        EXPECT_EQ(sim.st() & 0xF0, t.flags) << t.mnemonic << " " << int(t.a) << "," << int(t.operand);
    }
}

TEST(Instructions, OneOperandInstructionsOnA) {
    const struct {
        const char* mnemonic;
        uint8_t a;
        bool carryIn;
        uint8_t result;
        uint8_t flags;
    } cases[] = {
        {"INC", 0xFF, false, 0x00, StC | StZ}, {"DEC", 0x00, false, 0xFF, StN}, // a borrow: C clear
        {"DEC", 0x01, false, 0x00, StC | StZ}, {"RL", 0x81, false, 0x03, StC},
        {"RLC", 0x80, true, 0x01, StC},        {"RR", 0x01, false, 0x80, StC | StN},
        {"RRC", 0x02, true, 0x81, StN},        {"SWAP", 0x1E, false, 0xE1, StN},
        {"INV", 0xFF, true, 0x00, StC | StZ},  {"CLR", 0x55, false, 0x00, StZ},
    };
    for (const auto& t : cases) {
        Code c(At);
        c.op(t.mnemonic, {K::A});
        Simulator sim;
        sim.poke(At, c.finish()[0]);
        sim.poke(0, t.a);
        sim.setPc(At);
        sim.setSt(t.carryIn ? StC : 0);
        sim.step();
        EXPECT_EQ(sim.read(0), t.result) << t.mnemonic << " " << int(t.a);
        EXPECT_EQ(sim.st() & 0xF0, t.flags) << t.mnemonic << " " << int(t.a);
    }
}

TEST(Instructions, ConditionalJumpsAfterACompare) {
    // A = 80h (-128 signed, 128 unsigned) compared with 01h.
    const struct {
        const char* jump;
        bool taken;
    } cases[] = {{"JHS", true}, {"JLO", false}, {"JL", true},  {"JGE", false}, {"JG", false},
                 {"JLE", true}, {"JNZ", true},  {"JZ", false}, {"JC", true},   {"JNC", false}};
    for (const auto& t : cases) {
        Code c(At);
        c.op("CMP", {K::Imm8, K::A}, {0x01}).op(t.jump, {}, {}, "there").op("NOP").label("there").op("NOP");
        Simulator sim;
        const auto bytes = c.finish();
        for (size_t i = 0; i < bytes.size(); ++i)
            sim.poke(static_cast<uint16_t>(At + i), bytes[i]);
        sim.poke(0, 0x80);
        sim.setPc(At);
        sim.step();
        sim.step();
        EXPECT_EQ(sim.pc(), t.taken ? c.at("there") : c.at("there") - 1) << t.jump;
    }
}

} // namespace
} // namespace halyard::sim::test
