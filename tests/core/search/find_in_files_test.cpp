// SPDX-License-Identifier: GPL-3.0-or-later
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "base/error.h"
#include "search/find_in_files.h"
#include "support/fakes.h"

using namespace halyard;

namespace {

using Hits = std::vector<std::pair<size_t, size_t>>;

std::vector<FindHit> runToEnd(FileSearch& s) {
    // The hits wait until taken: all of them are there once the worker has ended.
    while (s.running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    s.stop();
    return s.take();
}

} // namespace

TEST(FindInFiles, TextRegexCaseAndWholeWordFindWhatTheyShould) {
    EXPECT_EQ(LineMatcher({"leds"}).find("LEDS_show(); leds_init();"), (Hits{{0, 4}, {13, 4}}));
    EXPECT_EQ(LineMatcher({"leds", false, true}).find("LEDS_show(); leds_init();"), (Hits{{13, 4}}));
    EXPECT_EQ(LineMatcher({"last", false, false, true}).find("last = lastly + last;"),
              (Hits{{0, 4}, {16, 4}}));
    EXPECT_EQ(LineMatcher({"aa"}).find("aaaa"), (Hits{{0, 2}, {2, 2}})) << "matches do not overlap";
    EXPECT_EQ(LineMatcher({"leds_[a-z]+\\(", true}).find("  leds_show(p); LEDS_INIT();"),
              (Hits{{2, 10}, {16, 10}}));
    EXPECT_EQ(LineMatcher({"x*", true}).find("abc"), Hits{}) << "empty matches are no hits";
    EXPECT_THROW(LineMatcher({"leds_(", true}), Error);
    EXPECT_THROW(LineMatcher({""}), Error);
}

TEST(FindInFiles, AFolderIsSearchedWithItsMasksAndSkippedFilesAreCounted) {
    test::TempDrives t;
    t.put("C:\\src\\main.c", "int main(void)\r\n{\r\n    leds_show(1);\r\n}\r\n");
    t.put("C:\\src\\sub\\leds.c", "void leds_show(int p)\n{\n}\n/* leds_show */");
    t.put("C:\\src\\notes.txt", "leds_show in a note\n");
    t.put("C:\\src\\main.obj", std::string("leds_show\0\0\x01", 12));
    t.put("C:\\src\\big.c", std::string(FileSearch::MaxFileSize + 1, 'x'));
    t.put("C:\\src\\sub\\obj.c", std::string("\0leds_show", 10));

    const auto files = FilesMatching(t.dd, "C:\\src\\", "*.c;*.obj");
    EXPECT_EQ(files, (std::vector<std::string>{"C:\\src\\big.c", "C:\\src\\main.c", "C:\\src\\main.obj",
                                               "C:\\src\\sub\\leds.c", "C:\\src\\sub\\obj.c"}));
    std::vector<std::pair<std::string, std::string>> named;
    for (const auto& f : files)
        named.emplace_back(f, t.dd.toHost(f).string());
    FileSearch search;
    search.start(named, {"leds_show", false, true, true});
    const auto hits = runToEnd(search);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[0].file, "C:\\src\\main.c");
    EXPECT_EQ(hits[0].line, 3);
    EXPECT_EQ(hits[0].text, "    leds_show(1);") << "without its CR";
    EXPECT_EQ(hits[0].column, 4u);
    EXPECT_EQ(hits[1].line, 1);
    EXPECT_EQ(hits[2].line, 4) << "a last line without its end";
    const FindTotals totals = search.totals();
    EXPECT_EQ(totals.files, 2);
    EXPECT_EQ(totals.hits, 3);
    EXPECT_EQ(totals.binary, 2);
    EXPECT_EQ(totals.tooLarge, 1);
    EXPECT_EQ(FindTotalsText(totals), "Searched 2 files: 3 matches, 2 binary skipped, 1 over 8 MB skipped");
}

TEST(FindInFiles, StopEndsALongSearchAndItCanStartAgain) {
    test::TempDrives t;
    std::vector<std::pair<std::string, std::string>> named;
    const std::string body(50000, 'a');
    for (int i = 0; i < 200; ++i) {
        const std::string name = "C:\\many\\f" + std::to_string(i) + ".c";
        named.emplace_back(name, t.put(name, body + "\nneedle\n").string());
    }
    FileSearch search;
    search.start(named, {"needle"});
    search.stop();
    EXPECT_FALSE(search.running());
    EXPECT_TRUE(search.totals().stopped);
    EXPECT_LT(search.totals().files, 200);
    search.start(named, {"needle"});
    EXPECT_EQ(runToEnd(search).size(), 200u);
    EXPECT_FALSE(search.totals().stopped);
}

