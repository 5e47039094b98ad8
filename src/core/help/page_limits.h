// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a help page may cost the help window. A help file may come from anyone, and the topic view
// lays out whatever it is given on the GUI thread: tables nested forty deep kept it busy for minutes,
// two dozen blank 5600x5600 pictures cost half a minute and a page of 44 MB several gigabytes. A
// page or picture over these limits is refused with a short notice instead; the limits are far
// above what a real help page holds.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace halyard {

struct HelpPageLimits {
    std::size_t pageBytes = 1u << 20; // laid out in about a second and 100 MB at most
    // The view lays out a word in time that grows with the square of its length (a page that is
    // one word of 1 MB took two minutes): the sum of the squares of the words' lengths, about a
    // second's work.
    std::uint64_t wordCost = 1'000'000'000;
    int tableDepth = 6;      // tables inside tables (each level costs the layout several times the last)
    int containerDepth = 64; // lists, block quotes, divisions and tables inside each other
    int pictures = 200;      // pictures a page names
    std::uint64_t picturePixels = std::uint64_t(4096) * 4096;
    std::uint64_t pagePixels = std::uint64_t(8192) * 8192; // of all the pictures of one page
};

// Why the page cannot be shown ("The page is too large to show (over 1 MB)."), or nothing.
std::optional<std::string> CheckHelpPage(std::string_view html, const HelpPageLimits& limits = {});

// Width and height from a picture's header (PNG, GIF, JPEG, BMP), without decoding it; nothing for
// any other format or a header that does not hold together.
std::optional<std::pair<std::uint32_t, std::uint32_t>> PictureSize(std::string_view bytes);

} // namespace halyard
