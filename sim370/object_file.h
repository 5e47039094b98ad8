// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stand-in's object file: a small text format that keeps what the linker needs (sections and
// their sizes, defined and referenced symbols) and stays readable when a user opens it.
//
//   SIM370 OBJECT 1
//   source main.c
//   section .text 124
//   def _main .text 0
//   ref _strlen 12          (name, line of the first use in the source)
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halyard::sim370 {

struct ObjSection {
    std::string name;
    std::int64_t size = 0;
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

    std::int64_t sizeOf(const std::string& section) const;
    bool defines(const std::string& symbol) const;
};

std::string WriteObject(const ObjectModule& m);
std::optional<ObjectModule> ReadObject(const std::string& bytes);
bool IsObject(const std::string& bytes);

// The five sections every compiled C module records, in this order.
inline const std::vector<std::string> kCSections = {".text", ".data", ".bss", ".cinit", ".const"};

} // namespace halyard::sim370
