// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Machine code back to the assembler's source: one instruction at a time (for a trace), or a whole
// COFF executable as a listing that asm370 reads back to the same bytes. Address and bytes go into
// each line's comment, symbols become labels, jumps name their target's label or "$+n".
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tms370/coff.h"

namespace halyard::tms370 {

struct Disassembled {
    int length = 1;       // bytes taken (1 for a byte that is no instruction)
    std::string mnemonic; // ".byte" for a byte that is no instruction or an instruction cut short
    std::string operands;
};

// A label for a jump target, when there is one that the listing defines in the same section.
using LabelAt = std::function<std::optional<std::string>(std::uint32_t address)>;

// Decodes the instruction at the start of bytes, which sits at address.
Disassembled DisassembleOne(std::span<const std::uint8_t> bytes, std::uint32_t address,
                            const LabelAt& labels = nullptr);

// The listing of every section of f: code sections instruction by instruction, data sections as
// .byte rows, sections without contents as a comment.
std::vector<std::string> DisassembleListing(const CoffFile& f);

// Numbers as the listing writes them: 0 to 9 plain, others in hexadecimal with a leading digit.
std::string AsmHex(std::uint32_t value, int digits = 2);

} // namespace halyard::tms370
