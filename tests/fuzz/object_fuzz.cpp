// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's object reader: what it takes, its writer writes back the same way.
#include <cstdlib>

#include "fuzz_drive.h"
#include "object_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard::sim370;
    if (const auto m = ReadObject(halyard::fuzz::bytesOf(data, size))) {
        const std::string once = WriteObject(*m);
        const auto again = ReadObject(once);
        if (!again || WriteObject(*again) != once) std::abort();
    }
    return 0;
}
