// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "help/about_box.h"
#include "help/version_info.h"
#include "support/fakes.h"

using namespace halyard;

namespace {

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(HALYARD_SOURCE_DIR) + "/tests/core/help/fixtures/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

using Strings = std::vector<std::string>;

} // namespace

TEST(VersionInfo, ReadsKeysInOrderAndStopsAtTheFirstMissingOne) {
    const Strings all = {"CompanyName",    "FileDescription",  "FileVersion", "InternalName",
                         "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};
    Strings afterDescription(all.begin() + 2, all.end());
    afterDescription.insert(afterDescription.begin(), "CompanyName");
    struct Case {
        std::string file, bytes;
        Strings categories, firstStrings;
    } cases[] = {
        {"full.dll", fixture("full.dll"), all, {"Orlin", "Halyard test program", "1.2.3.4"}},
        {"full32.dll", fixture("full32.dll"), all, {"Orlin", "Halyard test program", "1.2.3.4"}},
        {"no_description.dll", fixture("no_description.dll"), {"CompanyName"}, {"Orlin"}},
        {"empty_description.dll", fixture("empty_description.dll"), afterDescription, {"Orlin", "1.2.3.4"}},
        {"no_translation.dll", fixture("no_translation.dll"), {}, {}},
        {"text.dll", "MZ not really a program", {}, {}},
        {"cut.dll", fixture("full.dll").substr(0, 700), {}, {}},
    };
    test::TempDrives drives;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_FALSE(c.bytes.empty());
        drives.put("C:\\progs\\" + c.file, c.bytes);
        TGetVersionInfoFromFile info(drives.dd);
        info.setFileName("c:\\PROGS\\" + c.file);
        EXPECT_EQ(info.fileName(), "c:\\PROGS\\" + c.file);
        EXPECT_EQ(info.VersionCategories(), c.categories);
        ASSERT_EQ(info.VersionStrings().size(), c.categories.size());
        const Strings first(info.VersionStrings().begin(),
                            info.VersionStrings().begin() +
                                std::min(c.firstStrings.size(), c.categories.size()));
        EXPECT_EQ(first, c.firstStrings);
    }
}

TEST(VersionInfo, AMissingFileEmptiesTheNameAndTheLists) {
    test::TempDrives drives;
    drives.put("C:\\full.dll", fixture("full.dll"));
    TGetVersionInfoFromFile info(drives.dd);
    info.setFileName("C:\\full.dll");
    ASSERT_FALSE(info.VersionStrings().empty());
    info.setFileName("C:\\missing.dll");
    EXPECT_EQ(info.fileName(), "");
    EXPECT_TRUE(info.VersionStrings().empty());
    EXPECT_TRUE(info.VersionCategories().empty());
}

namespace {

class Metrics : public AboutMetrics {
public:
    Size bitmap{200, 50}, icon{32, 32};
    int labelWidth(const std::string& text) override { return static_cast<int>(text.size()) * 10; }
    Size bitmapSize(const std::string&) override { return bitmap; }
    Size applicationIcon() override { return icon; }
    Size builtInLogo() override { return {137, 121}; }
    int titleBar = 0; // what the title bar needs; 0 where there is none
    int titleBarWidth(const std::string&) override { return titleBar; }
};

struct About : ::testing::Test {
    test::TempDrives drives;
    test::FakeUi ui;
    Metrics metrics;
    TOrlinAboutBox box{ui, drives.dd, metrics};
    TAbout dlg{drives.dd};
};

} // namespace

TEST_F(About, SizesFollowTheLogo) {
    struct Case {
        int width, height;
        std::string iconFile;
        bool defaultIcon;
        int wantWidth, wantHeight, okTop, logoLeft;
    } cases[] = {
        {130, 150, "C:\\logo.bmp", false, 208, 200, 140, 4}, // a 200 x 50 bitmap
        {130, 150, "", false, 130, 182, 122, 49},            // the 32 x 32 application icon
        {100, 400, "", false, 120, 400, 122, 44},            // never narrower than 120
        {130, 150, "", true, 145, 271, 211, 4},              // the built-in 137 x 121 picture
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wantWidth);
        TOrlinAboutBox b{ui, drives.dd, metrics};
        b.Width = c.width;
        b.Height = c.height;
        b.IconFile = c.iconFile;
        b.DefaultIcon = c.defaultIcon;
        TAbout d{drives.dd};
        b.Prepare(d);
        EXPECT_EQ(std::make_pair(d.Width, d.Height), std::make_pair(c.wantWidth, c.wantHeight));
        EXPECT_EQ(std::make_pair(b.Width, b.Height), std::make_pair(c.wantWidth, c.wantHeight)); // kept
        EXPECT_EQ(d.OkButton.top, c.okTop);
        EXPECT_EQ(d.Logo.left, c.logoLeft);
        EXPECT_EQ(d.OkButton.width, c.wantWidth - 60);
        EXPECT_EQ(d.OkButton.left, c.wantWidth / 2 - (c.wantWidth - 60) / 2);
    }
}

