// SPDX-License-Identifier: GPL-3.0-or-later
// What a debugger relies on: reset, breakpoints, watched writes, the memory map, interrupts.
#include <gtest/gtest.h>

#include "base/error.h"
#include "program_builder.h"
#include "sim/program_file.h"
#include "sim/simulator.h"
#include "tms370/coff.h"

namespace halyard::sim::test {
namespace {

constexpr uint16_t Org = 0x7000;

TEST(Engine, ResetTakesTheVectorWhenLoadedElseTheEntryPoint) {
    Code c(Org);
    c.op("NOP").op("IDLE");
    ProgramImage image;
    image.blocks.push_back({".text", Org, c.finish(), true});
    image.hasEntry = true;
    image.entry = Org + 1;
    Simulator sim;
    sim.load(image);
    EXPECT_EQ(sim.pc(), Org + 1);
    EXPECT_EQ(sim.sp(), 1);
    EXPECT_EQ(sim.st(), 0);
    image.blocks.push_back({"reset", ResetVector, {0x70, 0x00}, true});
    sim.load(image);
    EXPECT_EQ(sim.pc(), Org);
}

TEST(Engine, BreakpointsStopBeforeTheInstructionAndTheNextRunLeavesThem) {
    Code c(Org);
    c.op("CLR", {K::A}).label("loop").op("INC", {K::A}).op("JMP", {}, {}, "loop");
    Simulator sim;
    sim.load(WithResetVector(c, Org));
    sim.setBreakpoint(c.at("loop"));
    RunLimits limits;
    limits.maxCycles = 1000;
    ASSERT_EQ(sim.run(limits), StopReason::Breakpoint);
    EXPECT_EQ(sim.pc(), c.at("loop"));
    EXPECT_EQ(sim.read(0), 0);
    ASSERT_EQ(sim.run(limits), StopReason::Breakpoint);
    EXPECT_EQ(sim.read(0), 1);
    sim.setBreakpoint(c.at("loop"), false);
    limits.until = [&sim] { return sim.read(0) == 5; };
    EXPECT_EQ(sim.run(limits), StopReason::Condition);
    EXPECT_EQ(sim.read(0), 5);
}

TEST(Engine, WritesToProgramMemoryAndNowhereAreIgnoredAndReported) {
    Code c(Org);
    c.op("MOV", {K::Imm8, K::A}, {0x99})
        .op("MOV", {K::A, K::Direct}, {0x70, 0x00}) // into its own code
        .op("MOV", {K::A, K::Direct}, {0x18, 0x00}) // nothing at 1800h
        .op("MOV", {K::Direct, K::A}, {0x18, 0x00}) // reads 0FFh
        .op("IDLE");
    Simulator sim(*FindDeviceProfile("tms370c050"));
    sim.load(WithResetVector(c, Org));
    RunLimits limits;
    limits.maxCycles = 1000;
    ASSERT_EQ(sim.run(limits), StopReason::Idle);
    EXPECT_EQ(sim.read(Org), c.finish()[0]);
    EXPECT_EQ(sim.read(0), 0xFF);
    ASSERT_GE(sim.events().size(), 2u);
    EXPECT_EQ(sim.events()[0].kind, Event::RomWrite);
    EXPECT_EQ(sim.events()[0].address, Org);
    EXPECT_EQ(sim.events()[1].kind, Event::UnmappedWrite);
    EXPECT_EQ(EventText(sim.events()[1]), "write of 99h to unmapped 1800h ignored at 7005h");
}

TEST(Engine, AWatchedWriteStopsTheRunAfterTheWritingInstruction) {
    Code c(Org);
    c.op("MOV", {K::Imm8, K::Reg}, {1, 0x20}).op("MOV", {K::Imm8, K::Reg}, {2, 0x21}).op("IDLE");
    Simulator sim;
    sim.load(WithResetVector(c, Org));
    sim.watch(0x21, 0x21);
    std::vector<Event> seen;
    sim.onEvent([&](const Event& e) { seen.push_back(e); });
    RunLimits limits;
    limits.maxCycles = 1000;
    ASSERT_EQ(sim.run(limits), StopReason::Event);
    EXPECT_EQ(sim.read(0x21), 2); // the write is done
    EXPECT_EQ(sim.pc(), Org + 6);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, Event::WatchedWrite);
    EXPECT_EQ(seen[0].pc, Org + 3);
    EXPECT_EQ(sim.run(limits), StopReason::Idle);
}

TEST(Engine, AnInterruptWakesIdleAndReturnsWithItsStatus) {
    Code c(Org);
    c.op("LDST", {K::Imm8}, {StIE1}).op("IDLE").op("MOV", {K::Imm8, K::Reg}, {0xAA, 0x30}).op("IDLE");
    Code isr(0x7200);
    isr.op("MOV", {K::Imm8, K::Reg}, {0x55, 0x31}).op("RTI");
    ProgramImage image = WithResetVector(c, Org);
    image.blocks.push_back({"isr", 0x7200, isr.finish(), true});
    image.blocks.push_back({"int1", 0x7FFC, {0x72, 0x00}, true});
    Simulator sim;
    sim.load(image);
    RunLimits limits;
    limits.maxCycles = 1000;
    ASSERT_EQ(sim.run(limits), StopReason::Idle);
    sim.requestInterrupt(0x7FFC, 1);
    ASSERT_EQ(sim.run(limits), StopReason::Idle);
    EXPECT_EQ(sim.read(0x31), 0x55);
    EXPECT_EQ(sim.read(0x30), 0xAA);
    EXPECT_EQ(sim.st() & StIE1, StIE1); // RTI brought the enable back
    EXPECT_EQ(sim.sp(), 1);
}

TEST(Engine, ExecutionWhereNothingIsMappedStops) {
    ProgramImage image;
    image.blocks.push_back({"reset", ResetVector, {0x18, 0x00}, true});
    Simulator sim(*FindDeviceProfile("tms370c050"));
    sim.load(image);
    EXPECT_EQ(sim.step(), StopReason::Illegal);
    EXPECT_EQ(EventText(sim.events().back()), "no memory to execute at 1800h");
}

TEST(ProgramFile, LoadsTheSectionsOfAnExecutableAndRefusesOtherFiles) {
    tms370::CoffFile f;
    f.flags = tms370::kFileExecutable;
    f.entry = 0x7000;
    tms370::CoffSection text;
    text.name = ".text";
    text.physical = text.address = 0x7000;
    text.data = std::string("\x22\x05\xF6", 3);
    text.size = 3;
    text.flags = tms370::kSectText;
    tms370::CoffSection bss;
    bss.name = ".bss";
    bss.physical = bss.address = 0x0100;
    bss.size = 16;
    bss.flags = tms370::kSectBss;
    // Sections the target never holds: initialisation records a loader reads (copy) and
    // overlays described only for their symbols (dummy, no-load).
    tms370::CoffSection copy = text, dummy = text, noload = text;
    copy.name = ".cinit";
    copy.flags = tms370::kSectCopy;
    dummy.name = "overlay";
    dummy.flags = tms370::kSectDummy;
    noload.name = "rom_image";
    noload.flags = tms370::kSectNoLoad;
    f.sections = {text, bss, copy, dummy, noload};
    const ProgramImage image = ReadProgramFile(tms370::WriteCoff(f), "demo.out");
    ASSERT_EQ(image.blocks.size(), 1u);
    EXPECT_EQ(image.blocks[0].address, 0x7000);
    EXPECT_TRUE(image.blocks[0].code);
    EXPECT_EQ(image.blocks[0].bytes.size(), 3u);
    EXPECT_TRUE(image.hasEntry);
    EXPECT_EQ(image.entry, 0x7000);

    try {
        ReadProgramFile("MZ\x90\x00 not coff at all", "notes.exe");
        ADD_FAILURE() << "a non-COFF file was read";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("notes.exe: not a TMS370 executable: ", 0), 0u) << e.what();
    }
}

} // namespace
} // namespace halyard::sim::test
