// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

#include "base/error.h"
#include "base/folder_index.h"
#include "base/regular_file.h"
#include "base/text_file.h"
#include "support/fakes.h"

using namespace halyard;
namespace fs = std::filesystem;

TEST(TextFiles, LinesEndAtCrLfOrCrLfAndNulEndsTheText) {
    EXPECT_TRUE(SplitTextLines("").empty());
    EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(SplitTextLines(std::string("a\nb\0c\n", 6)), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(JoinTextLines({"a", ""}), "a\r\n\r\n");
}

TEST(DriveMapping, AbsolutePathsFoldDotsSlashesAndTrailingBlanks) {
    test::TempDrives t;
    t.dd.createDir("C:\\work");
    t.dd.setCurrentDirectory("c:\\WORK");
    EXPECT_EQ(t.dd.currentDirectory(), "C:\\WORK");
    EXPECT_EQ(t.dd.absolute("main.c"), "C:\\WORK\\main.c");
    EXPECT_EQ(t.dd.absolute("\\x\\..\\y/z.c"), "C:\\y\\z.c");
    EXPECT_EQ(t.dd.absolute("C:\\TexasSource\\lnk.cmd "), "C:\\TexasSource\\lnk.cmd");
    EXPECT_EQ(t.dd.absolute("C:"), "C:\\WORK");
    EXPECT_EQ(t.dd.absolute("z:\\"), "Z:\\");
    // ".." never climbs above a drive's root, whichever separator it comes with.
    EXPECT_EQ(t.dd.absolute("C:\\..\\../x/../../y.h"), "C:\\y.h");
}

TEST(DriveMapping, LookupIgnoresCaseAndTrailingBlanks) {
    test::TempDrives t;
    t.put("C:\\TexasSource\\lnk.cmd", "-l rts.lib\r\n");
    EXPECT_TRUE(t.dd.fileExists("c:\\texassource\\LNK.CMD "));
    EXPECT_TRUE(t.dd.dirExists("C:\\TEXASSOURCE\\"));
    EXPECT_EQ(t.dd.readLines("C:\\texassource\\lnk.cmd "), (std::vector<std::string>{"-l rts.lib"}));
    EXPECT_FALSE(t.dd.fileExists("C:\\texassource\\other.cmd"));
    EXPECT_TRUE(t.dd.copyFile("C:\\texassource\\lnk.cmd ", "C:\\TEXASSOURCE\\copy.cmd"));
    EXPECT_TRUE(fs::exists(t.dir / "drive_c" / "TexasSource" / "copy.cmd"));
}

TEST(DriveMapping, HostPathsComeBackThroughTheClosestDrive) {
    test::TempDrives t;
    t.dd.createDir("C:\\work");
    EXPECT_EQ(t.dd.toWindows(t.dir / "drive_c" / "work" / "a.c"), "C:\\work\\a.c");
    EXPECT_EQ(t.dd.toWindows("/usr/include"), "Z:\\usr\\include");
    EXPECT_EQ(t.dd.toWindows(t.dir / "drive_c"), "C:\\");
    EXPECT_EQ(t.dd.toHost(t.dd.toWindows("/usr/include/stdio.h")), fs::path("/usr/include/stdio.h"));
    EXPECT_EQ(t.dd.drives(), "CZ");
}

TEST(DriveMapping, LetterFoldersNameTheMappedDrivesAndFollowTheirRemapping) {
    test::TempDrives t;
    t.put("C:\\texassource\\lnk.cmd", "x");
    fs::create_directories(t.dir / "one");
    fs::create_directories(t.dir / "two");
    t.dd.mapDrive('D', t.dir / "one");
    auto names = [&] {
        std::vector<std::string> out;
        for (const fs::path& f : t.dd.letterFolders()) {
            const fs::path target = fs::canonical(f);
            out.push_back(f.filename().string() + "=" + (target == "/" ? "/" : target.filename().string()));
        }
        return out;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"C:=drive_c", "D:=one", "Z:=/"}));
    t.dd.mapDrive('D', t.dir / "two");
    EXPECT_EQ(names(), (std::vector<std::string>{"C:=drive_c", "D:=two", "Z:=/"}));
    fs::remove(t.dir / "dosdevices" / "d:");
    EXPECT_EQ(names(), (std::vector<std::string>{"C:=drive_c", "Z:=/"}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(t.dir / "letters" / "D:")));

    // Paths through the letter folders keep the names as stored and lead back to the same file.
    const fs::path lnk = t.dd.toLetterPath("c:\\TEXASSOURCE\\LNK.CMD ");
    EXPECT_EQ(lnk, t.dir / "letters" / "C:" / "texassource" / "lnk.cmd");
    EXPECT_TRUE(fs::exists(lnk));
    EXPECT_EQ(t.dd.toWindows(lnk), "C:\\texassource\\lnk.cmd");
    EXPECT_EQ(t.dd.toLetterPath("Q:\\x"), t.dd.toHost("Q:\\x"));
}

