// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader: any bytes give a document whose runs cover the text without gaps and whose
// paragraphs start one per line.
#include <cstdlib>

#include "editor/rtf_reader.h"
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    const RtfDocument d = ReadRtf(fuzz::bytesOf(data, size));
    size_t next = 0;
    for (const auto& r : d.runs) {
        if (r.start != next || r.length == 0) std::abort();
        next += r.length;
    }
    if (next != d.text.size()) std::abort();
    size_t line = 0;
    for (size_t i = 0; i <= d.text.size(); ++i) {
        if (i != 0 && d.text[i - 1] != u'\n') continue;
        if (line >= d.paragraphs.size() || d.paragraphs[line].start != i) std::abort();
        ++line;
    }
    if (line != d.paragraphs.size()) std::abort();
    return 0;
}
