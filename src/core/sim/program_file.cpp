// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/program_file.h"

#include "base/error.h"
#include <array>

#include "tms370/coff.h"
#include "tms370/disassembler.h"

namespace halyard::sim {

ProgramImage ReadProgramFile(std::string_view bytes, const std::string& name) {
    const tms370::CoffReadResult read = tms370::ReadCoff(bytes);
    if (!read.file) throw Error(name + ": not a TMS370 executable: " + read.error);
    const tms370::CoffFile& coff = *read.file;
    ProgramImage image;
    for (const auto& sec : coff.sections) {
        // Dummy, no-load and copy sections are not placed in the target's memory.
        if (!sec.hasData() || (sec.flags & (tms370::kSectDummy | tms370::kSectNoLoad | tms370::kSectCopy)))
            continue;
        if (sec.physical > 0xFFFF || sec.physical + sec.data.size() > 0x10000)
            throw Error(name + ": section " + sec.name + " lies outside the 64K address space");
        ProgramImage::Block b;
        b.name = sec.name;
        b.address = static_cast<uint16_t>(sec.physical);
        b.bytes.assign(sec.data.begin(), sec.data.end());
        b.code = (sec.flags & tms370::kSectText) != 0;
        image.blocks.push_back(std::move(b));
    }
    if (image.blocks.empty()) throw Error(name + ": holds no section to load");
    if (coff.entry) {
        if (*coff.entry > 0xFFFF) throw Error(name + ": the entry point lies outside the 64K address space");
        image.hasEntry = true;
        image.entry = static_cast<uint16_t>(*coff.entry);
    }
    return image;
}

std::string Disassemble(const Simulator& s, uint16_t pc) {
    std::array<uint8_t, 5> bytes{}; // the longest instruction
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = s.read(static_cast<uint16_t>(pc + i));
    const tms370::Disassembled d = tms370::DisassembleOne(bytes, pc);
    return d.operands.empty() ? d.mnemonic : d.mnemonic + ' ' + d.operands;
}

} // namespace halyard::sim
