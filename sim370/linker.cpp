// SPDX-License-Identifier: GPL-3.0-or-later
#include "linker.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "ar_archive.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "executable.h"
#include "link_command.h"
#include "object_file.h"
#include "tms370/coff.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxNesting = 8;
constexpr int kInputOnly = -1;

struct Library {
    std::string name; // as written
    std::vector<LinkObject> members;
};

class Linker {
public:
    Linker(const ToolEnv& env, Diagnostics& d) : env_(env), d_(d), base_(d.errorCount()) {}

    int run(const std::vector<std::string>& args, const std::vector<std::string>& objects,
            std::ostream& out) {
        for (const auto& o : objects)
            addFile({o, "lnk370", 0}, 0);
        std::vector<LinkArg> cmdLine;
        for (const auto& a : args)
            if (!TrimRight(a).empty()) cmdLine.push_back({a, "lnk370", 0});
        if (std::none_of(args.begin(), args.end(), [](const std::string& a) { return a == "-q"; }))
            out << "TMS370 Linker (Halyard stand-in)                   Version 5.30" << std::endl;
        processArgs(cmdLine, 0);
        loadLibraries();
        loadSectionFiles(specs_);
        synthesize();
        // Inputs that could not be read would only add a message for every symbol they define.
        if (!failed()) resolve();
        Placement placement;
        if (!failed()) placement = Place(memory_, specs_, objects_, d_);
        if (failed()) {
            out << ">> errors in link; output file " << opt_.output << " not built" << std::endl;
            return 1;
        }
        for (const auto& [name, value] : placement.symbols)
            symbols_[name] = value;
        writeOutput(placement);
        return failed() ? 1 : 0;
    }

private:
    const ToolEnv& env_;
    Diagnostics& d_;
    const int base_;
    LinkOptions opt_;
    std::vector<LinkObject> objects_;
    std::vector<LinkArg> pending_; // "-l" libraries, searched once every "-i" is known
    std::vector<Library> libraries_;
    std::vector<MemRange> memory_;
    std::vector<OutputSpec> specs_;
    std::map<std::string, std::int64_t> symbols_;
    std::vector<fs::path> reading_; // the command files being read, outermost first

    bool failed() const { return d_.errorCount() > base_; }
    void error(const LinkArg& at, int code, const std::string& text) {
        d_.error(at.file, at.line, code, text);
    }

    std::optional<std::int64_t> number(const LinkArg& at, const std::string& text, const std::string& what) {
        auto v = ParseNumber(text);
        if (!v) error(at, 301, "invalid " + what + " value '" + text + "'");
        return v;
    }

