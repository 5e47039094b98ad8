// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "tms370/coff.h"

using namespace halyard::tms370;

namespace {

CoffFile sample() {
    CoffFile f;
    f.flags = kFileExecutable | kFileRelocStripped;
    f.timestamp = 0x12345678;
    f.entry = 0xF000;
    CoffSection text{".text", 0xF000, 0xF000, 4, kSectText, 0, std::string("\x22\x37\xF6\xFF", 4), {}, {}};
    text.lines = {{5, 0}, {0xF000, 1}, {0xF002, 2}};
    text.relocs = {{0xF001, 2, 0x11}};
    CoffSection bss{".bss", 0x0080, 0x0080, 16, kSectBss, 0, {}, {}, {}};
    CoffSection longName{".interrupt_vectors",       0xFFE0, 0xFFE0, 2, kSectData, 0,
                         std::string("\xF0\x00", 2), {},     {}};
    f.sections = {text, bss, longName};
    CoffSymbol file{".file", 0, kSymAbsolute, 0, kClassFile, {std::string("main.asm")}};
    CoffSymbol start{"start", 0xF000, 1, 0, kClassExternal, {}};
    CoffSymbol counter{"_a_rather_long_counter_name", 0x0080, 2, 0, kClassStatic, {}};
    CoffSymbol undefinedRef{"_extern", 0, kSymUndefined, 0, kClassExternal, {}};
    f.symbols = {file, start, counter, undefinedRef};
    return f;
}

std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

} // namespace

TEST(Coff, WrittenFileReadsBackWhole) {
    const CoffFile f = sample();
    const std::string bytes = WriteCoff(f);
    EXPECT_EQ(bytes.substr(0, 2), le16(kCoff2Magic));
    EXPECT_EQ(bytes.substr(20, 2), le16(kCoffTargetId));
    const auto r = ReadCoff(bytes);
    ASSERT_TRUE(r.file) << r.error;
    const CoffFile& g = *r.file;
    EXPECT_EQ(g.flags, f.flags);
    EXPECT_EQ(g.timestamp, f.timestamp);
    EXPECT_EQ(g.entry, f.entry);
    ASSERT_EQ(g.sections.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(g.sections[i].name, f.sections[i].name);
        EXPECT_EQ(g.sections[i].address, f.sections[i].address);
        EXPECT_EQ(g.sections[i].size, f.sections[i].size);
        EXPECT_EQ(g.sections[i].flags, f.sections[i].flags);
        EXPECT_EQ(g.sections[i].data, f.sections[i].data);
    }
    ASSERT_EQ(g.sections[0].lines.size(), 3u);
    EXPECT_EQ(g.sections[0].lines[2].address, 0xF002u);
    EXPECT_EQ(g.sections[0].lines[2].line, 2);
    ASSERT_EQ(g.sections[0].relocs.size(), 1u);
    EXPECT_EQ(g.sections[0].relocs[0].type, 0x11);
    ASSERT_EQ(g.symbols.size(), 4u);
    EXPECT_EQ(g.symbols[0].aux.at(0).substr(0, 8), "main.asm");
    EXPECT_EQ(g.symbols[2].name, "_a_rather_long_counter_name");
    EXPECT_EQ(g.symbols[2].section, 2);
    EXPECT_EQ(g.symbols[3].section, kSymUndefined);
    EXPECT_EQ(g.symbols[1].value, 0xF000u);
}

TEST(Coff, OlderVersionZeroLayoutIsRead) {
    // Version 0: 20-byte header with the target id as magic, 40-byte section headers.
    std::string b = le16(kCoffTargetId) + le16(1) + std::string(4, '\0') + std::string(4, '\0') +
                    std::string(4, '\0') + le16(0) + le16(kFileExecutable);
    std::string header = std::string(".text\0\0\0", 8);
    auto u32 = [](unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); };
    header += u32(0xF800) + u32(0xF800) + u32(2) + u32(60) + u32(0) + u32(0) + le16(0) + le16(0) +
              le16(kSectText) + std::string(2, '\0');
    b += header + "\xF6\xFF";
    const auto r = ReadCoff(b);
    ASSERT_TRUE(r.file) << r.error;
    EXPECT_EQ(r.file->sections.at(0).data, "\xF6\xFF");
    EXPECT_EQ(r.file->sections.at(0).address, 0xF800u);
}

TEST(Coff, ForeignOrDamagedFilesAreRefusedWithTheReason) {
    const std::string good = WriteCoff(sample());
    auto refused = [](std::string bytes) { return ReadCoff(bytes).error; };
    EXPECT_NE(refused("MZ" + good.substr(2)).find("not a TMS370 COFF file"), std::string::npos);
    std::string other = good;
    other.replace(20, 2, le16(0x0099));
    EXPECT_NE(refused(other).find("another target"), std::string::npos);
    std::string sections = good;
    sections.replace(2, 2, le16(0xFFFF));
    EXPECT_FALSE(refused(sections).empty());
    // The first section's data pointer moved past the end of the file.
    std::string data = good;
    data.replace(22 + 28 + 20, 4, std::string("\xF0\xFF\xFF\x00", 4));
    EXPECT_NE(refused(data).find("runs past the end"), std::string::npos);
    // A section placed across the top of the 64 K address space.
    std::string wraps = good;
    wraps.replace(22 + 28 + 12, 4, std::string("\xFE\xFF\x00\x00", 4));
    EXPECT_NE(refused(wraps).find("64 K"), std::string::npos);
    EXPECT_NE(refused(std::string(kCoffSizeLimit + 1, '\0')).find("larger"), std::string::npos);
}

// Every cut of a good file is a file a crashed copy could leave behind: each is refused or read,
// never read outside its bytes (the sanitizer build checks the latter).
TEST(Coff, EveryTruncationIsHandled) {
    const std::string good = WriteCoff(sample());
    for (size_t n = 0; n < good.size(); ++n) {
        const auto r = ReadCoff(std::string_view(good).substr(0, n));
        EXPECT_TRUE(r.file || !r.error.empty()) << n;
    }
}
