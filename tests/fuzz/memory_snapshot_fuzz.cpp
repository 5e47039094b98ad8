// SPDX-License-Identifier: GPL-3.0-or-later
// A memory snapshot given to --against may be any file: the JSON reader never throws and never
// follows nesting past its limit, and a comparison with whatever it read is made.
#include <cstdlib>

#include "base/json.h"
#include "fuzz_drive.h"
#include "tool_output/memory_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    const std::string text = fuzz::bytesOf(data, size);
    std::string why;
    const auto doc = Json::Parse(text, &why);
    if (!doc && why.rfind("line ", 0) != 0) std::abort();
    if (const auto s = ReadSnapshot(text)) {
        const MemoryDiff d = CompareMemory(*s, MemorySnapshot{});
        (void)ChangeSummary(d, "the last build");
        (void)ChangeTable(MemorySnapshot{}, d);
    }
    return 0;
}
