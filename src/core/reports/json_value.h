// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A JSON value built in code and printed with two-space indentation: what the SARIF and Code Quality
// writers assemble, so that no writer puts brackets and commas together by hand.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace halyard::reports {

class JsonValue {
public:
    JsonValue() = default; // null
    JsonValue(bool b) : kind_(Bool), bool_(b) {}
    JsonValue(int n) : kind_(Integer), int_(n) {}
    JsonValue(std::int64_t n) : kind_(Integer), int_(n) {}
    JsonValue(std::uint64_t n) : kind_(Integer), int_(static_cast<std::int64_t>(n)) {}
    JsonValue(double d) : kind_(Real), real_(d) {}
    JsonValue(const char* s) : kind_(String), text_(s) {}
    JsonValue(std::string s) : kind_(String), text_(std::move(s)) {}

    static JsonValue object() { return JsonValue(Object); }
    static JsonValue array() { return JsonValue(Array); }

    // Members keep the order they were set in; setting one again replaces its value.
    JsonValue& set(const std::string& key, JsonValue value);
    JsonValue& push(JsonValue value);
    bool empty() const { return items_.empty(); }

    std::string dump() const;

private:
    enum Kind { Null, Bool, Integer, Real, String, Array, Object };
    explicit JsonValue(Kind k) : kind_(k) {}
    void write(std::string& out, int depth) const;

    Kind kind_ = Null;
    bool bool_ = false;
    std::int64_t int_ = 0;
    double real_ = 0;
    std::string text_;
    std::vector<std::pair<std::string, JsonValue>> items_; // keys empty in an array
};

} // namespace halyard::reports
