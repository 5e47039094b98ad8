// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the help window and the help reader process (halyard-help-reader) say to each other. Every
// message is a frame: its length in four bytes, little-endian, then that many bytes. A request is a
// kind byte and its argument; an answer is a status byte and its data. The reader speaks first,
// once, with the answer to Info for the file it was started on.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "help/sitemap.h"

namespace halyard::helpwire {

enum class Request : std::uint8_t {
    Info = 1,     // -> title, start page
    Contents = 2, // -> entries of the contents file
    Index = 3,    // -> entries of the index file
    Topic = 4,    // number -> the topic's path
    File = 5,     // path -> the bytes of a page, a style sheet or a picture
};

enum class Status : std::uint8_t {
    Ok = 0,
    Missing = 1,     // the help file holds no such thing
    NotHelpFile = 2, // the file is missing or is no compiled help file
    Damaged = 3,     // the file cannot be trusted; the data says why
};

// A request is small: a kind, a number or a path inside the help file.
inline constexpr std::uint32_t MaxRequestSize = 4096;

class Writer {
public:
    Writer& u8(std::uint8_t v);
    Writer& u32(std::uint32_t v);
    Writer& text(const std::string& s); // a length, then the bytes
    Writer& raw(const std::string& s);  // the bytes up to the frame's end
    Writer& entries(const std::vector<SitemapEntry>& list);
    // The frame: length, then everything written.
    std::string frame() const;

private:
    std::string out_;
};

// Reads what a Writer wrote; any read past the end makes ok() false for good, so that an answer
// from a reader that cannot be trusted is checked once at its end.
class Parser {
public:
    explicit Parser(const std::string& payload) : in_(payload) {}
    std::uint8_t u8();
    std::uint32_t u32();
    std::string text();
    std::string rest();
    std::vector<SitemapEntry> entries();
    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == in_.size(); }

private:
    bool take(std::size_t n);
    const std::string& in_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

std::uint32_t FrameLength(const char header[4]);

} // namespace halyard::helpwire
