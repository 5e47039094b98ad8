// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/json.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/text_file.h"

namespace halyard {

std::string JsonQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonWriter::newline() {
    if (!pretty_) return;
    out_ += '\n';
    out_.append(first_.size() * 2, ' ');
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (first_.empty()) return;
    if (!first_.back()) out_ += ',';
    first_.back() = false;
    newline();
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    out_ += '{';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) newline();
    out_ += '}';
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    out_ += '[';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) newline();
    out_ += ']';
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    out_ += JsonQuoted(name);
    out_ += pretty_ ? ": " : ":";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    out_ += JsonQuoted(text);
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    separate();
    out_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(std::uint64_t number) {
    separate();
    out_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(double number) {
    separate();
    if (!std::isfinite(number)) {
        out_ += "null";
        return *this;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", number);
    out_ += buf;
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    out_ += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    out_ += "null";
    return *this;
}

const Json& Json::operator[](std::string_view name) const {
    static const Json none;
    for (size_t k = 0; k < names.size() && k < values.size(); ++k)
        if (names[k] == name) return values[k];
    return none;
}

std::string Json::str(std::string_view name, const std::string& fallback) const {
    const Json& v = (*this)[name];
    return v.kind == Kind::String ? v.text : fallback;
}

double Json::num(std::string_view name, double fallback) const {
    const Json& v = (*this)[name];
    return v.kind == Kind::Number ? v.number : fallback;
}

std::optional<std::uint64_t> Json::whole(std::string_view name) const {
    const Json& v = (*this)[name];
    if (v.kind != Kind::Number || v.text.empty() || v.text.size() > 20 ||
        v.text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    std::uint64_t n = 0;
    for (char c : v.text) {
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (n > (UINT64_MAX - d) / 10) return std::nullopt;
        n = n * 10 + d;
    }
    return n;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view t) : t_(t) {}

    bool document(Json& out) {
        space();
        if (!value(out, 0)) return false;
        space();
        if (at_ != t_.size()) return fail("text after the end of the document");
        return true;
    }
    std::string why() const {
        size_t line = 1;
        for (size_t i = 0; i < at_ && i < t_.size(); ++i)
            line += t_[i] == '\n';
        return "line " + std::to_string(line) + ": " + why_;
    }

private:
    std::string_view t_;
    size_t at_ = 0;
    std::string why_;

    bool fail(const char* what) {
        if (why_.empty()) why_ = what;
        return false;
    }
    void space() {
        while (at_ < t_.size() && (t_[at_] == ' ' || t_[at_] == '\t' || t_[at_] == '\n' || t_[at_] == '\r'))
            ++at_;
    }
    bool literal(std::string_view word) {
        if (t_.substr(at_, word.size()) != word) return fail("an unknown word");
        at_ += word.size();
        return true;
    }

    bool value(Json& out, int depth) {
        if (depth > Json::MaxDepth) return fail("nested too deeply");
        if (at_ >= t_.size()) return fail("the document ends early");
        const char c = t_[at_];
        if (c == '{') return object(out, depth);
        if (c == '[') return array(out, depth);
        if (c == '"') {
            out.kind = Json::Kind::String;
            return string(out.text);
        }
        if (c == 't' || c == 'f') {
            out.kind = Json::Kind::Bool;
            out.flag = c == 't';
            return literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') return literal("null");
        return number(out);
    }

    bool number(Json& out) {
        const size_t from = at_;
        if (at_ < t_.size() && t_[at_] == '-') ++at_;
        auto digits = [&] {
            const size_t d = at_;
            while (at_ < t_.size() && t_[at_] >= '0' && t_[at_] <= '9')
                ++at_;
            return at_ > d;
        };
        if (!digits()) return fail("a value that is no JSON");
        if (at_ < t_.size() && t_[at_] == '.' && (++at_, !digits())) return fail("a broken number");
        if (at_ < t_.size() && (t_[at_] == 'e' || t_[at_] == 'E')) {
            ++at_;
            if (at_ < t_.size() && (t_[at_] == '+' || t_[at_] == '-')) ++at_;
            if (!digits()) return fail("a broken number");
        }
        const std::string text(t_.substr(from, at_ - from));
        out.kind = Json::Kind::Number;
        out.number = std::strtod(text.c_str(), nullptr);
        out.text = text; // a whole number beyond a double's 53 bits is read from its digits
        return true;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    bool string(std::string& out) {
        ++at_; // the quote
        while (at_ < t_.size()) {
            const char c = t_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return fail("a control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= t_.size()) break;
            const char e = t_[at_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'u': {
                unsigned code = 0;
                for (int k = 0; k < 4; ++k) {
                    const int d = at_ < t_.size() ? hexDigit(t_[at_++]) : -1;
                    if (d < 0) return fail("a broken \\u escape");
                    code = code * 16 + static_cast<unsigned>(d);
                }
                // Halyard's texts are 8-bit: a character beyond one byte is written as UTF-8.
                AppendUtf8(out, code);
                break;
            }
            default:
                return fail("an unknown escape in a string");
            }
        }
        return fail("a string without its end");
    }

    bool array(Json& out, int depth) {
        out.kind = Json::Kind::Array;
        ++at_;
        space();
        if (at_ < t_.size() && t_[at_] == ']') return ++at_, true;
        for (;;) {
            out.items.emplace_back();
            space();
            if (!value(out.items.back(), depth + 1)) return false;
            space();
            if (at_ < t_.size() && t_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < t_.size() && t_[at_] == ']') return ++at_, true;
            return fail("an array without its end");
        }
    }

    bool object(Json& out, int depth) {
        out.kind = Json::Kind::Object;
        ++at_;
        space();
        if (at_ < t_.size() && t_[at_] == '}') return ++at_, true;
        for (;;) {
            space();
            if (at_ >= t_.size() || t_[at_] != '"') return fail("an object member without a name");
            std::string name;
            if (!string(name)) return false;
            space();
            if (at_ >= t_.size() || t_[at_] != ':') return fail("a member name without ':'");
            ++at_;
            space();
            out.names.push_back(std::move(name));
            out.values.emplace_back();
            if (!value(out.values.back(), depth + 1)) return false;
            space();
            if (at_ < t_.size() && t_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < t_.size() && t_[at_] == '}') return ++at_, true;
            return fail("an object without its end");
        }
    }
};

} // namespace

std::optional<Json> Json::Parse(std::string_view text, std::string* why) {
    Parser p(text);
    Json out;
    if (p.document(out)) return out;
    if (why) *why = p.why();
    return std::nullopt;
}

} // namespace halyard