    // Options that take a value: the value is attached ("-lrts.lib") or the next word.
    void processArgs(const std::vector<LinkArg>& args, int depth) {
        static const std::vector<std::string> kValued = {"-heap", "-hstack", "-sstack", "-stack", "-o", "-m",
                                                         "-e",    "-u",      "-l",      "-i",     "-f"};
        for (size_t i = 0; i < args.size(); ++i) {
            const LinkArg& a = args[i];
            const std::string& t = a.text;
            if (t.empty()) continue;
            if (t[0] != '-') {
                addFile(a, depth);
                continue;
            }
            if (t == "-a")
                opt_.absolute = true;
            else if (t == "-r")
                opt_.relocatable = true;
            else if (t == "-c")
                opt_.romInit = true;
            else if (t == "-cr")
                opt_.ramInit = true;
            else if (t == "-h")
                opt_.globalStatic = true;
            else if (t == "-n")
                opt_.ignoreFill = true;
            else if (t == "-q")
                opt_.quiet = true;
            else if (t == "-s")
                opt_.strip = true;
            else if (t == "-x")
                opt_.rereadLibraries = true;
            else {
                std::string key, value;
                for (const auto& k : kValued)
                    if (t.rfind(k, 0) == 0 && (key.empty() || k.size() > key.size()) &&
                        (t.size() == k.size() || k.size() <= 2))
                        key = k;
                if (key.empty()) {
                    error(a, 302, "invalid option " + t);
                    continue;
                }
                if (t.size() > key.size())
                    value = t.substr(key.size());
                else if (i + 1 < args.size() && !args[i + 1].text.empty() && args[i + 1].text[0] != '-' &&
                         args[i + 1].file == a.file && args[i + 1].line == a.line)
                    value = args[++i].text; // an empty field ("-u  -e main") must not take the next option
                else {
                    error(a, 303, "option " + key + " needs a value");
                    continue;
                }
                if (key == "-o")
                    opt_.output = value;
                else if (key == "-m")
                    opt_.map = value;
                else if (key == "-e")
                    opt_.entry = value;
                else if (key == "-u")
                    opt_.undefined.push_back(value);
                else if (key == "-i")
                    opt_.libDirs.push_back(value);
                else if (key == "-l")
                    pending_.push_back({value, a.file, a.line});
                else if (key == "-heap")
                    opt_.heap = number(a, value, "heap size");
                else if (key == "-hstack")
                    opt_.hardStack = number(a, value, "hardware stack size");
                else if (key == "-sstack" || key == "-stack")
                    opt_.softStack = number(a, value, "stack size");
                else if (key == "-f")
                    opt_.fill = number(a, value, "fill");
            }
        }
    }

    void addObject(const std::string& name, const std::string& bytes, const LinkArg& at) {
        auto m = ReadObject(bytes);
        if (!m) {
            error(at, 304, "file " + name + " is not a valid object file");
            return;
        }
        objects_.push_back({name, std::move(*m)});
    }

    void addLibrary(const std::string& name, const std::string& bytes, const LinkArg& at) {
        auto members = ReadAr(bytes);
        if (!members) {
            error(at, 305, "library " + name + " is not a valid archive");
            return;
        }
        Library lib{name, {}};
        for (const auto& m : *members)
            if (auto obj = ReadObject(m.data)) lib.members.push_back({m.name, std::move(*obj)});
        libraries_.push_back(std::move(lib));
    }

    // A file is an object, a library, or else a command file, by its contents; the input files
    // that SECTIONS names (depth kInputOnly) cannot be command files.
    void addFile(const LinkArg& a, int depth) {
        const fs::path host = env_.host(a.text);
        std::string bytes;
        std::error_code ec;
        if (!fs::is_regular_file(host, ec) || !ReadHostFile(host, bytes)) {
            error(a, 306, "cannot find file " + TrimRight(a.text));
            return;
        }
        if (IsObject(bytes)) return addObject(TrimRight(a.text), bytes, a);
        if (IsAr(bytes)) return addLibrary(TrimRight(a.text), bytes, a);
        if (depth == kInputOnly) {
            error(a, 304, "file " + TrimRight(a.text) + " is not a valid object file");
            return;
        }
        if (depth >= kMaxNesting) {
            error(a, 307, "command files nested too deeply at " + TrimRight(a.text));
            return;
        }
        const fs::path key = fs::weakly_canonical(host, ec);
        if (std::find(reading_.begin(), reading_.end(), key) != reading_.end()) {
            error(a, 314, "command file " + TrimRight(a.text) + " includes itself");
            return;
        }
        CommandFile cf = ParseCommandFile(bytes, BaseName(TrimRight(a.text)), d_);
        reading_.push_back(key);
        processArgs(cf.args, depth + 1);
        reading_.pop_back();
        memory_.insert(memory_.end(), cf.memory.begin(), cf.memory.end());
        for (auto& s : cf.sections)
            specs_.push_back(std::move(s));
    }

