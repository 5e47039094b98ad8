// SPDX-License-Identifier: GPL-3.0-or-later
#include "object_file.h"

#include <algorithm>
#include <sstream>

#include "base/text_file.h"

namespace halyard::sim370 {

namespace {
constexpr const char* kMagic = "SIM370 OBJECT 1";
// The compiler never writes more (its sizes saturate there); larger numbers would overflow the
// linker's sums.
constexpr std::int64_t kSizeLimit = 0xFFFFFFFFLL;
} // namespace

std::int64_t ObjectModule::sizeOf(const std::string& section) const {
    for (const auto& s : sections)
        if (s.name == section) return s.size;
    return 0;
}

const ObjSection* ObjectModule::section(const std::string& name) const {
    for (const auto& s : sections)
        if (s.name == name) return &s;
    return nullptr;
}

const char* RelocKindName(RelocKind k) {
    switch (k) {
    case RelocKind::Abs16:
        return "abs16";
    case RelocKind::Abs8:
        return "abs8";
    case RelocKind::Rel8:
        return "rel8";
    case RelocKind::Rel16:
        return "rel16";
    }
    return "abs16";
}

namespace {
std::optional<RelocKind> relocKind(const std::string& s) {
    for (auto k : {RelocKind::Abs16, RelocKind::Abs8, RelocKind::Rel8, RelocKind::Rel16})
        if (s == RelocKindName(k)) return k;
    return std::nullopt;
}
constexpr size_t kBytesPerLine = 32;
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

bool ObjectModule::defines(const std::string& symbol) const {
    for (const auto& d : defs)
        if (d.name == symbol) return true;
    return false;
}

bool IsObject(const std::string& bytes) {
    return bytes.rfind(kMagic, 0) == 0;
}

std::string WriteObject(const ObjectModule& m) {
    std::vector<std::string> lines{kMagic, "source " + m.source};
    static const char* digits = "0123456789ABCDEF";
    for (const auto& s : m.sections)
        lines.push_back("section " + s.name + " " + std::to_string(s.size) + (s.initialized ? " data" : ""));
    for (const auto& s : m.sections)
        for (size_t at = 0; at < s.bytes.size(); at += kBytesPerLine) {
            std::string hex;
            for (size_t i = at; i < std::min(s.bytes.size(), at + kBytesPerLine); ++i) {
                const auto b = static_cast<unsigned char>(s.bytes[i]);
                hex += digits[b >> 4];
                hex += digits[b & 0xF];
            }
            lines.push_back("bytes " + s.name + " " + std::to_string(at) + " " + hex);
        }
    for (const auto& r : m.relocs)
        lines.push_back("reloc " + r.section + " " + std::to_string(r.offset) + " " + RelocKindName(r.kind) +
                        (r.target.empty() ? " abs -" : (r.toSection ? " sect " : " sym ") + r.target) + " " +
                        std::to_string(r.addend) + " " + std::to_string(r.line));
    for (const auto& d : m.defs)
        lines.push_back("def " + d.name + " " + d.section + " " + std::to_string(d.offset));
    for (const auto& d : m.locals)
        lines.push_back("local " + d.name + " " + d.section + " " + std::to_string(d.offset));
    for (const auto& l : m.lines)
        lines.push_back("line " + l.section + " " + std::to_string(l.offset) + " " + std::to_string(l.line));
    for (const auto& r : m.refs)
        lines.push_back("ref " + r.name + " " + std::to_string(r.line));
    return JoinTextLines(lines);
}

std::optional<ObjectModule> ReadObject(const std::string& bytes) {
    if (!IsObject(bytes)) return std::nullopt;
    ObjectModule m;
    for (const auto& line : SplitTextLines(bytes)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "source") {
            std::getline(in >> std::ws, m.source);
        } else if (kind == "section") {
            ObjSection s;
            std::string data;
            if (!(in >> s.name >> s.size) || s.size < 0 || s.size > kSizeLimit) return std::nullopt;
            // One line per section: every later line names its section, and a second one of the
            // same name would leave them unsure which is meant.
            if (m.section(s.name)) return std::nullopt;
            s.initialized = (in >> data) && data == "data";
            m.sections.push_back(s);
        } else if (kind == "bytes") {
            std::string name, hex;
            std::int64_t at = 0;
            if (!(in >> name >> at >> hex) || hex.size() % 2 || hex.size() > 2 * kBytesPerLine)
                return std::nullopt;
            ObjSection* s = nullptr;
            for (auto& c : m.sections)
                if (c.name == name) s = &c;
            // Bytes come in order and stay inside the section's size (at most 64 K of them).
            if (!s || !s->initialized || at != static_cast<std::int64_t>(s->bytes.size()) ||
                at + static_cast<std::int64_t>(hex.size() / 2) > std::min<std::int64_t>(s->size, 0x10000))
                return std::nullopt;
            for (size_t i = 0; i < hex.size(); i += 2) {
                const int hi = hexValue(hex[i]), lo = hexValue(hex[i + 1]);
                if (hi < 0 || lo < 0) return std::nullopt;
                s->bytes += static_cast<char>(hi * 16 + lo);
            }
        } else if (kind == "reloc") {
            ObjReloc r;
            std::string k, how;
            if (!(in >> r.section >> r.offset >> k >> how >> r.target >> r.addend >> r.line))
                return std::nullopt;
            const auto rk = relocKind(k);
            const ObjSection* s = m.section(r.section);
            const std::int64_t width = rk == RelocKind::Abs16 || rk == RelocKind::Rel16 ? 2 : 1;
            if (!rk || (how != "sym" && how != "sect" && how != "abs") || !s || r.offset < 0 ||
                r.offset + width > static_cast<std::int64_t>(s->bytes.size()))
                return std::nullopt;
            r.kind = *rk;
            r.toSection = how == "sect";
            if (how == "abs") r.target.clear();
            m.relocs.push_back(r);
        } else if (kind == "def" || kind == "local") {
            ObjSymbol d;
            if (!(in >> d.name >> d.section >> d.offset) || d.offset < 0 || d.offset > kSizeLimit)
                return std::nullopt;
            (kind == "def" ? m.defs : m.locals).push_back(d);
        } else if (kind == "line") {
            ObjLine l;
            if (!(in >> l.section >> l.offset >> l.line)) return std::nullopt;
            m.lines.push_back(l);
        } else if (kind == "ref") {
            ObjRef r;
            if (!(in >> r.name >> r.line)) return std::nullopt;
            m.refs.push_back(r);
        }
    }
    return m;
}

} // namespace halyard::sim370
