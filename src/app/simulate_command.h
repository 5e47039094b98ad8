// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

namespace halyard {

// halyard-build simulate FILE.out [options]: runs a linked TMS370 program in the simulator and
// prints the final state. Exit code 0 at IDLE or a breakpoint, 1 at the cycle limit or a fault of
// the program, 2 when the file cannot be read or the arguments are wrong.
int SimulateCommand(const std::vector<std::string>& args);
extern const char* const SimulateUsage;
extern const char* const SimulateHelp;

} // namespace halyard