    void loadLibraries() {
        for (const auto& arg : pending_) {
            fs::path host = env_.find(arg.text, opt_.libDirs);
            std::error_code ec;
            if (host.empty() && fs::is_regular_file(env_.host(arg.text), ec)) host = env_.host(arg.text);
            std::string bytes;
            if (host.empty() || !ReadHostFile(host, bytes)) {
                std::string where;
                for (const auto& d : opt_.libDirs)
                    where += (where.empty() ? "" : ";") + d;
                for (const auto& d : env_.cDir)
                    where += (where.empty() ? "" : ";") + d;
                error(arg, 308,
                      "cannot find library " + arg.text +
                          (where.empty() ? " (C_DIR is not set)" : " in " + where));
                continue;
            }
            addLibrary(arg.text, bytes, arg);
        }
    }

    // Files named in SECTIONS are linked even when no other line names them.
    void loadSectionFiles(const std::vector<OutputSpec>& specs) {
        for (const auto& s : specs) {
            loadSectionFiles(s.members);
            for (const auto& in : s.inputs) {
                if (in.assignment || in.file == "*") continue;
                const bool loaded = std::any_of(objects_.begin(), objects_.end(), [&](const LinkObject& o) {
                    return SameText(BaseName(o.name), BaseName(in.file));
                });
                if (!loaded) addFile({in.file, s.file, in.line}, kInputOnly);
            }
        }
    }

    void synthesize() {
        LinkObject made{"(linker)", {}};
        made.module.source = "lnk370";
        if (opt_.softStack) made.module.sections.push_back({".stack", *opt_.softStack});
        if (opt_.hardStack) made.module.sections.push_back({".hstack", *opt_.hardStack});
        if (opt_.heap) made.module.sections.push_back({".sysmem", *opt_.heap});
        if (!made.module.sections.empty()) objects_.push_back(std::move(made));
    }

    std::string entry() const {
        if (!opt_.entry.empty()) return opt_.entry;
        return opt_.romInit || opt_.ramInit ? "_c_int00" : "";
    }

    void resolve() {
        std::map<std::string, std::string> defined; // symbol -> object
        auto define = [&](const LinkObject& o) {
            for (const auto& d : o.module.defs) {
                auto [it, fresh] = defined.insert({d.name, o.name});
                if (!fresh)
                    d_.error(o.module.source, 0, 309,
                             "symbol " + d.name + " is defined in both " + BaseName(it->second) + " and " +
                                 BaseName(o.name));
            }
        };
        for (const auto& o : objects_)
            define(o);
        auto undefined = [&]() {
            std::set<std::string> u(opt_.undefined.begin(), opt_.undefined.end());
            if (!entry().empty()) u.insert(entry());
            for (const auto& o : objects_)
                for (const auto& r : o.module.refs)
                    u.insert(r.name);
            for (auto it = u.begin(); it != u.end();)
                it = defined.count(*it) ? u.erase(it) : std::next(it);
            return u;
        };
        // Each library is searched until it resolves nothing more; "-x" searches them all again.
        for (bool progress = true; progress;) {
            progress = false;
            for (auto& lib : libraries_) {
                for (bool pulled = true; pulled;) {
                    pulled = false;
                    const auto u = undefined();
                    for (auto& m : lib.members) {
                        if (m.name.empty() ||
                            std::none_of(m.module.defs.begin(), m.module.defs.end(),
                                         [&](const ObjSymbol& d) { return u.count(d.name); }))
                            continue;
                        LinkObject taken{lib.name + "(" + m.name + ")", m.module};
                        m.name.clear(); // taken once
                        define(taken);
                        objects_.push_back(std::move(taken));
                        pulled = progress = true;
                    }
                }
            }
            if (!opt_.rereadLibraries) break;
        }
        if (opt_.relocatable) return;
        const auto u = undefined();
        std::set<std::string> reported;
        for (const auto& o : objects_)
            for (const auto& r : o.module.refs)
                if (u.count(r.name) && reported.insert(r.name).second)
                    d_.error(o.module.source, r.line, 310,
                             "undefined symbol " + r.name + ", first referenced in " + BaseName(o.name));
        for (const auto& s : u)
            if (!reported.count(s))
                d_.error("lnk370", 0, 311,
                         (s == entry() ? "undefined entry point " : "undefined symbol ") + s);
    }

