// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "halyard-build disassemble FILE": the listing of a TMS370 COFF executable.
#include <ostream>
#include <string>

#include "base/dos_devices.h"

namespace halyard {

// FILE is a Windows path (through the drive mapping) or a host path. Exit code 0, or 2 when the
// file cannot be read or is no TMS370 COFF file (the reason on err, naming the file).
int RunDisassemble(DosDevices& dd, const std::string& file, std::ostream& out, std::ostream& err);

} // namespace halyard
