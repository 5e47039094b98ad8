// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkcmd/cmd_language.h"

#include <cctype>
#include <cstdio>
#include <set>

#include "base/paths.h"

namespace halyard::linkcmd {

void Diagnostics::add(const Diagnostic& d) {
    if (d.severity == Severity::Warning && suppressWarnings) return;
    if (d.severity == Severity::Error) ++errors_;
    // A file of any size gives messages of bounded size: the names and lines they quote are cut,
    // and after MaxMessages only the count goes on.
    if (all_.size() > MaxMessages) return;
    Diagnostic kept = d;
    if (all_.size() == MaxMessages) {
        kept = {d.file, 0, Severity::Warning, 0, "more messages follow; they are not shown"};
    } else if (kept.text.size() > MaxMessageText) {
        kept.text.resize(MaxMessageText);
        kept.text += "...";
    }
    all_.push_back(kept);
    if (echo_) echo_(kept);
}

void Diagnostics::error(const std::string& file, int line, int code, const std::string& text) {
    add({file, line, Severity::Error, code, text});
}

void Diagnostics::warning(const std::string& file, int line, int code, const std::string& text) {
    add({file, line, Severity::Warning, code, text});
}

std::optional<std::int64_t> ParseNumber(const std::string& raw) {
    std::string t = raw;
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())))
        t.pop_back();
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())))
        t.erase(t.begin());
    if (t.empty()) return std::nullopt;
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t = t.substr(2);
    } else if (t.back() == 'h' || t.back() == 'H') {
        base = 16;
        t.pop_back();
    }
    if (t.empty() || !std::isdigit(static_cast<unsigned char>(t[0]))) return std::nullopt;
    std::int64_t v = 0;
    for (char c : t) {
        int digit;
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::toupper(c) - 'A' + 10;
        else
            return std::nullopt;
        v = v * base + digit;
        if (v > 0xFFFFFFFFLL) return std::nullopt;
    }
    return v;
}

std::string Hex(std::int64_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04llX", static_cast<unsigned long long>(value));
    std::string s = buf;
    if (std::isalpha(static_cast<unsigned char>(s[0]))) s = "0" + s;
    return s + "h";
}

namespace {

struct Tok {
    std::string text;
    int line = 0;
    bool punct = false;
};

bool isPunct(char c) {
    return std::string_view("{}()=,;:>+*").find(c) != std::string_view::npos;
}

std::vector<Tok> tokenize(const std::string& text, const std::string& file, Diagnostics& diags) {
    // Every line end counts as one: CR LF, LF, and the lone CR some old editors write, or the lines
    // named in messages would not be the editor's lines.
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r')
            s += text[i];
        else if (i + 1 == text.size() || text[i + 1] != '\n')
            s += '\n';
    std::vector<Tok> out;
    int line = 1;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const int start = line;
            const size_t end = s.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? s.size() : end + 2;
            for (size_t k = i; k < stop; ++k)
                line += s[k] == '\n';
            if (end == std::string::npos) diags.error(file, start, 101, "comment is not closed");
            i = stop;
        } else if (c == '"') {
            const size_t end = s.find('"', i + 1);
            if (end == std::string::npos || s.find('\n', i) < end) {
                diags.error(file, line, 102, "string is not closed");
                i = s.find('\n', i) == std::string::npos ? s.size() : s.find('\n', i);
                continue;
            }
            out.push_back({s.substr(i + 1, end - i - 1), line, false});
            i = end + 1;
        } else if (isPunct(c)) {
            out.push_back({std::string(1, c), line, true});
            ++i;
        } else {
            std::string w;
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != '"' &&
                   !(s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*')) {
                // A drive letter ("C:\x.obj") keeps its colon; any other colon ends the word.
                if (s[i] == ':' && w.size() == 1 && std::isalpha(static_cast<unsigned char>(w[0])) &&
                    i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '/')) {
                    w += s[i++];
                    continue;
                }
                if (isPunct(s[i])) break;
                w += s[i++];
            }
            out.push_back({w, line, false});
        }
    }
    return out;
}

bool ci(const std::string& a, const char* b) {
    return SameText(a, b);
}

// "PAGE1" as the builder writes it; the digits are checked like any other page number.
bool pageWord(const std::string& w) {
    return w.size() > 4 && ci(w.substr(0, 4), "PAGE") &&
           w.find_first_not_of("0123456789", 4) == std::string::npos;
}

