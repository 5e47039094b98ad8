// SPDX-License-Identifier: GPL-3.0-or-later
#include <random>

#include "editor/code_text.h"
#include "editor/rtf_reader.h"
#include "editor_fixture.h"

namespace halyard::test {
namespace {

const char* const Sample =
    R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss\fcharset0 Arial;}{\f1\fmodern Courier New{\*\panose 02070309020205020404};}}
{\colortbl ;\red255\green0\blue0;\red0\green0\blue128;}
{\*\generator Riched20 10.0;}{\info{\title Notes}}\viewkind4\uc1
\pard\qc\b\f0\fs32 Title\b0\par
\pard\li720\fs20 plain \i italic\i0  \ul under\ulnone  \cf1 red\cf0  \f1 mono\f0\par
caf\'e9 \u8364? \u-3913?{\pict\wmetafile8 0102ff}\tab end\par
}
ignored after the end)";

TEST(RtfReader, ReadsTextAndItsFormatting) {
    const RtfDocument d = ReadRtf(Sample);
    EXPECT_EQ(ToUtf8(d.text),
              "Title\nplain italic under red mono\ncaf\xc3\xa9 \xe2\x82\xac \xef\x82\xb7\tend");
    auto at = [&](std::u16string_view word) {
        const size_t p = d.text.find(word);
        for (const auto& r : d.runs)
            if (p >= r.start && p < r.start + r.length) return r.format;
        ADD_FAILURE() << "no run for " << ToUtf8(word);
        return RtfCharFormat{};
    };
    EXPECT_EQ(at(u"Title"), (RtfCharFormat{"Arial", 32, true, false, false, false, std::nullopt}));
    EXPECT_EQ(at(u"plain"), (RtfCharFormat{"Arial", 20, false, false, false, false, std::nullopt}));
    EXPECT_TRUE(at(u"italic").italic);
    EXPECT_TRUE(at(u"under").underline);
    EXPECT_EQ(at(u"red").color, 0xFF0000u);
    EXPECT_FALSE(at(u"mono").color);
    EXPECT_EQ(at(u"mono").font, "Courier New");
    ASSERT_EQ(d.paragraphs.size(), 3u);
    EXPECT_EQ(d.paragraphs[0].format.align, RtfAlign::Center);
    EXPECT_EQ(d.paragraphs[1].start, 6u);
    EXPECT_EQ(d.paragraphs[1].format.leftIndent, 720);
    EXPECT_EQ(d.paragraphs[1].format.align, RtfAlign::Left);
    // The runs cover the text without gaps.
    size_t next = 0;
    for (const auto& r : d.runs) {
        EXPECT_EQ(r.start, next);
        next += r.length;
    }
    EXPECT_EQ(next, d.text.size());
}

