// SPDX-License-Identifier: GPL-3.0-or-later
#include "own_preprocessor.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "base/text_file.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;

namespace {

bool identStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool identChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Comments become a blank and continued lines are joined, each file line keeping its number: a
// joined line stands at its first line, the ones it swallowed stay empty.
std::vector<std::string> logicalLines(const std::string& text) {
    std::vector<std::string> lines(1);
    int pending = 0; // lines swallowed by the line being built
    auto newline = [&] {
        lines.emplace_back();
        for (; pending > 0; --pending)
            lines.emplace_back();
    };
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') continue;
        if (c == '\\' && (text.compare(i + 1, 1, "\n") == 0 || text.compare(i + 1, 2, "\r\n") == 0)) {
            i += text[i + 1] == '\r' ? 2 : 1;
            ++pending;
            continue;
        }
        if (quote) {
            lines.back() += c;
            if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n')
                lines.back() += text[++i];
            else if (c == quote || c == '\n')
                quote = 0;
            if (c == '\n') {
                lines.back().pop_back();
                newline();
            }
            continue;
        }
        if (c == '\n') {
            newline();
        } else if (c == '"' || c == '\'') {
            quote = c;
            lines.back() += c;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const size_t end = text.find("*/", i + 2);
            for (size_t k = i + 2; k < std::min(end, text.size()); ++k)
                if (text[k] == '\n') ++pending;
            lines.back() += ' ';
            i = end == std::string::npos ? text.size() : end + 1;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i + 1 < text.size() && text[i + 1] != '\n')
                ++i;
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

struct Macro {
    bool function = false;
    std::string body;
};

// #if arithmetic over long long; anything it does not know counts as 0.
struct IfExpression {
    std::string s;
    size_t p = 0;
    void blank() {
        while (p < s.size() && std::isspace(static_cast<unsigned char>(s[p])))
            ++p;
    }
    bool eat(const char* op) {
        blank();
        const std::string o = op;
        if (s.compare(p, o.size(), o) != 0) return false;
        // "<" must not take the first half of "<=", "&" of "&&"...
        if (o.size() == 1 && p + 1 < s.size() && (s[p + 1] == '=' || s[p + 1] == s[p]) && o != "!" &&
            o != "(" && o != ")")
            return false;
        p += o.size();
        return true;
    }
    long long primary() {
        blank();
        if (eat("!")) return !primary();
        if (eat("-")) return -primary();
        if (eat("~")) return ~primary();
        if (eat("(")) {
            const long long v = orExpr();
            eat(")");
            return v;
        }
        if (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
            char* end = nullptr;
            const long long v = std::strtoll(s.c_str() + p, &end, 0);
            p = static_cast<size_t>(end - s.c_str());
            while (p < s.size() && s[p] && std::strchr("uUlL", s[p]))
                ++p;
            return v;
        }
        while (p < s.size() && identChar(s[p]))
            ++p;
        if (p < s.size() && !identStart(s[p]) && !std::isspace(static_cast<unsigned char>(s[p])) &&
            !std::strchr("()!<>=&|+-*/%~", s[p]))
            ++p;
        return 0;
    }
    long long mul() {
        long long v = primary();
        for (;;) {
            if (eat("*"))
                v *= primary();
            else if (eat("/")) {
                const long long d = primary();
                v = d ? v / d : 0;
            } else if (eat("%")) {
                const long long d = primary();
                v = d ? v % d : 0;
            } else
                return v;
        }
    }
    long long add() {
        long long v = mul();
        for (;;) {
            if (eat("+"))
                v += mul();
            else if (eat("-"))
                v -= mul();
            else
                return v;
        }
    }
    long long compare() {
        long long v = add();
        for (;;) {
            if (eat("<="))
                v = v <= add();
            else if (eat(">="))
                v = v >= add();
            else if (eat("<"))
                v = v < add();
            else if (eat(">"))
                v = v > add();
            else if (eat("=="))
                v = v == add();
            else if (eat("!="))
                v = v != add();
            else
                return v;
        }
    }
    long long andExpr() {
        long long v = compare();
        while (eat("&&"))
            v = compare() && v;
        return v;
    }
    long long orExpr() {
        long long v = andExpr();
        while (eat("||"))
            v = andExpr() || v;
        return v;
    }
};

struct Preprocessor {
    std::map<std::string, Macro> macros;
    const std::vector<fs::path>& includes;
    Diagnostics& diags;
    std::string out;
    bool ok = true;
    int depth = 0;

    Preprocessor(const std::vector<fs::path>& inc, Diagnostics& d) : includes(inc), diags(d) {}

    std::string expand(const std::string& line, std::set<std::string>& active, int level) {
        std::string result;
        char quote = 0;
        for (size_t i = 0; i < line.size();) {
            const char c = line[i];
            if (quote) {
                result += c;
                if (c == '\\' && i + 1 < line.size())
                    result += line[++i];
                else if (c == quote)
                    quote = 0;
                ++i;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
                result += c;
                ++i;
                continue;
            }
            if (!identStart(c) || (i > 0 && identChar(line[i - 1]))) {
                result += c;
                ++i;
                continue;
            }
            size_t j = i;
            while (j < line.size() && identChar(line[j]))
                ++j;
            const std::string name = line.substr(i, j - i);
            i = j;
            const auto m = macros.find(name);
            if (m == macros.end() || active.count(name) || level > 16) {
                result += name;
            } else if (!m->second.function) {
                active.insert(name);
                result += " " + expand(m->second.body, active, level + 1) + " ";
                active.erase(name);
            } else {
                // The arguments stay as a parenthesised expression: no call comes of it.
                size_t k = j;
                while (k < line.size() && std::isspace(static_cast<unsigned char>(line[k])))
                    ++k;
                if (k >= line.size() || line[k] != '(') result += name;
            }
        }
        return result;
    }

    std::string expand(const std::string& line) {
        std::set<std::string> active;
        return expand(line, active, 0);
    }

    bool evaluate(std::string expr) {
        // "defined X" and "defined(X)" first: their names must not be expanded.
        for (size_t at; (at = expr.find("defined")) != std::string::npos;) {
            size_t p = at + 7;
            while (p < expr.size() && (expr[p] == ' ' || expr[p] == '(' || expr[p] == '\t'))
                ++p;
            size_t e = p;
            while (e < expr.size() && identChar(expr[e]))
                ++e;
            const bool known = macros.count(expr.substr(p, e - p)) > 0;
            while (e < expr.size() && (expr[e] == ' ' || expr[e] == ')'))
                if (expr[e++] == ')') break;
            expr.replace(at, e - at, known ? " 1 " : " 0 ");
        }
        IfExpression x{expand(expr)};
        return x.orExpr() != 0;
    }

    void define(const std::string& rest) {
        size_t p = 0;
        while (p < rest.size() && identChar(rest[p]))
            ++p;
        if (p == 0) return;
        Macro m;
        size_t body = p;
        if (p < rest.size() && rest[p] == '(') {
            m.function = true;
            body = rest.find(')', p);
            body = body == std::string::npos ? rest.size() : body + 1;
        }
        const size_t start = rest.find_first_not_of(" \t", body);
        m.body = start == std::string::npos ? "" : rest.substr(start);
        macros[rest.substr(0, p)] = m;
    }

    fs::path findInclude(const std::string& name, bool quoted, const fs::path& from) const {
        std::error_code ec;
        if (quoted && fs::is_regular_file(from.parent_path() / name, ec)) return from.parent_path() / name;
        for (const auto& dir : includes)
            if (fs::is_regular_file(dir / name, ec)) return dir / name;
        return {};
    }

    // Only the main file's brackets are checked: a header's fault shows where it is used.
    void checkBrackets(const std::vector<std::pair<int, std::string>>& lines, const std::string& shown) {
        std::vector<std::pair<char, int>> open;
        auto closer = [](char c) { return c == '(' ? ')' : c == '[' ? ']' : '}'; };
        for (const auto& [number, text] : lines) {
            char quote = 0;
            for (size_t i = 0; i < text.size(); ++i) {
                const char c = text[i];
                if (quote) {
                    if (c == '\\')
                        ++i;
                    else if (c == quote)
                        quote = 0;
                    continue;
                }
                if (c == '"' || c == '\'') quote = c;
                if (c == '(' || c == '[' || c == '{') open.push_back({c, number});
                if (c != ')' && c != ']' && c != '}') continue;
                if (open.empty()) {
                    diags.error(shown, number, 6, std::string("expected a declaration before '") + c + "'");
                    ok = false;
                    return;
                }
                if (closer(open.back().first) != c) {
                    diags.error(shown, number, 6,
                                std::string("expected '") + closer(open.back().first) + "' before '" + c +
                                    "'");
                    ok = false;
                    return;
                }
                open.pop_back();
            }
        }
        if (!open.empty()) {
            diags.error(shown, open.front().second, 6,
                        std::string("expected '") + closer(open.front().first) + "' to close the '" +
                            open.front().first + "' of this line before the end of the file");
            ok = false;
        }
    }

    void file(const fs::path& path, const std::string& shown, bool main) {
        std::string text;
        if (!ReadHostFile(path, text)) {
            diags.error(shown, 0, 1, "cannot open source file " + shown);
            ok = false;
            return;
        }
        struct Level {
            bool active, taken, outer;
        };
        std::vector<Level> levels;
        auto active = [&] { return levels.empty() || levels.back().active; };
        std::vector<std::pair<int, std::string>> code;
        out += "# 1 \"" + shown + "\"\n";
        const auto lines = logicalLines(text);
        for (size_t n = 0; n < lines.size(); ++n) {
            const int number = static_cast<int>(n) + 1;
            const std::string& line = lines[n];
            const size_t hash = line.find_first_not_of(" \t");
            if (hash == std::string::npos || line[hash] != '#') {
                if (active()) code.push_back({number, line});
                out += (active() ? expand(line) : std::string()) + "\n";
                continue;
            }
            size_t p = line.find_first_not_of(" \t", hash + 1);
            size_t e = p;
            while (e < line.size() && identChar(line[e]))
                ++e;
            const std::string word = p == std::string::npos ? "" : line.substr(p, e - p);
            const size_t restAt = line.find_first_not_of(" \t", e);
            const std::string rest = restAt == std::string::npos ? "" : line.substr(restAt);
            std::string restName = rest.substr(0, std::min(rest.size(), rest.find_first_of(" \t")));
            if (word == "ifdef" || word == "ifndef" || word == "if") {
                const bool outer = active();
                const bool v = word == "if" ? outer && evaluate(rest)
                                            : (macros.count(restName) > 0) == (word == "ifdef");
                levels.push_back({outer && v, outer && v, outer});
            } else if (word == "elif" && !levels.empty()) {
                Level& l = levels.back();
                l.active = l.outer && !l.taken && evaluate(rest);
                l.taken = l.taken || l.active;
            } else if (word == "else" && !levels.empty()) {
                Level& l = levels.back();
                l.active = l.outer && !l.taken;
                l.taken = true;
            } else if (word == "endif" && !levels.empty()) {
                levels.pop_back();
            } else if (!active()) {
            } else if (word == "define") {
                define(rest);
            } else if (word == "undef") {
                macros.erase(restName);
            } else if (word == "error") {
                diags.error(shown, number, 4, "#error " + rest);
                ok = false;
            } else if (word == "include" && rest.size() > 2 && (rest[0] == '"' || rest[0] == '<')) {
                const size_t close = rest.find(rest[0] == '"' ? '"' : '>', 1);
                const std::string name =
                    rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
                const fs::path found = findInclude(name, rest[0] == '"', path);
                if (found.empty()) {
                    diags.error(shown, number, 5, "cannot open include file \"" + name + "\"");
                    ok = false;
                } else if (depth < 32) {
                    ++depth;
                    file(found, name, false);
                    --depth;
                }
                out += "# " + std::to_string(number + 1) + " \"" + shown + "\"\n";
                continue;
            }
            out += "\n";
        }
        if (main && ok) checkBrackets(code, shown);
    }
};

} // namespace

bool OwnPreprocess(const fs::path& source, const std::string& shownName,
                   const std::vector<fs::path>& includes, const std::vector<std::string>& defines,
                   Diagnostics& diags, std::string& out) {
    Preprocessor pre(includes, diags);
    for (const auto& d : defines) {
        const size_t eq = d.find('=');
        pre.macros[d.substr(0, eq)] = {false, eq == std::string::npos ? "1" : d.substr(eq + 1)};
    }
    pre.file(source, shownName, true);
    out = std::move(pre.out);
    return pre.ok;
}

} // namespace halyard::sim370