// Pages are few; a larger number is a mistake and must not wrap into a negative int.
constexpr std::int64_t kMaxPage = 255;
// Far deeper than any command file needs; a crafted file nesting deeper must not exhaust the stack
// of the linker or of Halyard checking it.
constexpr int kMaxNesting = 64;

class Parser {
public:
    Parser(std::vector<Tok> t, std::string file, Diagnostics& d)
        : t_(std::move(t)), file_(std::move(file)), d_(d) {}

    CommandFile run() {
        CommandFile cf;
        while (!done()) {
            const Tok& k = cur();
            if (!k.punct && (k.text == "MEMORY" || k.text == "memory") && is(1, "{")) {
                memory(cf.memory);
            } else if (!k.punct && (k.text == "SECTIONS" || k.text == "sections") && is(1, "{")) {
                sections(cf.sections);
            } else if (!k.punct && is(1, "=")) {
                cf.sections.push_back(assignment());
            } else if (k.punct) {
                error(k.line, 103, "unexpected '" + k.text + "'");
                ++i_;
            } else {
                cf.args.push_back({k.text, file_, k.line});
                ++i_;
            }
        }
        return cf;
    }

private:
    std::vector<Tok> t_;
    size_t i_ = 0;
    std::string file_;
    Diagnostics& d_;
    int nesting_ = 0;                   // UNIONs and GROUPs open around the current statement
    std::string exprWhy_;               // why the last expression could not be read, if known
    std::set<std::string> memoryNames_; // of every MEMORY block so far

    bool done() const { return i_ >= t_.size(); }
    const Tok& cur() const { return t_[i_]; }
    bool is(size_t ahead, const char* p) const {
        return i_ + ahead < t_.size() && t_[i_ + ahead].punct && t_[i_ + ahead].text == p;
    }
    bool word(size_t ahead = 0) const { return i_ + ahead < t_.size() && !t_[i_ + ahead].punct; }
    int line() const { return done() ? (t_.empty() ? 1 : t_.back().line) : cur().line; }
    void error(int line, int code, const std::string& text) { d_.error(file_, line, code, text); }
    bool accept(const char* p) {
        if (!is(0, p)) return false;
        ++i_;
        return true;
    }
    // Skips the rest of a broken line so that one mistake gives one message.
    void skipLine(int l) {
        while (!done() && cur().line == l && !is(0, "}"))
            ++i_;
    }

    // operand { op operand }, where an operand is a word or a parenthesised expression. Read in one
    // loop that counts the open parentheses: no recursion, no copies of inner expressions.
    Expr expr() {
        Expr e;
        exprWhy_.clear();
        int depth = 0;
        while (true) {
            while (accept("(")) {
                if (++depth > kMaxNesting) {
                    exprWhy_ = "parentheses nest deeper than " + std::to_string(kMaxNesting) + " levels";
                    skipParenthesised(depth);
                    return {};
                }
                e.push_back("(");
            }
            if (!word() || cur().text == "-") return {};
            e.push_back(cur().text);
            ++i_;
            while (depth > 0 && !isOperator()) {
                if (!accept(")")) return {};
                e.push_back(")");
                --depth;
            }
            if (!isOperator()) return e;
            e.push_back(cur().text);
            ++i_;
        }
    }

    bool isOperator() const { return is(0, "+") || is(0, "*") || (word() && cur().text == "-"); }

    // Past the ")" that closes the depth parentheses open, so that one mistake gives one message.
    void skipParenthesised(int depth) {
        for (; !done() && depth > 0; ++i_)
            depth += is(0, "(") ? 1 : is(0, ")") ? -1 : 0;
    }

    // Addresses, lengths, alignments and pages are never negative.
    std::optional<std::int64_t> constant(int l, const std::string& what) {
        const Expr e = expr();
        std::string why;
        auto v = e.empty() ? std::nullopt : EvalExpr(e, 0, {}, &why);
        if (e.empty()) why = exprWhy_;
        if (v && *v < 0) {
            v.reset();
            why = "the value is negative";
        }
        if (!v) error(l, 104, "invalid value for " + what + (why.empty() ? "" : ": " + why));
        return v;
    }

    int page(int l, std::optional<std::int64_t> v, const std::string& written) {
        if (v && *v <= kMaxPage) return static_cast<int>(*v);
        error(l, 125, "invalid page number " + written + " (use 0 to " + std::to_string(kMaxPage) + ")");
        return 0;
    }

