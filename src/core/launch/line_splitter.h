// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program's output, as it arrives in pieces, cut into lines: LF or CR LF ends one. Only the bytes
// new in each piece are searched for a line end, so a line that never ends (a tool printing one
// long line) costs as much as its length, not as much again for every piece that adds to it.
#include <cstddef>
#include <functional>
#include <string>

namespace halyard {

class LineSplitter {
public:
    using Sink = std::function<void(const std::string&)>;
    // Passes each line that the piece completes to sink, without its line end.
    void feed(const char* data, std::size_t size, const Sink& sink);
    // The unfinished last line, if any, once the output has ended.
    void finish(const Sink& sink);

private:
    std::string partial_; // holds no line end
};

} // namespace halyard
