// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <string_view>

#include "sim/simulator.h"

namespace halyard::sim {

// The loadable sections of a TMS370 COFF executable (the tool chain's linker's or the stand-in's)
// at their load addresses, and its entry point. Anything else is refused: halyard::Error with a
// message that names the file and says why.
ProgramImage ReadProgramFile(std::string_view bytes, const std::string& name);

// The instruction at pc as one line of assembly, for a trace.
std::string Disassemble(const Simulator& s, uint16_t pc);

} // namespace halyard::sim