    std::string attributes(int l) {
        std::string a;
        while (word())
            a += cur().text, ++i_;
        if (!accept(")")) error(l, 105, "missing ')' after attributes");
        for (char c : a)
            if (std::string_view("RWXIrwxi").find(c) == std::string_view::npos) {
                error(l, 106, "invalid attribute '" + std::string(1, c) + "' (use R, W, X, I)");
                break;
            }
        return UpperCase(a);
    }

    void memory(std::vector<MemRange>& out) {
        const int open = line();
        i_ += 2;
        int page = 0;
        while (!done() && !is(0, "}")) {
            const int l = line();
            if (word() && ci(cur().text, "PAGE") && word(1) && is(2, ":")) {
                page = this->page(l, ParseNumber(t_[i_ + 1].text), t_[i_ + 1].text);
                i_ += 3;
                continue;
            }
            if (word() && pageWord(cur().text) && is(1, ":")) {
                const std::string n = cur().text.substr(4);
                page = this->page(l, ParseNumber(n), n);
                i_ += 2;
                continue;
            }
            MemRange r;
            r.page = page;
            r.file = file_;
            r.line = l;
            if (word()) {
                r.name = cur().text;
                ++i_;
            }
            if (accept("(")) r.attrs = attributes(l);
            // A line that went wrong still defines its range, so that the placements into it do not
            // each report it missing; only where it lies is unknown.
            if (!accept(":")) {
                error(l, 107, "expected ':' after memory range name " + r.name);
                skipLine(l);
                r.known = false;
                if (!r.name.empty() && memoryNames_.insert(r.name).second) out.push_back(r);
                continue;
            }
            if (accept("(")) r.attrs = attributes(l);
            bool origin = false, length = false, unknown = false;
            while (word() && is(1, "=")) {
                const std::string key = LowerCase(cur().text);
                i_ += 2;
                if (key == "origin" || key == "org" || key == "o") {
                    origin = true;
                    const auto v = constant(l, "origin");
                    r.origin = v.value_or(0);
                    r.known = r.known && v;
                } else if (key == "length" || key == "len" || key == "l") {
                    length = true;
                    const auto v = constant(l, "length");
                    r.length = v.value_or(0);
                    r.known = r.known && v;
                } else if (key == "fill" || key == "f") {
                    r.fill = constant(l, "fill");
                } else {
                    error(l, 108, "unknown memory range parameter '" + key + "'");
                    unknown = true;
                    // Its value belongs to the parameter just reported; the parameters after it
                    // are read as usual.
                    if (expr().empty()) {
                        skipLine(l);
                        break;
                    }
                }
                accept(",");
            }
            r.known = r.known && origin && length;
            // What is left on the line is the mistake; a parameter missing because of it, or
            // because of a misspelt one, is no second fault.
            if (!done() && cur().line == l && !is(0, "}")) {
                error(l, 113, "unexpected '" + cur().text + "' in memory range " + r.name);
                skipLine(l);
            } else if (r.name.empty()) {
                error(l, 109, "memory range has no name");
            } else if (!unknown && !origin) {
                error(l, 110, "memory range " + r.name + " has no origin");
            } else if (!unknown && !length) {
                error(l, 111, "memory range " + r.name + " has no length");
            }
            if (!r.name.empty() && !memoryNames_.insert(r.name).second)
                error(l, 112, "memory range " + r.name + " is defined twice");
            out.push_back(r);
        }
        if (!accept("}")) error(open, 114, "MEMORY is not closed with '}'");
    }

    OutputSpec assignment() {
        OutputSpec a;
        a.kind = OutputSpec::Assignment;
        a.file = file_;
        a.line = line();
        a.name = cur().text;
        i_ += 2;
        a.expr = expr();
        if (a.expr.empty())
            error(a.line, 115,
                  "invalid expression assigned to " + a.name + (exprWhy_.empty() ? "" : ": " + exprWhy_));
        accept(";");
        return a;
    }

    void sections(std::vector<OutputSpec>& out) {
        const int open = line();
        i_ += 2;
        while (!done() && !is(0, "}"))
            statement(out);
        if (!accept("}")) error(open, 116, "SECTIONS is not closed with '}'");
    }

