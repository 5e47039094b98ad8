// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The common object file format as the TMS370 tool chain writes it: a file header with the
// target's id, an optional header with the entry point, section headers, each section's raw data,
// relocation entries and line-number entries, the symbol table and the string table. Header
// fields are little-endian (the host's order); section data is in the target's order.
//
// The reader takes files from anywhere (a user's build, a download): every count, offset and size
// is checked against the file before it is used, the file's size is limited, and anything that is
// not a TMS370 COFF file is refused with a message saying why.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard::tms370 {

// Magic numbers: version 0 carries the target id itself, versions 1 and 2 carry their own
// magic and the target id in a field of their own.
inline constexpr std::uint16_t kCoffTargetId = 0x0091;
inline constexpr std::uint16_t kCoff1Magic = 0x00C1;
inline constexpr std::uint16_t kCoff2Magic = 0x00C2;
inline constexpr std::uint16_t kOptionalMagic = 0x0108;

// File header flags.
inline constexpr std::uint16_t kFileRelocStripped = 0x0001;
inline constexpr std::uint16_t kFileExecutable = 0x0002;
inline constexpr std::uint16_t kFileLinesStripped = 0x0004;
inline constexpr std::uint16_t kFileLocalsStripped = 0x0008;

// Section flags.
inline constexpr std::uint32_t kSectDummy = 0x0001;
inline constexpr std::uint32_t kSectNoLoad = 0x0002;
inline constexpr std::uint32_t kSectCopy = 0x0010;
inline constexpr std::uint32_t kSectText = 0x0020;
inline constexpr std::uint32_t kSectData = 0x0040;
inline constexpr std::uint32_t kSectBss = 0x0080;

// Symbol storage classes.
inline constexpr std::uint8_t kClassExternal = 2;
inline constexpr std::uint8_t kClassStatic = 3;
inline constexpr std::uint8_t kClassLabel = 6;
inline constexpr std::uint8_t kClassFile = 103;

// Section numbers of symbols that are not in a section.
inline constexpr std::int16_t kSymUndefined = 0;
inline constexpr std::int16_t kSymAbsolute = -1;
inline constexpr std::int16_t kSymDebug = -2; // .file and other symbols that name no address

// The reader refuses larger files: a TMS370 program fills at most 64 K, its symbols and line
// numbers a few times that.
inline constexpr std::size_t kCoffSizeLimit = 16u * 1024 * 1024;

struct CoffReloc {
    std::uint32_t address = 0; // where in the section (virtual address)
    std::uint32_t symbol = 0;  // index into the symbol table
    std::uint16_t type = 0;
};

// The stand-in linker writes, per module and section, an entry of line 0 whose address is the
// index of the module's .file symbol, then one entry per instruction: its run address and its
// source line in that file.
struct CoffLine {
    std::uint32_t address = 0; // run address, or a symbol index when line is 0
    std::uint16_t line = 0;
};

struct CoffSection {
    std::string name;
    std::uint32_t physical = 0; // load address
    std::uint32_t address = 0;  // run address
    std::uint32_t size = 0;
    std::uint32_t flags = 0;
    std::uint16_t page = 0;
    std::string data; // size bytes, or empty for a section without raw data (.bss)
    std::vector<CoffReloc> relocs;
    std::vector<CoffLine> lines;

    bool hasData() const { return !data.empty(); }
};

struct CoffSymbol {
    std::string name;
    std::uint32_t value = 0;
    std::int16_t section = kSymUndefined; // 1-based section number, or kSymUndefined/kSymAbsolute
    std::uint16_t type = 0;
    std::uint8_t storageClass = kClassExternal;
    std::vector<std::string> aux; // raw 18-byte auxiliary entries
};

struct CoffFile {
    std::uint16_t flags = 0;
    std::uint32_t timestamp = 0;
    std::optional<std::uint32_t> entry; // from the optional header
    std::vector<CoffSection> sections;
    std::vector<CoffSymbol> symbols;
};

// The bytes of a version 2 file with the TMS370 target id.
std::string WriteCoff(const CoffFile& file);

struct CoffReadResult {
    std::optional<CoffFile> file;
    std::string error; // why it was refused, when file is empty
};

// Reads version 0, 1 or 2 files for the TMS370; refuses anything else.
CoffReadResult ReadCoff(std::string_view bytes);

// True when the bytes start like a COFF file of any TI target (for "is this ours?" checks).
bool LooksLikeCoff(std::string_view bytes);

} // namespace halyard::tms370
