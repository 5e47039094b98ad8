// SPDX-License-Identifier: GPL-3.0-or-later
#include "placement.h"

#include <algorithm>
#include <optional>
#include <set>

#include "base/paths.h"

namespace halyard::sim370 {

namespace {

struct Block {
    std::int64_t start, end;
    std::string owner;
};

struct Where {
    std::string file;
    int line;
};

std::int64_t alignUp(std::int64_t v, std::int64_t a) {
    return a > 1 ? (v + a - 1) / a * a : v;
}

std::string span(const MemRange& r) {
    return r.name + " (origin " + Hex(r.origin) + ", length " + Hex(r.length) + ")";
}

class Placer {
public:
    Placer(std::vector<MemRange> memory, const std::vector<LinkObject>& objects, Diagnostics& d,
           std::string tool)
        : objects_(objects), d_(d), tool_(std::move(tool)) {
        explicitMemory_ = !memory.empty();
        if (!explicitMemory_) memory.push_back({"RAM", "RWXI", 0, 0, 0x10000, std::nullopt, tool_, 0});
        for (auto& r : memory)
            p_.memory.push_back({r, 0});
        used_.resize(p_.memory.size());
    }

    Placement run(const std::vector<OutputSpec>& specs) {
        checkOverlaps();
        for (const auto& s : specs)
            claimAll(s);
        // Input sections that no SECTIONS entry named go to an output section of their own name.
        std::vector<OutputSpec> defaults;
        for (size_t o = 0; o < objects_.size(); ++o)
            for (const auto& sec : objects_[o].module.sections) {
                if (claimed_.count({o, sec.name}) || sec.size == 0) continue;
                auto it = std::find_if(defaults.begin(), defaults.end(),
                                       [&](auto& s) { return s.name == sec.name; });
                if (it == defaults.end()) {
                    OutputSpec s;
                    s.name = sec.name;
                    s.file = tool_;
                    defaults.push_back(s);
                }
            }
        for (const auto& s : defaults)
            claimAll(s);
        for (const auto& s : specs)
            allocate(s);
        for (const auto& s : defaults)
            allocate(s);
        defineSymbols();
        return std::move(p_);
    }

private:
    const std::vector<LinkObject>& objects_;
    Diagnostics& d_;
    std::string tool_;
    bool explicitMemory_ = false;
    Placement p_;
    std::vector<std::vector<Block>> used_; // per range
    std::set<std::pair<size_t, std::string>> claimed_;
    std::map<const OutputSpec*, std::vector<PlacedInput>> contents_;
    struct Claim {
        int input; // index into the section's input list; -1 when it has none
        PlacedInput placed;
    };
    std::map<const OutputSpec*, std::vector<Claim>> claims_;

    void error(const Where& w, int code, const std::string& text) { d_.error(w.file, w.line, code, text); }

    void checkOverlaps() {
        for (size_t j = 0; j < p_.memory.size(); ++j)
            for (size_t i = 0; i < j; ++i) {
                const MemRange& a = p_.memory[i].range;
                const MemRange& b = p_.memory[j].range;
                if (a.page == b.page && a.origin < b.end() && b.origin < a.end() && a.length && b.length)
                    error({b.file, b.line}, 201, "memory range " + span(b) + " overlaps range " + span(a));
            }
    }

    bool matchesFile(const std::string& pattern, const std::string& object) {
        return pattern == "*" || SameText(BaseName(pattern), BaseName(object));
    }

    void claim(const OutputSpec* s, int input, size_t o, const std::string& section) {
        if (!claimed_.insert({o, section}).second) return;
        claims_[s].push_back({input, {objects_[o].name, section, 0, objects_[o].module.sizeOf(section), o}});
    }

    void claimAll(const OutputSpec& s) {
        if (s.kind == OutputSpec::Assignment) return;
        for (const auto& m : s.members)
            claimAll(m);
        if (s.kind != OutputSpec::Section) return;
        if (!s.hasInputs) {
            for (size_t o = 0; o < objects_.size(); ++o)
                for (const auto& sec : objects_[o].module.sections)
                    if (sec.name == s.name) claim(&s, -1, o, sec.name);
            return;
        }
        for (size_t k = 0; k < s.inputs.size(); ++k) {
            const InputItem& in = s.inputs[k];
            if (in.assignment) continue;
            for (size_t o = 0; o < objects_.size(); ++o) {
                if (!matchesFile(in.file, objects_[o].name)) continue;
                for (const auto& sec : objects_[o].module.sections)
                    if (in.sections.empty() || std::count(in.sections.begin(), in.sections.end(), sec.name))
                        claim(&s, static_cast<int>(k), o, sec.name);
            }
        }
    }

