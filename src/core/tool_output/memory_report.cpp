// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_output/memory_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/json.h"
#include "base/paths.h"
#include "tool_output/memory_map.h"

namespace halyard {

namespace {
void changeList(JsonWriter& w, const char* key, const std::vector<MemoryChange>& list) {
    w.key(key).beginArray();
    for (const MemoryChange& c : list) {
        const size_t page = c.name.find('\n');
        w.beginObject().key("name").value(c.name.substr(0, page));
        if (page != std::string::npos) w.key("page").value(std::stoi(c.name.substr(page + 1)));
        w.key("before").value(c.before).key("after").value(c.after).key("change").value(c.delta());
        if (c.added) w.key("new").value(true);
        if (c.removed) w.key("removed").value(true);
        w.endObject();
    }
    w.endArray();
}
} // namespace

std::string MemoryModelJson(const MemoryModel& m, const std::string& mapFile, const MemoryDiff* changes) {
    JsonWriter w;
    w.beginObject();
    if (!mapFile.empty()) w.key("map").value(mapFile);
    w.key("output").value(m.outputFile);
    w.key("ranges").beginArray();
    for (const MemoryUse& r : m.ranges)
        w.beginObject()
            .key("name")
            .value(r.name)
            .key("page")
            .value(r.page)
            .key("origin")
            .value(r.origin)
            .key("length")
            .value(r.length)
            .key("used")
            .value(r.used)
            .key("attributes")
            .value(r.attributes)
            .key("fixed")
            .value(r.fixedSize)
            .endObject();
    w.endArray();
    auto rangeName = [&](int k) { return k >= 0 ? m.ranges[static_cast<size_t>(k)].name : std::string(); };
    w.key("sections").beginArray();
    for (const MapSection& s : m.sections) {
        w.beginObject().key("name").value(s.name).key("range").value(rangeName(s.range));
        if (s.runRange >= 0) w.key("run_range").value(rangeName(s.runRange));
        w.key("page")
            .value(s.page)
            .key("address")
            .value(s.run)
            .key("load")
            .value(s.load)
            .key("size")
            .value(s.size)
            .key("attributes")
            .value(s.attributes)
            .endObject();
    }
    w.endArray();
    w.key("objects").beginArray();
    for (const auto& o : m.objects()) {
        w.beginObject().key("name").value(o.name).key("size").value(o.size).key("inputs").beginArray();
        for (size_t k : o.inputs) {
            const MapInput& in = m.inputs[k];
            const MapSection* s = m.sectionOf(in);
            w.beginObject()
                .key("section")
                .value(in.section)
                .key("output")
                .value(s ? s->name : std::string())
                .key("address")
                .value(in.address)
                .key("size")
                .value(in.size)
                .endObject();
        }
        w.endArray().endObject();
    }
    w.endArray();
    w.key("holes").beginArray();
    for (const MapInput& in : m.inputs) {
        if (!in.hole) continue;
        const MapSection* s = m.sectionOf(in);
        w.beginObject()
            .key("output")
            .value(s ? s->name : std::string())
            .key("address")
            .value(in.address)
            .key("size")
            .value(in.size)
            .key("fill")
            .value(in.fill)
            .endObject();
    }
    w.endArray();
    w.key("symbols").beginArray();
    for (size_t k : m.byName) {
        const MapSymbol& s = m.symbols[k];
        const MapInput* in = m.inputOf(s);
        const MapSection* sec = in ? m.sectionOf(*in) : nullptr;
        w.beginObject()
            .key("name")
            .value(s.name)
            .key("address")
            .value(s.address)
            .key("size")
            .value(s.size)
            .key("inferred")
            .value(s.sizeInferred)
            .key("section")
            .value(sec ? sec->name : std::string())
            .key("object")
            .value(in ? in->origin() : std::string())
            .endObject();
    }
    w.endArray();
    if (changes) {
        w.key("changes").beginObject();
        changeList(w, "ranges", changes->ranges);
        changeList(w, "sections", changes->sections);
        changeList(w, "objects", changes->objects);
        changeList(w, "symbols", changes->symbols);
        w.endObject();
    }
    w.endObject();
    return w.text();
}

MemorySnapshot SnapshotOf(const MemoryModel& m) {
    MemorySnapshot s;
    for (const MemoryUse& r : m.ranges)
        s.ranges.push_back({r.name, r.page, r.length, r.used, r.fixedSize});
    // A name given twice (a section split over two ranges) counts once with both sizes.
    for (const MapSection& sec : m.sections)
        s.sections[sec.name] += sec.size;
    for (const auto& o : m.objects())
        s.objects[o.name] = o.size;
    for (const MapInput& in : m.inputs)
        if (!in.hole) s.inputs[in.origin() + " (" + in.section + ")"] += in.size;
    for (const MapSymbol& sym : m.symbols)
        s.symbols.emplace(sym.name, sym.size);
    return s;
}

namespace {

// A count of bytes from JSON: a whole number that fits, else nothing.
std::optional<std::uint64_t> bytes(const Json& v, std::string_view key) {
    return v.whole(key);
}

} // namespace

std::optional<MemorySnapshot> ReadSnapshot(const std::string& json, std::string* why) {
    auto doc = Json::Parse(json, why);
    if (!doc) return std::nullopt;
    if (!doc->isObject() || !(*doc)["ranges"].isArray()) {
        if (why) *why = "it holds no \"ranges\" list";
        return std::nullopt;
    }
    MemorySnapshot s;
    for (const Json& r : (*doc)["ranges"].items) {
        auto used = bytes(r, "used"), length = bytes(r, "length");
        if (!r.isObject() || r.str("name").empty() || !used) continue;
        const double page = r.num("page");
        s.ranges.push_back({r.str("name"), page >= 0 && page < 1000 ? static_cast<int>(page) : 0,
                            length.value_or(0), *used,
                            r["fixed"].kind == Json::Kind::Bool && r["fixed"].flag});
    }
    auto table = [](const Json& list, std::map<std::string, std::uint64_t>& into) {
        if (!list.isArray()) return;
        for (const Json& v : list.items)
            if (auto size = bytes(v, "size"); v.isObject() && size && !v.str("name").empty())
                into[v.str("name")] += *size;
    };
    table((*doc)["sections"], s.sections);
    table((*doc)["objects"], s.objects);
    if ((*doc)["objects"].isArray())
        for (const Json& o : (*doc)["objects"].items)
            if (o.isObject() && o["inputs"].isArray())
                for (const Json& in : o["inputs"].items)
                    if (auto size = bytes(in, "size"); in.isObject() && size)
                        s.inputs[o.str("name") + " (" + in.str("section") + ")"] += *size;
    if ((*doc)["symbols"].isArray())
        for (const Json& v : (*doc)["symbols"].items)
            if (auto size = bytes(v, "size"); v.isObject() && size && !v.str("name").empty())
                s.symbols.emplace(v.str("name"), *size);
    return s;
}

namespace {

std::int64_t signedOf(std::uint64_t v) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(v, INT64_MAX));
}

