#include "tool_output/memory_map.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <sstream>

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

std::optional<std::uint64_t> hexNumber(std::string t) {
    if (!t.empty() && (t.back() == 'h' || t.back() == 'H')) t.pop_back();
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
    if (t.empty() || t.size() > 16) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : t) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 16 + static_cast<std::uint64_t>(std::isdigit(static_cast<unsigned char>(c))
                                                    ? c - '0'
                                                    : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
    }
    return v;
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
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
std::vector<Section> readSections(const std::vector<std::string>& lines, size_t from) {
    std::vector<Section> out;
    for (size_t i = from; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (startsWith(l, "GLOBAL SYMBOLS")) break;
        if (l.empty() || std::isspace(static_cast<unsigned char>(l[0])) || startsWith(l, "--")) continue;
        const auto w = words(l);
        if (w.size() < 4 || w[1].find_first_not_of("0123456789") != std::string::npos) continue;
        const auto origin = hexNumber(w[2]), length = hexNumber(w[3]);
        if (!origin || !length) continue;
        out.push_back({w[0], std::stoi(w[1]), *origin, *length});
    }
    return out;
}

std::string column(std::string s, size_t width) {
    if (s.size() < width) s.resize(width, ' ');
    return s + "  ";
}

} // namespace

std::vector<MemoryUse> ReadMemoryUse(const std::vector<std::string>& lines) {
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
            const std::string number = w[1].substr(0, w[1].find(':'));
            if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) continue;
            page = std::stoi(number);
            w.erase(w.begin(), w.begin() + 2);
            if (w.empty()) continue; // the page heading stands on a line of its own
        }
        if (w.size() < 3) continue;
        const auto origin = hexNumber(w[1]), length = hexNumber(w[2]);
        if (!origin || !length) continue;
        MemoryUse r{w[0], page, *origin, *length, 0, {}};
        size_t next = 3;
        if (hasUsed && w.size() > 3) {
            if (const auto used = hexNumber(w[3])) r.used = *used;
            next = 4;
        }
        if (w.size() > next) r.attributes = w[next];
        ranges.push_back(r);
    }
    std::vector<bool> grows(ranges.size(), false);
    for (const auto& s : readSections(lines, i))
        for (size_t k = 0; k < ranges.size(); ++k) {
            MemoryUse& r = ranges[k];
            if (r.page == s.page && s.origin >= r.origin && s.origin < r.origin + r.length) {
                if (!hasUsed) r.used += s.length;
                grows[k] = grows[k] || growsWithTheProgram(s.name);
                r.fixedSize = !grows[k];
                break;
            }
        }
    return ranges;
}

std::vector<std::string> MemoryUseTable(const std::vector<MemoryUse>& ranges) {
    constexpr int barWidth = 20;
    // Addresses as the tools print them; a map's 16-digit values keep their bits through the cast.
    auto hex = [](std::uint64_t v) { return linkcmd::Hex(static_cast<std::int64_t>(v)); };
    std::vector<std::string> rows{column("range", 8) + column("page", 4) + column("origin", 7) +
                                  column("length", 7) + column("used", 7) + column("free", 7) + "use"};
    for (const auto& r : ranges) {
        const double share = r.length ? static_cast<double>(r.used) / static_cast<double>(r.length) : 0.0;
        const int filled = static_cast<int>(share * barWidth + 0.5);
        const int full = std::min(filled, barWidth);
        std::string bar = "[";
        bar.append(static_cast<size_t>(full), '#').append(static_cast<size_t>(barWidth - full), '.') += ']';
        char percent[16];
        std::snprintf(percent, sizeof percent, "%5.1f %%", share * 100.0);
        rows.push_back(column(r.name, 8) + column(std::to_string(r.page), 4) + column(hex(r.origin), 7) +
                       column(hex(r.length), 7) + column(hex(r.used), 7) + column(hex(r.free()), 7) + bar +
                       " " + percent + (r.nearlyFull() ? "  over 90 %" : ""));
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
