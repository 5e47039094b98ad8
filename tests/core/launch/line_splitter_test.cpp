// SPDX-License-Identifier: GPL-3.0-or-later
// How a run's output, read in pieces of any size, becomes the Build panel's lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/line_splitter.h"

namespace halyard {
namespace {

std::vector<std::string> split(const std::string& output, size_t piece) {
    std::vector<std::string> lines;
    LineSplitter s;
    auto sink = [&](const std::string& l) { lines.push_back(l); };
    for (size_t at = 0; at < output.size(); at += piece)
        s.feed(output.data() + at, std::min(piece, output.size() - at), sink);
    s.finish(sink);
    return lines;
}

TEST(LineSplitter, GivesTheSameLinesWhereverThePiecesEnd) {
    const std::string longLine(100000, 'x');
    const std::string output = "one\r\n\ntwo\rstill two\n" + longLine + "\r\n" + longLine + "tail\r";
    const std::vector<std::string> expected = {"one", "", "two\rstill two", longLine, longLine + "tail\r"};
    for (size_t piece : {1, 2, 3, 7, 4096, 1000000})
        EXPECT_EQ(split(output, piece), expected) << piece;
    EXPECT_EQ(split("", 4096), std::vector<std::string>{});
    EXPECT_EQ(split("\n", 4096), std::vector<std::string>{""});
}

} // namespace
} // namespace halyard
