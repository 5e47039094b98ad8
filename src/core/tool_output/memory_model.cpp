// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_output/memory_model.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <queue>
#include <string_view>
#include <tuple>

#include "base/paths.h"

namespace halyard {

namespace {

struct Word {
    std::string_view text;
    size_t end = 0; // where the word ends in its line
};

std::vector<Word> wordsOf(std::string_view line, size_t most = ~size_t{0}) {
    std::vector<Word> out;
    size_t i = 0;
    while (i < line.size() && out.size() < most) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const size_t from = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > from) out.push_back({line.substr(from, i - from), i});
    }
    return out;
}

// A hexadecimal number of the map, with or without the assembler's "h"; `big` when it has more
// digits than 64 bits hold.
struct Hex {
    bool ok = false, big = false;
    std::uint64_t value = 0;
};

Hex hexOf(std::string_view t) {
    if (!t.empty() && (t.back() == 'h' || t.back() == 'H')) t.remove_suffix(1);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.remove_prefix(2);
    if (t.empty()) return {};
    Hex h{true, false, 0};
    size_t digits = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return {};
        if (digits > 0 || d != 0) ++digits;
        if (digits > 16) h.big = true;
        h.value = h.value * 16 + static_cast<std::uint64_t>(d);
    }
    if (h.big) h.value = 0;
    return h;
}

// A page number: a few decimal digits.
int pageOf(std::string_view t) {
    if (t.empty() || t.size() > 4) return -1;
    int v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

void problem(MemoryModel& m, size_t i, const std::string& what) {
    // A map of nothing but bad lines must not make a list as long as itself.
    constexpr size_t MaxProblems = 100;
    if (m.problems.size() < MaxProblems)
        m.problems.push_back("Map line " + std::to_string(i + 1) + ": " + what);
}

std::string shown(std::string_view word) {
    return std::string(word.substr(0, 40)) + (word.size() > 40 ? "..." : "");
}

// The rest of an input line after its address and length: "main.obj (.text)", "rts.lib : boot.obj
// (.text)", "rts.lib(boot.obj) (.text)", "--HOLE-- [fill = ff00]", each perhaps with "[fill = ...]".
void readInputOrigin(std::string_view rest, MapInput& in) {
    rest = TrimSpace(rest);
    if (const size_t fill = rest.rfind('['); fill != std::string_view::npos && rest.back() == ']') {
        std::string_view f = rest.substr(fill + 1, rest.size() - fill - 2);
        if (const size_t eq = f.find('='); eq != std::string_view::npos) f = f.substr(eq + 1);
        in.fill = std::string(TrimSpace(f));
        rest = TrimSpace(rest.substr(0, fill));
    }
    if (startsWith(rest, "--HOLE--")) {
        in.hole = true;
        return;
    }
    std::string_view object = rest;
    if (!rest.empty() && rest.back() == ')') {
        const size_t open = rest.rfind('(');
        // "lib(member)" without a section: the parentheses belong to the name.
        if (open != std::string_view::npos && open > 0 && rest[open - 1] == ' ') {
            in.section = std::string(TrimSpace(rest.substr(open + 1, rest.size() - open - 2)));
            object = TrimSpace(rest.substr(0, open));
        }
    }
    if (const size_t colon = object.find(" : "); colon != std::string_view::npos) {
        in.library = std::string(TrimSpace(object.substr(0, colon)));
        in.object = std::string(TrimSpace(object.substr(colon + 3)));
    } else if (!object.empty() && object.back() == ')' && object.find('(') != std::string_view::npos) {
        const size_t open = object.find('(');
        in.library = std::string(object.substr(0, open));
        in.object = std::string(object.substr(open + 1, object.size() - open - 2));
    } else {
        in.object = std::string(object);
    }
}

// For each (page, address) the first range in the map's order on that page that holds it; -1 where
// none does. Ranges and addresses are each sorted once and swept together.
std::vector<int> rangesHolding(const std::vector<MemoryUse>& ranges,
                               const std::vector<std::pair<int, std::uint64_t>>& at) {
    std::vector<int> out(at.size(), -1);
    std::vector<size_t> order(ranges.size()), queries(at.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    for (size_t k = 0; k < queries.size(); ++k)
        queries[k] = k;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::tie(ranges[a].page, ranges[a].origin, a) < std::tie(ranges[b].page, ranges[b].origin, b);
    });
    std::sort(queries.begin(), queries.end(), [&](size_t a, size_t b) { return at[a] < at[b]; });
    std::priority_queue<size_t, std::vector<size_t>, std::greater<>> open; // earliest in the map on top
    size_t next = 0;
    int page = -1;
    for (size_t q : queries) {
        const auto [p, address] = at[q];
        if (p != page) {
            open = {};
            page = p;
            while (next < order.size() && ranges[order[next]].page < page)
                ++next;
        }
        while (next < order.size() && ranges[order[next]].page == page &&
               ranges[order[next]].origin <= address)
            open.push(order[next++]);
        while (!open.empty() && address - ranges[open.top()].origin >= ranges[open.top()].length)
            open.pop();
        if (!open.empty()) out[q] = static_cast<int>(open.top());
    }
    return out;
}

