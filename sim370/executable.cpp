// SPDX-License-Identifier: GPL-3.0-or-later
#include "executable.h"

#include <algorithm>
#include <ctime>

namespace halyard::sim370 {

using namespace tms370;

namespace {

struct Base {
    size_t section = 0;        // index into the placement's sections
    std::int64_t run = 0;      // where the input section's first byte runs
    std::int64_t inOutput = 0; // its offset in the output section
};

std::uint32_t sectionFlags(const PlacedSection& s, bool hasData, bool hasCode) {
    std::uint32_t f = 0;
    if (s.type == "DSECT") f |= kSectDummy;
    if (s.type == "COPY") f |= kSectCopy;
    if (s.type == "NOLOAD") f |= kSectNoLoad;
    if (s.name == ".text" || hasCode)
        f |= kSectText;
    else
        f |= hasData ? kSectData : kSectBss;
    return f;
}

} // namespace

CoffFile BuildExecutable(const Placement& p, const std::vector<LinkObject>& objects,
                         const std::map<std::string, std::int64_t>& symbols, const ExecutableOptions& o,
                         Diagnostics& d) {
    CoffFile f;
    f.flags = kFileExecutable | kFileRelocStripped | kFileLinesStripped;
    f.timestamp = static_cast<std::uint32_t>(std::time(nullptr));
    // Where each (object, input section) went.
    std::map<std::pair<size_t, std::string>, Base> bases;
    for (size_t i = 0; i < p.sections.size(); ++i)
        for (const auto& in : p.sections[i].inputs)
            bases[{in.objectIndex, in.section}] = {i, p.sections[i].run + in.offset, in.offset};

    const char fill = static_cast<char>(o.fill.value_or(0) & 0xFF);
    for (const auto& s : p.sections) {
        bool hasData = false, hasCode = false;
        for (const auto& in : s.inputs) {
            const ObjectModule& m = objects[in.objectIndex].module;
            if (const ObjSection* os = m.section(in.section); os && os->initialized) hasData = true;
            // Instructions carry line numbers; data directives do not.
            for (const auto& l : m.lines)
                hasCode = hasCode || l.section == in.section;
        }
        CoffSection cs;
        cs.name = s.name;
        cs.physical = static_cast<std::uint32_t>(s.load);
        cs.address = static_cast<std::uint32_t>(s.run);
        cs.size = static_cast<std::uint32_t>(s.size);
        cs.page = static_cast<std::uint16_t>(s.page);
        cs.flags = sectionFlags(s, hasData, hasCode);
        if (hasData && s.size > 0 && s.size <= 0x10000) {
            cs.data.assign(static_cast<size_t>(s.size), fill);
            for (const auto& in : s.inputs) {
                const ObjSection* os = objects[in.objectIndex].module.section(in.section);
                if (!os || in.offset < 0 || in.offset > s.size) continue;
                const auto room = static_cast<size_t>(s.size - in.offset);
                const auto at = cs.data.begin() + in.offset;
                // An assembled section is zero where it gave no bytes; a size-only one keeps the fill.
                if (os->initialized) std::fill_n(at, std::min(room, static_cast<size_t>(os->size)), '\0');
                std::copy_n(os->bytes.begin(), std::min(room, os->bytes.size()), at);
            }
        }
        f.sections.push_back(std::move(cs));
    }

    for (size_t oi = 0; oi < objects.size(); ++oi) {
        const ObjectModule& m = objects[oi].module;
        for (const auto& r : m.relocs) {
            auto at = bases.find({oi, r.section});
            if (at == bases.end()) continue; // the section was not placed: nothing to finish
            auto fail = [&](int code, const std::string& text) { d.error(m.source, r.line, code, text); };
            std::int64_t target = r.addend;
            std::string what = r.target.empty() ? Hex(r.addend) : r.target;
            if (r.toSection) {
                auto t = bases.find({oi, r.target});
                if (t == bases.end()) {
                    fail(315, "section " + r.target + " is not placed, but " + BaseName(objects[oi].name) +
                                  " refers to it");
                    continue;
                }
                target += t->second.run;
                what = r.target + "+" + std::to_string(r.addend);
            } else if (!r.target.empty()) {
                auto s = symbols.find(r.target);
                if (s == symbols.end()) continue; // reported as undefined already
                target += s->second;
            }
            const std::int64_t field = at->second.run + r.offset;
            const bool wide = r.kind == RelocKind::Abs16 || r.kind == RelocKind::Rel16;
            std::int64_t v = target;
            if (r.kind == RelocKind::Rel8 || r.kind == RelocKind::Rel16) {
                v = target - (field + (wide ? 2 : 1));
                const std::int64_t lim = wide ? 32768 : 128;
                if (v < -lim || v >= lim) {
                    fail(316,
                         "relative jump to " + what + " is out of range (" + std::to_string(v) + " bytes)");
                    continue;
                }
            } else if (v < (wide ? -32768 : -128) || v > (wide ? 0xFFFF : 0xFF)) {
                fail(317,
                     "value of " + what + " (" + Hex(v) + ") does not fit " + (wide ? "16" : "8") + " bits");
                continue;
            }
            std::string& data = f.sections[at->second.section].data;
            const auto pos = static_cast<size_t>(at->second.inOutput + r.offset);
            if (pos + (wide ? 2 : 1) > data.size()) continue;
            if (wide) data[pos] = static_cast<char>((v >> 8) & 0xFF);
            data[pos + (wide ? 1 : 0)] = static_cast<char>(v & 0xFF);
        }
    }

    if (o.entry) f.entry = static_cast<std::uint32_t>(*o.entry & 0xFFFF);
    if (o.strip) return f;
    // Each module with line numbers gets a .file symbol first; its lines in a section follow an
    // entry of line 0 that names that symbol.
    std::map<size_t, std::uint32_t> fileSymbol;
    for (size_t oi = 0; oi < objects.size(); ++oi) {
        if (objects[oi].module.lines.empty()) continue;
        fileSymbol[oi] = static_cast<std::uint32_t>(2 * fileSymbol.size());
        f.symbols.push_back({".file", 0, kSymDebug, 0, kClassFile, {objects[oi].module.source}});
    }
    for (size_t oi = 0; oi < objects.size(); ++oi) {
        std::map<std::string, std::vector<CoffLine>> bySection;
        for (const auto& l : objects[oi].module.lines) {
            auto at = bases.find({oi, l.section});
            if (at == bases.end() || l.line <= 0 || l.line > 0xFFFF) continue;
            auto& mine = bySection[l.section];
            if (mine.empty()) mine.push_back({fileSymbol[oi], 0});
            mine.push_back(
                {static_cast<std::uint32_t>(at->second.run + l.offset), static_cast<std::uint16_t>(l.line)});
        }
        for (auto& [section, lines] : bySection) {
            auto& out = f.sections[bases[{oi, section}].section].lines;
            out.insert(out.end(), lines.begin(), lines.end());
            f.flags &= static_cast<std::uint16_t>(~kFileLinesStripped);
        }
    }
    auto sectionOf = [&](std::int64_t value) -> std::int16_t {
        for (size_t i = 0; i < p.sections.size(); ++i) {
            const auto& s = p.sections[i];
            if (s.size > 0 && value >= s.run && value < s.run + s.size)
                return static_cast<std::int16_t>(i + 1);
        }
        return kSymAbsolute;
    };
    for (const auto& [name, value] : symbols)
        f.symbols.push_back(
            {name, static_cast<std::uint32_t>(value), sectionOf(value), 0, kClassExternal, {}});
    for (size_t oi = 0; oi < objects.size(); ++oi)
        for (const auto& l : objects[oi].module.locals) {
            auto at = bases.find({oi, l.section});
            if (at == bases.end()) continue;
            f.symbols.push_back({l.name,
                                 static_cast<std::uint32_t>(at->second.run + l.offset),
                                 static_cast<std::int16_t>(at->second.section + 1),
                                 0,
                                 kClassLabel,
                                 {}});
        }
    return f;
}

} // namespace halyard::sim370
