// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's loader over the COFF reader, then the program it loaded run for a bounded number
// of cycles: whatever bytes a file holds, loading and running them stays inside the 64K image and
// ends at the limit.
#include <cstdlib>

#include "base/error.h"
#include "fuzz_drive.h"
#include "sim/program_file.h"
#include "sim/simulator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard::sim;
    ProgramImage image;
    try {
        image = ReadProgramFile(halyard::fuzz::bytesOf(data, size), "fuzz.out");
    } catch (const halyard::Error&) {
        return 0;
    }
    Simulator sim;
    sim.load(image);
    RunLimits limits;
    limits.maxCycles = 20000;
    sim.run(limits);
    if (sim.cycles() > limits.maxCycles + 255) std::abort(); // one instruction past the limit at most
    return 0;
}