// Each symbol goes to an input section that holds its address, and takes its size from the next
// symbol inside that section (or from the section's end).
void placeSymbols(MemoryModel& m) {
    std::vector<size_t> inputs;
    for (size_t k = 0; k < m.inputs.size(); ++k)
        if (!m.inputs[k].hole && m.inputs[k].size > 0) inputs.push_back(k);
    std::sort(inputs.begin(), inputs.end(), [&](size_t a, size_t b) {
        return std::tie(m.inputs[a].address, a) < std::tie(m.inputs[b].address, b);
    });
    auto end = [&](size_t k) { return m.inputs[k].address + m.inputs[k].size; };
    // The started inputs, the one that ends first on top: it holds the address if any does.
    auto later = [&](size_t a, size_t b) { return end(a) > end(b); };
    std::priority_queue<size_t, std::vector<size_t>, decltype(later)> open(later);
    size_t next = 0;
    for (MapSymbol& s : m.symbols) {
        while (next < inputs.size() && m.inputs[inputs[next]].address <= s.address)
            open.push(inputs[next++]);
        while (!open.empty() && end(open.top()) <= s.address)
            open.pop();
        s.input = open.empty() ? -1 : static_cast<int>(open.top());
    }
    // Symbols are in address order, so the next one of the same input follows in the list; the
    // input's end stands in for the last. Symbols at one address share the next address's distance.
    std::vector<std::uint64_t> nextAddress(m.inputs.size());
    for (size_t k = 0; k < m.inputs.size(); ++k)
        nextAddress[k] = m.inputs[k].address + m.inputs[k].size;
    std::vector<std::uint64_t> lastSeen(m.inputs.size(), ~std::uint64_t{0});
    for (size_t k = m.symbols.size(); k-- > 0;) {
        MapSymbol& s = m.symbols[k];
        if (s.input < 0) continue;
        const auto in = static_cast<size_t>(s.input);
        if (lastSeen[in] != ~std::uint64_t{0} && lastSeen[in] > s.address) nextAddress[in] = lastSeen[in];
        s.size = nextAddress[in] - s.address;
        s.sizeInferred = true;
        lastSeen[in] = s.address;
    }
}

} // namespace

std::vector<MemoryModel::ObjectUse> MemoryModel::objects() const {
    std::map<std::string, ObjectUse> byName;
    for (size_t k = 0; k < inputs.size(); ++k) {
        const MapInput& in = inputs[k];
        if (in.hole) continue;
        ObjectUse& o = byName[in.origin()];
        o.name = in.origin();
        o.size += in.size;
        o.inputs.push_back(k);
    }
    std::vector<ObjectUse> out;
    out.reserve(byName.size());
    for (auto& [name, use] : byName)
        out.push_back(std::move(use));
    return out;
}

