// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/code_text.h"

namespace halyard {

namespace {
// 0x80..0x9F of code page 1252; the five bytes it leaves undefined keep their C1 value so that they
// survive a round trip.
constexpr char16_t High1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int ansiByte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (High1252[i] == c) return 0x80 + i;
    return -1;
}
} // namespace

bool LooksBinary(std::string_view bytes) {
    // The whole file: a text read up to a late NUL would be saved back without the rest.
    return bytes.find('\0') != std::string_view::npos;
}

char16_t AnsiChar(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? High1252[byte - 0x80] : byte;
}

std::u16string DecodeAnsi(std::string_view bytes) {
    std::u16string out;
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = AnsiChar(static_cast<unsigned char>(bytes[i]));
    return out;
}

std::string EncodeAnsi(std::u16string_view text) {
    std::string out;
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const int b = ansiByte(text[i]);
        out[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        char32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : extra == 1 ? b & 0x1F : b;
        bool valid = b < 0x80 || extra > 0;
        size_t j = i + 1;
        for (int k = 0; valid && k < extra; ++k, ++j) {
            if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
        }
        if (!valid) {
            // Text that is not UTF-8 (an 8-bit file name) is read in the code page instead.
            out += AnsiChar(b);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i = j;
    }
    return out;
}

char16_t AnsiUpper(char16_t c) {
    if (c >= u'a' && c <= u'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    switch (c) {
    case 0xFF:
        return 0x0178;
    case 0x0161:
        return 0x0160;
    case 0x0153:
        return 0x0152;
    case 0x017E:
        return 0x017D;
    default:
        return c;
    }
}

} // namespace halyard
