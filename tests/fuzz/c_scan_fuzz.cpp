// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in compiler's scanner: any text gives an object that its reader takes back.
#include <cstdlib>

#include "c_scan.h"
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard::sim370;
    const ScanResult r = ScanC(halyard::fuzz::bytesOf(data, size), "f.c");
    if (!ReadObject(WriteObject(r.module))) std::abort();
    return 0;
}
