// SPDX-License-Identifier: GPL-3.0-or-later
#include "c_scan.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <set>

namespace halyard::sim370 {

namespace {

enum class Kind { Ident, Number, String, Char, Punct };

struct Tok {
    Kind kind;
    std::string text;
    int line;
    bool inMain;
    std::int64_t strLen = 0;
    bool is(const char* p) const { return kind == Kind::Punct && text == p; }
    bool ident(const char* w) const { return kind == Kind::Ident && text == w; }
};

const std::set<std::string> kKeywords = {
    "auto",     "break",    "case",   "char",     "const",  "continue", "default", "do",     "double",
    "else",     "enum",     "extern", "float",    "for",    "goto",     "if",      "int",    "long",
    "register", "return",   "short",  "signed",   "sizeof", "static",   "struct",  "switch", "typedef",
    "union",    "unsigned", "void",   "volatile", "while",  "__asm__"};
const std::set<std::string> kBranches = {"if", "else", "while", "for", "do", "switch", "case", "goto"};

// Numbers the host compiler let through (it only warns in K&R mode) may be far too large for
// the scanner's integers; they are held at a limit instead of overflowing.
constexpr std::int64_t kCountLimit = 0xFFFFFFFFLL;
// Leaves room for the lines that follow a "#line" near INT_MAX.
constexpr std::int64_t kLineLimit = 1000000000;

std::int64_t boundedNumber(const std::string& text) {
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 0);
    return errno == ERANGE || v > kCountLimit ? kCountLimit : std::max<long long>(v, 0);
}

// Section sizes and offsets stay at the limit too, however many huge arrays a module declares.
std::int64_t cappedProduct(std::int64_t a, std::int64_t b) {
    return a != 0 && b > kCountLimit / a ? kCountLimit : std::min(a * b, kCountLimit);
}

void grow(std::int64_t& total, std::int64_t by) {
    total = std::min(total + std::min(by, kCountLimit), kCountLimit);
}

std::vector<Tok> tokenize(const std::string& text) {
    std::vector<Tok> out;
    std::string mainFile, file;
    int line = 1;
    size_t i = 0;
    bool lineStart = true;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
            lineStart = true;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (lineStart && c == '#') { // # <line> "<file>" flags
            size_t end = text.find('\n', i);
            if (end == std::string::npos) end = text.size();
            const std::string marker = text.substr(i + 1, end - i - 1);
            size_t p = 0;
            while (p < marker.size() && marker[p] == ' ')
                ++p;
            if (p < marker.size() && std::isdigit(static_cast<unsigned char>(marker[p]))) {
                line =
                    static_cast<int>(std::min<std::int64_t>(boundedNumber(marker.substr(p)), kLineLimit)) - 1;
                const auto q1 = marker.find('"'), q2 = marker.rfind('"');
                if (q1 != std::string::npos && q2 > q1) {
                    file = marker.substr(q1 + 1, q2 - q1 - 1);
                    if (mainFile.empty()) mainFile = file;
                }
            }
            i = end;
            continue;
        }
        lineStart = false;
        const bool inMain = file.empty() || file == mainFile;
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
                ++j;
            out.push_back({Kind::Ident, text.substr(i, j - i), line, inMain});
            i = j;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i;
            while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '.'))
                ++j;
            out.push_back({Kind::Number, text.substr(i, j - i), line, inMain});
            i = j;
        } else if (c == '"' || c == '\'') {
            size_t j = i + 1;
            std::int64_t len = 0;
            while (j < text.size() && text[j] != c && text[j] != '\n') {
                if (text[j] == '\\') ++j;
                ++j;
                ++len;
            }
            out.push_back(
                {c == '"' ? Kind::String : Kind::Char, text.substr(i, j + 1 - i), line, inMain, len});
            i = j + 1;
        } else {
            out.push_back({Kind::Punct, std::string(1, c), line, inMain});
            ++i;
        }
    }
    return out;
}

