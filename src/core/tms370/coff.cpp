// SPDX-License-Identifier: GPL-3.0-or-later
#include "tms370/coff.h"

#include <algorithm>

namespace halyard::tms370 {

namespace {

constexpr std::size_t kFileHeader0 = 20;  // versions 0: no target id field
constexpr std::size_t kFileHeader12 = 22; // versions 1 and 2
constexpr std::size_t kOptionalHeader = 28;
constexpr std::size_t kSectionHeader01 = 40;
constexpr std::size_t kSectionHeader2 = 48;
constexpr std::size_t kReloc01 = 10;
constexpr std::size_t kReloc2 = 12;
constexpr std::size_t kLineEntry = 6;
constexpr std::size_t kSymbolEntry = 18;
constexpr std::size_t kNameField = 8;
// A real program has a handful of sections; a count beyond this is a damaged header.
constexpr std::uint32_t kMaxSections = 4096;
constexpr std::uint32_t kAddressSpace = 0x10000;

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A name field: up to eight bytes inline, or four zero bytes and an offset into the strings.
void putName(std::string& out, const std::string& name, std::string& strings) {
    if (name.size() <= kNameField) {
        std::string field = name;
        field.resize(kNameField, '\0');
        out += field;
        return;
    }
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(4 + strings.size()));
    strings += name;
    strings += '\0';
}

// Every read goes through this: a position past the end never reads, it only fails.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : b_(bytes) {}
    bool fits(std::uint64_t at, std::uint64_t size) const {
        return at <= b_.size() && size <= b_.size() - at;
    }
    std::uint16_t u16(std::size_t at) const {
        return static_cast<std::uint16_t>(byte(at) | (byte(at + 1) << 8));
    }
    std::uint32_t u32(std::size_t at) const {
        return static_cast<std::uint32_t>(u16(at)) | (static_cast<std::uint32_t>(u16(at + 2)) << 16);
    }
    std::uint8_t u8(std::size_t at) const { return byte(at); }
    std::string_view view(std::size_t at, std::size_t size) const { return b_.substr(at, size); }
    std::size_t size() const { return b_.size(); }

private:
    std::uint32_t byte(std::size_t at) const { return static_cast<unsigned char>(b_[at]); }
    std::string_view b_;
};

struct Layout {
    std::size_t fileHeader, sectionHeader, reloc;
    bool wide; // version 2: 32-bit counts in section headers and symbol indexes in relocations
};

std::string hex4(std::uint32_t v) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 12; shift >= 0; shift -= 4)
        s += digits[(v >> shift) & 0xF];
    return s;
}

} // namespace

bool LooksLikeCoff(std::string_view bytes) {
    if (bytes.size() < kFileHeader0) return false;
    const Cursor c(bytes);
    const std::uint16_t magic = c.u16(0);
    return magic == kCoff1Magic || magic == kCoff2Magic || (magic >= 0x0090 && magic <= 0x00A0);
}

