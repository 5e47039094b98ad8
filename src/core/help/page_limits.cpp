// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/page_limits.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/regular_file.h"

namespace halyard {

namespace {

bool nameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

std::string lowerName(std::string_view html, std::size_t at) {
    std::string name;
    while (at < html.size() && nameChar(html[at]) && name.size() < 16)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(html[at++])));
    return name;
}

bool isContainer(const std::string& name) {
    static const char* const names[] = {"table", "ul", "ol", "dl", "div", "blockquote", "center", "pre"};
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

std::uint32_t be16(std::string_view b, std::size_t at) {
    return (std::uint32_t(static_cast<unsigned char>(b[at])) << 8) | static_cast<unsigned char>(b[at + 1]);
}
std::uint32_t le16(std::string_view b, std::size_t at) {
    return (std::uint32_t(static_cast<unsigned char>(b[at + 1])) << 8) | static_cast<unsigned char>(b[at]);
}
std::uint32_t be32(std::string_view b, std::size_t at) {
    return (be16(b, at) << 16) | be16(b, at + 2);
}
std::uint32_t le32(std::string_view b, std::size_t at) {
    return (le16(b, at + 2) << 16) | le16(b, at);
}

} // namespace

std::optional<std::string> CheckHelpPage(std::string_view html, const HelpPageLimits& limits) {
    if (html.size() > limits.pageBytes)
        return "The page is too large to show (over " + SizeText(limits.pageBytes) + ").";
    // Only the tags are looked at, as the view would open and close them; a closing tag without
    // its opening one is ignored, as the view ignores it.
    // The words of the text between the tags; a tag inside a word does not end it.
    std::uint64_t cost = 0, word = 0;
    for (std::size_t at = 0; at < html.size(); ++at) {
        const char c = html[at];
        if (c == '<') {
            const std::size_t end = html.find('>', at);
            if (end == std::string_view::npos) break;
            at = end;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            cost += word * word;
            word = 0;
        } else {
            ++word;
        }
    }
    if (cost + word * word > limits.wordCost) return std::string("The page has words too long to show.");
    std::vector<std::string> open; // containers open at this point
    int tables = 0, pictures = 0;
    for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
        if (html.compare(at, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", at + 4);
            if (end == std::string_view::npos) break;
            at = end + 2;
            continue;
        }
        const bool closing = at + 1 < html.size() && html[at + 1] == '/';
        const std::string name = lowerName(html, at + 1 + closing);
        if (name == "img" && !closing && ++pictures > limits.pictures)
            return "The page has too many pictures to show (over " + std::to_string(limits.pictures) + ").";
        if (!isContainer(name)) continue;
        if (!closing) {
            open.push_back(name);
            tables += name == "table";
            if (tables > limits.tableDepth)
                return "The page is too deep to show (tables nested over " +
                       std::to_string(limits.tableDepth) + " deep).";
            if (static_cast<int>(open.size()) > limits.containerDepth)
                return "The page is too deep to show (over " + std::to_string(limits.containerDepth) +
                       " levels).";
            continue;
        }
        const auto match = std::find(open.rbegin(), open.rend(), name);
        if (match == open.rend()) continue;
        // Closing an outer one closes those inside it.
        const auto from = match.base() - 1;
        tables -= static_cast<int>(std::count(from, open.end(), std::string("table")));
        open.erase(from, open.end());
    }
    return std::nullopt;
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> PictureSize(std::string_view b) {
    using Size = std::pair<std::uint32_t, std::uint32_t>;
    if (b.size() >= 24 && b.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8) &&
        b.substr(12, 4) == "IHDR")
        return Size{be32(b, 16), be32(b, 20)};
    if (b.size() >= 10 && (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a"))
        return Size{le16(b, 6), le16(b, 8)};
    if (b.size() >= 26 && b.substr(0, 2) == "BM") {
        // The info header's width and height; a height below zero is a picture stored top down.
        const auto width = static_cast<std::int32_t>(le32(b, 18));
        const auto height = static_cast<std::int32_t>(le32(b, 22));
        if (le32(b, 14) == 12) return Size{le16(b, 18), le16(b, 20)}; // the old OS/2 header
        if (width <= 0 || height == INT32_MIN) return std::nullopt;
        return Size{static_cast<std::uint32_t>(width),
                    static_cast<std::uint32_t>(height < 0 ? -height : height)};
    }
    if (b.size() >= 4 && static_cast<unsigned char>(b[0]) == 0xFF &&
        static_cast<unsigned char>(b[1]) == 0xD8) {
        // The segments up to the first start-of-frame, which holds the size.
        std::size_t at = 2;
        while (at + 4 <= b.size()) {
            if (static_cast<unsigned char>(b[at]) != 0xFF) return std::nullopt;
            const unsigned marker = static_cast<unsigned char>(b[at + 1]);
            if (marker == 0xFF) {
                ++at; // padding
                continue;
            }
            if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
                at += 2; // no length
                continue;
            }
            const std::uint32_t length = be16(b, at + 2);
            if (length < 2) return std::nullopt;
            const bool frame =
                marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                if (at + 9 > b.size()) return std::nullopt;
                return Size{be16(b, at + 7), be16(b, at + 5)};
            }
            at += 2 + length;
        }
    }
    return std::nullopt;
}

} // namespace halyard
