// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/paths.h"

#include <algorithm>
#include <cctype>

namespace halyard {

namespace {
// The drive mapping takes "/" for "\\"; every helper that splits or joins must agree with it, or a
// name such as "q/../../evil.h" would be one file name here and a walk out of its folder there.
constexpr const char* Separators = "\\/:";
} // namespace

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string AddTrailingBackslash(const std::string& text) {
    if (!text.empty() && IsPathSeparator(text.back())) return text;
    return text + "\\";
}

std::string RemoveTrailingBackslash(const std::string& text) {
    if (!text.empty() && IsPathSeparator(text.back())) return text.substr(0, text.size() - 1);
    return text;
}

std::string ExtractFileDir(const std::string& path) {
    const auto at = path.find_last_of(Separators);
    if (at == std::string::npos) return {};
    // Keep the separator of a root ("C:\") and the colon of a bare drive ("C:").
    if (path[at] == ':' || (at > 0 && path[at - 1] == ':')) return path.substr(0, at + 1);
    if (at == 0) return path.substr(0, 1);
    return path.substr(0, at);
}

std::string ExtractFileName(const std::string& path) {
    const auto at = path.find_last_of(Separators);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string TrimRight(const std::string& text) {
    auto end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string_view TrimSpace(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

int CompareText(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const std::string& a, const std::string& b) {
    return CompareText(a, b) == 0;
}

bool SamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsPathSeparator(a[i]) && IsPathSeparator(b[i])) continue;
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool IsPlainFileName(const std::string& name) {
    const std::string bare = TrimRight(name);
    return !bare.empty() && bare != "." && bare != ".." &&
           bare.find_first_of(Separators) == std::string::npos;
}

std::string LowerCase(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string UpperCase(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace halyard