struct Scanner {
    std::vector<Tok> toks;
    ScanResult r;
    std::int64_t text = 0, bss = 0, cinit = 0, konst = 0;
    std::set<std::string> localNames; // every function and variable this module defines
    std::vector<ObjRef> calls;

    static std::int64_t baseSize(const std::vector<Tok>& d) {
        std::int64_t size = 2;
        for (const auto& t : d) {
            if (t.ident("char"))
                size = 1;
            else if (t.ident("long") || t.ident("float") || t.ident("double"))
                size = 4;
            else if (t.ident("struct") || t.ident("union"))
                size = 4;
        }
        return size;
    }

    void declaration(const std::vector<Tok>& d) {
        if (d.empty()) return;
        bool isStatic = false, isExtern = false, isConst = false, hasBody = false;
        int depth = 0;
        for (size_t k = 0; k < d.size(); ++k) {
            const Tok& t = d[k];
            if (t.ident("typedef")) return;
            if (t.ident("static")) isStatic = true;
            if (t.ident("extern")) isExtern = true;
            if (t.ident("const")) isConst = true;
            if (t.is("{")) {
                if (depth == 0) hasBody = true;
                ++depth;
            }
            if (t.is("}")) --depth;
            if (t.is("=")) break;
            // name(...) before any "=": a prototype, which allocates nothing.
            if (depth == 0 && t.is("(") && k > 0 && d[k - 1].kind == Kind::Ident &&
                !kKeywords.count(d[k - 1].text))
                return;
        }
        std::int64_t structSize = 0;
        if (hasBody)
            for (const auto& t : d)
                if (t.is(";")) structSize += 2;
        const std::int64_t base = hasBody && structSize ? structSize : baseSize(d);

        // Split into declarators at commas outside brackets and braces.
        std::vector<std::vector<Tok>> parts(1);
        depth = 0;
        bool pastBody = !hasBody;
        for (const auto& t : d) {
            if (t.is("(") || t.is("[") || t.is("{")) ++depth;
            if (t.is(")") || t.is("]") || t.is("}")) {
                --depth;
                if (depth == 0 && t.is("}") && !pastBody) {
                    pastBody = true;
                    parts.back().clear(); // the struct body is type, not declarator
                    continue;
                }
            }
            if (depth == 0 && t.is(",")) {
                parts.emplace_back();
                continue;
            }
            if (pastBody || depth == 0) parts.back().push_back(t);
        }
        for (const auto& p : parts)
            declarator(p, base, isStatic, isExtern, isConst);
    }

    void declarator(const std::vector<Tok>& p, std::int64_t base, bool isStatic, bool isExtern,
                    bool isConst) {
        std::string name;
        bool pointer = false, init = false, array = false, unsized = false, constPointer = false;
        std::int64_t count = 1, initCount = 0, strings = 0, stringBytes = 0;
        int depth = 0;
        for (size_t k = 0; k < p.size(); ++k) {
            const Tok& t = p[k];
            if (!init) {
                if (t.is("=")) {
                    init = true;
                    continue;
                }
                if (t.is("*")) pointer = true;
                if (pointer && t.ident("const")) constPointer = true;
                if (t.is("[")) {
                    array = true;
                    unsized = unsized || (k + 1 < p.size() && p[k + 1].is("]"));
                    if (k + 1 < p.size() && p[k + 1].kind == Kind::Number) {
                        const std::int64_t n = boundedNumber(p[k + 1].text);
                        count = cappedProduct(count, n);
                    }
                }
                if (t.kind == Kind::Ident && !kKeywords.count(t.text) &&
                    !(k > 0 &&
                      (p[k - 1].ident("struct") || p[k - 1].ident("union") || p[k - 1].ident("enum")))) {
                    name = t.text;
                }
                continue;
            }
            if (t.is("{")) ++depth;
            if (t.is("}")) --depth;
            if (depth == 1 && t.is(",")) ++initCount;
            if (t.kind == Kind::String) {
                ++strings;
                grow(stringBytes, t.strLen + 1);
            }
        }
        if (name.empty() || (isExtern && !init)) return;
        localNames.insert(name);
        if (unsized && init) count = strings && !pointer ? stringBytes : initCount + 1;
        const std::int64_t size = cappedProduct(pointer ? 2 : base, count);
        if (strings && (pointer || !array)) grow(konst, stringBytes);
        // "const char *p" points at constants but is itself a variable.
        const bool constant = pointer ? constPointer : isConst;
        std::string section = constant && init ? ".const" : ".bss";
        std::int64_t& where = section == ".const" ? konst : bss;
        if (!isStatic) r.module.defs.push_back({"_" + name, section, where});
        grow(where, size);
        if (init && section == ".bss") grow(cinit, size + 4);
    }

