// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/sitemap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "base/paths.h"

namespace halyard {

namespace {

std::string decodeEntities(const std::string& text) {
    static const std::pair<const char*, const char*> named[] = {{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                                                                {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto semi = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semi == std::string::npos || semi - i > 8) {
            out += text[i];
            continue;
        }
        const std::string name = text.substr(i + 1, semi - i - 1);
        std::string value;
        if (name.size() > 1 && name[0] == '#') {
            const long code = name[1] == 'x' || name[1] == 'X' ? std::strtol(name.c_str() + 2, nullptr, 16)
                                                               : std::strtol(name.c_str() + 1, nullptr, 10);
            if (code > 0 && code < 0x80)
                value = char(code);
            else if (code >= 0x80 && code < 0x800)
                value = {char(0xC0 | code >> 6), char(0x80 | (code & 0x3F))};
        } else {
            for (auto [n, v] : named)
                if (SameText(name, n)) value = v;
        }
        if (value.empty()) {
            out += text[i];
            continue;
        }
        out += value;
        i = semi;
    }
    return out;
}

// The attributes of one tag, names in lower case.
std::map<std::string, std::string> attributes(const std::string& tag) {
    std::map<std::string, std::string> out;
    std::size_t i = 0;
    while (i < tag.size() && !std::isspace(static_cast<unsigned char>(tag[i])))
        ++i; // the tag's name
    while (i < tag.size()) {
        while (i < tag.size() && (std::isspace(static_cast<unsigned char>(tag[i])) || tag[i] == '/'))
            ++i;
        std::size_t start = i;
        while (i < tag.size() && tag[i] != '=' && !std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        std::string name = LowerCase(tag.substr(start, i - start));
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        std::string value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
                ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char quote = tag[i++];
                start = i;
                while (i < tag.size() && tag[i] != quote)
                    ++i;
                value = tag.substr(start, i - start);
                ++i;
            } else {
                start = i;
                while (i < tag.size() && !std::isspace(static_cast<unsigned char>(tag[i])))
                    ++i;
                value = tag.substr(start, i - start);
            }
        }
        if (!name.empty()) out[name] = decodeEntities(value);
    }
    return out;
}

} // namespace

std::vector<SitemapEntry> ParseSitemap(const std::string& html) {
    std::vector<SitemapEntry> out;
    int depth = 0;
    std::optional<SitemapEntry> current;
    for (std::size_t i = html.find('<'); i != std::string::npos; i = html.find('<', i)) {
        if (html.compare(i, 4, "<!--") == 0) {
            const auto end = html.find("-->", i);
            i = end == std::string::npos ? html.size() : end + 3;
            continue;
        }
        const auto end = html.find('>', i);
        if (end == std::string::npos) break;
        const std::string tag = html.substr(i + 1, end - i - 1);
        i = end + 1;
        std::string name;
        for (char c : tag) {
            if (std::isspace(static_cast<unsigned char>(c)) || c == '>') break;
            name += char(std::tolower(static_cast<unsigned char>(c)));
        }
        if (name == "ul") {
            ++depth;
        } else if (name == "/ul") {
            if (depth > 0) --depth;
        } else if (name == "object") {
            auto a = attributes(tag);
            if (SameText(a["type"], "text/sitemap"))
                current = SitemapEntry{{}, {}, std::clamp(depth - 1, 0, SitemapMaxLevel)};
        } else if (name == "param" && current) {
            auto a = attributes(tag);
            const std::string& param = a["name"];
            // A keyword's own name comes first; the names of the topics it lists do not replace it.
            if (SameText(param, "Name") && current->name.empty())
                current->name = a["value"];
            else if (SameText(param, "Keyword"))
                current->name = a["value"];
            else if (SameText(param, "Local") && current->local.empty())
                current->local = a["value"];
        } else if (name == "/object" && current) {
            if (!current->name.empty()) out.push_back(*current);
            current.reset();
        }
    }
    return out;
}

std::map<std::uint32_t, std::string> ParsePopupTopics(const std::string& text) {
    std::map<std::uint32_t, std::string> out;
    std::istringstream in(text);
    std::string line, body;
    std::optional<std::uint32_t> topic;
    auto flush = [&] {
        while (!body.empty() && (body.back() == '\n' || body.back() == ' '))
            body.pop_back();
        if (topic) out[*topic] = body;
        body.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(".topic", 0) == 0) {
            flush();
            char* end = nullptr;
            const std::string id = TrimRight(line.substr(6));
            const unsigned long n = std::strtoul(id.c_str(), &end, 0);
            // Only numbered topics can be asked for; a named one is skipped with its text.
            topic = end != id.c_str() && *end == '\0' ? std::optional<std::uint32_t>(n) : std::nullopt;
            continue;
        }
        if (!topic) continue;
        if (!body.empty() || !line.empty()) body += line + "\n";
    }
    flush();
    return out;
}

std::string NormaliseHelpPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(path);
    while (std::getline(in, part, '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else {
            parts.push_back(part);
        }
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

} // namespace halyard
