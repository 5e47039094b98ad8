// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole map file of a link as one model: the memory ranges, the output sections placed in
// them (load and run address), the input sections each took from an object file or a library
// member, the holes between them, and the global symbols, each with the input section that holds
// it. The map gives no symbol sizes: a symbol's size is the distance to the next symbol inside the
// same input section (or to its end), and is marked as inferred.
#include <cstdint>
#include <string>
#include <vector>

#include "tool_output/memory_map.h"

namespace halyard {

struct MapInput {
    std::string object;  // the object file, or the library member's own name
    std::string library; // the library the member came from; empty for an object file
    std::string section; // empty for a hole
    std::uint64_t address = 0, size = 0;
    bool hole = false;
    std::string fill; // as the map gives it ("ff00"); empty when it gives none
    int output = -1;  // the output section that holds it
    // "rts.lib : boot.obj" for a library member, else the object's name.
    std::string origin() const { return library.empty() ? object : library + " : " + object; }
};

struct MapSection {
    std::string name;
    std::string attributes; // what the map says besides the numbers ("UNINITIALIZED", "COPY", ...)
    int page = 0;
    std::uint64_t load = 0, run = 0, size = 0;
    int range = -1;                        // the range holding its load address; -1 when none does
    int runRange = -1;                     // the range it runs in when that is another one; else -1
    size_t firstInput = 0, inputCount = 0; // its inputs in MemoryModel::inputs
};

struct MapSymbol {
    std::string name;
    std::uint64_t address = 0, size = 0;
    bool sizeInferred = false; // false when no input section holds the symbol (size 0)
    int input = -1;            // the input section that holds it
};

struct MemoryModel {
    std::string outputFile, entryPoint;
    std::vector<MemoryUse> ranges;
    std::vector<MapSection> sections; // in the map's order
    std::vector<MapInput> inputs;     // grouped by section, in the map's order
    std::vector<MapSymbol> symbols;   // by address, then by name
    std::vector<size_t> byName;       // indices into symbols, by name
    // Lines of the map that could not be taken ("Map line 7: ...").
    std::vector<std::string> problems;

    const MapSection* sectionOf(const MapInput& in) const {
        return in.output >= 0 ? &sections[static_cast<size_t>(in.output)] : nullptr;
    }
    const MapInput* inputOf(const MapSymbol& s) const {
        return s.input >= 0 ? &inputs[static_cast<size_t>(s.input)] : nullptr;
    }
    // What an object file (or library member, "rts.lib : boot.obj") takes in all.
    struct ObjectUse {
        std::string name;
        std::uint64_t size = 0;
        std::vector<size_t> inputs;
    };
    std::vector<ObjectUse> objects() const;
};

// Reads every part of the map; a map without some of them gives a model without them. Time grows
// with the map's length (and N log N for the sorts); a line that cannot be taken is left out and
// named in `problems`.
MemoryModel ReadMemoryModel(const std::vector<std::string>& mapLines);

} // namespace halyard