TEST(RtfReader, SpecialCharactersAndSkippedDestinations) {
    struct Case {
        const char* rtf;
        const char* text; // UTF-8
    } cases[] = {
        {R"({\rtf1 a\\b\{c\}d})", "a\\b{c}d"},
        {R"({\rtf1 x\~y\_z\-w})", "x\xc2\xa0y-zw"},
        {R"({\rtf1\uc2 \u233XYz})", "\xc3\xa9z"}, // two fallback characters skipped
        {R"({\rtf1\uc0 \u233 z})", "\xc3\xa9z"},
        {R"({\rtf1 \u233\'e9z})", "\xc3\xa9z"}, // a \'hh fallback counts as one
        {R"({\rtf1 {\*\unknown hidden}shown})", "shown"},
        {R"({\rtf1 {\unknownword kept}})", "kept"},
        {R"({\rtf1 {\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}})", "link"},
        {R"({\rtf1 a\bin4 }}}}b})", "ab"},
        {R"({\rtf1 \lquote q\rquote  \emdash})", "\xe2\x80\x98q\xe2\x80\x99 \xe2\x80\x94"},
        {R"({\rtf1 one\line two\par})", "one\ntwo"},
        {R"({\rtf1 \par\par x\par})", "\n\nx"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(ReadRtf(c.rtf).text), c.text) << c.rtf;
}

TEST(RtfReader, MalformedInputEndsTheTextWithoutHarm) {
    struct Case {
        const char* rtf;
        const char* text;
    } cases[] = {
        {R"({\rtf1 unclosed {\b group)", "unclosed group"},
        {R"({\rtf1 a}}}} b)", "a"},
        {R"({\rtf1 trailing\)", "trailing"},
        {R"({\rtf1 bad hex \'z1 \'4)", "bad hex z1 \x04"},
        {R"({\rtf1 \fs99999999999999999999 big\u999999999999 \bin99999999999)", "big\xef\xbf\xbd"},
        {R"({\rtf1 {\fonttbl{\f0 Broken)", ""},
        {R"({\rtf1 {\colortbl\red300;}\cf5 x})", "x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(ReadRtf(c.rtf).text), c.text) << c.rtf;

    // Every cut of a real sample and random damage to it read without crashing or looping.
    const std::string sample = Sample;
    for (size_t n = 0; n <= sample.size(); ++n)
        ReadRtf(std::string_view(sample).substr(0, n));
    std::mt19937 rng(1);
    const char noise[] = "{}\\'*u-0123456789abcfpr; \n";
    for (int i = 0; i < 2000; ++i) {
        std::string s = sample;
        for (int k = 0; k < 8; ++k)
            s[rng() % s.size()] = noise[rng() % (sizeof noise - 1)];
        ReadRtf(s);
    }
    std::string deep = "{\\rtf1 ";
    deep += std::string(200000, '{') + "x";
    EXPECT_EQ(ToUtf8(ReadRtf(deep).text), "x");
}

TEST(RtfReader, EveryLineHasItsParagraphEntry) {
    struct Case {
        const char* rtf;
        const char* text;
    } cases[] = {
        {R"({\rtf1 a\'0ab})", "a\nb"},
        {R"({\rtf1 a\u10?b})", "a\nb"},
        {R"({\rtf1 a\'0d\'0ab\par c})", "a\nb\nc"},
        {R"({\rtf1 a\'0d\'0d\u13?b})", "a\n\n\nb"},
        {R"({\rtf1\uc1 a\u233\'0ab})", "a\xc3\xa9"
                                       "b"}, // the \'0a is \u233's fallback
    };
    for (const auto& c : cases) {
        const RtfDocument d = ReadRtf(c.rtf);
        EXPECT_EQ(ToUtf8(d.text), c.text) << c.rtf;
        std::vector<size_t> starts{0};
        for (size_t i = 0; i < d.text.size(); ++i)
            if (d.text[i] == u'\n') starts.push_back(i + 1);
        ASSERT_EQ(d.paragraphs.size(), starts.size()) << c.rtf;
        for (size_t i = 0; i < starts.size(); ++i)
            EXPECT_EQ(d.paragraphs[i].start, starts[i]) << c.rtf;
    }
}

TEST(RtfReader, GroupsDeeperThanAnyRealDocumentStillCloseInStep) {
    const std::string open(300, '{'), close(300, '}');
    const RtfDocument d = ReadRtf("{\\rtf1 " + open + "\\b x" + close + "y}z");
    EXPECT_EQ(ToUtf8(d.text), "xy");
    ASSERT_EQ(d.runs.size(), 2u);
    EXPECT_TRUE(d.runs[0].format.bold);
    EXPECT_FALSE(d.runs[1].format.bold);
}

TEST_F(EditorTest, AnRtfFileLoadsFormattedAndSavesAsPlainText) {
    t.put("C:\\notes.rtf", Sample);
    t.put("C:\\plain.txt", "{\\rt not rich}\r\n");
    TCodeEd& w = *ed.LoadFile("C:\\notes.rtf", 1);
    ASSERT_TRUE(w.richText().has_value());
    EXPECT_EQ(w.StatusBar.panel(1).text, "3");
    EXPECT_EQ(w.richText()->text, w.text());
    w.Save1Click();
    EXPECT_EQ(read("C:\\notes.rtf"), "Title\r\nplain italic under red mono\r\ncaf\xe9 \x80 ?\tend\r\n");
    EXPECT_FALSE(ed.LoadFile("C:\\plain.txt", 1)->richText().has_value());
}

} // namespace
} // namespace halyard::test
