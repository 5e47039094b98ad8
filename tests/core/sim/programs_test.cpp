// SPDX-License-Identifier: GPL-3.0-or-later
// Small programs with known results, run from reset to IDLE.
#include <gtest/gtest.h>

#include "program_builder.h"
#include "sim/simulator.h"

namespace halyard::sim::test {
namespace {

constexpr uint16_t ProgramOrg = 0x7000;

uint64_t CyclesOf(const std::string& m, std::initializer_list<K> kinds, bool taken = false) {
    const auto* row = Code::find(m, kinds);
    return taken ? row->takenCycles : row->cycles;
}

struct Ran {
    Simulator sim;
    StopReason why;
    explicit Ran(const Code& code, uint64_t maxCycles = 100000) {
        sim.load(WithResetVector(code, ProgramOrg));
        RunLimits limits;
        limits.maxCycles = maxCycles;
        why = sim.run(limits);
    }
};

TEST(Programs, LoopSumsTenDownToOneIntoAAndR10WithEveryCycleCounted) {
    Code c(ProgramOrg);
    c.op("CLR", {K::A})
        .op("MOV", {K::Imm8, K::B}, {10})
        .label("loop")
        .op("ADD", {K::B, K::A})
        .op("DJNZ", {K::B}, {}, "loop")
        .op("MOV", {K::A, K::Reg}, {10})
        .op("IDLE");
    Ran r(c);
    ASSERT_EQ(r.why, StopReason::Idle);
    EXPECT_EQ(r.sim.read(0), 0x37);
    EXPECT_EQ(r.sim.read(10), 0x37);
    EXPECT_EQ(r.sim.read(1), 0);
    const uint64_t expected = CyclesOf("CLR", {K::A}) + CyclesOf("MOV", {K::Imm8, K::B}) +
                              10 * CyclesOf("ADD", {K::B, K::A}) + 9 * CyclesOf("DJNZ", {K::B}, true) +
                              CyclesOf("DJNZ", {K::B}) + CyclesOf("MOV", {K::A, K::Reg}) +
                              CyclesOf("IDLE", {});
    EXPECT_EQ(r.sim.cycles(), expected);
    EXPECT_EQ(r.sim.snapshot().instructions, 2u + 20u + 2u);
}

TEST(Programs, MultiplicationLeavesTheProductInAAndB) {
    Code c(ProgramOrg);
    c.op("MOV", {K::Imm8, K::A}, {200}).op("MPY", {K::Imm8, K::A}, {150}).op("MOV", {K::A, K::Reg}, {20});
    c.op("MOV", {K::Imm8, K::Reg}, {0, 21}).op("MOV", {K::Imm8, K::B}, {7}).op("MPY", {K::Reg, K::B}, {21});
    c.op("IDLE");
    Ran r(c);
    ASSERT_EQ(r.why, StopReason::Idle);
    EXPECT_EQ(r.sim.read(20), 0x75); // 200 * 150 = 7530h
    EXPECT_EQ(r.sim.read(0), 0x00);  // 0 * 7, and zero sets Z
    EXPECT_EQ(r.sim.read(1), 0x00);
    EXPECT_TRUE(r.sim.st() & StZ);
}

TEST(Programs, DecimalAddAndSubtractCarryAndBorrowInBcd) {
    Code c(ProgramOrg);
    c.op("CLRC")
        .op("MOV", {K::Imm8, K::A}, {0x19})
        .op("DAC", {K::Imm8, K::A}, {0x28}) // 19 + 28 = 47
        .op("MOV", {K::A, K::Reg}, {10})
        .op("MOV", {K::Imm8, K::A}, {0x99})
        .op("DAC", {K::Imm8, K::A}, {0x01}) // 99 + 1 = 100: 00, carry
        .op("MOV", {K::A, K::Reg}, {11})
        .op("MOV", {K::Imm8, K::A}, {0x00})
        .op("DAC", {K::Imm8, K::A}, {0x00}) // the carry comes in: 01
        .op("MOV", {K::A, K::Reg}, {12})
        .op("SETC")
        .op("MOV", {K::Imm8, K::A}, {0x47})
        .op("DSB", {K::Imm8, K::A}, {0x28}) // 47 - 28 = 19, nothing borrowed
        .op("MOV", {K::A, K::Reg}, {13})
        .op("MOV", {K::Imm8, K::A}, {0x00})
        .op("DSB", {K::Imm8, K::A}, {0x01}) // 00 - 01 = 99, borrow (C = 0)
        .op("MOV", {K::A, K::Reg}, {14})
        .op("IDLE");
    Ran r(c);
    ASSERT_EQ(r.why, StopReason::Idle);
    EXPECT_EQ(r.sim.read(10), 0x47);
    EXPECT_EQ(r.sim.read(11), 0x00);
    EXPECT_EQ(r.sim.read(12), 0x01);
    EXPECT_EQ(r.sim.read(13), 0x19);
    EXPECT_EQ(r.sim.read(14), 0x99);
    EXPECT_FALSE(r.sim.st() & StC);
}

TEST(Programs, CallAndReturnUseTheStackInTheRegisterFile) {
    Code c(ProgramOrg);
    c.op("MOV", {K::Imm8, K::A}, {5});
    c.op("CALL", {K::Direct}, {0x70, 0x40});
    const uint16_t back = c.here();
    c.op("STSP").op("MOV", {K::B, K::Reg}, {30}).op("IDLE");
    while (c.here() < 0x7040)
        c.bytes({0xFF});
    c.op("INC", {K::A})
        .op("PUSH", {K::A})
        .op("STSP")
        .op("MOV", {K::B, K::Reg}, {31})
        .op("POP", {K::B})
        .op("RTS");
    Ran r(c);
    ASSERT_EQ(r.why, StopReason::Idle);
    EXPECT_EQ(r.sim.read(0), 6);
    EXPECT_EQ(r.sim.read(1), 1); // SP after the return, as STSP left it in B
    EXPECT_EQ(r.sim.read(30), 1);
    EXPECT_EQ(r.sim.read(31), 4); // inside: two bytes of return address and A
    // The return address sits most significant byte first above the reset SP of 01h.
    EXPECT_EQ(r.sim.read(2), back >> 8);
    EXPECT_EQ(r.sim.read(3), back & 0xFF);
    EXPECT_EQ(r.sim.read(4), 6);
    EXPECT_EQ(r.sim.sp(), 1);
}

TEST(Programs, TrapGoesThroughItsVectorAndReturns) {
    Code c(ProgramOrg);
    c.op("MOV", {K::Imm8, K::A}, {1}).op("TRAP", {K::TrapNumber}).op("INC", {K::A}).op("IDLE");
    // The TRAP row found first is TRAP 15 (E0h); use TRAP 3 by its opcode from the table.
    std::vector<uint8_t> bytes = c.finish();
    uint8_t trap3 = 0;
    for (const auto& row : tms370::InstructionTable())
        if (row.op == tms370::Op::Trap && row.trap == 3) trap3 = row.opcode;
    bytes[2] = trap3;
    ProgramImage image;
    image.blocks.push_back({".text", ProgramOrg, bytes, true});
    Code handler(0x7100);
    handler.op("MOV", {K::Imm8, K::A}, {0x40}).op("RTS");
    image.blocks.push_back({"handler", 0x7100, handler.finish(), true});
    image.blocks.push_back({"trap3", TrapVector(3), {0x71, 0x00}, true});
    image.blocks.push_back({"reset", ResetVector, {0x70, 0x00}, true});
    Simulator sim;
    sim.load(image);
    RunLimits limits;
    limits.maxCycles = 10000;
    ASSERT_EQ(sim.run(limits), StopReason::Idle);
    EXPECT_EQ(sim.read(0), 0x41);
    ASSERT_GE(sim.events().size(), 2u);
    EXPECT_EQ(sim.events()[0].kind, Event::Trap);
    EXPECT_EQ(sim.events()[0].number, 3u);
    EXPECT_EQ(sim.events().back().kind, Event::Idle);
}

TEST(Programs, TablesAreReadThroughIndexIndirectAndOffsetAddressing) {
    Code c(ProgramOrg);
    c.op("MOV", {K::Imm8, K::B}, {2})
        .op("MOV", {K::IndexB, K::A}, {0x71, 0x00}) // 7100h(B)
        .op("MOV", {K::A, K::Reg}, {10})
        .op("MOVW", {K::Imm16, K::Reg}, {0x71, 0x00, 5}) // R4:R5 = 7100h
        .op("MOV", {K::Indirect, K::A}, {5})             // @R5
        .op("MOV", {K::A, K::Reg}, {11})
        .op("MOV", {K::Offset, K::A}, {3, 5}) // 3(R5)
        .op("MOV", {K::A, K::Reg}, {12})
        .op("MOV", {K::Imm8, K::A}, {0x55})
        .op("MOV", {K::A, K::Direct}, {0x01, 0x20}) // into RAM at 0120h
        .op("MOV", {K::Direct, K::A}, {0x71, 0x01})
        .op("IDLE");
    ProgramImage image = WithResetVector(c, ProgramOrg);
    image.blocks.push_back({".const", 0x7100, {0x10, 0x20, 0x30, 0x40}, false});
    Simulator sim;
    sim.load(image);
    RunLimits limits;
    limits.maxCycles = 10000;
    ASSERT_EQ(sim.run(limits), StopReason::Idle);
    EXPECT_EQ(sim.read(10), 0x30);
    EXPECT_EQ(sim.read(11), 0x10);
    EXPECT_EQ(sim.read(12), 0x40);
    EXPECT_EQ(sim.read(0x120), 0x55);
    EXPECT_EQ(sim.read(0), 0x20);
}

TEST(Programs, DivideGivesQuotientAndRemainderOrSetsOverflow) {
    Code c(ProgramOrg);
    c.op("MOV", {K::Imm8, K::A}, {0x12})
        .op("MOV", {K::Imm8, K::B}, {0x34})
        .op("MOV", {K::Imm8, K::Reg}, {0x56, 20})
        .op("DIV", {K::Reg, K::A}, {20}) // 1234h / 56h = 36h rest 10h
        .op("MOV", {K::A, K::Reg}, {10})
        .op("MOV", {K::B, K::Reg}, {11})
        .op("MOV", {K::Imm8, K::A}, {0x60})
        .op("DIV", {K::Reg, K::A}, {20}) // 60xxh / 56h does not fit a byte
        .op("IDLE");
    Ran r(c);
    ASSERT_EQ(r.why, StopReason::Idle);
    EXPECT_EQ(r.sim.read(10), 0x36);
    EXPECT_EQ(r.sim.read(11), 0x10);
    EXPECT_EQ(r.sim.read(0), 0x60);
    EXPECT_TRUE(r.sim.st() & StV);
}

TEST(Programs, AnEndlessJumpStopsAtTheCycleLimit) {
    Code c(ProgramOrg);
    c.label("self").op("JMP", {}, {}, "self");
    Ran r(c, 700);
    EXPECT_EQ(r.why, StopReason::CycleLimit);
    EXPECT_EQ(r.sim.pc(), ProgramOrg);
    EXPECT_EQ(r.sim.cycles(), 700u);
}

} // namespace
} // namespace halyard::sim::test