    void statement(std::vector<OutputSpec>& out) {
        if (!word()) {
            error(line(), 103, "unexpected '" + cur().text + "' in SECTIONS");
            ++i_;
            return;
        }
        if (is(1, "=")) {
            out.push_back(assignment());
            return;
        }
        OutputSpec s;
        s.file = file_;
        s.line = line();
        s.name = cur().text;
        ++i_;
        if (s.name == "UNION" || s.name == "GROUP") {
            s.kind = s.name == "UNION" ? OutputSpec::Union : OutputSpec::Group;
            if (s.kind == OutputSpec::Group && word() && !is(1, "=") && ParseNumber(cur().text)) {
                s.load = {Target::Address, "", *ParseNumber(cur().text)};
                ++i_;
            }
        }
        accept(":");
        params(s);
        if (s.kind == OutputSpec::Union || s.kind == OutputSpec::Group) {
            if (!is(0, "{")) {
                error(s.line, 117, s.name + " needs a list of sections in '{ }'");
                return;
            }
            if (nesting_ >= kMaxNesting) {
                error(s.line, 126, s.name + " nests deeper than " + std::to_string(kMaxNesting) + " levels");
                skipBraced();
                return;
            }
            ++i_;
            ++nesting_;
            while (!done() && !is(0, "}"))
                statement(s.members);
            --nesting_;
            if (!accept("}")) error(s.line, 118, s.name + " is not closed with '}'");
        }
        out.push_back(std::move(s));
    }

    // Past the "}" that closes the "{" here.
    void skipBraced() {
        int depth = 0;
        do {
            depth += is(0, "{") ? 1 : is(0, "}") ? -1 : 0;
            ++i_;
        } while (!done() && depth > 0);
    }

    // l is the line of the placement keyword, where a missing target is reported.
    void target(OutputSpec& s, Target& t, const char* what, int l) {
        if ((!word() && !is(0, "(")) || is(1, ":")) {
            error(l, 119, std::string("missing ") + what + " placement for section " + s.name);
            return;
        }
        if (std::isdigit(static_cast<unsigned char>(cur().text[0])) || is(0, "(")) {
            if (auto v = constant(l, std::string(what) + " address of " + s.name))
                t = {Target::Address, "", *v};
            return;
        }
        t = {Target::Range, cur().text, 0};
        ++i_;
    }

    // A bare range name or address after the section name is its load placement; the next
    // statement's name (".bss", "UNION", "x = ...", "name:") is not, nor a word on a later line.
    bool bareTarget(const OutputSpec& s) const {
        if (s.load.kind != Target::None || !word() || i_ == 0 || t_[i_ - 1].line != cur().line) return false;
        const std::string& w = cur().text;
        return w[0] != '.' && w != "UNION" && w != "GROUP" && !is(1, ":") && !is(1, "=");
    }

    // The properties come in any order, commas optional, the input list among them.
    void params(OutputSpec& s) {
        while (!done()) {
            const int l = line();
            if (accept(",")) continue;
            if (is(0, "{")) {
                if (s.kind != OutputSpec::Section || s.hasInputs) return;
                inputs(s);
                const int at = line();
                if (accept("=")) s.fill = constant(at, "fill"); // "{ ... } = 0FFh"
                continue;
            }
            if (accept(">")) {
                target(s, s.load, "load", l);
                continue;
            }
            if (!word()) return;
            const std::string w = LowerCase(cur().text);
            if ((w == "load" || w == "run") && (is(1, "=") || is(1, ">"))) {
                i_ += 2;
                accept(">"); // "run = > 8000h"
                target(s, w == "load" ? s.load : s.run, w == "load" ? "load" : "run", l);
            } else if ((w == "align" || w == "block") && (is(1, "(") || is(1, "="))) {
                ++i_;
                const bool paren = accept("(");
                if (!paren) ++i_;
                auto v = constant(l, w);
                if (paren && !accept(")")) error(l, 120, "missing ')' after " + w);
                if (v && (*v <= 0 || (*v & (*v - 1))))
                    error(l, 121, w + " value " + Hex(*v) + " is not a power of 2");
                (w == "align" ? s.align : s.block) = v.value_or(0);
            } else if (w == "page") {
                ++i_;
                accept("=");
                const std::string written = word() ? cur().text : "";
                if (auto v = constant(l, "PAGE")) s.page = page(l, v, written);
            } else if (pageWord(cur().text)) {
                const std::string n = cur().text.substr(4);
                s.page = page(l, ParseNumber(n), n);
                ++i_;
            } else if (w == "type" && is(1, "=")) {
                i_ += 2;
                const std::string ty = word() ? UpperCase(cur().text) : "";
                if (ty == "COPY" || ty == "DSECT" || ty == "NOLOAD") {
                    s.type = ty;
                    ++i_;
                } else {
                    error(l, 122, "section type must be COPY, DSECT or NOLOAD");
                    skipLine(l);
                }
            } else if (w == "fill" && is(1, "=")) {
                i_ += 2;
                s.fill = constant(l, "fill");
            } else if (bareTarget(s)) {
                target(s, s.load, "load", l);
            } else {
                return;
            }
        }
    }

