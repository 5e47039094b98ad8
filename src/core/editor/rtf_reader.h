// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Our reader of Rich Text Format: enough of it to show a formatted file the way a rich-text edit
// does (fonts, sizes, bold, italic, underline, strike-out, colours, paragraphs, \'hh and \uN
// characters). Destinations that carry no document text (style sheets, pictures, document
// information, anything marked \*) are skipped. It reads the input once from start to end, so
// malformed input (unbalanced braces, truncated words, huge numbers) ends the text early at worst.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

struct RtfCharFormat {
    std::string font; // UTF-8 face name; empty when the file names none
    int halfPoints = 24;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    std::optional<std::uint32_t> color; // 0xRRGGBB; none means the automatic colour
    bool operator==(const RtfCharFormat&) const = default;
};

enum class RtfAlign { Left, Center, Right, Justify };

struct RtfParaFormat {
    RtfAlign align = RtfAlign::Left;
    int leftIndent = 0, rightIndent = 0, firstIndent = 0, spaceBefore = 0, spaceAfter = 0; // twips
    bool operator==(const RtfParaFormat&) const = default;
};

struct RtfRun {
    size_t start = 0, length = 0; // in units of RtfDocument::text
    RtfCharFormat format;
};

struct RtfParagraph {
    size_t start = 0;
    RtfParaFormat format;
};

struct RtfDocument {
    std::u16string text;                  // paragraphs separated by '\n'
    std::vector<RtfRun> runs;             // cover the text without gaps, in order
    std::vector<RtfParagraph> paragraphs; // one per line of text, in order
};

// A file is read as Rich Text Format when it starts with "{\rtf".
bool IsRtf(std::string_view bytes);
RtfDocument ReadRtf(std::string_view bytes);

} // namespace halyard
