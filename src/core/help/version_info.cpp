// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/version_info.h"

#include <cstdio>

#include "base/dos_devices.h"
#include "base/paths.h"
#include "base/text_file.h"

namespace halyard {

namespace {

// Little-endian reads that fail soft on a short or damaged file.
struct Bytes {
    std::string_view data;
    bool has(std::size_t at, std::size_t n) const { return at <= data.size() && n <= data.size() - at; }
    std::uint32_t u16(std::size_t at) const {
        if (!has(at, 2)) return 0;
        return std::uint8_t(data[at]) | std::uint32_t(std::uint8_t(data[at + 1])) << 8;
    }
    std::uint32_t u32(std::size_t at) const { return u16(at) | u16(at + 2) << 16; }
};

constexpr std::uint32_t RtVersion = 16;

// One node of the version resource: wLength, wValueLength, wType, a NUL-ended UTF-16 key, then its
// value and its children, each aligned to 32 bits.
struct Node {
    std::size_t start = 0, end = 0; // end: one past the node
    std::string key;
    std::size_t value = 0, valueBytes = 0, children = 0;
};

std::size_t align4(std::size_t at) {
    return (at + 3) & ~std::size_t(3);
}

std::optional<Node> readNode(const Bytes& b, std::size_t at, std::size_t limit) {
    if (!b.has(at, 6)) return std::nullopt;
    Node n;
    n.start = at;
    const std::size_t length = b.u16(at);
    if (length < 6 || at + length > limit) return std::nullopt;
    n.end = at + length;
    const std::size_t valueLength = b.u16(at + 2);
    const bool text = b.u16(at + 4) == 1;
    std::size_t p = at + 6;
    for (;; p += 2) {
        if (p + 2 > n.end) return std::nullopt;
        const std::uint32_t c = b.u16(p);
        if (c == 0) break;
        n.key += c < 0x80 ? char(c) : '?';
    }
    n.value = align4(p + 2);
    // A text value counts its length in UTF-16 characters, a binary one in bytes.
    n.valueBytes = std::min(text ? valueLength * 2 : valueLength, n.end > n.value ? n.end - n.value : 0);
    n.children = align4(n.value + n.valueBytes);
    return n;
}

std::vector<Node> children(const Bytes& b, const Node& parent) {
    std::vector<Node> out;
    for (std::size_t at = parent.children; at + 6 <= parent.end;) {
        auto n = readNode(b, at, parent.end);
        if (!n) break;
        out.push_back(*n);
        at = align4(n->end);
    }
    return out;
}

std::optional<Node> child(const Bytes& b, const Node& parent, const std::string& key) {
    for (const Node& n : children(b, parent))
        if (SameText(n.key, key)) return n;
    return std::nullopt;
}

} // namespace

std::optional<std::string> FindVersionResource(std::string_view pe) {
    const Bytes b{pe};
    if (!b.has(0, 64) || pe.substr(0, 2) != "MZ") return std::nullopt;
    const std::size_t nt = b.u32(0x3C);
    if (!b.has(nt, 24) || pe.substr(nt, 4) != std::string_view("PE\0\0", 4)) return std::nullopt;
    const std::size_t sections = b.u16(nt + 6);
    const std::size_t optionalSize = b.u16(nt + 20);
    const std::size_t opt = nt + 24;
    const std::uint32_t magic = b.u16(opt);
    const std::size_t dirs = magic == 0x20B ? opt + 112 : magic == 0x10B ? opt + 96 : 0;
    if (dirs == 0 || !b.has(dirs + 2 * 8, 8) || 2 * 8 + 8 > optionalSize - (dirs - opt)) return std::nullopt;
    const std::uint32_t resourceRva = b.u32(dirs + 2 * 8);
    if (resourceRva == 0) return std::nullopt;

    // Relative virtual addresses become file offsets through the section table.
    const std::size_t table = opt + optionalSize;
    auto fileOffset = [&](std::uint32_t rva) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < sections; ++i) {
            const std::size_t s = table + i * 40;
            if (!b.has(s, 40)) return std::nullopt;
            const std::uint32_t va = b.u32(s + 12), rawSize = b.u32(s + 16), raw = b.u32(s + 20);
            const std::uint32_t size = std::max(b.u32(s + 8), rawSize);
            if (rva >= va && rva - va < size && rva - va < rawSize) return std::size_t(raw) + (rva - va);
        }
        return std::nullopt;
    };
    const auto root = fileOffset(resourceRva);
    if (!root) return std::nullopt;

    // Three levels (type, name, language); the version resource is the first entry of each below
    // type 16. An entry's offset is relative to the resource section and has its top bit set when
    // it names another directory.
    auto entry = [&](std::size_t dir, std::optional<std::uint32_t> id) -> std::optional<std::uint32_t> {
        if (!b.has(dir, 16)) return std::nullopt;
        const std::size_t count = b.u16(dir + 12) + b.u16(dir + 14);
        for (std::size_t i = 0; i < count && i < 4096; ++i) {
            const std::size_t e = dir + 16 + i * 8;
            if (!b.has(e, 8)) return std::nullopt;
            if (!id || b.u32(e) == *id) return b.u32(e + 4);
        }
        return std::nullopt;
    };
    std::size_t dir = *root;
    std::optional<std::uint32_t> id = RtVersion;
    for (int level = 0; level < 3; ++level) {
        const auto next = entry(dir, id);
        if (!next) return std::nullopt;
        const bool subdirectory = *next & 0x80000000u;
        if (subdirectory != (level < 2)) return std::nullopt;
        dir = *root + (*next & 0x7FFFFFFFu);
        id.reset();
    }
    if (!b.has(dir, 8)) return std::nullopt;
    const auto data = fileOffset(b.u32(dir));
    const std::size_t size = b.u32(dir + 4);
    if (!data || !b.has(*data, size)) return std::nullopt;
    return std::string(pe.substr(*data, size));
}

