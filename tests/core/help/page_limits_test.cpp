// SPDX-License-Identifier: GPL-3.0-or-later
// What a help page may cost the window: the checks that refuse crafted pages and pictures.
#include <gtest/gtest.h>

#include "help/page_limits.h"

using namespace halyard;

namespace {

std::string nested(const char* open, const char* close, int depth) {
    std::string page = "<html><body>";
    for (int i = 0; i < depth; ++i)
        page += open;
    page += "x";
    for (int i = 0; i < depth; ++i)
        page += close;
    return page + "</body></html>";
}

} // namespace

TEST(HelpPageLimits, DeepLargeOrPictureHeavyPagesAreRefusedAndRealOnesPass) {
    EXPECT_EQ(CheckHelpPage(nested("<TABLE><tr><td>", "</td></tr></table>", 6)), std::nullopt);
    EXPECT_EQ(CheckHelpPage(nested("<table><tr><td>", "</td></tr></TABLE>", 40)),
              "The page is too deep to show (tables nested over 6 deep).");
    // Tables side by side, or closed with the outer one, do not add up.
    std::string siblings;
    for (int i = 0; i < 100; ++i)
        siblings += "<table><tr><td><table><tr><td>x</table></td></tr></table>";
    EXPECT_EQ(CheckHelpPage(siblings), std::nullopt);
    EXPECT_EQ(CheckHelpPage(nested("<ul><li>", "</ul>", 65)),
              "The page is too deep to show (over 64 levels).");
    EXPECT_EQ(CheckHelpPage("<!-- <table><table><table> -->" + nested("<div>", "</div>", 60)), std::nullopt);
    EXPECT_EQ(CheckHelpPage(std::string(5u << 20, ' ')), "The page is too large to show (over 1 MB).");
    // One word of 100 kB, even cut by tags, kept the view busy for seconds; many short words do not.
    EXPECT_EQ(CheckHelpPage("<p>" + std::string(50000, 'x') + "<b>" + std::string(50000, 'x') + "</b>"),
              "The page has words too long to show.");
    std::string words;
    while (words.size() < 1000000)
        words += "a word <i>or</i> two\n";
    EXPECT_EQ(CheckHelpPage(words), std::nullopt);
    std::string pictures;
    for (int i = 0; i < 201; ++i)
        pictures += "<img src=\"blank.png\">";
    EXPECT_EQ(CheckHelpPage(pictures), "The page has too many pictures to show (over 200).");
    // An unclosed tag at the very end is no fault.
    EXPECT_EQ(CheckHelpPage("<p>text <"), std::nullopt);
}

TEST(HelpPageLimits, PictureSizesComeFromTheHeadersAlone) {
    using Size = std::pair<std::uint32_t, std::uint32_t>;
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x15\xe0\0\0\x15\xe0", 24);
    EXPECT_EQ(PictureSize(png), (Size{5600, 5600}));
    EXPECT_EQ(PictureSize(png.substr(0, 23)), std::nullopt) << "cut short";
    EXPECT_EQ(PictureSize(std::string("GIF89a\x20\x03\x58\x02", 10)), (Size{800, 600}));
    std::string bmp(26, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40;
    bmp[18] = '\x10', bmp[22] = '\xf0', bmp[23] = '\xff', bmp[24] = '\xff', bmp[25] = '\xff'; // -16: top down
    EXPECT_EQ(PictureSize(bmp), (Size{16, 16}));
    // A JPEG: start, an application segment, then the frame with height 480 and width 640.
    const std::string jpeg =
        std::string("\xff\xd8\xff\xe0\x00\x04\x00\x00\xff\xc0\x00\x11\x08\x01\xe0\x02\x80", 17);
    EXPECT_EQ(PictureSize(jpeg), (Size{640, 480}));
    EXPECT_EQ(PictureSize(jpeg.substr(0, 14)), std::nullopt);
    EXPECT_EQ(PictureSize(std::string("\xff\xd8\xff\xe0\x00\x00", 6)), std::nullopt) << "a length of 0";
    EXPECT_EQ(PictureSize("<svg width=\"99999\">"), std::nullopt) << "a format without a known header";
}
