// SPDX-License-Identifier: GPL-3.0-or-later
// The syntax colouring of every language on any text, line by line as the editor colours it: the
// spans of a line lie inside it, in order and never overlapping.
#include <cstdlib>

#include "base/text_file.h"
#include "editor/code_text.h"
#include "editor/highlighter.h"
#include "fuzz_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    const auto lines = SplitTextLines(fuzz::bytesOf(data, size));
    for (Syntax syntax : {Syntax::C, Syntax::Asm, Syntax::LinkCmd, Syntax::Batch}) {
        LineState state = 0;
        for (const auto& raw : lines) {
            const std::u16string line = DecodeAnsi(raw);
            std::vector<TokenSpan> spans;
            state = HighlightLine(syntax, line, state, spans);
            size_t end = 0;
            for (const auto& s : spans) {
                if (s.start < end || s.start + s.length > line.size()) std::abort();
                end = s.start + s.length;
            }
        }
    }
    return 0;
}
