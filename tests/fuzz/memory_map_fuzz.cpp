// SPDX-License-Identifier: GPL-3.0-or-later
// The map reader on any text: it never throws, every range it keeps uses at most its length, a
// finding names its line, and the table has one row per range.
#include <cstdlib>

#include "base/text_file.h"
#include "fuzz_drive.h"
#include "tool_output/memory_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    const auto lines = SplitTextLines(fuzz::bytesOf(data, size));
    std::vector<std::string> problems;
    const auto ranges = ReadMemoryUse(lines, &problems);
    for (const auto& r : ranges)
        if (r.used > r.length || r.page < 0) std::abort();
    for (const auto& p : problems)
        if (p.rfind("Map line ", 0) != 0) std::abort();
    if (MemoryUseTable(ranges).size() != ranges.size() + 1) std::abort();
    (void)MapFileOfLink(lines, lines.empty() ? std::string() : lines.front());
    return 0;
}
