// SPDX-License-Identifier: GPL-3.0-or-later
// The help reader process and its client: a good file is answered, a damaged one ends the reader
// (never the caller) and is reported as damaged with the reason.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "help/help_reader.h"
#include "support/crafted_chm.h"

using namespace halyard;
namespace fs = std::filesystem;
using test::CraftedChm;

namespace {

struct HelpReaderTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("halyard-help-reader-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    fs::path write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }
    // A stand-in for the reader that misbehaves as a shell script says.
    std::string script(const std::string& name, const std::string& body) {
        const fs::path p = write(name, "#!/bin/sh\n" + body + "\n");
        fs::permissions(p, fs::perms::owner_all);
        return p.string();
    }
    static bool alive(int pid) { return pid > 0 && ::kill(pid, 0) == 0; }
};

} // namespace

TEST_F(HelpReaderTest, AGoodFileIsAnsweredAndItsReaderStartsAgainAfterStop) {
    HelpReader reader(fs::path(HALYARD_SOURCE_DIR) / "help" / "halyard.chm");
    ASSERT_TRUE(reader.open()) << reader.problem();
    EXPECT_EQ(reader.title(), "Halyard Help");
    EXPECT_EQ(reader.topicForContext(47), "/tools.htm");
    EXPECT_FALSE(reader.topicForContext(48));
    EXPECT_TRUE(reader.read("tools.htm").value_or("").find("<title>Tools</title>") != std::string::npos);
    EXPECT_FALSE(reader.read("/missing.htm"));
    EXPECT_GT(reader.contents().size(), 4u);
    EXPECT_GT(reader.index().size(), 10u);
    const int first = reader.processId();
    reader.stop();
    EXPECT_FALSE(alive(first));
    EXPECT_TRUE(reader.read("/setup.htm"));
    EXPECT_NE(reader.processId(), first);
    EXPECT_EQ(reader.state(), HelpReader::State::Good);
}

// Each of these once crashed, looped or exhausted chmlib inside Halyard.
TEST_F(HelpReaderTest, ACraftedFileIsDamagedAndEndsOnlyItsReader) {
    const std::string page = "<html>x</html>";
    auto compressed = [&](std::string control, std::string table, std::uint64_t claimed,
                          std::size_t content = 200) {
        CraftedChm c;
        c.files = {{"/a.htm", page},
                   {CraftedChm::ControlDataName, std::move(control)},
                   {CraftedChm::ResetTableName, std::move(table)},
                   {CraftedChm::ContentName, std::string(content, 'z')},
                   {"/b.htm", "", 1, claimed}};
        return c;
    };
    CraftedChm oddSection = compressed(CraftedChm::controlData(1), CraftedChm::resetTable({0}, 100, 200), 10);
    oddSection.files[1].space = 33;
    CraftedChm huge;
    huge.files = {{"/a.htm", page}, {"/big.htm", "x", 0, 6'300'000'000}};
    CraftedChm loop;
    loop.files = {{"/a.htm", page}};
    loop.indexLoop = true;
    const struct {
        const char* name;
        CraftedChm chm;
        const char* why;
    } cases[] = {
        {"huge entry", huge, "the file /big.htm inside it lies past its end"},
        {"index loop", loop, "its directory index loops"},
        {"no window", compressed(CraftedChm::controlData(0), CraftedChm::resetTable({0}, 100, 200), 10),
         "its compression parameters are damaged"},
        {"block past the buffer",
         compressed(CraftedChm::controlData(1), CraftedChm::resetTable({0, 39000}, 0x10000, 40000), 10,
                    40000),
         "its compressed section's table is damaged"},
        {"parameters in an unknown section", oddSection, "its compressed section is damaged"},
        {"entry past the section",
         compressed(CraftedChm::controlData(1), CraftedChm::resetTable({0}, 100, 200), 101),
         "the file /b.htm inside it is larger than its compressed section"},
    };
    for (const auto& c : cases) {
        HelpReader reader(write("crafted.chm", c.chm.bytes()));
        EXPECT_FALSE(reader.open()) << c.name;
        EXPECT_EQ(reader.state(), HelpReader::State::Damaged) << c.name;
        EXPECT_EQ(reader.problem(), c.why) << c.name;
        EXPECT_FALSE(reader.running()) << c.name;
        EXPECT_FALSE(reader.read("/a.htm")) << c.name; // refused at once, no reader started again
        EXPECT_FALSE(reader.running()) << c.name;
    }
    // The same file without its damage is read.
    CraftedChm good;
    good.files = {{"/a.htm", page}};
    HelpReader reader(write("good.chm", good.bytes()));
    EXPECT_EQ(reader.read("/a.htm"), page);
}

TEST_F(HelpReaderTest, AReaderThatCrashesHangsOrFloodsIsEndedAndTheFileCalledDamaged) {
    const fs::path file = write("any.chm", "ITSF");
    const HelpReader::Limits quick{std::chrono::milliseconds(300), 1u << 20};
    const struct {
        const char* name;
        std::string body;
        const char* why;
    } cases[] = {
        {"crash", "kill -SEGV $$", "its reader ended with signal 11"},
        {"hang", "exec sleep 30", "its reader gave no answer within 300 ms"},
        {"flood", "printf '\\377\\377\\377\\177'; exec sleep 30",
         "its reader gave an answer of 2147483647 bytes"},
        {"nonsense", "printf '\\001\\000\\000\\000\\011'; exec sleep 30",
         "its reader gave an answer that makes no sense"},
    };
    for (const auto& c : cases) {
        HelpReader reader(file, script(c.name, c.body), quick);
        EXPECT_FALSE(reader.open()) << c.name;
        EXPECT_EQ(reader.state(), HelpReader::State::Damaged) << c.name;
        EXPECT_EQ(reader.problem(), c.why) << c.name;
        EXPECT_FALSE(reader.running()) << c.name;
    }
    HelpReader missing(file, "");
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.state(), HelpReader::State::NoReader);
}
