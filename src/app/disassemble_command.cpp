// SPDX-License-Identifier: GPL-3.0-or-later
#include "disassemble_command.h"

#include "base/error.h"
#include "tms370/coff.h"
#include "tms370/disassembler.h"

namespace halyard {

int RunDisassemble(DosDevices& dd, const std::string& file, std::ostream& out, std::ostream& err) {
    const std::string path = dd.absolute(dd.fromCommandLine(file));
    std::string bytes;
    try {
        bytes = dd.readBytes(path);
    } catch (const Error& e) {
        err << e.what() << '\n';
        return 2;
    }
    const auto coff = tms370::ReadCoff(bytes);
    if (!coff.file) {
        err << file << ": " << coff.error << '\n';
        return 2;
    }
    out << "; " << file << (coff.file->entry ? ", entry point " + tms370::AsmHex(*coff.file->entry, 4) : "")
        << '\n';
    for (const auto& line : tms370::DisassembleListing(*coff.file))
        out << line << '\n';
    return 0;
}

} // namespace halyard
