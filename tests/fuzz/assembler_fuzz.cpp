// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in assembler on the temporary drive: an object it writes is one its reader takes.
#include <cstdlib>

#include "assembler.h"
#include "base/text_file.h"
#include "fuzz_drive.h"
#include "object_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    fuzz::FuzzDrive& d = fuzz::drive();
    d.reset();
    d.dd.writeBytes("C:\\a.asm", fuzz::bytesOf(data, size));
    sim370::Diagnostics diags;
    std::filesystem::path obj;
    if (sim370::Assemble(d.cHost() / "a.asm", "a.asm", d.cHost(), diags, &obj)) {
        std::string bytes;
        if (!ReadHostFile(obj, bytes) || !sim370::ReadObject(bytes)) std::abort();
    }
    d.checkContained();
    return 0;
}
