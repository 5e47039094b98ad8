// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small JSON writer and reader for the reports Halyard gives to machines. The reader takes text
// that may come from anyone: it is bounded in depth and never throws past Json::Parse, which
// names what it did not understand.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// Writes one document from its start to its end; the caller keeps the nesting right.
class JsonWriter {
public:
    explicit JsonWriter(bool pretty = true) : pretty_(pretty) {}
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The next member's name, inside an object.
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(std::uint64_t number);
    JsonWriter& value(int number) { return value(static_cast<std::int64_t>(number)); }
    JsonWriter& value(double number);
    JsonWriter& value(bool flag);
    JsonWriter& null();
    // The document, ended by a line break.
    std::string text() const { return out_ + "\n"; }

private:
    void separate();
    void newline();
    std::string out_;
    std::vector<bool> first_; // per open container: no member written yet
    bool pretty_, afterKey_ = false;
};

// A text as a JSON string, quotes included; bytes above 127 pass as they are.
std::string JsonQuoted(std::string_view text);

class Json {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool flag = false;
    double number = 0;
    std::string text; // a string's text; a number's digits as written
    std::vector<Json> items;
    // An object's members in document order: names[i] names values[i].
    std::vector<std::string> names;
    std::vector<Json> values;

    // The member of that name; a null value when there is none or this is no object.
    const Json& operator[](std::string_view name) const;
    bool isObject() const { return kind == Kind::Object; }
    bool isArray() const { return kind == Kind::Array; }
    // The member's text or number, with a fallback for anything else.
    std::string str(std::string_view name, const std::string& fallback = {}) const;
    double num(std::string_view name, double fallback = 0) const;
    // A member that is a whole number from 0 to 2^64 - 1, exactly; nullopt for anything else.
    std::optional<std::uint64_t> whole(std::string_view name) const;

    // Nesting deeper than this is refused: a document of brackets must not exhaust the stack.
    static constexpr int MaxDepth = 64;
    // The value of a whole document; nullopt with `why` ("line 3: ...") when it is no JSON.
    static std::optional<Json> Parse(std::string_view text, std::string* why = nullptr);
};

} // namespace halyard