    size_t function(const std::vector<Tok>& d, size_t open) {
        std::string name;
        int line = 0;
        std::set<std::string> params;
        int depth = 0;
        for (size_t k = 0; k < d.size(); ++k) {
            if (d[k].is("(")) {
                if (depth == 0 && name.empty() && k > 0 && d[k - 1].kind == Kind::Ident) {
                    name = d[k - 1].text;
                    line = d[k - 1].line;
                }
                ++depth;
            }
            if (d[k].is(")")) --depth;
            if (depth > 0 && d[k].kind == Kind::Ident) params.insert(d[k].text);
        }
        bool isStatic = false;
        for (const auto& t : d)
            isStatic = isStatic || t.ident("static");
        std::int64_t size = 6;
        size_t k = open;
        int braces = 0;
        for (; k < toks.size(); ++k) {
            const Tok& t = toks[k];
            if (t.is("{")) ++braces;
            if (t.is("}") && --braces == 0) break;
            if (t.is(";")) size += 3;
            if (t.kind == Kind::Ident && kBranches.count(t.text)) size += 2;
            if (t.kind == Kind::String) grow(konst, t.strLen + 1);
            if (t.kind == Kind::Ident && !kKeywords.count(t.text) && k + 1 < toks.size() &&
                toks[k + 1].is("(")) {
                size += 4;
                if (!params.count(t.text)) calls.push_back({"_" + t.text, t.inMain ? t.line : 0});
            }
        }
        if (!name.empty()) {
            localNames.insert(name);
            if (!isStatic) r.module.defs.push_back({"_" + name, ".text", text});
            r.functions.push_back({name, line, text, size});
        }
        grow(text, size);
        return k;
    }

    void run() {
        std::vector<Tok> decl;
        int paren = 0, brace = 0;
        for (size_t i = 0; i < toks.size(); ++i) {
            const Tok& t = toks[i];
            if (t.is("(")) ++paren;
            if (t.is(")")) --paren;
            if (t.is("{")) {
                if (brace == 0 && paren == 0 && !decl.empty() && decl.back().is(")")) {
                    i = function(decl, i);
                    decl.clear();
                    continue;
                }
                ++brace;
            }
            if (t.is("}")) --brace;
            if (t.is(";") && brace == 0 && paren == 0) {
                declaration(decl);
                decl.clear();
                continue;
            }
            decl.push_back(t);
        }
        std::set<std::string> seen;
        for (const auto& c : calls) {
            if (localNames.count(c.name.substr(1)) || !seen.insert(c.name).second) continue;
            r.module.refs.push_back(c);
        }
        r.module.sections = {
            {".text", text}, {".data", 0}, {".bss", bss}, {".cinit", cinit}, {".const", konst}};
    }
};

} // namespace

ScanResult ScanC(const std::string& text, const std::string& source) {
    Scanner s;
    s.toks = tokenize(text);
    s.r.module.source = source;
    s.run();
    return std::move(s.r);
}

} // namespace halyard::sim370
