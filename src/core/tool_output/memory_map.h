// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory use of a link, read from the linker's map file: its "MEMORY CONFIGURATION" table
// (one row per range, "PAGE n:" starting each page) and, for maps whose table has no "used" column,
// the output sections of its "SECTION ALLOCATION MAP". Numbers are hexadecimal, with or without the
// assembler's "h".
#include <cstdint>
#include <string>
#include <vector>

namespace halyard {

struct MemoryUse {
    std::string name;
    int page = 0;
    std::uint64_t origin = 0, length = 0, used = 0;
    std::string attributes;
    // Everything the map places in the range keeps its size as the program grows: no code or data
    // of the compiler's (.text, .cinit, .const, .switch, .data, .bss), only tables such as the
    // interrupt vectors or the stacks the linker options size. False when the map names no section.
    bool fixedSize = false;
    std::uint64_t free() const { return used < length ? length - used : 0; }
    // Over nine tenths used by code or data that grows: the range that runs out first.
    bool nearlyFull() const { return length > 0 && used * 10 > length * 9 && !fixedSize; }
};

// The ranges in the order of the map; none when the text holds no memory configuration. A range
// whose line holds a number out of range (or a used size above its length) is left out, and the
// line is named in `problems` ("Map line 7: the page number ... is out of range; ..."); the other
// ranges are read all the same. With no "used" column, a range's use is the sum of the sections
// placed in it, held to its length.
std::vector<MemoryUse> ReadMemoryUse(const std::vector<std::string>& mapLines,
                                     std::vector<std::string>* problems = nullptr);

// The table the Build panel and the headless build show: a heading row, then one row per range with
// its share used as a bar; a range nearly full (above) is marked.
std::vector<std::string> MemoryUseTable(const std::vector<MemoryUse>& ranges);
// One column of such a table: `s` padded with blanks to `width`, then two blanks.
std::string PadColumn(std::string s, size_t width);

// The map file a link writes: the last "-m" of the command file's lines and then of the linker's
// switches, as the linker reads them in that order; empty when neither names one.
std::string MapFileOfLink(const std::vector<std::string>& commandFileLines,
                          const std::string& linkerSwitches);
// The output file a link writes, named as MapFileOfLink finds the map by "-o"; empty when neither
// names one, and the linker writes a.out in its working folder.
std::string OutputFileOfLink(const std::vector<std::string>& commandFileLines,
                             const std::string& linkerSwitches);

} // namespace halyard
