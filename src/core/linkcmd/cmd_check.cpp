#include "linkcmd/cmd_check.h"

#include <algorithm>
#include <cctype>
#include <set>

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

    void memory() {
        for (size_t i = 0; i < cf_.memory.size(); ++i) {
            const MemRange& r = cf_.memory[i];
            if (r.end() > kAddressSpace)
                d_.error(label_, r.line, 0,
                         range(r) + " reaches past the 64K address space (ends at " + Hex(r.end() - 1) + ")");
            if (r.length == 0) continue;
            for (size_t k = 0; k < i; ++k) {
                const MemRange& o = cf_.memory[k];
                if (o.length == 0 || o.page != r.page) continue;
                if (r.origin < o.end() && o.origin < r.end())
                    d_.error(label_, r.line, 0,
                             range(r) + " overlaps " + range(o) + " on page " + std::to_string(r.page));
            }
        }
    }

    const MemRange* find(const std::string& name) const {
        for (const auto& r : cf_.memory)
            if (r.name == name) return &r;
        return nullptr;
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
    if (d.line > 0) out += " " + std::to_string(d.line);
    return out + (d.severity == Severity::Error ? ": error: " : ": warning: ") + d.text;
}

} // namespace halyard::linkcmd