    // Lays out the contents of one output section from offset 0; returns its size.
    std::int64_t layout(const OutputSpec& s, std::vector<PlacedInput>& out,
                        std::vector<std::pair<std::string, std::int64_t>>& syms) {
        std::int64_t dot = 0;
        auto takeFrom = [&](int input) {
            for (auto& c : claims_[&s]) {
                if (c.input != input) continue;
                c.placed.offset = dot;
                out.push_back(c.placed);
                dot += c.placed.size;
            }
        };
        if (!s.hasInputs) {
            takeFrom(-1);
            return dot;
        }
        for (size_t k = 0; k < s.inputs.size(); ++k) {
            const InputItem& in = s.inputs[k];
            if (!in.assignment) {
                takeFrom(static_cast<int>(k));
                continue;
            }
            std::string why;
            auto v = EvalExpr(in.expr, dot, p_.symbols, &why);
            if (!v)
                error({s.file, in.line}, 202, "cannot evaluate the value of " + in.file + ": " + why);
            else if (in.file != ".")
                syms.push_back({in.file, *v}); // section-relative until placed
            else if (*v < dot)
                error({s.file, in.line}, 203, "'.' cannot move backwards in section " + s.name);
            else
                dot = *v;
        }
        return dot;
    }

    std::optional<size_t> rangeNamed(const std::string& name) {
        for (size_t i = 0; i < p_.memory.size(); ++i)
            if (p_.memory[i].range.name == name) return i;
        return std::nullopt;
    }

    // block(n) keeps a section within one n-byte block, or starts it on a block boundary when it
    // is larger; unlike align(n) it moves the section only when it would cross a boundary.
    std::optional<std::int64_t> firstFit(size_t r, std::int64_t size, std::int64_t align,
                                         std::int64_t block) {
        const MemRange& m = p_.memory[r].range;
        auto fit = [&](std::int64_t at) {
            at = alignUp(at, align);
            if (block > 1 && size > 0 && at / block != (at + size - 1) / block) at = alignUp(at, block);
            return at;
        };
        std::int64_t at = fit(m.origin);
        auto blocks = used_[r];
        std::sort(blocks.begin(), blocks.end(), [](auto& a, auto& b) { return a.start < b.start; });
        for (const auto& b : blocks) {
            if (at + size <= b.start || (size == 0 && at <= b.start)) break;
            at = std::max(at, fit(b.end));
        }
        if (at + size > m.end()) return std::nullopt;
        return at;
    }

    std::int64_t freeIn(size_t r) { return p_.memory[r].range.length - p_.memory[r].used; }

    void take(size_t r, std::int64_t at, std::int64_t size, const std::string& owner) {
        if (size == 0) return;
        used_[r].push_back({at, at + size, owner});
        p_.memory[r].used += size;
    }

    // Finds room for size bytes by the target; reports the failure and returns nullopt.
    std::optional<std::int64_t> place(const OutputSpec& s, const Target& t, std::int64_t size,
                                      const char* what, std::int64_t align) {
        const Where w{s.file, s.line};
        if (t.kind == Target::Address) {
            for (size_t r = 0; r < p_.memory.size(); ++r) {
                const MemRange& m = p_.memory[r].range;
                if (m.page != s.page || t.address < m.origin || t.address >= m.end()) continue;
                if (t.address + size > m.end()) {
                    error(w, 204,
                          "section " + s.name + " (size " + Hex(size) + ") at " + Hex(t.address) +
                              " does not fit into memory range " + span(m) + "; " +
                              Hex(t.address + size - m.end()) + " bytes short");
                    return std::nullopt;
                }
                for (const auto& b : used_[r])
                    if (t.address < b.end && b.start < t.address + size) {
                        error(w, 205,
                              "section " + s.name + " at " + Hex(t.address) + " overlaps section " + b.owner +
                                  " (" + Hex(b.start) + "-" + Hex(b.end - 1) + ")");
                        return std::nullopt;
                    }
                take(r, t.address, size, s.name);
                return t.address;
            }
            if (explicitMemory_ && size > 0) {
                error(w, 206,
                      "section " + s.name + " at " + Hex(t.address) +
                          " is not inside any configured memory range");
                return std::nullopt;
            }
            // Without MEMORY, page 0 is the whole address space: nothing lies beyond it, and two
            // sections placed out there would overlap unnoticed.
            if (s.page == 0 && size > 0) {
                error(w, 206,
                      "section " + s.name + " at " + Hex(t.address) + " is outside the address space " +
                          Hex(p_.memory[0].range.origin) + "-" + Hex(p_.memory[0].range.end() - 1));
                return std::nullopt;
            }
            return t.address;
        }
        if (t.kind == Target::Range) {
            auto r = rangeNamed(t.range);
            if (!r) {
                error(w, 207,
                      "memory range " + t.range + " is not defined (" + what + " placement of " + s.name +
                          ")");
                return std::nullopt;
            }
            if (auto at = firstFit(*r, size, align, s.block)) {
                take(*r, *at, size, s.name);
                return at;
            }
            const std::int64_t free = freeIn(*r);
            error(w, 208,
                  "section " + s.name + " (size " + Hex(size) + ") does not fit into memory range " +
                      span(p_.memory[*r].range) + ", " + Hex(free) + " bytes free; " +
                      Hex(std::max<std::int64_t>(size - free, 1)) + " bytes short");
            return std::nullopt;
        }
        for (size_t r = 0; r < p_.memory.size(); ++r) {
            if (p_.memory[r].range.page != s.page) continue;
            if (auto at = firstFit(r, size, align, s.block)) {
                take(r, *at, size, s.name);
                return at;
            }
        }
        error(w, 209, "no memory range has room for section " + s.name + " (size " + Hex(size) + ")");
        return std::nullopt;
    }

