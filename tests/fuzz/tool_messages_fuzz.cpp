// SPDX-License-Identifier: GPL-3.0-or-later
// The tool-message parser on every line of any text: a message has a kind, a file and a line
// number that is never negative, and a line without a message keeps its text whole.
#include <cstdlib>

#include "base/text_file.h"
#include "fuzz_drive.h"
#include "tool_output/tool_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    for (const auto& line : SplitTextLines(fuzz::bytesOf(data, size))) {
        const ToolMessage m = ParseToolLine(line);
        if (m.line < 0) std::abort();
        if (m.diagnostic() && m.file.empty()) std::abort();
        if (m.kind == ToolMessage::Plain && m.text != line) std::abort();
    }
    return 0;
}