// Removing Z: keeps the tools away from the rest of the file system; the next start must not undo it.
TEST(DriveMapping, ARemovedZDriveStaysRemoved) {
    test::TempDrives t;
    ASSERT_TRUE(t.dd.dirExists("Z:\\"));
    fs::remove(t.dir / "dosdevices" / "z:");
    t.dd.ensureCreated();
    EXPECT_FALSE(t.dd.dirExists("Z:\\"));
    EXPECT_TRUE(t.dd.dirExists("C:\\"));
}

TEST(DriveMapping, DirectoryCreationIsOneLevelAndFailuresCarryTheSystemTexts) {
    test::TempDrives t;
    EXPECT_THROW(t.dd.createDir("C:\\missing\\child"), Error);
    t.dd.createDirs("C:\\missing\\child");
    EXPECT_TRUE(t.dd.dirExists("C:\\Missing\\Child"));
    EXPECT_THROW(t.dd.setCurrentDirectory("C:\\nowhere"), Error);
    try {
        t.dd.readLines("C:\\nowhere\\x.prj");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot open file C:\\nowhere\\x.prj");
    }
    try {
        t.dd.writeLines("C:\\nowhere\\x.prj", {"a"});
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot create file C:\\nowhere\\x.prj");
    }
}

TEST(DriveMapping, AFailedWriteLeavesTheOldFileIntact) {
    test::TempDrives t;
    t.dd.writeLines("C:\\p.prj", {"one", "two"});
    // A folder standing where the temporary file would be renamed makes the write fail.
    fs::create_directories(t.dir / "drive_c" / "q.prj");
    EXPECT_THROW(t.dd.writeLines("C:\\q.prj", {"x"}), Error);
    EXPECT_EQ(t.dd.readBytes("C:\\p.prj"), "one\r\ntwo\r\n");
    int leftovers = 0;
    for (auto& e : fs::directory_iterator(t.dir / "drive_c"))
        if (e.path().extension() == ".tmp") ++leftovers;
    EXPECT_EQ(leftovers, 0);
}

