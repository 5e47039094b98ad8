#include "linkcmd/cmd_check.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <queue>
#include <set>
#include <tuple>

#include "base/dos_devices.h"
#include "base/paths.h"

namespace halyard::linkcmd {

namespace {

constexpr std::int64_t kAddressSpace = 0x10000;

std::string range(const MemRange& r) {
    return "memory range " + r.name + " (origin " + Hex(r.origin) + ", length " + Hex(r.length) + ")";
}

// Code sections are the ones the compiler and assembler name ".text" (and their sub-sections).
bool holdsCode(const OutputSpec& s) {
    return s.name == ".text" || s.name.rfind(".text:", 0) == 0;
}

bool absolutePath(const std::string& name) {
    return (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') ||
           name[0] == '\\' || name[0] == '/';
}

class Checker {
public:
    Checker(const CommandFile& cf, const std::string& label, const DosDevices& dd, const std::string& baseDir,
            Diagnostics& d)
        : cf_(cf), label_(label), dd_(dd), baseDir_(baseDir), d_(d) {}

    void run() {
        for (const auto& r : cf_.memory)
            byName_.emplace(r.name, &r); // the first of a name, as the linker takes it
        memory();
        for (const auto& s : cf_.sections)
            section(s);
    }

private:
    const CommandFile& cf_;
    const std::string& label_;
    const DosDevices& dd_;
    const std::string& baseDir_;
    Diagnostics& d_;
    std::set<std::string> seenInputs_;
    std::map<std::string, const MemRange*> byName_;

    // Each range is reported with every earlier one it overlaps. The ranges are swept in the order
    // of their origins, so that a file of many ranges takes time in proportion to its size.
    void memory() {
        const auto& m = cf_.memory;
        std::vector<size_t> order;
        for (size_t i = 0; i < m.size(); ++i) {
            if (m[i].end() > kAddressSpace)
                d_.error(label_, m[i].line, 0,
                         range(m[i]) + " reaches past the 64K address space (ends at " + Hex(m[i].end() - 1) +
                             ")");
            if (m[i].length != 0) order.push_back(i);
        }
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return std::tie(m[a].page, m[a].origin, a) < std::tie(m[b].page, m[b].origin, b);
        });
        std::vector<std::pair<size_t, size_t>> overlaps; // (later, earlier) in the file
        // Ranges that began before the current origin, with the first to end on top.
        using Open = std::pair<std::int64_t, size_t>;
        std::priority_queue<Open, std::vector<Open>, std::greater<>> open;
        std::vector<size_t> active;
        for (size_t n = 0; n < order.size(); ++n) {
            const MemRange& r = m[order[n]];
            if (n > 0 && m[order[n - 1]].page != r.page) open = {};
            while (!open.empty() && open.top().first <= r.origin)
                open.pop();
            // Whatever is still open overlaps r.
            active.clear();
            for (auto copy = open; !copy.empty(); copy.pop())
                active.push_back(copy.top().second);
            for (size_t k : active)
                overlaps.emplace_back(std::max(k, order[n]), std::min(k, order[n]));
            open.emplace(r.end(), order[n]);
        }
        std::sort(overlaps.begin(), overlaps.end());
        for (const auto& [i, k] : overlaps)
            d_.error(label_, m[i].line, 0,
                     range(m[i]) + " overlaps " + range(m[k]) + " on page " + std::to_string(m[i].page));
    }

    const MemRange* find(const std::string& name) const {
        const auto it = byName_.find(name);
        return it == byName_.end() ? nullptr : it->second;
    }

    void target(const OutputSpec& s, const Target& t, const char* what) {
        if (t.kind == Target::Range) {
            if (!find(t.range))
                d_.error(label_, s.line, 0,
                         "memory range " + t.range + " is not defined (" + what + " placement of " + s.name +
                             ")");
        } else if (t.kind == Target::Address) {
            if (t.address >= kAddressSpace) {
                d_.error(label_, s.line, 0,
                         "section " + s.name + " at " + Hex(t.address) + " is outside the 64K address space");
                return;
            }
            if (cf_.memory.empty()) return;
            const bool inside = std::any_of(cf_.memory.begin(), cf_.memory.end(), [&](const MemRange& r) {
                return t.address >= r.origin && t.address < r.end();
            });
            if (!inside)
                d_.error(label_, s.line, 0,
                         "section " + s.name + " at " + Hex(t.address) + " is not inside any MEMORY range (" +
                             what + " placement)");
        }
    }

    void section(const OutputSpec& s) {
        target(s, s.load, "load");
        target(s, s.run, "run");
        // Code executes where it runs; a run placement, when given, is the one that needs X.
        const Target& exec = s.run.kind != Target::None ? s.run : s.load;
        if (holdsCode(s) && exec.kind == Target::Range)
            if (const MemRange* r = find(exec.range);
                r && !r->attrs.empty() && r->attrs.find('X') == std::string::npos)
                d_.warning(label_, s.line, 0,
                           "section " + s.name + " holds code but memory range " + r->name + " (" + r->attrs +
                               ") lacks the X attribute");
        for (const auto& in : s.inputs) {
            if (in.assignment || in.file == "*" || in.file.empty()) continue;
            const std::string path =
                absolutePath(in.file) ? in.file : AddTrailingBackslash(baseDir_) + in.file;
            if (!seenInputs_.insert(LowerCase(path)).second) continue;
            if (!dd_.fileExists(path))
                d_.warning(label_, in.line, 0, "input file " + in.file + " does not exist");
        }
        for (const auto& m : s.members)
            section(m);
    }
};

} // namespace

std::vector<Diagnostic> CheckCommandFile(const std::string& text, const std::string& label,
                                         const DosDevices& dd, const std::string& baseDir) {
    Diagnostics d;
    const CommandFile cf = ParseCommandFile(text, label, d);
    Checker(cf, label, dd, baseDir, d).run();
    std::vector<Diagnostic> out = d.all();
    std::stable_sort(out.begin(), out.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    return out;
}

std::string FormatCheckMessage(const Diagnostic& d) {
    std::string out = d.file;
    if (d.line > 0) out.append(" ").append(std::to_string(d.line));
    return out + (d.severity == Severity::Error ? ": error: " : ": warning: ") + d.text;
}

} // namespace halyard::linkcmd
