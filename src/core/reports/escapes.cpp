// SPDX-License-Identifier: GPL-3.0-or-later
// How text goes into each format: JSON strings, XML, URIs and GitHub's workflow commands.
#include <cctype>
#include <cstdio>

#include "base/json.h"
#include "reports/writers.h"

namespace halyard::reports {

namespace fs = std::filesystem;

std::string JsonString(const std::string& text) {
    return JsonQuoted(AsUtf8(text));
}

std::string XmlText(const std::string& text) {
    const std::string utf8 = AsUtf8(text);
    std::string out;
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            out += c < 0x20 ? '?' : ch;
        }
    }
    return out;
}

namespace {

// RFC 3986's unreserved characters and the path's own "/" stay; everything else is encoded.
std::string percentEncoded(const std::string& path) {
    std::string out;
    for (char ch : AsUtf8(path)) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += ch;
        } else {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", c);
            out += esc;
        }
    }
    return out;
}

} // namespace

std::string FileUri(const fs::path& path, bool folder) {
    std::string p = path.lexically_normal().generic_string();
    // "C:/work" on Windows becomes "/C:/work"; the drive's colon stays as it is.
    if (p.size() >= 2 && p[1] == ':') p = "/" + p;
    if (folder && (p.empty() || p.back() != '/')) p += '/';
    std::string encoded = percentEncoded(p);
    if (encoded.size() >= 5 && encoded.compare(2, 3, "%3A") == 0) encoded.replace(2, 3, ":");
    return "file://" + encoded;
}

std::string UriPath(const std::string& relative) {
    return percentEncoded(relative);
}

std::string GitHubData(const std::string& text) {
    std::string out;
    for (char c : AsUtf8(text)) {
        if (c == '%')
            out += "%25";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

std::string GitHubProperty(const std::string& text) {
    std::string out;
    for (char c : GitHubData(text)) {
        if (c == ':')
            out += "%3A";
        else if (c == ',')
            out += "%2C";
        else
            out += c;
    }
    return out;
}

} // namespace halyard::reports