#ifndef _WIN32
// A save replaces the text, never what the file is: its mode, the link that names it, the other
// names of a hard-linked file; and no temporary file stays behind.
TEST(DriveMapping, ASaveKeepsModeSymlinkAndHardLinks) {
    test::TempDrives t;
    const fs::path c = t.dir / "drive_c";
    auto mode = [](const fs::path& p) { return fs::status(p).permissions() & fs::perms::mask; };

    t.dd.writeBytes("C:\\secret.txt", "old");
    fs::permissions(c / "secret.txt", fs::perms::owner_read | fs::perms::owner_write);
    t.dd.writeBytes("C:\\secret.txt", "new");
    EXPECT_EQ(mode(c / "secret.txt"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(t.dd.readBytes("C:\\secret.txt"), "new");

    t.put("C:\\real\\target.txt", "old");
    fs::create_symlink("real/target.txt", c / "link.txt");
    t.dd.writeLines("C:\\link.txt", {"through the link"});
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(c / "link.txt")));
    EXPECT_EQ(t.dd.readBytes("C:\\real\\target.txt"), "through the link\r\n");

    t.dd.writeBytes("C:\\one.txt", "old");
    fs::create_hard_link(c / "one.txt", c / "two.txt");
    t.dd.writeBytes("C:\\one.txt", "seen by both");
    EXPECT_EQ(fs::hard_link_count(c / "one.txt"), 2u);
    EXPECT_EQ(t.dd.readBytes("C:\\two.txt"), "seen by both");
    t.dd.writeBytes("C:\\two.txt", "short");
    EXPECT_EQ(t.dd.readBytes("C:\\one.txt"), "short");

    for (const auto& dir : {c, c / "real"})
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_NE(e.path().extension(), ".tmp") << e.path();
}

TEST(DriveMapping, OnlyPlainFilesAreRead) {
    test::TempDrives t;
    // A device may never end (/dev/zero) or block (a pipe): reading one is refused like a folder.
    for (const char* path : {"Z:\\dev\\null", "C:\\"}) {
        try {
            (void)t.dd.readBytes(path);
            ADD_FAILURE() << path << " was read";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), CannotOpenFile(path));
        }
    }
}

// A pipe that nobody writes held the reader in open() for good; a sparse file of gigabytes was read
// whole. Both are refused at once, the giant with the reason.
TEST(DriveMapping, PipesAndSparseGiantsAreRefusedAtOnce) {
    test::TempDrives t;
    const auto dir = t.put("C:\\p\\small.cmd", "-l x.lib\n").parent_path();
    ASSERT_EQ(::mkfifo((dir / "pipe.cmd").c_str(), 0600), 0);
    std::filesystem::resize_file(t.put("C:\\p\\huge.cmd", "x"), std::uintmax_t(3) << 30);
    EXPECT_THROW((void)t.dd.readBytes("C:\\p\\pipe.cmd"), Error);
    std::string bytes;
    EXPECT_FALSE(ReadHostFile(dir / "pipe.cmd", bytes));
    EXPECT_EQ(ReadRegularFile(dir / "pipe.cmd", bytes), ReadFault::NotRegular);
    try {
        (void)t.dd.readLines("C:\\p\\huge.cmd");
        ADD_FAILURE() << "read";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), CannotOpenFile("C:\\p\\huge.cmd") + "\rIt is larger than 32 MB.");
    }
    EXPECT_EQ(ReadRegularFile(dir / "small.cmd", bytes, 8), ReadFault::TooLarge);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(ReadRegularFile(dir / "small.cmd", bytes, 9), ReadFault::None);
    EXPECT_EQ(bytes, "-l x.lib\n");
}
#endif

TEST(DriveMapping, FileMasks) {
    EXPECT_TRUE(MatchesMask("MAIN.C", "*.c;*.h"));
    EXPECT_TRUE(MatchesMask("io.h", "*.c;*.h"));
    EXPECT_FALSE(MatchesMask("main.cpp", "*.c;*.h"));
    EXPECT_TRUE(MatchesMask("a1.c", "a?.c"));
    // "*.*" is every file, also one without an extension; "*.c" still wants its extension.
    EXPECT_TRUE(MatchesMask("Makefile", "*.*"));
    EXPECT_TRUE(MatchesMask("main", "ma*.*"));
    EXPECT_FALSE(MatchesMask("Makefile", "*.c"));
    EXPECT_FALSE(MatchesMask("Makefile", "x*.*"));
}

