// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Allocation of the output sections into the memory ranges: the core of the linker, kept apart
// from files and options so that it can be tried on its own.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "link_command.h"
#include "object_file.h"

namespace halyard::sim370 {

struct LinkObject {
    std::string name; // as given (a path); matched by its file name
    ObjectModule module;
};

struct PlacedInput {
    std::string object, section;
    std::int64_t offset = 0, size = 0;
    size_t objectIndex = 0;
};

struct PlacedSection {
    std::string name, type;
    int page = 0;
    std::int64_t load = 0, run = 0, size = 0;
    bool allocated = true;
    std::vector<PlacedInput> inputs;
};

struct RangeUse {
    MemRange range;
    std::int64_t used = 0;
};

struct Placement {
    std::vector<PlacedSection> sections;
    std::vector<RangeUse> memory;
    std::map<std::string, std::int64_t> symbols;
};

// With no MEMORY directive the whole 64K address space is one range.
Placement Place(std::vector<MemRange> memory, const std::vector<OutputSpec>& specs,
                const std::vector<LinkObject>& objects, Diagnostics& diags,
                const std::string& tool = "lnk370");

} // namespace halyard::sim370
