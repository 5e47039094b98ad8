// SPDX-License-Identifier: GPL-3.0-or-later
#include "assembler.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "base/paths.h"
#include "base/text_file.h"
#include "object_file.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kMnemonics = {
    "ADC",   "ADD",  "AND",  "BTJO", "BTJZ", "BR",  "CALL", "CALLR", "CLR",  "CLRC",  "CMP",   "CMPBIT",
    "COMPL", "DAC",  "DEC",  "DECD", "DINT", "DIV", "DJNZ", "DSB",   "EINT", "EINTH", "EINTL", "IDLE",
    "INC",   "INCD", "INV",  "JMP",  "JMPL", "JC",  "JEQ",  "JG",    "JGE",  "JHS",   "JL",    "JLE",
    "JLO",   "JN",   "JNC",  "JNE",  "JNV",  "JNZ", "JP",   "JPZ",   "JV",   "JZ",    "LDSP",  "LDST",
    "MOV",   "MOVD", "MOVW", "MPY",  "NOP",  "OR",  "POP",  "PUSH",  "RL",   "RLC",   "RR",    "RRC",
    "RTI",   "RTS",  "SBB",  "SETC", "STSP", "SUB", "SWAP", "TRAP",  "TST",  "XCHB",  "XOR"};
const std::set<std::string> kIgnored = {".title",  ".file",    ".width",  ".length",  ".list",
                                        ".nolist", ".option",  ".align",  ".even",    ".page",
                                        ".mlist",  ".mnolist", ".sslist", ".ssnolist"};

std::string stripComment(const std::string& line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ';' && !quoted) return line.substr(0, i);
    }
    return line;
}

std::vector<std::string> operands(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : text + ",") {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            const auto a = cur.find_first_not_of(" \t"), b = cur.find_last_not_of(" \t");
            out.push_back(a == std::string::npos ? "" : cur.substr(a, b - a + 1));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (out.size() == 1 && out[0].empty()) out.clear();
    return out;
}

std::string unquote(const std::string& s) {
    return s.size() >= 2 && s.front() == '"' && s.back() == '"' ? s.substr(1, s.size() - 2) : s;
}

// The object file keeps names as words of a line: a name is one word, never empty.
bool isName(const std::string& s) {
    return !s.empty() && std::none_of(s.begin(), s.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == 0x7f;
    });
}

// The largest section the object file holds (its reader refuses more).
constexpr std::int64_t kSectionLimit = 0xFFFFFFFFLL;

struct Use {
    std::string symbol;
    int line;
};

} // namespace

