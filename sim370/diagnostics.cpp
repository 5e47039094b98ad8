#include "diagnostics.h"

#include <cctype>
#include <cstdio>
#include <ostream>

namespace halyard::sim370 {

std::string FormatDiagnostic(const Diagnostic& d) {
    char code[16];
    std::snprintf(code, sizeof code, "%c%03d", d.severity == Severity::Error ? 'E' : 'W', d.code);
    std::string out = BaseName(d.file);
    if (d.line > 0) out += " " + std::to_string(d.line);
    out += d.severity == Severity::Error ? ": error[" : ": warning[";
    return out + code + "]: " + d.text;
}

void Diagnostics::add(const Diagnostic& d) {
    if (d.severity == Severity::Warning && suppressWarnings) return;
    if (d.severity == Severity::Error) ++errors_;
    all_.push_back(d);
    if (echo_) *echo_ << FormatDiagnostic(d) << std::endl;
}

void Diagnostics::error(const std::string& file, int line, int code, const std::string& text) {
    add({file, line, Severity::Error, code, text});
}

void Diagnostics::warning(const std::string& file, int line, int code, const std::string& text) {
    add({file, line, Severity::Warning, code, text});
}

std::string BaseName(const std::string& path) {
    const auto cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string StemOf(const std::string& path) {
    std::string name = BaseName(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
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

} // namespace halyard::sim370