TEST(FindInFiles, ARegularExpressionOverAHugeLineGivesUpOnItInsteadOfCrashing) {
    // Backtracking patterns over 10 MB lines: std::regex overflowed the stack on 40 kB.
    const std::string line = std::string(10u << 20, 't') + "A";
    for (const char* pattern : {"t.*A", "(t|tt)*A", "t.*Z.*B", "(t+)+Z"}) {
        bool over = false;
        LineMatcher matcher({pattern, true, true});
        const auto hits = matcher.find(line, &over);
        EXPECT_TRUE(over || hits.size() <= 1) << pattern;
        if (!over && !hits.empty()) {
            EXPECT_EQ(hits[0].second, line.size()) << pattern;
        }
    }
    bool over = true;
    EXPECT_EQ(LineMatcher({"t+A", true, true}).find(line, &over), (Hits{{0, line.size()}}));
    EXPECT_FALSE(over) << "a pattern that runs in linear steps finds its match";
    // The syntax typed so far keeps working: classes, escapes, alternatives, anchors, lookahead.
    EXPECT_EQ(LineMatcher({"\\bled_\\w+(?=\\()|^int$", true}).find("x led_on(1);"), (Hits{{2, 6}}));
    EXPECT_EQ(LineMatcher({"^int$", true}).find("int"), (Hits{{0, 3}}));
    EXPECT_EQ(LineMatcher({"\\u0041\\x42[\\d]", true}).find("xAB7"), (Hits{{1, 3}}));

    // Through the search: the line is counted and named in the totals, the rest of the file searched.
    test::TempDrives t;
    const std::string host = t.put("C:\\src\\long.c", std::string(1u << 20, 'a') + "\nabab\n").string();
    FileSearch search;
    search.start({{"C:\\src\\long.c", host}}, {"(a|aa)*c|ab", true});
    const auto hits = runToEnd(search);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].line, 2);
    EXPECT_EQ(search.totals().overLimit, 1);
    EXPECT_EQ(FindTotalsText(search.totals()),
              "Searched 1 file: 2 matches, 1 line too long for the expression skipped");
}

TEST(FindInFiles, PipesLoopingLinksAndSparseGiantsCostNothing) {
    test::TempDrives t;
    const std::filesystem::path src = t.put("C:\\src\\main.c", "int main; /* needle */\n").parent_path();
    for (int i = 0; i < 20; ++i)
        t.put("C:\\src\\f" + std::to_string(i) + ".h", "needle\n");
    // Two links to the folder itself: once gave 200,020 files and every hit 10,001 times.
    std::filesystem::create_directory_symlink(".", src / "a");
    std::filesystem::create_directory_symlink(".", src / "b");
    std::filesystem::create_directory(src / "sub");
    std::filesystem::create_directory_symlink(src, src / "sub" / "up");
    // A pipe that nobody writes: open() waited for a writer for good.
    ASSERT_EQ(::mkfifo((src / "pipe.c").c_str(), 0600), 0);
    // A sparse file of gigabytes: claims 3 GB, takes no room.
    std::filesystem::resize_file(t.put("C:\\src\\huge.h", "needle"), std::uintmax_t(3) << 30);

    EXPECT_EQ(FilesMatching(t.dd, "C:\\src", "*.c;*.h").size(), 22u);
    FileSearch search;
    search.start(
        {{"C:\\src\\pipe.c", (src / "pipe.c").string()}, {"C:\\SRC\\MAIN.C", (src / "main.c").string()}},
        {"needle"}, {{"C:\\src", src, "*.c;*.h", true}});
    const auto hits = runToEnd(search);
    EXPECT_EQ(hits.size(), 21u) << "each file once, whatever names lead to it";
    const FindTotals totals = search.totals();
    EXPECT_EQ(totals.files, 21);
    EXPECT_EQ(totals.unreadable, 1) << "the pipe";
    EXPECT_EQ(totals.tooLarge, 1);
}