void compare(const std::map<std::string, std::uint64_t>& before,
             const std::map<std::string, std::uint64_t>& after, std::vector<MemoryChange>& out) {
    auto b = before.begin();
    auto a = after.begin();
    while (b != before.end() || a != after.end()) {
        if (a == after.end() || (b != before.end() && b->first < a->first)) {
            out.push_back({b->first, signedOf(b->second), 0, false, true});
            ++b;
        } else if (b == before.end() || a->first < b->first) {
            out.push_back({a->first, 0, signedOf(a->second), true, false});
            ++a;
        } else {
            if (a->second != b->second) out.push_back({a->first, signedOf(b->second), signedOf(a->second)});
            ++a;
            ++b;
        }
    }
}

std::string rangeKey(const std::string& name, int page) {
    return name + "\n" + std::to_string(page);
}

std::int64_t find(const std::vector<MemoryChange>& list, const std::string& name) {
    for (const auto& c : list)
        if (c.name == name) return c.delta();
    return 0;
}

} // namespace

std::int64_t MemoryDiff::section(const std::string& name) const {
    return find(sections, name);
}
std::int64_t MemoryDiff::object(const std::string& name) const {
    return find(objects, name);
}
std::int64_t MemoryDiff::input(const std::string& object, const std::string& section) const {
    return find(inputs, object + " (" + section + ")");
}
std::int64_t MemoryDiff::symbol(const std::string& name) const {
    const MemoryChange* c = symbolChange(name);
    return c ? c->delta() : 0;
}
std::int64_t MemoryDiff::range(const std::string& name, int page) const {
    return find(ranges, rangeKey(name, page));
}
const MemoryChange* MemoryDiff::symbolChange(const std::string& name) const {
    // Kept in name order by CompareMemory.
    auto it = std::lower_bound(symbols.begin(), symbols.end(), name,
                               [](const MemoryChange& c, const std::string& n) { return c.name < n; });
    return it != symbols.end() && it->name == name ? &*it : nullptr;
}

MemoryDiff CompareMemory(const MemorySnapshot& before, const MemorySnapshot& after) {
    MemoryDiff d;
    std::map<std::string, std::uint64_t> rb, ra;
    for (const auto& r : before.ranges)
        rb[rangeKey(r.name, r.page)] = r.used;
    for (const auto& r : after.ranges)
        ra[rangeKey(r.name, r.page)] = r.used;
    compare(rb, ra, d.ranges);
    compare(before.sections, after.sections, d.sections);
    compare(before.objects, after.objects, d.objects);
    compare(before.symbols, after.symbols, d.symbols);
    compare(before.inputs, after.inputs, d.inputs);
    return d;
}

