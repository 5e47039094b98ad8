// SPDX-License-Identifier: GPL-3.0-or-later
// The two ways a command line is split: into a program's arguments and into a batch's %1..%9.
#include "batch/batch_interpreter.h"
#include "fuzz_drive.h"
#include "launch/windows_command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = halyard::fuzz::bytesOf(data, size);
    (void)halyard::SplitWindowsCommandLine(text);
    (void)halyard::SplitBatchArguments(text);
    return 0;
}
