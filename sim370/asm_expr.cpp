// SPDX-License-Identifier: GPL-3.0-or-later
#include "asm_expr.h"

#include <cctype>

#include "base/paths.h"
#include "diagnostics.h"

namespace halyard::sim370 {

using tms370::Operand;

namespace {

std::string trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

bool allOf(const std::string& s, size_t from, int (*pred)(int)) {
    if (from >= s.size()) return false;
    for (size_t i = from; i < s.size(); ++i)
        if (!pred(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

// R0..R255; nullopt when the text is not a register name, -1 when it is one out of range.
std::optional<int> registerNumber(const std::string& t) {
    if (t.size() < 2 || (t[0] != 'R' && t[0] != 'r') || !allOf(t, 1, isdigit)) return std::nullopt;
    if (t.size() > 4) return -1;
    const int n = std::stoi(t.substr(1));
    return n <= 255 ? n : -1;
}

// P0..PFF in hexadecimal, as the peripheral file's registers are named (P021 is 1021h).
std::optional<int> peripheralNumber(const std::string& t) {
    std::string s = t;
    if (s.size() > 2 && (s.back() == 'h' || s.back() == 'H')) s.pop_back();
    if (s.size() < 2 || (s[0] != 'P' && s[0] != 'p') || !std::isdigit(static_cast<unsigned char>(s[1])) ||
        !allOf(s, 1, isxdigit))
        return std::nullopt;
    if (s.size() > 8) return -1;
    const long n = std::stol(s.substr(1), nullptr, 16);
    return n <= 255 ? static_cast<int>(n) : -1;
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '.';
}

} // namespace

std::optional<std::int64_t> ParseAsmNumber(const std::string& raw) {
    const std::string t = trim(raw);
    if (t.size() == 3 && t.front() == '\'' && t.back() == '\'') return static_cast<unsigned char>(t[1]);
    if (auto v = ParseNumber(t)) return v;
    if (t.size() > 1 && (t.back() == 'b' || t.back() == 'B') && t.size() <= 33) {
        std::int64_t v = 0;
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            if (t[i] != '0' && t[i] != '1') return std::nullopt;
            v = v * 2 + (t[i] - '0');
        }
        return v;
    }
    return std::nullopt;
}

std::optional<ParsedOperand> ParseOperand(const std::string& raw, const AliasLookup& aliases,
                                          std::string* why) {
    std::string t = trim(raw);
    if (t.empty()) {
        *why = "an operand is empty";
        return std::nullopt;
    }
    // A register alias stands for its register wherever it is written.
    auto resolve = [&](const std::string& name) {
        const std::string n = trim(name);
        if (auto a = aliases(n)) return *a;
        return n;
    };
    auto reg = [&](const std::string& text) -> std::optional<int> {
        auto r = registerNumber(resolve(text));
        if (r && *r < 0) *why = "register " + text + " is out of range (R0 to R255)";
        return r;
    };
    const std::string upper = UpperCase(resolve(t));
    if (upper == "A") return ParsedOperand{Syntax::A, 0, {}};
    if (upper == "B") return ParsedOperand{Syntax::B, 0, {}};
    if (upper == "ST") return ParsedOperand{Syntax::St, 0, {}};
    if (auto r = reg(t)) {
        if (*r < 0) return std::nullopt;
        return ParsedOperand{Syntax::Reg, *r, {}};
    }
    if (auto p = peripheralNumber(resolve(t))) {
        if (*p < 0) {
            *why = "peripheral " + t + " is out of range (P000 to P0FF)";
            return std::nullopt;
        }
        return ParsedOperand{Syntax::Periph, *p, {}};
    }
    if (t[0] == '@' || t[0] == '*') {
        auto r = reg(t.substr(1));
        if (!r || *r < 0) {
            if (!r) *why = "'" + t + "' must name a register pair (@R10)";
            return std::nullopt;
        }
        return ParsedOperand{Syntax::Indirect, *r, {}};
    }
    bool immediate = false;
    if (t[0] == '#') {
        immediate = true;
        t = trim(t.substr(1));
    } else if (t[0] == '&') {
        t = trim(t.substr(1));
    }
    // A trailing "(B)" or "(Rn)" indexes; other parentheses belong to the expression.
    if (t.size() > 2 && t.back() == ')') {
        const auto open = t.rfind('(');
        if (open != std::string::npos) {
            const std::string inner = trim(t.substr(open + 1, t.size() - open - 2));
            const std::string base = trim(t.substr(0, open));
            if (UpperCase(resolve(inner)) == "B")
                return ParsedOperand{immediate ? Syntax::ImmIndexB : Syntax::IndexB, 0,
                                     base.empty() ? "0" : base};
            if (auto r = reg(inner); r && !immediate) {
                if (*r < 0) return std::nullopt;
                return ParsedOperand{Syntax::Offset, *r, base.empty() ? "0" : base};
            }
        }
    }
    if (t.empty()) {
        *why = "'" + raw + "' has no value";
        return std::nullopt;
    }
    return ParsedOperand{immediate ? Syntax::Imm : Syntax::Expr, 0, t};
}

bool Fits(Syntax s, Operand k) {
    switch (s) {
    case Syntax::A:
        return k == Operand::A;
    case Syntax::B:
        return k == Operand::B;
    case Syntax::St:
        return k == Operand::St;
    case Syntax::Reg:
        return k == Operand::Reg;
    case Syntax::Periph:
        return k == Operand::Periph;
    case Syntax::Imm:
        return k == Operand::Imm8 || k == Operand::Imm16;
    case Syntax::ImmIndexB:
        return k == Operand::Imm16IndexB;
    case Syntax::Indirect:
        return k == Operand::Indirect;
    case Syntax::IndexB:
        return k == Operand::IndexB || k == Operand::Rel16IndexB;
    case Syntax::Offset:
        return k == Operand::Offset;
    case Syntax::Expr:
        return k == Operand::Direct || k == Operand::Rel8 || k == Operand::Rel16 || k == Operand::TrapNumber;
    }
    return false;
}

std::optional<ExprValue> Evaluate(const std::string& text, const SymbolLookup& symbols, const ExprValue& here,
                                  std::string* why) {
    const std::string t = trim(text);
    size_t i = 0;
    ExprValue sum;
    bool first = true;
    auto bad = [&](const std::string& w) -> std::optional<ExprValue> {
        *why = w;
        return std::nullopt;
    };
    while (true) {
        while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i])))
            ++i;
        int sign = 1;
        if (!first) {
            if (i >= t.size()) break;
            if (t[i] != '+' && t[i] != '-') return bad("invalid expression '" + t + "'");
            sign = t[i] == '-' ? -1 : 1;
            ++i;
        }
        while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '+' || t[i] == '-')) {
            if (t[i] == '-') sign = -sign;
            ++i;
        }
        first = false;
        size_t j = i;
        if (j < t.size() && t[j] == '\'') {
            j = std::min(t.size(), j + 3);
        } else {
            while (j < t.size() && isNameChar(t[j]))
                ++j;
        }
        const std::string term = t.substr(i, j - i);
        i = j;
        if (term.empty()) return bad("invalid expression '" + t + "'");
        ExprValue v;
        if (term == "$") {
            v = here;
        } else if (std::isdigit(static_cast<unsigned char>(term[0])) || term[0] == '\'') {
            auto n = ParseAsmNumber(term);
            if (!n) return bad("invalid number '" + term + "'");
            v.value = *n;
        } else if (auto s = symbols(term)) {
            v = *s;
        } else {
            return bad("undefined symbol " + term);
        }
        if (v.base != ExprValue::Absolute) {
            if (sign > 0 && sum.base == ExprValue::Absolute) {
                sum.base = v.base;
                sum.name = v.name;
            } else if (sign < 0 && sum.base == v.base && sum.name == v.name && v.base == ExprValue::Section) {
                sum.base = ExprValue::Absolute; // the distance between two labels of one section
                sum.name.clear();
            } else {
                return bad("'" + t + "' cannot be relocated (it adds or subtracts relocatable values)");
            }
        }
        sum.value += sign * v.value;
    }
    return sum;
}

} // namespace halyard::sim370
