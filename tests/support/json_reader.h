// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A strict reader of JSON text for tests: it refuses what a JSON parser would refuse (a missing
// comma, a raw control character in a string, trailing text) and gives the values a path reaches.
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace halyard::test {

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    // A member of an object; a null value when there is none.
    const Json& operator[](const std::string& key) const {
        static const Json none;
        auto it = members.find(key);
        return it == members.end() ? none : it->second;
    }
    const Json& operator[](size_t i) const {
        static const Json none;
        return i < items.size() ? items[i] : none;
    }
    bool has(const std::string& key) const { return members.count(key) > 0; }

    static Json parse(const std::string& s) {
        size_t at = 0;
        Json v = value(s, at);
        space(s, at);
        if (at != s.size()) fail("text after the value", at);
        return v;
    }

private:
    [[noreturn]] static void fail(const std::string& what, size_t at) {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(at));
    }
    static void space(const std::string& s, size_t& at) {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\n' || s[at] == '\r' || s[at] == '\t'))
            ++at;
    }
    static void expect(const std::string& s, size_t& at, char c) {
        space(s, at);
        if (at >= s.size() || s[at] != c) fail(std::string("expected '") + c + "'", at);
        ++at;
    }
    static std::string string(const std::string& s, size_t& at) {
        expect(s, at, '"');
        std::string out;
        while (true) {
            if (at >= s.size()) fail("unended string", at);
            const char c = s[at++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) fail("raw control character", at);
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at >= s.size()) fail("unended escape", at);
            const char e = s[at++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                if (at + 4 > s.size()) fail("short \\u", at);
                const unsigned code = static_cast<unsigned>(std::stoul(s.substr(at, 4), nullptr, 16));
                at += 4;
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default:
                fail("unknown escape", at);
            }
        }
    }
    static Json value(const std::string& s, size_t& at) {
        space(s, at);
        if (at >= s.size()) fail("no value", at);
        Json v;
        const char c = s[at];
        if (c == '{') {
            v.kind = Object;
            ++at;
            space(s, at);
            if (at < s.size() && s[at] == '}') return ++at, v;
            while (true) {
                std::string key = string(s, at);
                expect(s, at, ':');
                v.members[key] = value(s, at);
                space(s, at);
                if (at < s.size() && s[at] == ',') {
                    ++at;
                    continue;
                }
                expect(s, at, '}');
                return v;
            }
        }
        if (c == '[') {
            v.kind = Array;
            ++at;
            space(s, at);
            if (at < s.size() && s[at] == ']') return ++at, v;
            while (true) {
                v.items.push_back(value(s, at));
                space(s, at);
                if (at < s.size() && s[at] == ',') {
                    ++at;
                    continue;
                }
                expect(s, at, ']');
                return v;
            }
        }
        if (c == '"') {
            v.kind = String;
            v.text = string(s, at);
            return v;
        }
        for (const auto& [word, kind, b] : {std::tuple{"true", Bool, true}, std::tuple{"false", Bool, false},
                                            std::tuple{"null", Null, false}})
            if (s.compare(at, std::string(word).size(), word) == 0) {
                at += std::string(word).size();
                v.kind = kind;
                v.boolean = b;
                return v;
            }
        size_t used = 0;
        try {
            v.number = std::stod(s.substr(at, 32), &used);
        } catch (const std::exception&) {
            fail("not a value", at);
        }
        v.kind = Number;
        at += used;
        return v;
    }
};

} // namespace halyard::test
