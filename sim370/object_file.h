// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stand-in's object file: a small text format that keeps what the linker needs (sections and
// their sizes, their bytes and relocations, defined and referenced symbols) and stays readable
// when a user opens it.
//
//   SIM370 OBJECT 1
//   source main.asm
//   section .text 124 data  (name, size; "data" when the module gives the section's bytes)
//   bytes .text 0 2237F6    (section, offset, up to 32 bytes in hexadecimal)
//   reloc .text 1 abs16 sym _table 0 12   (section, offset, kind, target, addend, source line)
//   reloc .text 5 rel8 sect .data 4 13    (a target in a section of this module)
//   reloc .text 9 rel8 abs - 61440 14     (an absolute address, reached from a relocatable place)
//   def _main .text 0
//   local loop .text 2      (a label only this module sees; kept for the symbol table)
//   line .text 0 12         (section, offset, source line of the instruction there)
//   ref _strlen 12          (name, line of the first use in the source)
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halyard::sim370 {

struct ObjSection {
    ObjSection() = default;
    ObjSection(std::string n, std::int64_t s, bool init = false, std::string b = {})
        : name(std::move(n)), size(s), initialized(init), bytes(std::move(b)) {}

    std::string name;
    std::int64_t size = 0;
    bool initialized = false; // the module gives its bytes (zero where it gave none)
    std::string bytes;        // from offset 0; shorter than size when the rest is zero
};

// How a relocated field is written: big-endian 16-bit address, low byte, or an offset from the
// end of the field (jumps: the field is the instruction's last).
enum class RelocKind { Abs16, Abs8, Rel8, Rel16 };

struct ObjReloc {
    std::string section;
    std::int64_t offset = 0;
    RelocKind kind = RelocKind::Abs16;
    bool toSection = false; // target names a section of this module, not a symbol
    std::string target;     // empty: the addend is an absolute address
    std::int64_t addend = 0;
    int line = 0;
};

struct ObjLine {
    std::string section;
    std::int64_t offset = 0;
    int line = 0;
};

struct ObjSymbol {
    std::string name;
    std::string section;
    std::int64_t offset = 0;
};

struct ObjRef {
    std::string name;
    int line = 0;
};

struct ObjectModule {
    std::string source; // the file the module was made from, for messages
    std::vector<ObjSection> sections;
    std::vector<ObjSymbol> defs;
    std::vector<ObjRef> refs;
    std::vector<ObjSymbol> locals{};
    std::vector<ObjReloc> relocs{};
    std::vector<ObjLine> lines{};

    std::int64_t sizeOf(const std::string& section) const;
    const ObjSection* section(const std::string& name) const;
    bool defines(const std::string& symbol) const;
};

std::string WriteObject(const ObjectModule& m);
const char* RelocKindName(RelocKind k);
std::optional<ObjectModule> ReadObject(const std::string& bytes);
bool IsObject(const std::string& bytes);

// The five sections every compiled C module records, in this order.
inline const std::vector<std::string> kCSections = {".text", ".data", ".bss", ".cinit", ".const"};

} // namespace halyard::sim370
