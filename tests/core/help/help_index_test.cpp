// SPDX-License-Identifier: GPL-3.0-or-later
// The help file's index, as the help window lists it: one entry per keyword, so a reader never
// has to guess which of two equal lines leads where.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "help/sitemap.h"

namespace halyard {
namespace {

TEST(HelpIndex, NamesEveryKeywordOnceAtItsLevel) {
    std::ifstream in(std::string(HALYARD_SOURCE_DIR) + "/help/index.hhk", std::ios::binary);
    ASSERT_TRUE(in);
    std::ostringstream text;
    text << in.rdbuf();
    const auto entries = ParseSitemap(text.str());
    ASSERT_GT(entries.size(), 10u);
    std::set<std::pair<int, std::string>> seen;
    for (const auto& e : entries)
        EXPECT_TRUE(seen.insert({e.level, e.name}).second)
            << "\"" << e.name << "\" stands twice in the index";
}

} // namespace
} // namespace halyard