    void writeOutput(const Placement& p) {
        const std::string bytes = opt_.relocatable ? relocatableOutput(p) : executable(p);
        if (failed()) return;
        // The map comes first: a link whose map cannot be written has failed and leaves no output.
        if (!opt_.map.empty() &&
            !WriteHostFileAtomic(env_.host(opt_.map), JoinTextLines(MapFileLines(opt_, p, opt_.output)))) {
            d_.error("lnk370", 0, 313, "cannot create map file " + TrimRight(opt_.map));
            return;
        }
        if (!WriteHostFileAtomic(env_.host(opt_.output), bytes))
            d_.error("lnk370", 0, 312, "cannot create output file " + TrimRight(opt_.output));
    }

    // The program as the target runs it: placed bytes, relocations finished, a COFF file.
    std::string executable(const Placement& p) {
        ExecutableOptions o;
        o.fill = opt_.fill;
        o.strip = opt_.strip;
        if (!entry().empty()) {
            o.entry = symbols_[entry()];
        } else {
            for (const auto& s : p.sections)
                if (s.name == ".text") o.entry = s.run;
        }
        return tms370::WriteCoff(BuildExecutable(p, objects_, symbols_, o, d_));
    }

    // A partial link keeps the stand-in's own text: where each section went and the symbols.
    std::string relocatableOutput(const Placement& p) {
        std::vector<std::string> lines{"SIM370 RELOCATABLE OUTPUT 1"};
        if (!entry().empty()) lines.push_back("entry " + entry() + " " + Hex(symbols_[entry()]));
        for (const auto& s : p.sections)
            lines.push_back("section " + s.name + " load " + Hex(s.load) + " run " + Hex(s.run) + " size " +
                            Hex(s.size) + (s.type.empty() ? "" : " type " + s.type));
        if (!opt_.strip)
            for (const auto& [name, value] : symbols_)
                lines.push_back("symbol " + name + " " + Hex(value));
        return JoinTextLines(lines);
    }
};

std::string pad(std::string s, size_t width) {
    if (s.size() < width) s.resize(width, ' ');
    return s + " ";
}

// Addresses in the map are plain hexadecimal digits, zero-filled, as the tool chain prints them.
std::string MapHex(std::int64_t value, int digits = 8) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llx", digits, static_cast<unsigned long long>(value));
    return buf;
}

// The input sections of one output section, each named by its object file or, for a library
// member, "library : member"; a gap that the placement left between them (or before the end) is a
// hole.
void MapInputLines(const PlacedSection& s, std::vector<std::string>& l) {
    auto line = [&](std::int64_t offset, std::int64_t size, const std::string& what) {
        l.push_back("                  " + pad(MapHex(s.run + offset), 11) + pad(MapHex(size), 11) + "  " +
                    what);
    };
    std::int64_t at = 0;
    for (const auto& in : s.inputs) {
        if (in.size <= 0) continue;
        if (in.offset > at) line(at, in.offset - at, "--HOLE--");
        std::string origin = BaseName(in.object);
        // A member taken from a library is held as "library(member)".
        if (const size_t open = origin.find('('); open != std::string::npos && origin.back() == ')')
            origin = origin.substr(0, open) + " : " + origin.substr(open + 1, origin.size() - open - 2);
        line(in.offset, in.size, origin + " (" + in.section + ")");
        at = std::max(at, in.offset + in.size);
    }
    if (!s.inputs.empty() && at > 0 && s.size > at) line(at, s.size - at, "--HOLE--");
}