bool Assemble(const fs::path& source, const std::string& shownName, const fs::path& objDir,
              Diagnostics& diags, fs::path* objectOut) {
    std::string text;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec) || !ReadHostFile(source, text)) {
        diags.error(shownName, 0, 1, "cannot open source file " + shownName);
        return false;
    }
    const int before = diags.errorCount();
    auto err = [&](int line, int code, const std::string& t) { diags.error(shownName, line, code, t); };

    std::map<std::string, std::int64_t> sizes;
    std::vector<std::string> order;
    std::string section = ".text";
    int lineNo = 0;
    auto grow = [&](const std::string& s, std::int64_t n) {
        if (!sizes.count(s)) order.push_back(s);
        std::int64_t& size = sizes[s];
        if (size > kSectionLimit) return; // said once
        size += n;
        if (size > kSectionLimit)
            err(lineNo, 415, "section " + s + " is larger than " + Hex(kSectionLimit) + " bytes");
    };
    auto named = [&](int line, const std::string& name, const char* what) {
        if (isName(name)) return true;
        err(line, 414, std::string("invalid ") + what + " name '" + name + "'");
        return false;
    };
    // Only grow() enters a section: a label must not make one that the object would then miss.
    auto here = [&](const std::string& s) -> std::int64_t {
        const auto it = sizes.find(s);
        return it == sizes.end() ? 0 : it->second;
    };
    std::map<std::string, std::pair<std::string, std::int64_t>> labels; // name -> section, offset
    std::map<std::string, int> refs, defs;                              // name -> line of the directive
    std::set<std::string> constants;
    std::vector<Use> uses;

    for (const auto& raw : SplitTextLines(text)) {
        ++lineNo;
        if (raw.empty() || raw[0] == '*' || raw[0] == ';') continue;
        std::string line = stripComment(raw);
        std::string label;
        size_t pos = 0;
        if (!std::isspace(static_cast<unsigned char>(line[0]))) {
            while (pos < line.size() && !std::isspace(static_cast<unsigned char>(line[pos])) &&
                   line[pos] != ':')
                ++pos;
            label = line.substr(0, pos);
            if (pos < line.size() && line[pos] == ':') ++pos;
        }
        while (pos < line.size() && std::isspace(static_cast<unsigned char>(line[pos])))
            ++pos;
        size_t end = pos;
        while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])))
            ++end;
        const std::string op = LowerCase(line.substr(pos, end - pos));
        const auto args = operands(line.substr(end));

        if (op == ".set" || op == ".equ") {
            if (label.empty())
                err(lineNo, 401, op + " needs a label");
            else if (args.size() != 1 || !ParseNumber(args[0]))
                err(lineNo, 402, "invalid value for " + label);
            else
                constants.insert(label);
            continue;
        }
        if (!label.empty()) {
            if (labels.count(label) || constants.count(label))
                err(lineNo, 403, "symbol " + label + " is defined twice");
            labels[label] = {section, here(section)};
        }
        if (op.empty()) continue;
        if (op == ".end") break;
        if (op == ".sect") {
            if (args.size() != 1 || unquote(args[0]).empty())
                err(lineNo, 404, ".sect needs a section name");
            else if (named(lineNo, unquote(args[0]), "section"))
                section = unquote(args[0]);
            if (!label.empty()) labels[label] = {section, here(section)};
        } else if (op == ".text" || op == ".data") {
            section = op;
        } else if (op == ".bss" || op == ".usect") {
            const size_t first = op == ".usect" ? 1 : 0;
            const std::string target = op == ".usect" && !args.empty() ? unquote(args[0]) : ".bss";
            if (args.size() < first + 2 || !ParseNumber(args[first + 1])) {
                err(lineNo, 405, op + " needs a symbol and a size");
                continue;
            }
            if (!named(lineNo, args[first], "symbol") || !named(lineNo, target, "section")) continue;
            labels[args[first]] = {target, here(target)};
            grow(target, *ParseNumber(args[first + 1]));
        } else if (op == ".word" || op == ".byte" || op == ".string") {
            if (args.empty()) err(lineNo, 406, op + " needs at least one value");
            for (const auto& a : args) {
                if (op == ".string" || (op == ".byte" && a.size() >= 2 && a.front() == '"')) {
                    grow(section, static_cast<std::int64_t>(unquote(a).size()));
                    continue;
                }
                grow(section, op == ".word" ? 2 : 1);
                if (!ParseNumber(a)) {
                    if (a.empty() ||
                        !(std::isalpha(static_cast<unsigned char>(a[0])) || a[0] == '_' || a[0] == '$'))
                        err(lineNo, 407, "invalid value '" + a + "'");
                    else
                        uses.push_back({a, lineNo});
                }
            }
        } else if (op == ".space" || op == ".bes" || op == ".block") {
            if (args.size() != 1 || !ParseNumber(args[0]))
                err(lineNo, 408, op + " needs a size");
            else
                grow(section, *ParseNumber(args[0]));
        } else if (op == ".ref" || op == ".def" || op == ".global" || op == ".globl") {
            if (args.empty()) err(lineNo, 409, op + " needs a symbol name");
            for (const auto& a : args)
                if (named(lineNo, a, "symbol")) (op == ".ref" ? refs : defs)[a] = lineNo;
        } else if (kIgnored.count(op)) {
        } else if (op[0] == '.') {
            err(lineNo, 410, "unknown directive " + op);
        } else if (kMnemonics.count(UpperCase(op))) {
            grow(section, 3);
        } else {
            err(lineNo, 411, "unknown instruction " + op);
        }
    }

    ObjectModule m;
    m.source = BaseName(shownName);
    for (const auto& s : order)
        m.sections.push_back({s, sizes[s]});
    for (const auto& [name, line] : defs) {
        if (auto it = labels.find(name); it != labels.end())
            m.defs.push_back({name, it->second.first, it->second.second});
        else
            refs.insert({name, line}); // ".global" of a symbol defined elsewhere
    }
    for (const auto& [name, line] : refs) {
        if (labels.count(name) && !defs.count(name))
            err(line, 412, "symbol " + name + " is both defined and .ref");
        else if (!labels.count(name))
            m.refs.push_back({name, line});
    }
    for (const auto& u : uses)
        if (!labels.count(u.symbol) && !refs.count(u.symbol) && !defs.count(u.symbol) &&
            !constants.count(u.symbol))
            err(u.line, 413, "undefined symbol " + u.symbol);
    if (diags.errorCount() > before) return false;

    const fs::path object = objDir / (StemOf(shownName) + ".obj");
    if (!WriteHostFileAtomic(object, WriteObject(m))) {
        diags.error("asm370", 0, 902, "cannot create object file " + object.string());
        return false;
    }
    if (objectOut) *objectOut = object;
    return true;
}

int RunAsm370(const std::vector<std::string>& args, const ToolEnv& env, std::ostream& out) {
    Diagnostics diags(&out);
    std::vector<std::string> files;
    bool quiet = false;
    for (const auto& a : args) {
        if (TrimRight(a).empty()) continue;
        if (a[0] != '-')
            files.push_back(a);
        else if (a == "-q")
            quiet = true;
        else if (a == "-ms" || a == "-l" || a == "-x" || a == "-s" || a == "-c" || a.rfind("-d", 0) == 0 ||
                 a.rfind("-i", 0) == 0) {
        } else
            diags.error("asm370", 0, 10, "invalid switch " + a);
    }
    if (!quiet) out << "TMS370 COFF Assembler (Halyard stand-in)           Version 5.30" << std::endl;
    if (files.empty() || files.size() > 2) {
        diags.error("asm370", 0, 12, "usage: asm370 [options] source.asm [object.obj]");
        return 1;
    }
    if (diags.errorCount()) return 1;
    const fs::path source = env.host(files[0]);
    fs::path object;
    const bool ok = Assemble(source, BaseName(files[0]), source.parent_path(), diags, &object);
    if (ok && files.size() == 2) {
        std::error_code ec;
        fs::rename(object, env.host(files[1]), ec);
        if (ec) diags.error("asm370", 0, 902, "cannot create object file " + files[1]);
    }
    if (!quiet && diags.errorCount() == 0) out << "No Errors, No Warnings" << std::endl;
    return diags.errorCount() ? 1 : 0;
}

} // namespace halyard::sim370