    void inputs(OutputSpec& s) {
        const int open = line();
        ++i_;
        s.hasInputs = true;
        while (!done() && !is(0, "}")) {
            if (accept(",") || accept(";")) continue;
            const int l = line();
            if (!word() && !is(0, "*")) {
                error(l, 103, "unexpected '" + cur().text + "' in the input sections of " + s.name);
                ++i_;
                continue;
            }
            InputItem in;
            in.line = l;
            in.file = cur().text;
            ++i_;
            if (accept("=")) {
                in.assignment = true;
                in.expr = expr();
                if (in.expr.empty())
                    error(l, 115,
                          "invalid expression assigned to " + in.file +
                              (exprWhy_.empty() ? "" : ": " + exprWhy_));
            } else if (accept("(")) {
                while (word()) {
                    in.sections.push_back(cur().text);
                    ++i_;
                    accept(",");
                }
                if (!accept(")")) {
                    error(l, 123, "missing ')' after the sections of " + in.file);
                    skipLine(l);
                }
            } else if (in.file[0] == '.') {
                in.sections = {in.file};
                in.file = "*";
            }
            s.inputs.push_back(in);
        }
        if (!accept("}")) error(open, 124, "input sections of " + s.name + " are not closed with '}'");
    }
};

// Far beyond any address; keeps every step of an expression clear of integer overflow.
constexpr std::int64_t kValueLimit = 0xFFFFFFFFLL;
constexpr const char* kOutOfRange = "the value is out of range";

struct Evaluator {
    const Expr& e;
    size_t i = 0;
    std::int64_t dot;
    const std::map<std::string, std::int64_t>& syms;
    std::string why;
    int depth = 0;

    std::optional<std::int64_t> operand() {
        if (i >= e.size()) return std::nullopt;
        const std::string& w = e[i++];
        if (w == "(") {
            if (depth == kMaxNesting) {
                why = "parentheses nest deeper than " + std::to_string(kMaxNesting) + " levels";
                return std::nullopt;
            }
            ++depth;
            auto v = sum();
            --depth;
            if (i >= e.size() || e[i] != ")") return std::nullopt;
            ++i;
            return v;
        }
        if (w == ".") return dot;
        if (auto n = ParseNumber(w)) return n;
        if (auto it = syms.find(w); it != syms.end()) return it->second;
        why = std::isdigit(static_cast<unsigned char>(w[0])) ? "'" + w + "' is not a number"
                                                             : "'" + w + "' is not defined";
        return std::nullopt;
    }
    bool inRange(std::int64_t v) {
        if (v >= -kValueLimit && v <= kValueLimit) return true;
        why = kOutOfRange;
        return false;
    }
    std::optional<std::int64_t> product() {
        auto v = operand();
        while (v && i < e.size() && e[i] == "*") {
            ++i;
            auto r = operand();
            if (!r) return std::nullopt;
            const std::int64_t a = *v < 0 ? -*v : *v, b = *r < 0 ? -*r : *r;
            if (b != 0 && a > kValueLimit / b) {
                why = kOutOfRange;
                return std::nullopt;
            }
            *v *= *r;
        }
        return v;
    }
    std::optional<std::int64_t> sum() {
        auto v = product();
        while (v && i < e.size() && (e[i] == "+" || e[i] == "-")) {
            const bool plus = e[i++] == "+";
            auto r = product();
            if (!r) return std::nullopt;
            *v += plus ? *r : -*r;
            if (!inRange(*v)) return std::nullopt;
        }
        return v;
    }
};

} // namespace

std::optional<std::int64_t> EvalExpr(const Expr& e, std::int64_t dot,
                                     const std::map<std::string, std::int64_t>& syms, std::string* why) {
    Evaluator ev{e, 0, dot, syms, {}, 0};
    auto v = ev.sum();
    if (v && ev.i != e.size()) v.reset();
    if (why) *why = ev.why;
    return v;
}

CommandFile ParseCommandFile(const std::string& text, const std::string& fileName, Diagnostics& diags) {
    return Parser(tokenize(text, fileName, diags), fileName, diags).run();
}

} // namespace halyard::linkcmd
