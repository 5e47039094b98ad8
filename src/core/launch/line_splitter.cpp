// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/line_splitter.h"

#include <cstring>

namespace halyard {

void LineSplitter::feed(const char* data, std::size_t size, const Sink& sink) {
    const char* end = data + size;
    for (const char* at = data; at < end;) {
        const char* nl = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        if (!nl) {
            partial_.append(at, end);
            return;
        }
        partial_.append(at, nl);
        if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
        sink(partial_);
        partial_.clear();
        // A long line gone, its room goes too.
        if (partial_.capacity() > 65536) std::string().swap(partial_);
        at = nl + 1;
    }
}

void LineSplitter::finish(const Sink& sink) {
    if (!partial_.empty()) sink(partial_);
    partial_.clear();
}

} // namespace halyard