std::string WriteCoff(const CoffFile& f) {
    const bool optional = f.entry.has_value();
    const std::size_t headers =
        kFileHeader12 + (optional ? kOptionalHeader : 0) + f.sections.size() * kSectionHeader2;
    // Data, relocations and line numbers of each section follow the headers in section order.
    std::string body, strings;
    std::vector<std::uint32_t> dataAt, relocAt, linesAt;
    for (const auto& s : f.sections) {
        dataAt.push_back(s.hasData() ? static_cast<std::uint32_t>(headers + body.size()) : 0);
        if (s.hasData()) {
            std::string data = s.data; // exactly the size the header gives
            data.resize(s.size, '\0');
            body += data;
        }
    }
    for (const auto& s : f.sections) {
        relocAt.push_back(s.relocs.empty() ? 0 : static_cast<std::uint32_t>(headers + body.size()));
        for (const auto& r : s.relocs) {
            put32(body, r.address);
            put32(body, r.symbol);
            put16(body, 0);
            put16(body, r.type);
        }
    }
    for (const auto& s : f.sections) {
        linesAt.push_back(s.lines.empty() ? 0 : static_cast<std::uint32_t>(headers + body.size()));
        for (const auto& l : s.lines) {
            put32(body, l.address);
            put16(body, l.line);
        }
    }
    std::string sectionHeaders;
    for (std::size_t i = 0; i < f.sections.size(); ++i) {
        const auto& s = f.sections[i];
        putName(sectionHeaders, s.name, strings);
        put32(sectionHeaders, s.physical);
        put32(sectionHeaders, s.address);
        put32(sectionHeaders, s.size);
        put32(sectionHeaders, dataAt[i]);
        put32(sectionHeaders, relocAt[i]);
        put32(sectionHeaders, linesAt[i]);
        put32(sectionHeaders, static_cast<std::uint32_t>(s.relocs.size()));
        put32(sectionHeaders, static_cast<std::uint32_t>(s.lines.size()));
        put32(sectionHeaders, s.flags);
        put16(sectionHeaders, 0);
        put16(sectionHeaders, s.page);
    }
    const auto symbolsAt = static_cast<std::uint32_t>(headers + body.size());
    std::uint32_t entries = 0;
    for (const auto& sym : f.symbols) {
        putName(body, sym.name, strings);
        put32(body, sym.value);
        put16(body, static_cast<std::uint16_t>(sym.section));
        put16(body, sym.type);
        body += static_cast<char>(sym.storageClass);
        body += static_cast<char>(sym.aux.size());
        for (auto aux : sym.aux) {
            aux.resize(kSymbolEntry, '\0');
            body += aux;
        }
        entries += 1 + static_cast<std::uint32_t>(sym.aux.size());
    }
    put32(body, static_cast<std::uint32_t>(4 + strings.size()));
    body += strings;

    std::string out;
    put16(out, kCoff2Magic);
    put16(out, static_cast<std::uint32_t>(f.sections.size()));
    put32(out, f.timestamp);
    put32(out, symbolsAt); // the string table is found from here even without symbols
    put32(out, entries);
    put16(out, optional ? kOptionalHeader : 0);
    put16(out, f.flags);
    put16(out, kCoffTargetId);
    if (optional) {
        std::uint32_t text = 0, data = 0, bss = 0, textStart = 0, dataStart = 0;
        for (const auto& s : f.sections) {
            if (s.flags & kSectText) {
                if (!text) textStart = s.address;
                text += s.size;
            } else if (s.flags & kSectData) {
                if (!data) dataStart = s.address;
                data += s.size;
            } else if (s.flags & kSectBss) {
                bss += s.size;
            }
        }
        put16(out, kOptionalMagic);
        put16(out, 0);
        put32(out, text);
        put32(out, data);
        put32(out, bss);
        put32(out, *f.entry);
        put32(out, textStart);
        put32(out, dataStart);
    }
    return out + sectionHeaders + body;
}

