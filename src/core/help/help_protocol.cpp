// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_protocol.h"

namespace halyard::helpwire {

Writer& Writer::u8(std::uint8_t v) {
    out_ += static_cast<char>(v);
    return *this;
}

Writer& Writer::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out_ += static_cast<char>(v >> (8 * i) & 0xFF);
    return *this;
}

Writer& Writer::text(const std::string& s) {
    u32(static_cast<std::uint32_t>(s.size()));
    out_ += s;
    return *this;
}

Writer& Writer::raw(const std::string& s) {
    out_ += s;
    return *this;
}

Writer& Writer::entries(const std::vector<SitemapEntry>& list) {
    u32(static_cast<std::uint32_t>(list.size()));
    for (const SitemapEntry& e : list)
        u32(static_cast<std::uint32_t>(e.level)).text(e.name).text(e.local);
    return *this;
}

std::string Writer::frame() const {
    Writer w;
    w.u32(static_cast<std::uint32_t>(out_.size()));
    return w.out_ + out_;
}

std::uint32_t FrameLength(const char header[4]) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(header[i]);
    return v;
}

bool Parser::take(std::size_t n) {
    if (!ok_ || n > in_.size() - at_) ok_ = false;
    return ok_;
}

std::uint8_t Parser::u8() {
    return take(1) ? static_cast<std::uint8_t>(in_[at_++]) : 0;
}

std::uint32_t Parser::u32() {
    if (!take(4)) return 0;
    const std::uint32_t v = FrameLength(in_.data() + at_);
    at_ += 4;
    return v;
}

std::string Parser::text() {
    const std::uint32_t n = u32();
    if (!take(n)) return {};
    std::string s = in_.substr(at_, n);
    at_ += n;
    return s;
}

std::string Parser::rest() {
    std::string s = ok_ ? in_.substr(at_) : std::string();
    at_ = in_.size();
    return s;
}

std::vector<SitemapEntry> Parser::entries() {
    std::vector<SitemapEntry> list;
    const std::uint32_t count = u32();
    // Each entry takes at least twelve bytes: a count past that is a lie, not a reason to reserve.
    if (!ok_ || count > (in_.size() - at_) / 12) {
        ok_ = false;
        return list;
    }
    list.reserve(count);
    for (std::uint32_t i = 0; i < count && ok_; ++i) {
        SitemapEntry e;
        e.level = static_cast<int>(std::min<std::uint32_t>(u32(), SitemapMaxLevel));
        e.name = text();
        e.local = text();
        list.push_back(std::move(e));
    }
    return list;
}

} // namespace halyard::helpwire
