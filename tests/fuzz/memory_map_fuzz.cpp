// SPDX-License-Identifier: GPL-3.0-or-later
// The map reader on any text: it never throws, every range it keeps uses at most its length, a
// finding names its line, and the table has one row per range. The whole model holds together:
// every input lies in its section's list, every symbol inside the input that holds it, and its JSON
// reads back as the same snapshot.
#include <cstdlib>

#include "base/text_file.h"
#include "fuzz_drive.h"
#include "tool_output/memory_map.h"
#include "tool_output/memory_model.h"
#include "tool_output/memory_report.h"

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

    const MemoryModel m = ReadMemoryModel(lines);
    for (const auto& p : m.problems)
        if (p.rfind("Map line ", 0) != 0) std::abort();
    size_t inputs = 0;
    for (size_t k = 0; k < m.sections.size(); ++k) {
        const MapSection& s = m.sections[k];
        if (s.firstInput != inputs || s.range >= static_cast<int>(m.ranges.size()) ||
            s.runRange >= static_cast<int>(m.ranges.size()))
            std::abort();
        for (size_t i = s.firstInput; i < s.firstInput + s.inputCount; ++i)
            if (m.inputs.at(i).output != static_cast<int>(k)) std::abort();
        inputs += s.inputCount;
    }
    if (inputs != m.inputs.size() || m.byName.size() != m.symbols.size()) std::abort();
    for (const MapSymbol& s : m.symbols) {
        const MapInput* in = m.inputOf(s);
        if (!in) {
            if (s.size != 0 || s.sizeInferred) std::abort();
            continue;
        }
        if (s.address < in->address || s.address - in->address >= in->size ||
            s.size > in->address + in->size - s.address)
            std::abort();
    }
    const auto back = ReadSnapshot(MemoryModelJson(m, "C:\\fuzz.map"));
    const MemorySnapshot s = SnapshotOf(m);
    if (!back || back->sections != s.sections || back->symbols != s.symbols || back->objects != s.objects)
        std::abort();
    return 0;
}
