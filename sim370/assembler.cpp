// SPDX-License-Identifier: GPL-3.0-or-later
#include "assembler.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "asm_expr.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "object_file.h"
#include "tms370/instruction_set.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;
using tms370::Instruction;
using tms370::Operand;

namespace {

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
    int depth = 0;
    for (char c : text + ",") {
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '(') ++depth;
        if (!quoted && c == ')' && depth > 0) --depth;
        if (c == ',' && !quoted && depth == 0) {
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
// Bytes are kept for at most the whole address space; a larger section with contents is refused.
constexpr std::int64_t kAddressSpace = 0x10000;

struct Section {
    std::int64_t size = 0;
    bool initialized = false;
    std::string bytes;
};

// One statement that puts bytes into a section, encoded once every label is known.
struct Stmt {
    int line = 0;
    std::string section;
    std::int64_t offset = 0;
    const Instruction* form = nullptr; // an instruction, or a data directive when null
    std::string op;                    // the directive (".word", ".byte", ".string")
    std::vector<std::string> args;
    std::vector<ParsedOperand> ops;
};

class Assembler {
public:
    Assembler(const std::string& shownName, Diagnostics& d) : name_(shownName), d_(d) {}

    bool run(const std::string& text, ObjectModule& m);

private:
    std::string name_;
    Diagnostics& d_;
    std::map<std::string, Section> sections_;
    std::vector<std::string> order_;
    std::string section_ = ".text";
    int lineNo_ = 0;
    std::map<std::string, std::pair<std::string, std::int64_t>> labels_; // name -> section, offset
    std::map<std::string, std::int64_t> constants_;
    std::map<std::string, std::string> aliases_; // name -> register text ("R5", "P021", "A")
    std::map<std::string, int> refs_, defs_;     // name -> line of the directive
    std::vector<Stmt> stmts_;
    std::vector<ObjReloc> relocs_;
    std::vector<ObjLine> lines_;

    void err(int line, int code, const std::string& t) { d_.error(name_, line, code, t); }

    Section& enter(const std::string& s, bool initialized) {
        if (!sections_.count(s)) order_.push_back(s);
        Section& sec = sections_[s];
        sec.initialized = sec.initialized || initialized;
        return sec;
    }
    std::int64_t here(const std::string& s) const {
        const auto it = sections_.find(s);
        return it == sections_.end() ? 0 : it->second.size;
    }
    void grow(const std::string& s, std::int64_t n, bool initialized) {
        Section& sec = enter(s, initialized);
        if (sec.size > kSectionLimit) return; // said once
        sec.size += n;
        if (sec.size > kSectionLimit)
            err(lineNo_, 415, "section " + s + " is larger than " + Hex(kSectionLimit) + " bytes");
    }
    bool named(int line, const std::string& name, const char* what) {
        if (isName(name)) return true;
        err(line, 414, std::string("invalid ") + what + " name '" + name + "'");
        return false;
    }
    // Values known while the source is read: numbers and earlier constants.
    std::optional<std::int64_t> constant(const std::string& text) {
        std::string why;
        auto v = Evaluate(
            text,
            [&](const std::string& n) -> std::optional<ExprValue> {
                auto it = constants_.find(n);
                if (it == constants_.end()) return std::nullopt;
                return ExprValue{ExprValue::Absolute, {}, it->second};
            },
            {}, &why);
        if (!v || v->base != ExprValue::Absolute) return std::nullopt;
        return v->value;
    }
    std::optional<ExprValue> symbol(const std::string& n) const {
        if (auto it = constants_.find(n); it != constants_.end())
            return ExprValue{ExprValue::Absolute, {}, it->second};
        if (auto it = labels_.find(n); it != labels_.end())
            return ExprValue{ExprValue::Section, it->second.first, it->second.second};
        if (refs_.count(n) || defs_.count(n)) return ExprValue{ExprValue::External, n, 0};
        return std::nullopt;
    }

    void statement(const std::string& label, const std::string& op, const std::string& rest);
    void instruction(const std::string& op, std::vector<std::string> args);
    void encode(Stmt& s);
    void field(Stmt& s, std::string& out, std::int64_t at, Operand k, const ParsedOperand& p,
               std::int64_t end);
    void value(Stmt& s, std::string& out, std::int64_t at, const std::string& expr, int width, bool relative,
               std::int64_t end);
};

void Assembler::statement(const std::string& label, const std::string& op, const std::string& rest) {
    const auto args = operands(rest);
    if (op == ".set" || op == ".equ") {
        if (label.empty()) {
            err(lineNo_, 401, op + " needs a label");
        } else if (args.size() == 1) {
            std::string why;
            auto alias = ParseOperand(
                args[0],
                [&](const std::string& n) -> std::optional<std::string> {
                    auto it = aliases_.find(n);
                    return it == aliases_.end() ? std::nullopt : std::optional<std::string>(it->second);
                },
                &why);
            if (alias && alias->syntax != Syntax::Expr && alias->syntax != Syntax::Imm &&
                alias->syntax != Syntax::IndexB && alias->syntax != Syntax::Offset &&
                alias->syntax != Syntax::ImmIndexB && alias->syntax != Syntax::Indirect) {
                aliases_[label] = args[0];
                return;
            }
            if (auto v = constant(args[0])) {
                if (labels_.count(label) || constants_.count(label))
                    err(lineNo_, 403, "symbol " + label + " is defined twice");
                constants_[label] = *v;
                return;
            }
            err(lineNo_, 402, "invalid value for " + label);
        } else {
            err(lineNo_, 402, "invalid value for " + label);
        }
        return;
    }
    if (!label.empty()) {
        if (labels_.count(label) || constants_.count(label))
            err(lineNo_, 403, "symbol " + label + " is defined twice");
        labels_[label] = {section_, here(section_)};
    }
    if (op.empty()) return;
    if (op == ".sect") {
        if (args.size() != 1 || unquote(args[0]).empty())
            err(lineNo_, 404, ".sect needs a section name");
        else if (named(lineNo_, unquote(args[0]), "section"))
            section_ = unquote(args[0]);
        if (!label.empty()) labels_[label] = {section_, here(section_)};
    } else if (op == ".text" || op == ".data") {
        section_ = op;
    } else if (op == ".bss" || op == ".usect") {
        const size_t first = op == ".usect" ? 1 : 0;
        const std::string target = op == ".usect" && !args.empty() ? unquote(args[0]) : ".bss";
        const auto size = args.size() >= first + 2 ? constant(args[first + 1]) : std::nullopt;
        if (!size || *size < 0) {
            err(lineNo_, 405, op + " needs a symbol and a size");
            return;
        }
        if (!named(lineNo_, args[first], "symbol") || !named(lineNo_, target, "section")) return;
        labels_[args[first]] = {target, here(target)};
        grow(target, *size, false);
    } else if (op == ".word" || op == ".byte" || op == ".string") {
        if (args.empty()) err(lineNo_, 406, op + " needs at least one value");
        Stmt s{lineNo_, section_, here(section_), nullptr, op, args, {}};
        for (const auto& a : args) {
            if (op == ".string" || (op == ".byte" && a.size() >= 2 && a.front() == '"'))
                grow(section_, static_cast<std::int64_t>(unquote(a).size()), true);
            else
                grow(section_, op == ".word" ? 2 : 1, true);
        }
        stmts_.push_back(std::move(s));
    } else if (op == ".space" || op == ".bes" || op == ".block") {
        const auto size = args.size() == 1 ? constant(args[0]) : std::nullopt;
        if (!size || *size < 0)
            err(lineNo_, 408, op + " needs a size");
        else
            grow(section_, *size, true);
    } else if (op == ".ref" || op == ".def" || op == ".global" || op == ".globl") {
        if (args.empty()) err(lineNo_, 409, op + " needs a symbol name");
        for (const auto& a : args)
            if (named(lineNo_, a, "symbol")) (op == ".ref" ? refs_ : defs_)[a] = lineNo_;
    } else if (kIgnored.count(op)) {
    } else if (op[0] == '.') {
        err(lineNo_, 410, "unknown directive " + op);
    } else {
        instruction(op, args);
    }
}

void Assembler::instruction(const std::string& op, std::vector<std::string> args) {
    std::string mnemonic = UpperCase(op);
    for (const auto& a : tms370::Aliases())
        if (mnemonic == a.name) {
            mnemonic = a.mnemonic;
            if (*a.operands) args.insert(args.begin(), a.operands);
        }
    const auto forms = tms370::FormsOf(mnemonic);
    if (forms.empty()) {
        err(lineNo_, 411, "unknown instruction " + op);
        return;
    }
    Stmt s{lineNo_, section_, here(section_), nullptr, op, args, {}};
    const AliasLookup aliases = [&](const std::string& n) -> std::optional<std::string> {
        auto it = aliases_.find(n);
        return it == aliases_.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    for (const auto& a : args) {
        std::string why;
        auto p = ParseOperand(a, aliases, &why);
        if (!p) {
            err(lineNo_, 419, why);
            return;
        }
        s.ops.push_back(*p);
    }
    int trap = -1;
    if (mnemonic == "TRAP" && s.ops.size() == 1 && s.ops[0].syntax == Syntax::Expr) {
        const auto n = constant(s.ops[0].expr);
        if (!n || *n < 0 || *n > 15) {
            err(lineNo_, 418, "TRAP takes a number from 0 to 15, not " + s.ops[0].expr);
            return;
        }
        trap = static_cast<int>(*n);
    }
    for (const Instruction* f : forms) {
        if (f->operandCount() != static_cast<int>(s.ops.size()) || (trap >= 0 && f->trap != trap)) continue;
        bool ok = true;
        for (size_t i = 0; i < s.ops.size() && ok; ++i)
            ok = Fits(s.ops[i].syntax, f->operands[i]);
        if (ok) {
            s.form = f;
            break;
        }
    }
    if (!s.form) {
        std::string written;
        for (const auto& a : args)
            written += (written.empty() ? "" : ",") + a;
        err(lineNo_, 416, mnemonic + " does not take the operands '" + written + "'");
        return;
    }
    lines_.push_back({section_, here(section_), lineNo_});
    grow(section_, s.form->length, true);
    stmts_.push_back(std::move(s));
}

// Writes a value of width bytes at out[at]; relative values count from end (the next
// instruction). A value the linker must finish becomes a relocation.
void Assembler::value(Stmt& s, std::string& out, std::int64_t at, const std::string& expr, int width,
                      bool relative, std::int64_t end) {
    std::string why;
    const ExprValue here{ExprValue::Section, s.section, s.offset};
    auto v = Evaluate(
        expr, [&](const std::string& n) { return symbol(n); }, here, &why);
    if (!v) {
        err(s.line, why.rfind("undefined symbol", 0) == 0 ? 413 : 419, why);
        return;
    }
    std::int64_t n = v->value;
    const bool local =
        relative ? v->base == ExprValue::Section && v->name == s.section : v->base == ExprValue::Absolute;
    if (!local) {
        ObjReloc r;
        r.section = s.section;
        r.offset = at;
        r.kind = relative ? (width == 1 ? RelocKind::Rel8 : RelocKind::Rel16)
                          : (width == 1 ? RelocKind::Abs8 : RelocKind::Abs16);
        r.toSection = v->base == ExprValue::Section;
        r.target = v->base == ExprValue::Absolute ? "" : v->name;
        r.addend = n;
        r.line = s.line;
        relocs_.push_back(r);
        n = 0;
    } else if (relative) {
        n -= end;
        const std::int64_t lo = width == 1 ? -128 : -32768, hi = width == 1 ? 127 : 32767;
        if (n < lo || n > hi) {
            err(s.line, 417,
                "relative jump to " + expr + " is out of range (" + std::to_string(n) + " bytes)");
            return;
        }
    } else {
        const std::int64_t lo = width == 1 ? -128 : -32768, hi = width == 1 ? 255 : 65535;
        if (n < lo || n > hi) {
            const std::string shown =
                expr == std::to_string(n) ? expr : expr + " (" + std::to_string(n) + ")";
            err(s.line, 418, "value " + shown + " does not fit " + (width == 1 ? "8 bits" : "16 bits"));
            return;
        }
    }
    if (width == 2) out[static_cast<size_t>(at++)] = static_cast<char>((n >> 8) & 0xFF);
    out[static_cast<size_t>(at)] = static_cast<char>(n & 0xFF);
}

void Assembler::field(Stmt& s, std::string& out, std::int64_t at, Operand k, const ParsedOperand& p,
                      std::int64_t end) {
    switch (k) {
    case Operand::Reg:
    case Operand::Periph:
    case Operand::Indirect:
        out[static_cast<size_t>(at)] = static_cast<char>(p.reg);
        break;
    case Operand::Imm8:
        value(s, out, at, p.expr, 1, false, end);
        break;
    case Operand::Imm16:
    case Operand::Imm16IndexB:
    case Operand::Direct:
    case Operand::IndexB:
        value(s, out, at, p.expr, 2, false, end);
        break;
    case Operand::Offset: {
        std::string why;
        auto v = Evaluate(
            p.expr, [&](const std::string& n) { return symbol(n); }, {}, &why);
        if (!v || v->base != ExprValue::Absolute || v->value < -128 || v->value > 127)
            err(s.line, 418,
                "the offset in " + p.expr + "(R" + std::to_string(p.reg) +
                    ") must be a number from -128 to 127");
        else
            out[static_cast<size_t>(at)] = static_cast<char>(v->value & 0xFF);
        out[static_cast<size_t>(at + 1)] = static_cast<char>(p.reg);
        break;
    }
    case Operand::Rel8:
        value(s, out, at, p.expr, 1, true, end);
        break;
    case Operand::Rel16:
    case Operand::Rel16IndexB:
        value(s, out, at, p.expr, 2, true, end);
        break;
    default:
        break;
    }
}

void Assembler::encode(Stmt& s) {
    Section& sec = sections_[s.section];
    std::string& out = sec.bytes;
    std::int64_t at = s.offset;
    if (s.form) {
        if (at + s.form->length > static_cast<std::int64_t>(out.size())) return;
        if (s.form->prefix) out[static_cast<size_t>(at++)] = static_cast<char>(s.form->prefix);
        out[static_cast<size_t>(at++)] = static_cast<char>(s.form->opcode);
        const std::int64_t end = s.offset + s.form->length;
        for (size_t i = 0; i < s.ops.size(); ++i) {
            const Operand k = s.form->operands[i];
            field(s, out, at, k, s.ops[i], end);
            at += tms370::FieldSize(k);
        }
        return;
    }
    for (const auto& a : s.args) {
        if (s.op == ".string" || (s.op == ".byte" && a.size() >= 2 && a.front() == '"')) {
            for (char c : unquote(a))
                if (at < static_cast<std::int64_t>(out.size())) out[static_cast<size_t>(at++)] = c;
            continue;
        }
        const int width = s.op == ".word" ? 2 : 1;
        if (a.empty()) {
            err(s.line, 407, "invalid value '" + a + "'");
        } else if (at + width <= static_cast<std::int64_t>(out.size())) {
            value(s, out, at, a, width, false, 0);
        }
        at += width;
    }
}

bool Assembler::run(const std::string& text, ObjectModule& m) {
    const int before = d_.errorCount();
    for (const auto& raw : SplitTextLines(text)) {
        ++lineNo_;
        if (raw.empty() || raw[0] == '*' || raw[0] == ';') continue;
        std::string line = stripComment(raw);
        std::string label;
        size_t pos = 0;
        if (!line.empty() && !std::isspace(static_cast<unsigned char>(line[0]))) {
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
        if (op == ".end") {
            statement(label, "", "");
            break;
        }
        statement(label, op, line.substr(end));
    }

    // Bytes for every section with contents; a section too large for the address space has none.
    for (const auto& name : order_) {
        Section& s = sections_[name];
        if (!s.initialized) continue;
        if (s.size > kAddressSpace && s.size <= kSectionLimit)
            err(0, 420, "section " + name + " is larger than the 64 K address space");
        else if (s.size <= kAddressSpace)
            s.bytes.assign(static_cast<size_t>(s.size), '\0');
    }
    for (auto& s : stmts_)
        encode(s);

    m.source = BaseName(name_);
    for (const auto& s : order_) {
        const Section& sec = sections_[s];
        ObjSection o{s, sec.size, sec.initialized, sec.bytes};
        // Trailing zeros are implied by the size.
        while (!o.bytes.empty() && o.bytes.back() == '\0')
            o.bytes.pop_back();
        m.sections.push_back(std::move(o));
    }
    for (const auto& [name, line] : defs_) {
        if (auto it = labels_.find(name); it != labels_.end())
            m.defs.push_back({name, it->second.first, it->second.second});
        else
            refs_.insert({name, line}); // ".global" of a symbol defined elsewhere
    }
    for (const auto& [name, at] : labels_)
        if (!defs_.count(name)) m.locals.push_back({name, at.first, at.second});
    std::map<std::string, int> firstUse;
    for (const auto& r : relocs_)
        if (!r.toSection && !r.target.empty() && !firstUse.count(r.target)) firstUse[r.target] = r.line;
    for (const auto& [name, line] : refs_) {
        if (labels_.count(name) && !defs_.count(name))
            err(line, 412, "symbol " + name + " is both defined and .ref");
        else if (!labels_.count(name))
            m.refs.push_back({name, firstUse.count(name) ? firstUse[name] : line});
    }
    // Relocations point into the bytes kept, which drop trailing zeros: keep each field whole.
    for (const auto& r : relocs_) {
        for (auto& sec : m.sections) {
            const std::int64_t width = r.kind == RelocKind::Abs16 || r.kind == RelocKind::Rel16 ? 2 : 1;
            if (sec.name == r.section && static_cast<std::int64_t>(sec.bytes.size()) < r.offset + width)
                sec.bytes.resize(static_cast<size_t>(r.offset + width), '\0');
        }
    }
    m.relocs = relocs_;
    m.lines = lines_;
    return d_.errorCount() == before;
}

} // namespace

bool Assemble(const fs::path& source, const std::string& shownName, const fs::path& objDir,
              Diagnostics& diags, fs::path* objectOut) {
    std::string text;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec) || !ReadHostFile(source, text)) {
        diags.error(shownName, 0, 1, "cannot open source file " + shownName);
        return false;
    }
    ObjectModule m;
    if (!Assembler(shownName, diags).run(text, m)) return false;
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
