// SPDX-License-Identifier: GPL-3.0-or-later
// Simulated TMS370 instructions per second, on one core: a loop of register, immediate and
// indexed instructions with a taken jump, the mix a firmware's inner loops have. The figure is the
// "items_per_second" counter.
#include <benchmark/benchmark.h>

#include "core/sim/program_builder.h"
#include "sim/simulator.h"

namespace {

using namespace halyard::sim;
using halyard::sim::test::Code;
using halyard::sim::test::K;

ProgramImage Loop() {
    Code c(0x7000);
    c.op("MOV", {K::Imm8, K::B}, {0})
        .label("top")
        .op("MOV", {K::IndexB, K::A}, {0x71, 0x00})
        .op("ADD", {K::Reg, K::A}, {0x20})
        .op("INC", {K::B})
        .op("XOR", {K::Imm8, K::A}, {0x5A})
        .op("MOV", {K::A, K::Reg}, {0x21})
        .op("ADD", {K::Reg, K::Reg}, {0x21, 0x22})
        .op("DJNZ", {K::Reg}, {0x30}, "top")
        .op("JMP", {}, {}, "top");
    return WithResetVector(c, 0x7000);
}

void BM_InstructionsPerSecond(benchmark::State& state) {
    Simulator sim;
    sim.load(Loop());
    uint64_t done = 0;
    for (auto _ : state) {
        const uint64_t before = sim.snapshot().instructions;
        RunLimits limits;
        limits.maxCycles = 10'000'000;
        benchmark::DoNotOptimize(sim.run(limits));
        done += sim.snapshot().instructions - before;
    }
    state.SetItemsProcessed(static_cast<int64_t>(done));
}
BENCHMARK(BM_InstructionsPerSecond)->Unit(benchmark::kMillisecond);

} // namespace