std::string SignedBytes(std::int64_t delta) {
    return delta > 0 ? "+" + std::to_string(delta) : std::to_string(delta);
}

std::string ChangeSummary(const MemoryDiff& d, const std::string& since) {
    std::string out;
    for (const auto& c : d.ranges) {
        if (c.delta() == 0) continue;
        const std::string name = c.name.substr(0, c.name.find('\n'));
        out += (out.empty() ? "" : ", ") + name + " " + SignedBytes(c.delta()) + " bytes" +
               (c.added     ? " (new)"
                : c.removed ? " (gone)"
                            : "");
    }
    if (out.empty()) return "No memory range changed since " + since;
    return out + " since " + since;
}

std::vector<std::string> ChangeTable(const MemorySnapshot& after, const MemoryDiff& d) {
    std::vector<std::string> rows{PadColumn("", 7) + PadColumn("name", 16) + PadColumn("size", 8) + "change"};
    for (const auto& r : after.ranges)
        rows.push_back(PadColumn("range", 7) + PadColumn(r.name, 16) + PadColumn(std::to_string(r.used), 8) +
                       SignedBytes(d.range(r.name, r.page)));
    for (const auto& c : d.ranges)
        if (c.removed)
            rows.push_back(PadColumn("range", 7) + PadColumn(c.name.substr(0, c.name.find('\n')), 16) +
                           PadColumn("gone", 8) + SignedBytes(c.delta()));
    for (const auto& [name, size] : after.sections)
        rows.push_back(PadColumn("section", 7) + PadColumn(name, 16) + PadColumn(std::to_string(size), 8) +
                       SignedBytes(d.section(name)));
    for (const auto& c : d.sections)
        if (c.removed)
            rows.push_back(PadColumn("section", 7) + PadColumn(c.name, 16) + PadColumn("gone", 8) +
                           SignedBytes(c.delta()));
    for (const auto& c : d.symbols)
        rows.push_back(PadColumn("symbol", 7) + PadColumn(c.name, 16) +
                       PadColumn(c.added     ? "new"
                                 : c.removed ? "removed"
                                             : std::to_string(c.after),
                                 8) +
                       SignedBytes(c.delta()));
    return rows;
}

std::vector<std::string> RangesAbove(const std::vector<MemoryUse>& ranges, double percent) {
    std::vector<std::string> out;
    for (const MemoryUse& r : ranges) {
        if (r.fixedSize || r.length == 0 || r.used == 0) continue;
        const double share = 100.0 * static_cast<double>(r.used) / static_cast<double>(r.length);
        if (share <= percent) continue;
        char text[160];
        std::snprintf(text, sizeof text, " (page %d) is %.1f %% used, above %g %%", r.page, share, percent);
        out.push_back(r.name + text);
    }
    return out;
}

SnapshotFiles SnapshotFilesOf(const std::string& outputFile) {
    std::string base = TrimRight(outputFile);
    const size_t slash = base.find_last_of("\\/:");
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.resize(dot);
    return {base + ".memory.json", base + ".memory.previous.json", base + ".memory.baseline.json"};
}

KeptSnapshot KeepSnapshot(const DosDevices& dd, const std::string& outputFile, const MemoryModel& m,
                          const std::string& mapFile) {
    const SnapshotFiles f = SnapshotFilesOf(outputFile);
    if (dd.fileExists(f.current) && !dd.copyFile(f.current, f.previous))
        throw Error("Cannot create file " + f.previous);
    dd.writeBytes(f.current, MemoryModelJson(m, mapFile));
    KeptSnapshot kept;
    const bool pinned = dd.fileExists(f.baseline);
    const std::string against = pinned ? f.baseline : f.previous;
    if (!dd.fileExists(against)) return kept;
    // A snapshot that is no longer readable (edited by hand) gives no comparison, not a failed build.
    std::optional<MemorySnapshot> before;
    try {
        before = ReadSnapshot(dd.readBytes(against));
    } catch (const Error&) {
    }
    if (!before) return kept;
    kept.since = pinned ? "the baseline" : "the last build";
    kept.diff = CompareMemory(*before, SnapshotOf(m));
    kept.summary = ChangeSummary(*kept.diff, kept.since);
    return kept;
}

void PinBaseline(const DosDevices& dd, const std::string& outputFile, const std::string& snapshot) {
    const SnapshotFiles f = SnapshotFilesOf(outputFile);
    if (snapshot.empty()) {
        std::error_code ec;
        std::filesystem::remove(dd.toHost(f.baseline), ec);
        return;
    }
    if (!dd.copyFile(snapshot, f.baseline)) throw Error("Cannot create file " + f.baseline);
}

} // namespace halyard
