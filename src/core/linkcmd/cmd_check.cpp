// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkcmd/cmd_check.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <set>

#include "base/dos_devices.h"
#include "base/paths.h"

namespace halyard::linkcmd {

namespace {

constexpr std::int64_t kAddressSpace = 0x10000;
// A range laid over many others names this many of them and counts the rest.
constexpr size_t kOverlapsNamed = 3;

std::string span(const MemRange& r) {
    return r.name + " (origin " + Hex(r.origin) + ", length " + Hex(r.length) + ")";
}

std::string range(const MemRange& r) {
    return "memory range " + span(r);
}

// "memory range A (...)", "memory ranges A (...) and B (...)", "memory ranges A (...), B (...), C (...)
// and 5 more": the first ones of `count`.
std::string overlapped(const std::vector<const MemRange*>& named, size_t count) {
    if (count == 1) return range(*named[0]);
    std::string text = "memory ranges ";
    for (size_t j = 0; j < named.size(); ++j) {
        const bool last = j + 1 == named.size() && count == named.size();
        text += (j == 0 ? "" : last ? " and " : ", ") + span(*named[j]);
    }
    if (count > named.size()) text += " and " + std::to_string(count - named.size()) + " more";
    return text;
}

// Code sections are the ones the compiler and assembler name ".text" (and their sub-sections).
bool holdsCode(const OutputSpec& s) {
    return s.name == ".text" || s.name.rfind(".text:", 0) == 0;
}

// Sections the program writes while it runs: its variables, initialised or not, the heap and the
// stacks. Placed in a range that is not writable they fail only on the target.
bool holdsWrittenData(const OutputSpec& s) {
    for (const char* name : {".bss", ".data", ".sysmem", ".stack", ".hstack"}) {
        const std::string n = name;
        if (s.name == n || s.name.rfind(n + ":", 0) == 0) return true;
    }
    return false;
}

bool absolutePath(const std::string& name) {
    return (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') ||
           name[0] == '\\' || name[0] == '/';
}

// Counts of marked positions, by prefix.
class Counts {
public:
    explicit Counts(size_t n) : tree_(n + 1, 0) {}
    void mark(size_t at) {
        for (++at; at < tree_.size(); at += at & -at)
            ++tree_[at];
    }
    // Marked positions below `end`.
    size_t below(size_t end) const {
        size_t n = 0;
        for (; end > 0; end -= end & -end)
            n += tree_[end];
        return n;
    }

private:
    std::vector<size_t> tree_;
};

// Ranges in the order of their origins, each entered with its end once it is known; finds the
// entered ones among the first few positions that reach past an address, skipping every part of
// the order whose ranges all end before it.
class Ends {
public:
    explicit Ends(size_t n) {
        while (size_ < n)
            size_ *= 2;
        best_.assign(2 * size_, -1);
    }
    void enter(size_t at, std::int64_t end) {
        for (at += size_; at > 0; at /= 2)
            best_[at] = std::max(best_[at], end);
    }
    // Positions below `limit` entered with an end past `address`, lowest first, at most `most`.
    void reaching(size_t limit, std::int64_t address, size_t most, std::vector<size_t>& out) const {
        visit(1, 0, size_, limit, address, most, out);
    }

private:
    size_t size_ = 1;
    std::vector<std::int64_t> best_; // per node: the furthest end entered below it

    void visit(size_t node, size_t from, size_t to, size_t limit, std::int64_t address, size_t most,
               std::vector<size_t>& out) const {
        if (out.size() >= most || from >= limit || best_[node] <= address) return;
        if (to - from == 1) {
            out.push_back(from);
            return;
        }
        const size_t mid = (from + to) / 2;
        visit(2 * node, from, mid, limit, address, most, out);
        visit(2 * node + 1, mid, to, limit, address, most, out);
    }
};

class Checker {
public:
    Checker(const CommandFile& cf, const std::string& label, const DosDevices& dd, const std::string& baseDir,
            Diagnostics& d)
        : cf_(cf), label_(label), dd_(dd), baseDir_(baseDir), d_(d) {}

    void run() {
        for (const auto& r : cf_.memory) {
            byName_.emplace(r.name, &r); // the first of a name, as the linker takes it
            if (!r.known)
                unknownSpan_ = true;
            else if (r.length != 0)
                spans_.emplace_back(r.origin, r.end());
        }
        mergeSpans();
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
    // Where the ranges lie, merged and in order, for the placements at an address.
    std::vector<std::pair<std::int64_t, std::int64_t>> spans_;
    bool unknownSpan_ = false;                             // a range whose origin or length could not be read
    std::map<std::string, int> outputNames_;               // output section -> its first line
    std::map<std::string, std::set<std::string>> folders_; // folder -> its file names, upper case

    void mergeSpans() {
        std::sort(spans_.begin(), spans_.end());
        std::vector<std::pair<std::int64_t, std::int64_t>> merged;
        for (const auto& s : spans_)
            if (!merged.empty() && s.first <= merged.back().second)
                merged.back().second = std::max(merged.back().second, s.second);
            else
                merged.push_back(s);
        spans_ = std::move(merged);
    }

    bool inSomeRange(std::int64_t address) const {
        auto it = std::upper_bound(spans_.begin(), spans_.end(),
                                   std::pair{address, std::numeric_limits<std::int64_t>::max()});
        return it != spans_.begin() && address < std::prev(it)->second;
    }

    // Each range is reported once, at its line, with the earlier ranges it overlaps. A range whose
    // place is unknown, or that repeats the name of an earlier one, has its own error and takes no
    // part. Per page, the ranges are entered in file order into structures kept in the order of
    // their origins, so that finding and counting the earlier ones costs a search, not a pass.
    void memory() {
        const auto& m = cf_.memory;
        std::map<int, std::vector<size_t>> pages;
        for (size_t i = 0; i < m.size(); ++i) {
            if (!m[i].known) continue;
            if (m[i].end() > kAddressSpace)
                d_.error(label_, m[i].line, 0,
                         range(m[i]) + " reaches past the 64K address space (ends at " + Hex(m[i].end() - 1) +
                             ")");
            if (m[i].length != 0 && byName_.at(m[i].name) == &m[i]) pages[m[i].page].push_back(i);
        }
        for (const auto& [page, members] : pages)
            overlaps(page, members);
    }

    void overlaps(int page, const std::vector<size_t>& members) {
        const auto& m = cf_.memory;
        const size_t n = members.size();
        std::vector<size_t> byOrigin(n), byEnd(n), originAt(n), endAt(n);
        for (size_t k = 0; k < n; ++k)
            byOrigin[k] = byEnd[k] = k;
        auto origin = [&](size_t k) { return m[members[k]].origin; };
        auto end = [&](size_t k) { return m[members[k]].end(); };
        std::sort(byOrigin.begin(), byOrigin.end(), [&](size_t a, size_t b) {
            return std::pair{origin(a), a} < std::pair{origin(b), b};
        });
        std::sort(byEnd.begin(), byEnd.end(), [&](size_t a, size_t b) { return end(a) < end(b); });
        std::vector<std::int64_t> origins(n), ends(n);
        for (size_t p = 0; p < n; ++p) {
            originAt[byOrigin[p]] = p;
            origins[p] = origin(byOrigin[p]);
            endAt[byEnd[p]] = p;
            ends[p] = end(byEnd[p]);
        }
        Counts started(n), finished(n);
        Ends reach(n);
        std::vector<size_t> named;
        for (size_t k = 0; k < n; ++k) {
            // The earlier ranges that begin before this one ends, less those that end before it
            // begins: the latter are a part of the former, as no range here is empty.
            const size_t before = std::lower_bound(origins.begin(), origins.end(), end(k)) - origins.begin();
            const size_t done = std::upper_bound(ends.begin(), ends.end(), origin(k)) - ends.begin();
            const size_t count = started.below(before) - finished.below(done);
            if (count > 0) {
                named.clear();
                reach.reaching(before, origin(k), kOverlapsNamed, named);
                std::vector<const MemRange*> ranges;
                for (size_t at : named)
                    ranges.push_back(&m[members[byOrigin[at]]]);
                d_.error(label_, m[members[k]].line, 0,
                         range(m[members[k]]) + " overlaps " + overlapped(ranges, count) + " on page " +
                             std::to_string(page));
            }
            started.mark(originAt[k]);
            finished.mark(endAt[k]);
            reach.enter(originAt[k], end(k));
        }
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
            // Outside every range that can be placed, but maybe inside one whose place is unknown:
            // its own error says what is wrong.
            if (cf_.memory.empty() || unknownSpan_ || inSomeRange(t.address)) return;
            d_.error(label_, s.line, 0,
                     "section " + s.name + " at " + Hex(t.address) + " is not inside any MEMORY range (" +
                         what + " placement)");
        }
    }

    // Whether a file (an absolute path) is there, from one listing of its folder however many
    // files the folder holds.
    bool inputExists(const std::string& abs) {
        const std::string folder = ExtractFileDir(abs);
        auto it = folders_.find(UpperCase(folder));
        if (it == folders_.end()) {
            std::set<std::string> names;
            for (const auto& name : dd_.listFiles(folder, "*"))
                names.insert(UpperCase(TrimRight(name)));
            it = folders_.emplace(UpperCase(folder), std::move(names)).first;
        }
        return it->second.count(UpperCase(ExtractFileName(abs))) > 0;
    }

    void section(const OutputSpec& s) {
        if (s.kind == OutputSpec::Section) {
            // The builder writes a block twice when it is added twice; the second gets nothing, as
            // the first took its input sections.
            const auto [first, fresh] = outputNames_.emplace(s.name, s.line);
            if (!fresh)
                d_.warning(label_, s.line, 0,
                           "output section " + s.name + " is defined twice (first on line " +
                               std::to_string(first->second) + ")");
        }
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
        // Data is written where it runs too; a load placement of initialised data may well be ROM.
        if (holdsWrittenData(s) && exec.kind == Target::Range)
            if (const MemRange* r = find(exec.range);
                r && !r->attrs.empty() && r->attrs.find('W') == std::string::npos)
                d_.warning(label_, s.line, 0,
                           "section " + s.name + " holds data the program writes but memory range " +
                               r->name + " (" + r->attrs + ") lacks the W attribute");
        for (const auto& in : s.inputs) {
            if (in.assignment || in.file == "*" || in.file.empty()) continue;
            const std::string path =
                dd_.absolute(absolutePath(in.file) ? in.file : AddTrailingBackslash(baseDir_) + in.file);
            if (!seenInputs_.insert(UpperCase(path)).second) continue;
            if (!inputExists(path))
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
    std::vector<Diagnostic> out = d.take();
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