    void allocate(const OutputSpec& s) {
        if (s.kind == OutputSpec::Assignment) {
            std::string why;
            const std::int64_t dot =
                p_.sections.empty() ? 0 : p_.sections.back().run + p_.sections.back().size;
            if (auto v = EvalExpr(s.expr, dot, p_.symbols, &why))
                p_.symbols[s.name] = *v;
            else
                error({s.file, s.line}, 202, "cannot evaluate the value of " + s.name + ": " + why);
            return;
        }
        if (s.kind != OutputSpec::Section) {
            allocateAggregate(s);
            return;
        }
        PlacedSection out;
        std::vector<std::pair<std::string, std::int64_t>> syms;
        out.name = s.name;
        out.type = s.type;
        out.page = s.page;
        out.size = layout(s, out.inputs, syms);
        if (s.type == "DSECT" || s.type == "COPY") {
            // Dummy and copy sections reserve no memory; a copy section still goes into the output.
            out.allocated = false;
            out.load = out.run = s.load.kind == Target::Address ? s.load.address : 0;
        } else if (s.load.kind == Target::None && s.run.kind != Target::None) {
            // With only a run placement the section is allocated once and loads where it runs.
            auto run = place(s, s.run, out.size, "run", s.align);
            if (!run) return;
            out.load = out.run = *run;
        } else {
            auto load = place(s, s.load, out.size, "load", s.align);
            if (!load) return;
            out.load = out.run = *load;
            if (s.run.kind != Target::None) {
                auto run = place(s, s.run, out.size, "run", s.align);
                if (!run) return;
                out.run = *run;
            }
        }
        for (const auto& [name, offset] : syms)
            p_.symbols[name] = out.run + offset;
        p_.sections.push_back(std::move(out));
    }

    // UNION: members share one run address; GROUP: members follow each other in one block.
    void allocateAggregate(const OutputSpec& s) {
        struct Member {
            const OutputSpec* spec;
            PlacedSection placed;
            std::vector<std::pair<std::string, std::int64_t>> syms;
        };
        std::vector<Member> members;
        std::int64_t size = 0;
        // Members are aligned within the block, so the block starts on the largest alignment.
        std::int64_t align = s.align;
        for (const auto& m : s.members) {
            align = std::max(align, m.align);
            if (m.kind != OutputSpec::Section) {
                error({m.file, m.line}, 210, s.name + " may hold only output sections");
                continue;
            }
            Member mem{&m, {}, {}};
            mem.placed.name = m.name;
            mem.placed.type = m.type;
            mem.placed.page = s.page;
            mem.placed.size = layout(m, mem.placed.inputs, mem.syms);
            if (s.kind == OutputSpec::Union) {
                size = std::max(size, mem.placed.size);
            } else {
                size = alignUp(size, m.align) + mem.placed.size;
            }
            members.push_back(std::move(mem));
        }
        const bool runs = s.run.kind != Target::None;
        auto at = place(s, runs ? s.run : s.load, size, runs ? "run" : "load", align);
        if (!at) return;
        // A group with both placements is also loaded as one block, its members in the same order.
        std::optional<std::int64_t> loadAt;
        if (s.kind == OutputSpec::Group && runs && s.load.kind != Target::None) {
            loadAt = place(s, s.load, size, "load", align);
            if (!loadAt) return;
        }
        std::int64_t offset = 0;
        for (auto& m : members) {
            if (s.kind == OutputSpec::Group) offset = alignUp(offset, m.spec->align);
            m.placed.run = m.placed.load = *at + offset;
            if (loadAt) m.placed.load = *loadAt + offset;
            if (s.kind == OutputSpec::Union && m.spec->load.kind != Target::None) {
                auto load = place(*m.spec, m.spec->load, m.placed.size, "load", m.spec->align);
                if (!load) return;
                m.placed.load = *load;
            }
            if (s.kind == OutputSpec::Group) offset += m.placed.size;
            for (const auto& [name, off] : m.syms)
                p_.symbols[name] = m.placed.run + off;
            p_.sections.push_back(std::move(m.placed));
        }
    }

    void defineSymbols() {
        for (const auto& sec : p_.sections)
            for (const auto& in : sec.inputs)
                for (const auto& d : objects_[in.objectIndex].module.defs)
                    if (d.section == in.section) p_.symbols[d.name] = sec.run + in.offset + d.offset;
    }
};

} // namespace

Placement Place(std::vector<MemRange> memory, const std::vector<OutputSpec>& specs,
                const std::vector<LinkObject>& objects, Diagnostics& diags, const std::string& tool) {
    return Placer(std::move(memory), objects, diags, tool).run(specs);
}

} // namespace halyard::sim370