TEST(DriveMapping, NothingWrittenToAnUnmappedDriveMapsIt) {
    test::TempDrives t;
    EXPECT_FALSE(t.dd.driveMapped("E:"));
    EXPECT_TRUE(t.dd.driveMapped("c:\\x"));
    EXPECT_THROW(t.dd.writeBytes("E:", "x"), Error);
    EXPECT_THROW(t.dd.writeBytes("e:\\f.txt", "x"), Error);
    EXPECT_THROW(t.dd.createDir("E:"), Error);
    EXPECT_THROW(t.dd.createDirs("E:\\a\\b"), Error);
    EXPECT_FALSE(t.dd.copyFile("C:\\", "E:"));
    EXPECT_EQ(t.dd.drives(), "CZ");
    EXPECT_FALSE(t.dd.dirExists("E:\\"));
}

#ifndef _WIN32
TEST(FolderIndex, KeptListingsAnswerAsAFreshListingWouldUntilTheFolderIsReplaced) {
    test::TempDrives t;
    const fs::path dir = t.dir / "many";
    fs::create_directories(dir);
    for (int i = 0; i < 100; ++i)
        std::ofstream(dir / ("File" + std::to_string(i) + ".c")).put('x');
    FolderIndex kept(-1000000000); // keeps every listing at once
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(kept.find(dir, "FILE42.C"), "File42.c");
        EXPECT_EQ(kept.find(dir, "file99.c"), "File99.c");
        EXPECT_EQ(kept.find(dir, "file100.c"), "");
    }
    fs::rename(dir, t.dir / "old");
    fs::create_directories(dir);
    std::ofstream(dir / "new.C").put('x');
    EXPECT_EQ(kept.find(dir, "NEW.c"), "new.C");
    EXPECT_EQ(kept.find(dir, "FILE42.C"), "");
}
#endif

// A network path once became the current drive's "\\server\share" (or, named on a command line,
// a host path "P:\\dir\\\\\\server\\share\\x.prj"): it names no file, and keeps its own form.
TEST(DriveMapping, ANetworkPathKeepsItsFormAndNamesNothing) {
    test::TempDrives t;
    t.put("C:\\server\\share\\x.prj", "a project on the current drive");
    t.dd.setCurrentDirectory("C:\\");
    const std::string unc = "\\\\server\\share\\x.prj";
    EXPECT_EQ(t.dd.fromCommandLine(unc), unc);
    EXPECT_EQ(t.dd.absolute("\\\\server\\share\\dir\\..\\x.prj"), unc);
    EXPECT_FALSE(t.dd.fileExists(unc));
    EXPECT_FALSE(t.dd.driveMapped(unc));
    try {
        t.dd.readBytes(unc);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), CannotOpenFile(unc).c_str());
    }
    EXPECT_THROW(t.dd.writeBytes(unc, "x"), Error);
    // A batch's bare "\\" once left one backslash behind and threw out of the path lookup.
    for (const char* bare : {"\\\\", "//", "\\\\\\"}) {
        EXPECT_EQ(t.dd.absolute(bare), "\\\\") << bare;
        EXPECT_FALSE(t.dd.fileExists(bare)) << bare;
        EXPECT_FALSE(t.dd.dirExists(bare)) << bare;
    }
}

TEST(DriveMapping, APathHoldingANulNamesNothing) {
    test::TempDrives t;
    t.put("C:\\work\\a.txt", "a");
    for (const std::string& path : {std::string("C:\\..\0", 6), std::string("C:\\work\\..\\..\0x", 15),
                                    std::string("C:\\work\0\\a.txt", 14)}) {
        EXPECT_FALSE(t.dd.fileExists(path));
        EXPECT_FALSE(t.dd.dirExists(path));
        EXPECT_TRUE(t.dd.listFiles(path, "*.*").empty());
        EXPECT_THROW(t.dd.setCurrentDirectory(path), Error);
        EXPECT_THROW(t.dd.createDir(path), Error);
        try {
            t.dd.readBytes(path);
            ADD_FAILURE();
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), CannotOpenFile(path).c_str());
        }
        try {
            t.dd.writeBytes(path, "x");
            ADD_FAILURE();
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), CannotCreateFile(path).c_str());
        }
    }
    EXPECT_EQ(t.dd.readBytes("C:\\work\\a.txt"), "a");
}
