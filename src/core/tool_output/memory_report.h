// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory model for machines and for comparison: its JSON, the snapshot of it kept beside a
// link's output after every successful link (and the one before), a pinned baseline, and what
// changed between two of them ("ROM +248 bytes since the last build").
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tool_output/memory_model.h"

namespace halyard {

class DosDevices;

struct MemoryDiff;
// The model as JSON: "ranges" (name, page, origin, length, used, attributes, fixed), "sections"
// (name, range, page, address, load, size, attributes), "objects" (name, size, inputs), "holes",
// "symbols" (name, address, size, inferred, section, object); numbers are decimal bytes. With a
// comparison, "changes" holds what changed (name, before, after, change; new or removed).
std::string MemoryModelJson(const MemoryModel& m, const std::string& mapFile = {},
                            const MemoryDiff* changes = nullptr);

// What a comparison needs of a model: sizes by name.
struct MemorySnapshot {
    struct Range {
        std::string name;
        int page = 0;
        std::uint64_t length = 0, used = 0;
        bool fixed = false;
    };
    std::vector<Range> ranges;
    std::map<std::string, std::uint64_t> sections, objects, symbols;
    // Input sections by "object (section)".
    std::map<std::string, std::uint64_t> inputs;
};
MemorySnapshot SnapshotOf(const MemoryModel& m);
// A snapshot read back from MemoryModelJson's text; nullopt with `why` when it is none.
std::optional<MemorySnapshot> ReadSnapshot(const std::string& json, std::string* why = nullptr);

struct MemoryChange {
    std::string name;
    std::int64_t before = 0, after = 0;
    bool added = false, removed = false;
    std::int64_t delta() const { return after - before; }
};
struct MemoryDiff {
    std::vector<MemoryChange> ranges, sections, objects, symbols, inputs; // only what changed
    // The change of one row by name; 0 when it did not change.
    std::int64_t section(const std::string& name) const;
    std::int64_t object(const std::string& name) const;
    std::int64_t input(const std::string& object, const std::string& section) const;
    std::int64_t symbol(const std::string& name) const;
    std::int64_t range(const std::string& name, int page) const;
    const MemoryChange* symbolChange(const std::string& name) const;
};
MemoryDiff CompareMemory(const MemorySnapshot& before, const MemorySnapshot& after);

// "+248", "-4", "0".
std::string SignedBytes(std::int64_t delta);
// "ROM +248 bytes, RAM -2 bytes since the last build"; "No memory range changed since ..." when
// none did. `since` is "the last build" or "the baseline".
std::string ChangeSummary(const MemoryDiff& d, const std::string& since);
// The lines of a comparison: every range and section with its change and sign, then the symbols
// that came or went.
std::vector<std::string> ChangeTable(const MemorySnapshot& after, const MemoryDiff& d);
// The ranges above `percent` used that hold code or data that grows (tables of fixed size, such as
// the vectors, never count), each as "ROM is 12.5 % used, above 10 %".
std::vector<std::string> RangesAbove(const std::vector<MemoryUse>& ranges, double percent);

// The snapshot files kept beside a link's output "C:\t\demo.out": "C:\t\demo.memory.json", the one
// before ("demo.memory.previous.json") and the pinned baseline ("demo.memory.baseline.json").
struct SnapshotFiles {
    std::string current, previous, baseline;
};
SnapshotFiles SnapshotFilesOf(const std::string& outputFile);

// After a successful link: the last snapshot becomes the previous one, the model the last one;
// then the comparison with the baseline, when one is pinned, else with the previous build. Empty
// when there was nothing to compare with. Throws halyard::Error when a file cannot be written.
struct KeptSnapshot {
    std::optional<MemoryDiff> diff;
    std::string since; // "the last build" or "the baseline"
    std::string summary;
};
KeptSnapshot KeepSnapshot(const DosDevices& dd, const std::string& outputFile, const MemoryModel& m,
                          const std::string& mapFile);
// Pins a snapshot file as the baseline of later comparisons, or unpins it (an empty `snapshot`).
void PinBaseline(const DosDevices& dd, const std::string& outputFile, const std::string& snapshot);

} // namespace halyard
