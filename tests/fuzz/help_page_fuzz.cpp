// SPDX-License-Identifier: GPL-3.0-or-later
// The help window's limits on a page and a picture: any bytes are judged without a fault, and a
// page that passes holds within every limit.
#include <cstdlib>

#include "fuzz_drive.h"
#include "help/page_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    const std::string bytes = fuzz::bytesOf(data, size);
    // Small limits, so that short inputs reach them.
    HelpPageLimits small;
    small.pageBytes = 4096;
    small.tableDepth = 2;
    small.containerDepth = 4;
    small.pictures = 3;
    small.wordCost = 10000;
    const auto why = CheckHelpPage(bytes, small);
    if (!why && bytes.size() > small.pageBytes) std::abort();
    if (why && why->find("The page ") != 0) std::abort();
    (void)CheckHelpPage(bytes);
    if (const auto picture = PictureSize(bytes)) {
        if (bytes.size() < 10) std::abort(); // no header is that short
    }
    return 0;
}