CoffReadResult ReadCoff(std::string_view bytes) {
    auto fail = [](std::string why) { return CoffReadResult{std::nullopt, std::move(why)}; };
    if (bytes.size() > kCoffSizeLimit)
        return fail("the file is larger than " + std::to_string(kCoffSizeLimit / (1024 * 1024)) +
                    " MB, more than any TMS370 program");
    const Cursor c(bytes);
    if (!c.fits(0, kFileHeader0)) return fail("the file is too short for a COFF file header");
    const std::uint16_t magic = c.u16(0);
    Layout lay{};
    if (magic == kCoff1Magic || magic == kCoff2Magic) {
        if (!c.fits(0, kFileHeader12)) return fail("the file is too short for a COFF file header");
        const std::uint16_t target = c.u16(20);
        if (target != kCoffTargetId)
            return fail("a COFF file for another target (target id " + hex4(target) + ", TMS370 is " +
                        hex4(kCoffTargetId) + ")");
        const bool v2 = magic == kCoff2Magic;
        lay = {kFileHeader12, v2 ? kSectionHeader2 : kSectionHeader01, v2 ? kReloc2 : kReloc01, v2};
    } else if (magic == kCoffTargetId) {
        lay = {kFileHeader0, kSectionHeader01, kReloc01, false};
    } else {
        return fail("not a TMS370 COFF file (magic number " + hex4(magic) + ")");
    }

    CoffFile f;
    const std::uint32_t nsections = c.u16(2);
    f.timestamp = c.u32(4);
    const std::uint32_t symbolsAt = c.u32(8);
    const std::uint32_t nsymbols = c.u32(12);
    const std::uint32_t optionalSize = c.u16(16);
    f.flags = c.u16(18);
    if (nsections > kMaxSections) return fail("the header names " + std::to_string(nsections) + " sections");
    std::size_t at = lay.fileHeader;
    if (!c.fits(at, optionalSize)) return fail("the optional header runs past the end of the file");
    if (optionalSize >= kOptionalHeader && c.u16(at) == kOptionalMagic) f.entry = c.u32(at + 16);
    at += optionalSize;
    if (!c.fits(at, static_cast<std::uint64_t>(nsections) * lay.sectionHeader))
        return fail("the section headers run past the end of the file");

    // The string table follows the symbols; names in it are checked when they are looked up.
    std::string_view strings;
    if (nsymbols || symbolsAt) {
        const std::uint64_t table = static_cast<std::uint64_t>(nsymbols) * kSymbolEntry;
        if (!c.fits(symbolsAt, table)) return fail("the symbol table runs past the end of the file");
        const std::uint64_t stringsAt = symbolsAt + table;
        if (c.fits(stringsAt, 4)) {
            const std::uint32_t size = c.u32(static_cast<std::size_t>(stringsAt));
            if (size >= 4) {
                if (!c.fits(stringsAt, size)) return fail("the string table runs past the end of the file");
                strings = c.view(static_cast<std::size_t>(stringsAt), size);
            }
        }
    }
    auto nameAt = [&](std::size_t pos) -> std::optional<std::string> {
        if (c.u32(pos) != 0 || strings.empty()) {
            const std::string_view field = c.view(pos, kNameField);
            return std::string(field.substr(0, std::min(field.find('\0'), field.size())));
        }
        const std::uint32_t offset = c.u32(pos + 4);
        if (offset < 4 || offset >= strings.size()) return std::nullopt;
        const std::size_t end = strings.find('\0', offset);
        if (end == std::string_view::npos) return std::nullopt;
        return std::string(strings.substr(offset, end - offset));
    };

    for (std::uint32_t i = 0; i < nsections; ++i, at += lay.sectionHeader) {
        CoffSection s;
        const auto name = nameAt(at);
        if (!name) return fail("section " + std::to_string(i + 1) + " has a name outside the string table");
        s.name = *name;
        s.physical = c.u32(at + 8);
        s.address = c.u32(at + 12);
        s.size = c.u32(at + 16);
        const std::uint32_t dataAt = c.u32(at + 20), relocAt = c.u32(at + 24), linesAt = c.u32(at + 28);
        std::uint32_t nrelocs, nlines;
        if (lay.wide) {
            nrelocs = c.u32(at + 32);
            nlines = c.u32(at + 36);
            s.flags = c.u32(at + 40);
            s.page = c.u16(at + 46);
        } else {
            nrelocs = c.u16(at + 32);
            nlines = c.u16(at + 34);
            s.flags = c.u16(at + 36);
            s.page = c.u8(at + 39);
        }
        const std::string what = "section " + s.name;
        const bool loaded = !(s.flags & (kSectDummy | kSectNoLoad | kSectCopy));
        if (loaded && (s.size > kAddressSpace || s.address > kAddressSpace - s.size))
            return fail(what + " does not fit the 64 K address space");
        if (dataAt && s.size && !(s.flags & kSectBss)) {
            if (!c.fits(dataAt, s.size))
                return fail("the data of " + what + " runs past the end of the file");
            s.data = std::string(c.view(dataAt, s.size));
        }
        if (nrelocs) {
            if (!c.fits(relocAt, static_cast<std::uint64_t>(nrelocs) * lay.reloc))
                return fail("the relocation entries of " + what + " run past the end of the file");
            for (std::uint32_t r = 0; r < nrelocs; ++r) {
                const std::size_t p = relocAt + r * lay.reloc;
                CoffReloc e;
                e.address = c.u32(p);
                e.symbol = lay.wide ? c.u32(p + 4) : c.u16(p + 4);
                e.type = c.u16(p + lay.reloc - 2);
                if (e.symbol >= nsymbols && nsymbols)
                    return fail("a relocation entry of " + what + " names a symbol past the table");
                s.relocs.push_back(e);
            }
        }
        if (nlines) {
            if (!c.fits(linesAt, static_cast<std::uint64_t>(nlines) * kLineEntry))
                return fail("the line numbers of " + what + " run past the end of the file");
            for (std::uint32_t l = 0; l < nlines; ++l) {
                const std::size_t p = linesAt + l * kLineEntry;
                s.lines.push_back({c.u32(p), c.u16(p + 4)});
            }
        }
        f.sections.push_back(std::move(s));
    }

    for (std::uint32_t i = 0; i < nsymbols;) {
        const std::size_t p = symbolsAt + static_cast<std::size_t>(i) * kSymbolEntry;
        CoffSymbol sym;
        const auto name = nameAt(p);
        if (!name) return fail("symbol " + std::to_string(i) + " has a name outside the string table");
        sym.name = *name;
        sym.value = c.u32(p + 8);
        sym.section = static_cast<std::int16_t>(c.u16(p + 12));
        sym.type = c.u16(p + 14);
        sym.storageClass = c.u8(p + 16);
        const std::uint32_t naux = c.u8(p + 17);
        if (naux > nsymbols - i - 1)
            return fail("symbol " + sym.name + " has auxiliary entries past the table");
        if (sym.section > static_cast<std::int32_t>(nsections))
            return fail("symbol " + sym.name + " names section " + std::to_string(sym.section) + " of " +
                        std::to_string(nsections));
        for (std::uint32_t a = 0; a < naux; ++a)
            sym.aux.emplace_back(c.view(p + (a + 1) * kSymbolEntry, kSymbolEntry));
        f.symbols.push_back(std::move(sym));
        i += 1 + naux;
    }
    return {std::move(f), {}};
}

} // namespace halyard::tms370
