// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The linked program as a COFF executable: each output section's bytes put together from its
// input sections, every relocation finished with the placed addresses, and the symbol table.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "placement.h"
#include "tms370/coff.h"

namespace halyard::sim370 {

struct ExecutableOptions {
    std::optional<std::int64_t> entry; // the entry point's address, when there is one
    std::optional<std::int64_t> fill;  // for gaps between input sections
    bool strip = false;                // no symbol table
};

// Relocation failures (a jump out of reach, a value too wide) are reported at the source line of
// the module they come from; the file is still built so that every failure is seen at once.
tms370::CoffFile BuildExecutable(const Placement& p, const std::vector<LinkObject>& objects,
                                 const std::map<std::string, std::int64_t>& symbols,
                                 const ExecutableOptions& o, Diagnostics& d);

} // namespace halyard::sim370
