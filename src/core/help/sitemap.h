// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a help file holds besides its pages, as plain text parsers: the contents (.hhc) and index
// (.hhk) files, the text popups of a popup topics file, and the paths of files inside it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace halyard {

// One entry of a contents (.hhc) or index (.hhk) file; `level` 0 is the outermost list.
struct SitemapEntry {
    std::string name;
    std::string local; // the topic's path inside the help file; empty for a heading
    int level = 0;
    bool operator==(const SitemapEntry&) const = default;
};

// The deepest level a sitemap entry is given: deeper lists stay at this level, so that a crafted
// file cannot make the help window indent or nest without end.
inline constexpr int SitemapMaxLevel = 16;

// The entries of a sitemap file in document order. Tolerant: unknown tags and attributes are
// skipped, quotes may be single, double or missing, and entities are decoded.
std::vector<SitemapEntry> ParseSitemap(const std::string& html);

// The ".topic N" entries of a text-popup file: each topic's lines up to the next ".topic".
std::map<std::uint32_t, std::string> ParsePopupTopics(const std::string& text);

// Folds "." and ".." and puts a "/" in front: "sub/../a.htm" -> "/a.htm".
std::string NormaliseHelpPath(const std::string& path);

} // namespace halyard