MemoryModel ReadMemoryModel(const std::vector<std::string>& lines) {
    MemoryModel m;
    m.ranges = ReadMemoryUse(lines, &m.problems);
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        const std::string_view l = lines[i];
        if (startsWith(l, "OUTPUT FILE NAME:")) {
            const size_t a = l.find('<'), b = l.rfind('>');
            if (a != std::string_view::npos && b != std::string_view::npos && b > a)
                m.outputFile = std::string(l.substr(a + 1, b - a - 1));
        } else if (startsWith(l, "ENTRY POINT SYMBOL:")) {
            const size_t a = l.find('"'), b = l.find('"', a + 1);
            if (a != std::string_view::npos && b != std::string_view::npos)
                m.entryPoint = std::string(l.substr(a + 1, b - a - 1));
        } else if (startsWith(TrimSpace(l), "SECTION ALLOCATION MAP") || startsWith(l, "GLOBAL SYMBOLS")) {
            break;
        }
    }
    struct Raw {
        std::string name;
        std::uint64_t address;
        size_t order;
    };
    std::vector<Raw> raw;
    bool inSymbols = false;
    std::string pendingName;     // a section name too long for its line: its numbers follow
    bool sectionLeftOut = false; // the inputs under a section line that was left out go with it
    for (; i < lines.size(); ++i) {
        const std::string_view l = lines[i];
        if (startsWith(l, "GLOBAL SYMBOLS")) {
            inSymbols = true;
            continue;
        }
        if (inSymbols) {
            // "address name" rows, or two pairs per row where the map sets both orders side by side.
            const auto w = wordsOf(l, 4);
            for (size_t k = 0; k + 1 < w.size(); k += 2) {
                const Hex a = hexOf(w[k].text);
                if (!a.ok) break;
                if (a.big) {
                    problem(m, i,
                            "the symbol address " + shown(w[k].text) + " is out of range; it is left out");
                    continue;
                }
                // The name runs to the next pair's address, or to the line's end on a row of one.
                std::string_view name = w[k + 1].text;
                if (w.size() <= 2) name = TrimSpace(l.substr(w[k].end));
                raw.push_back({std::string(name), a.value, raw.size()});
            }
            continue;
        }
        if (TrimSpace(l).empty() || startsWith(l, "--")) continue;
        const bool indented = std::isspace(static_cast<unsigned char>(l[0]));
        const auto w = wordsOf(l, indented ? 2 : 4);
        if (indented && !pendingName.empty() && w.size() >= 2) {
            // "   0    00002000    00000118": the numbers of a section named on the line before.
            const auto n = wordsOf(l);
            if (n.size() >= 3 && pageOf(n[0].text) >= 0 && hexOf(n[1].text).ok && hexOf(n[2].text).ok) {
                std::string line = pendingName + " " + std::string(l);
                pendingName.clear();
                sectionLeftOut = false;
                const auto w4 = wordsOf(line, 4);
                const Hex origin = hexOf(w4[2].text), length = hexOf(w4[3].text);
                if (!origin.big && !length.big) {
                    MapSection s;
                    s.name = std::string(w4[0].text);
                    s.page = pageOf(w4[1].text);
                    s.load = s.run = origin.value;
                    s.size = length.value;
                    s.firstInput = m.inputs.size();
                    m.sections.push_back(std::move(s));
                }
                continue;
            }
        }
        pendingName.clear();
        if (indented) {
            if (w.size() < 2 || m.sections.empty() || sectionLeftOut) continue;
            const Hex address = hexOf(w[0].text), size = hexOf(w[1].text);
            if (!address.ok || !size.ok) continue;
            if (address.big || size.big) {
                problem(m, i,
                        "the input section's " + std::string(address.big ? "address " : "length ") +
                            shown(address.big ? w[0].text : w[1].text) +
                            " is out of range; the line is left out");
                continue;
            }
            if (address.value + size.value < address.value) {
                problem(m, i,
                        "the input section at " + shown(w[0].text) +
                            " ends beyond the address space; the line is left out");
                continue;
            }
            MapInput in;
            in.address = address.value;
            in.size = size.value;
            readInputOrigin(l.substr(w[1].end), in);
            if (!in.hole && in.object.empty()) continue;
            in.output = static_cast<int>(m.sections.size() - 1);
            m.inputs.push_back(std::move(in));
            ++m.sections.back().inputCount;
            continue;
        }
        if (w.size() == 1) {
            pendingName = std::string(w[0].text);
            continue;
        }
        if (w.size() < 4) continue;
        const int page = pageOf(w[1].text);
        const Hex origin = hexOf(w[2].text), length = hexOf(w[3].text);
        if (page < 0 || !origin.ok || !length.ok) continue;
        // The range reader has named the line already.
        sectionLeftOut = origin.big || length.big;
        if (sectionLeftOut) continue;
        MapSection s;
        s.name = std::string(w[0].text);
        s.page = page;
        s.load = s.run = origin.value;
        s.size = length.value;
        s.firstInput = m.inputs.size();
        // "RUN ADDR = 0200" for a section that runs elsewhere than it loads; the rest are words.
        const std::string_view rest = TrimSpace(l.substr(w[3].end));
        const size_t run = rest.find("RUN ADDR");
        if (run != std::string_view::npos) {
            std::string_view v = rest.substr(run + 8);
            if (const size_t eq = v.find('='); eq != std::string_view::npos) v = v.substr(eq + 1);
            const auto vw = wordsOf(v, 1);
            const Hex r = vw.empty() ? Hex{} : hexOf(vw[0].text);
            if (r.ok && !r.big) s.run = r.value;
            s.attributes = std::string(TrimSpace(rest.substr(0, run)));
        } else {
            s.attributes = std::string(rest);
        }
        m.sections.push_back(std::move(s));
    }

    // Ranges of the sections, by load address and, when it runs elsewhere, by run address.
    std::vector<std::pair<int, std::uint64_t>> at;
    at.reserve(m.sections.size() * 2);
    for (const MapSection& s : m.sections) {
        at.push_back({s.page, s.load});
        at.push_back({s.page, s.run});
    }
    const auto holding = rangesHolding(m.ranges, at);
    for (size_t k = 0; k < m.sections.size(); ++k) {
        m.sections[k].range = holding[2 * k];
        if (holding[2 * k + 1] != holding[2 * k]) m.sections[k].runRange = holding[2 * k + 1];
    }

    // Each table names every symbol once (the side-by-side layout, or the two sorted tables, name
    // each twice): the first naming counts.
    std::stable_sort(raw.begin(), raw.end(), [](const Raw& a, const Raw& b) { return a.name < b.name; });
    raw.erase(
        std::unique(raw.begin(), raw.end(), [](const Raw& a, const Raw& b) { return a.name == b.name; }),
        raw.end());
    m.symbols.reserve(raw.size());
    for (auto& r : raw)
        m.symbols.push_back({std::move(r.name), r.address, 0, false, -1});
    std::stable_sort(m.symbols.begin(), m.symbols.end(),
                     [](const MapSymbol& a, const MapSymbol& b) { return a.address < b.address; });
    placeSymbols(m);
    m.byName.resize(m.symbols.size());
    for (size_t k = 0; k < m.byName.size(); ++k)
        m.byName[k] = k;
    std::sort(m.byName.begin(), m.byName.end(),
              [&](size_t a, size_t b) { return m.symbols[a].name < m.symbols[b].name; });
    return m;
}

} // namespace halyard
