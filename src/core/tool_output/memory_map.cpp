// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_output/memory_map.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <queue>
#include <sstream>
#include <tuple>

#include "base/paths.h"
#include "linkcmd/cmd_language.h"

namespace halyard {

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// A number of the map: absent when the word is no number at all (a heading, a name), and
// `tooBig` when it is one but exceeds what the reader holds, which makes its line a finding.
struct Number {
    bool present = false, tooBig = false;
    std::uint64_t value = 0;
    explicit operator bool() const { return present && !tooBig; }
};

Number hexNumber(std::string t) {
    if (!t.empty() && (t.back() == 'h' || t.back() == 'H')) t.pop_back();
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
    if (t.empty() || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return {};
    const size_t first = std::min(t.find_first_not_of('0'), t.size());
    if (t.size() - first > 16) return {true, true, 0};
    std::uint64_t v = 0;
    for (char c : t)
        v = v * 16 + static_cast<std::uint64_t>(std::isdigit(static_cast<unsigned char>(c))
                                                    ? c - '0'
                                                    : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
    return {true, false, v};
}

// A page number: decimal digits only, at most nine of them, so that it always fits an int.
Number pageNumber(const std::string& t) {
    if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos) return {};
    const size_t first = std::min(t.find_first_not_of('0'), t.size());
    if (t.size() - first > 9) return {true, true, 0};
    return {true, false, std::stoull(t)};
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// The finding for line i (counted from 1, as an editor counts them).
void report(std::vector<std::string>* problems, size_t i, const std::string& what) {
    if (problems) problems->push_back("Map line " + std::to_string(i + 1) + ": " + what);
}

std::string outOfRange(const char* what, const std::string& word) {
    return std::string("the ") + what + " " + word.substr(0, 40) + (word.size() > 40 ? "..." : "") +
           " is out of range; the line is left out";
}

// The compiler's code and data: what a program adds to goes here.
bool growsWithTheProgram(const std::string& section) {
    for (const char* name : {".text", ".cinit", ".const", ".switch", ".data", ".bss"})
        if (section == name) return true;
    return false;
}

struct Section {
    std::string name;
    int page = 0;
    std::uint64_t origin = 0, length = 0;
};

// Top-level rows of the section allocation map: "<name> <page> <origin> <length> ...".
std::vector<Section> readSections(const std::vector<std::string>& lines, size_t from,
                                  std::vector<std::string>* problems) {
    std::vector<Section> out;
    for (size_t i = from; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (startsWith(l, "GLOBAL SYMBOLS")) break;
        if (l.empty() || std::isspace(static_cast<unsigned char>(l[0])) || startsWith(l, "--")) continue;
        const auto w = words(l);
        if (w.size() < 4) continue;
        const Number page = pageNumber(w[1]), origin = hexNumber(w[2]), length = hexNumber(w[3]);
        if (!page.present || !origin.present || !length.present) continue;
        if (page.tooBig || origin.tooBig || length.tooBig) {
            report(problems, i,
                   outOfRange(page.tooBig     ? "page number"
                              : origin.tooBig ? "origin"
                                              : "length",
                              page.tooBig     ? w[1]
                              : origin.tooBig ? w[2]
                                              : w[3]));
            continue;
        }
        out.push_back({w[0], static_cast<int>(page.value), origin.value, length.value});
    }
    return out;
}

// Places every section in the first range (in the map's order) on its page that holds its origin,
// adding its length to the range's use when the map gives none, and marks which ranges hold only
// fixed-size tables. Sections and ranges are each sorted by address once and swept together, the
// ranges under way kept by their place in the map, so a map of many of both is read in N log N.
void addSections(std::vector<MemoryUse>& ranges, std::vector<Section> sections, bool addUse) {
    std::vector<bool> grows(ranges.size(), false);
    std::vector<size_t> order(ranges.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::tie(ranges[a].page, ranges[a].origin, a) < std::tie(ranges[b].page, ranges[b].origin, b);
    });
    std::sort(sections.begin(), sections.end(), [](const Section& a, const Section& b) {
        return std::tie(a.page, a.origin) < std::tie(b.page, b.origin);
    });
    std::priority_queue<size_t, std::vector<size_t>, std::greater<>> open; // earliest in the map on top
    size_t next = 0;
    int page = 0;
    for (const Section& s : sections) {
        if (open.empty() || s.page != page) {
            open = {};
            page = s.page;
            while (next < order.size() && ranges[order[next]].page < page)
                ++next;
        }
        while (next < order.size() && ranges[order[next]].page == page &&
               ranges[order[next]].origin <= s.origin)
            open.push(order[next++]);
        // A range that ends at or before this origin ends before every later one too.
        while (!open.empty() && s.origin - ranges[open.top()].origin >= ranges[open.top()].length)
            open.pop();
        if (open.empty()) continue;
        const size_t k = open.top();
        MemoryUse& r = ranges[k];
        if (addUse) r.used = s.length > r.length - r.used ? r.length : r.used + s.length;
        grows[k] = grows[k] || growsWithTheProgram(s.name);
        r.fixedSize = !grows[k];
    }
}

} // namespace

std::string PadColumn(std::string s, size_t width) {
    if (s.size() < width) s.resize(width, ' ');
    return s + "  ";
}

std::vector<MemoryUse> ReadMemoryUse(const std::vector<std::string>& lines,
                                     std::vector<std::string>* problems) {
    std::vector<MemoryUse> ranges;
    size_t i = 0;
    while (i < lines.size() && TrimRight(lines[i]) != "MEMORY CONFIGURATION")
        ++i;
    if (i == lines.size()) return ranges;
    bool hasUsed = false;
    int page = 0;
    for (++i; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (startsWith(l, "SECTION ALLOCATION MAP")) break;
        auto w = words(l);
        if (w.empty() || startsWith(w[0], "--")) continue;
        if (w[0] == "name") {
            for (const auto& h : w)
                hasUsed = hasUsed || h == "used";
            continue;
        }
        if (w[0] == "PAGE" && w.size() >= 2) {
            const std::string word = w[1].substr(0, w[1].find(':'));
            const Number number = pageNumber(word);
            if (!number.present) continue;
            if (number.tooBig) {
                // The ranges that follow would land on a page that is not theirs.
                report(problems, i, outOfRange("page number", word));
                page = -1;
                continue;
            }
            page = static_cast<int>(number.value);
            w.erase(w.begin(), w.begin() + 2);
            if (w.empty()) continue; // the page heading stands on a line of its own
        }
        if (w.size() < 3) continue;
        const Number origin = hexNumber(w[1]), length = hexNumber(w[2]);
        if (!origin.present || !length.present) continue;
        if (page < 0) {
            report(problems, i,
                   "the range " + w[0].substr(0, 40) +
                       " follows a page number out of range; the line is left out");
            continue;
        }
        if (origin.tooBig || length.tooBig) {
            report(problems, i, outOfRange(origin.tooBig ? "origin" : "length", origin.tooBig ? w[1] : w[2]));
            continue;
        }
        MemoryUse r{w[0], page, origin.value, length.value, 0, {}};
        size_t next = 3;
        if (hasUsed && w.size() > 3) {
            const Number used = hexNumber(w[3]);
            if (used.tooBig || (used && used.value > r.length)) {
                report(problems, i,
                       used.tooBig ? outOfRange("used size", w[3])
                                   : "the used size " + w[3].substr(0, 40) + " is above the length " + w[2] +
                                         "; the line is left out");
                continue;
            }
            if (used) r.used = used.value;
            next = 4;
        }
        if (w.size() > next) r.attributes = w[next];
        ranges.push_back(r);
    }
    addSections(ranges, readSections(lines, i, problems), !hasUsed);
    return ranges;
}

std::vector<std::string> MemoryUseTable(const std::vector<MemoryUse>& ranges) {
    constexpr int barWidth = 20;
    // Addresses as the tools print them; a map's 16-digit values keep their bits through the cast.
    auto hex = [](std::uint64_t v) { return linkcmd::Hex(static_cast<std::int64_t>(v)); };
    std::vector<std::string> rows{PadColumn("range", 8) + PadColumn("page", 4) + PadColumn("origin", 7) +
                                  PadColumn("length", 7) + PadColumn("used", 7) + PadColumn("free", 7) +
                                  "use"};
    for (const auto& r : ranges) {
        const double share = r.length ? static_cast<double>(r.used) / static_cast<double>(r.length) : 0.0;
        const int filled = static_cast<int>(std::min(share, 1.0) * barWidth + 0.5);
        const int full = std::min(filled, barWidth);
        std::string bar = "[";
        bar.append(static_cast<size_t>(full), '#').append(static_cast<size_t>(barWidth - full), '.') += ']';
        char percent[16];
        std::snprintf(percent, sizeof percent, "%5.1f %%", share * 100.0);
        rows.push_back(PadColumn(r.name, 8) + PadColumn(std::to_string(r.page), 4) +
                       PadColumn(hex(r.origin), 7) + PadColumn(hex(r.length), 7) + PadColumn(hex(r.used), 7) +
                       PadColumn(hex(r.free()), 7) + bar + " " + percent +
                       (r.nearlyFull() ? "  over 90 %" : ""));
    }
    return rows;
}

namespace {
// The last value of a linker option ("-m map" or "-mmap") in the command file's lines and then in the
// linker's switches, as the linker reads them in that order.
std::string lastLinkOption(const std::vector<std::string>& commandFileLines,
                           const std::string& linkerSwitches, const std::string& option,
                           const std::string& another) {
    std::string value;
    auto scan = [&](const std::string& text) {
        const auto w = words(text);
        for (size_t i = 0; i < w.size(); ++i) {
            if (w[i] == option && i + 1 < w.size() && w[i + 1][0] != '-')
                value = w[++i];
            else if (startsWith(w[i], option.c_str()) && w[i].size() > option.size() && w[i] != another)
                value = w[i].substr(option.size());
        }
    };
    bool comment = false;
    for (const auto& line : commandFileLines) {
        // Comments ("/* ... */") may hold anything, "-m" included.
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            if (!comment && line.compare(i, 2, "/*") == 0) {
                comment = true;
                ++i;
            } else if (comment && line.compare(i, 2, "*/") == 0) {
                comment = false;
                ++i;
            } else if (!comment) {
                text += line[i];
            }
        }
        // MEMORY and SECTIONS blocks name no options.
        if (text.find_first_of("{}=>") != std::string::npos) continue;
        scan(text);
    }
    scan(linkerSwitches);
    return value;
}
} // namespace

std::string MapFileOfLink(const std::vector<std::string>& commandFileLines,
                          const std::string& linkerSwitches) {
    return lastLinkOption(commandFileLines, linkerSwitches, "-m", "-ms");
}

std::string OutputFileOfLink(const std::vector<std::string>& commandFileLines,
                             const std::string& linkerSwitches) {
    return lastLinkOption(commandFileLines, linkerSwitches, "-o", "");
}

} // namespace halyard