// The main window's box is 130 pixels wide; a title bar needs more than that to show its title.
TEST_F(About, TheDialogIsAsWideAsItsTitleBarNeedsWithItsContentsCentred) {
    box.Width = 130;
    metrics.titleBar = 210;
    box.Prepare(dlg);
    EXPECT_EQ(dlg.Width, 210);
    EXPECT_EQ(dlg.Logo.left, 105 - 16);
    EXPECT_EQ(dlg.OkButton.left, 105 - (210 - 60) / 2);
    EXPECT_EQ(dlg.WTitle.left, 105 - 35);
    // A narrower need leaves the width alone.
    metrics.titleBar = 100;
    TAbout narrow{drives.dd};
    TOrlinAboutBox b{ui, drives.dd, metrics};
    b.Width = 130;
    b.Prepare(narrow);
    EXPECT_EQ(narrow.Width, 130);
}

TEST_F(About, TextLinesAreCentredOrStartAtTextLeft) {
    box.Width = 300;
    box.Prepare(dlg);
    EXPECT_EQ(dlg.WTitle.text, "Halyard");
    EXPECT_EQ(dlg.WTitle.left, 150 - 35);
    EXPECT_EQ(dlg.WAuthor.text, TOrlinAboutBox::AuthorLine);
    EXPECT_EQ(dlg.WAuthor.left, 150 - int(std::string(TOrlinAboutBox::AuthorLine).size()) * 5);
    box.TextCentered = false;
    box.TextLeft = 17;
    TAbout left{drives.dd};
    box.Prepare(left);
    for (const auto* label : {&left.WTitle, &left.WCopyright, &left.WAuthor, &left.WVersion})
        EXPECT_EQ(label->left, 17) << label->text;
}

TEST_F(About, TheVersionLineIsTheThirdValueFoundOrTheVersionProperty) {
    drives.put("C:\\full.dll", fixture("full.dll"));
    drives.put("C:\\empty.dll", fixture("empty_description.dll"));
    drives.put("C:\\none.dll", fixture("no_description.dll"));
    box.Version = "Version 0.1";
    const std::pair<const char*, const char*> cases[] = {{"C:\\full.dll", "Version 1.2.3.4"},
                                                         {"C:\\empty.dll", "Version fixture"},
                                                         {"C:\\none.dll", "Version 0.1"},
                                                         {"", "Version 0.1"}};
    for (auto [file, line] : cases) {
        box.Filename = file;
        TAbout d{drives.dd};
        box.Prepare(d);
        EXPECT_EQ(d.WVersion.text, line) << file;
    }
}

TEST_F(About, ShowAboutShowsTheDialogAndTellsWhetherItClosedWithOk) {
    ui.dialogs = {[](ModalDialog&) { return Answer::Ok; }};
    EXPECT_TRUE(box.ShowAbout());
    EXPECT_FALSE(box.ShowAbout());
    EXPECT_EQ(ui.dialogsRun, (std::vector<std::string>{"TAbout", "TAbout"}));
}

TEST(Link, AnEmailAddressOpensAsAMailMessage) {
    TKURL2 link;
    std::vector<std::string> opened;
    link.open = [&](const std::string& url) { opened.push_back(url); };
    link.URLorEMAIL = "support@orlin.example.com";
    link.Choose = TKURL2::ltEMAIL;
    link.OpenLink();
    link.Choose = TKURL2::ltURL;
    link.URLorEMAIL = "https://www.orlin.example.com/";
    link.OpenLink();
    EXPECT_EQ(opened, (std::vector<std::string>{"mailto:support@orlin.example.com",
                                                "https://www.orlin.example.com/"}));
}

// Program files come from anywhere: every cut and every damaged byte must leave the reader inside
// the file's bytes (the sanitizer build watches), and a cut file yields at most what it holds.
TEST(VersionInfo, CutOrDamagedFilesAreReadSafely) {
    const std::string full = fixture("full.dll");
    ASSERT_FALSE(full.empty());
    auto readAll = [](const std::string& bytes) {
        const auto block = FindVersionResource(bytes);
        if (!block) return std::size_t(0);
        const VersionResource info(*block);
        std::size_t found = info.hasFixedInfo() + info.translation().has_value();
        for (const char* key : TGetVersionInfoFromFile::Keys)
            found += info.string("040904E4", key).has_value();
        return found;
    };
    EXPECT_EQ(readAll(full), 10u);
    for (std::size_t n = 0; n < full.size(); ++n)
        EXPECT_LE(readAll(full.substr(0, n)), 10u);
    for (std::size_t at = 0; at < full.size(); ++at) {
        std::string damaged = full;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xFF);
        readAll(damaged);
    }
}
