// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's archive reader, for source archives and object libraries alike.
#include "ar_archive.h"
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)halyard::sim370::ReadAr(halyard::fuzz::bytesOf(data, size));
    return 0;
}