// Both orders of the global symbols, each a table of its own.
void MapSymbolLines(const std::map<std::string, std::int64_t>& symbols, std::vector<std::string>& l) {
    const std::string count = "[" + std::to_string(symbols.size()) + " symbols]";
    l.insert(l.end(),
             {"", "GLOBAL SYMBOLS: SORTED ALPHABETICALLY BY Name", "", "address   name", "--------  ----"});
    for (const auto& [name, value] : symbols)
        l.push_back(pad(MapHex(value), 9) + name);
    l.insert(l.end(),
             {"", "GLOBAL SYMBOLS: SORTED BY Symbol Address", "", "address   name", "--------  ----"});
    std::vector<std::pair<std::int64_t, std::string>> byAddress;
    byAddress.reserve(symbols.size());
    for (const auto& [name, value] : symbols)
        byAddress.push_back({value, name});
    std::sort(byAddress.begin(), byAddress.end());
    for (const auto& [value, name] : byAddress)
        l.push_back(pad(MapHex(value), 9) + name);
    l.insert(l.end(), {"", count});
}

} // namespace

std::vector<std::string> MapFileLines(const LinkOptions& o, const Placement& p,
                                      const std::string& outputName) {
    std::vector<std::string> l{
        "******************************************************************************",
        "TMS370 Linker (Halyard stand-in)                                  Version 5.30",
        "******************************************************************************", "",
        "OUTPUT FILE NAME:   <" + TrimRight(outputName) + ">"};
    const std::string entry = !o.entry.empty() ? o.entry : (o.romInit || o.ramInit ? "_c_int00" : "");
    if (!entry.empty()) {
        auto it = p.symbols.find(entry);
        l.push_back("ENTRY POINT SYMBOL: \"" + entry +
                    "\"  address: " + (it == p.symbols.end() ? "?" : MapHex(it->second)));
    }
    // The tool chain's layout: hexadecimal without a suffix, each page named on its first range.
    l.insert(l.end(), {"", "", "MEMORY CONFIGURATION", "",
                       "           name      origin    length      used     attr    fill",
                       "         --------  --------  ---------  --------  ----  --------"});
    int page = -1;
    for (const auto& m : p.memory) {
        const std::string head =
            m.range.page == page ? std::string(9, ' ') : pad("PAGE " + std::to_string(m.range.page) + ":", 8);
        page = m.range.page;
        l.push_back(TrimRight(head + pad(m.range.name, 8) + " " + pad(MapHex(m.range.origin), 9) +
                              pad(MapHex(m.range.length, 9), 10) + pad(MapHex(m.used), 9) +
                              pad(m.range.attrs, 5) + (m.range.fill ? MapHex(*m.range.fill) : "")));
    }
    l.insert(l.end(),
             {"", "", "SECTION ALLOCATION MAP", "", " output                                  attributes/",
              "section   page    origin      length       input sections",
              "--------  ----  ----------  ----------   ----------------"});
    for (const auto& s : p.sections) {
        std::string attrs = s.type.empty() ? "" : "    " + s.type;
        if (s.run != s.load) attrs += "    RUN ADDR = " + MapHex(s.run);
        l.push_back(TrimRight(pad(s.name, 8) + "   " + std::to_string(s.page) + "    " +
                              pad(MapHex(s.load), 11) + pad(MapHex(s.size), 11) + attrs));
        MapInputLines(s, l);
        l.push_back("");
    }
    if (!o.strip) MapSymbolLines(p.symbols, l);
    return l;
}

int RunLinker(const std::vector<std::string>& args, const std::vector<std::string>& objects,
              const ToolEnv& env, std::ostream& out, Diagnostics* shared) {
    Diagnostics own(&out);
    Diagnostics& d = shared ? *shared : own;
    const int before = d.errorCount();
    Linker l(env, d);
    const int rc = l.run(args, objects, out);
    return rc != 0 || d.errorCount() > before ? 1 : 0;
}

} // namespace halyard::sim370