bool VersionResource::hasFixedInfo() const {
    const Bytes b{block_};
    const auto root = readNode(b, 0, block_.size());
    return root && root->valueBytes >= 52 && b.u32(root->value) == 0xFEEF04BDu;
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> VersionResource::translation() const {
    const Bytes b{block_};
    const auto root = readNode(b, 0, block_.size());
    if (!root) return std::nullopt;
    const auto var = child(b, *root, "VarFileInfo");
    const auto tr = var ? child(b, *var, "Translation") : std::nullopt;
    if (!tr || tr->valueBytes < 4) return std::nullopt;
    return std::pair<std::uint16_t, std::uint16_t>(b.u16(tr->value), b.u16(tr->value + 2));
}

std::optional<std::string> VersionResource::string(const std::string& table, const std::string& key) const {
    const Bytes b{block_};
    const auto root = readNode(b, 0, block_.size());
    const auto info = root ? child(b, *root, "StringFileInfo") : std::nullopt;
    const auto strings = info ? child(b, *info, table) : std::nullopt;
    const auto value = strings ? child(b, *strings, key) : std::nullopt;
    if (!value) return std::nullopt;
    std::string out;
    for (std::size_t p = value->value; p + 2 <= value->value + value->valueBytes; p += 2) {
        std::uint32_t c = b.u16(p);
        if (c == 0) break;
        // A surrogate pair makes one character beyond the basic plane.
        if (c >= 0xD800 && c < 0xDC00 && p + 4 <= value->value + value->valueBytes) {
            const std::uint32_t low = b.u16(p + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                p += 2;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

void TGetVersionInfoFromFile::setFileName(const std::string& path) {
    strings_.clear();
    categories_.clear();
    if (!dd_.fileExists(path)) {
        fileName_.clear();
        return;
    }
    fileName_ = path;
    ReadVersionInfo();
}

void TGetVersionInfoFromFile::ReadVersionInfo() {
    std::string bytes;
    try {
        bytes = dd_.readBytes(fileName_);
    } catch (const std::exception&) {
        return;
    }
    const auto block = FindVersionResource(bytes);
    if (!block) return;
    const VersionResource info(*block);
    if (!info.hasFixedInfo()) return;
    const auto tr = info.translation();
    if (!tr) return;
    char table[9];
    std::snprintf(table, sizeof table, "%04X%04X", unsigned(tr->first), unsigned(tr->second));
    for (const char* key : Keys) {
        // Reading stops at the first key that is missing: the values after it are never looked at.
        auto value = info.string(table, key);
        if (!value) break;
        if (value->empty()) continue;
        if (value->size() > MaxText) value->resize(MaxText);
        categories_.push_back(key);
        strings_.push_back(*value);
    }
}

} // namespace halyard
