// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "base/error.h"
#include "base/paths.h"

using namespace halyard;

TEST(PathHelpers, TrailingBackslashes) {
    EXPECT_EQ(AddTrailingBackslash(""), "\\");
    EXPECT_EQ(AddTrailingBackslash("C:\\"), "C:\\");
    EXPECT_EQ(AddTrailingBackslash("C:\\texassource"), "C:\\texassource\\");
    EXPECT_EQ(RemoveTrailingBackslash("C:\\a\\\\"), "C:\\a\\");
    EXPECT_EQ(RemoveTrailingBackslash("C:\\a"), "C:\\a");
    EXPECT_EQ(RemoveTrailingBackslash(""), "");
    // "/" is a separator to the drive mapping, so it is one here too.
    EXPECT_EQ(AddTrailingBackslash("C:/work/"), "C:/work/");
    EXPECT_EQ(RemoveTrailingBackslash("C:\\work/"), "C:\\work");
}

TEST(PathHelpers, FolderAndFileNameParts) {
    struct Case {
        const char *path, *dir, *name;
    } cases[] = {
        {"C:\\work\\main.c", "C:\\work", "main.c"},
        {"C:\\main.c", "C:\\", "main.c"},
        {"C:main.c", "C:", "main.c"},
        {"main.c", "", "main.c"},
        {"C:\\TexasSource\\lnk.cmd ", "C:\\TexasSource", "lnk.cmd "},
        {"C:\\work\\", "C:\\work", ""},
        {"C:\\Halyard\\demo\\q/../../evil.h", "C:\\Halyard\\demo\\q/../..", "evil.h"},
        {"C:/main.c", "C:/", "main.c"},
        {"C:\\work/sub\\main.c", "C:\\work/sub", "main.c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFileDir(c.path), c.dir) << c.path;
        EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    }
}

TEST(PathHelpers, PlainNamesAndSamePaths) {
    for (const char* plain : {"io.h", "..h", "lnk.cmd ", "a b.h"})
        EXPECT_TRUE(IsPlainFileName(plain)) << plain;
    for (const char* other : {"", " ", ".", "..", ".. ", "q/../x.h", "C:x.h", "a\\b.h"})
        EXPECT_FALSE(IsPlainFileName(other)) << other;
    EXPECT_TRUE(SamePath("C:\\TEXASSOURCE", "c:/texassource"));
    EXPECT_FALSE(SamePath("C:\\texassource", "C:\\texassource\\"));
    EXPECT_FALSE(SamePath("C:\\a\\b", "C:\\a:b"));
}

TEST(StrToInt, AcceptsDecimalAndRejectsOtherTextWithTheSystemMessage) {
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt("-1"), -1);
    EXPECT_EQ(StrToInt(" 7"), 7);
    for (const char* bad : {"", "abc", "1.5", "12 ", "99999999999"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}
