// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/json_value.h"

#include <cmath>
#include <cstdio>

#include "reports/writers.h"

namespace halyard::reports {

JsonValue& JsonValue::set(const std::string& key, JsonValue value) {
    for (auto& item : items_)
        if (item.first == key) {
            item.second = std::move(value);
            return *this;
        }
    items_.emplace_back(key, std::move(value));
    return *this;
}

JsonValue& JsonValue::push(JsonValue value) {
    items_.emplace_back(std::string(), std::move(value));
    return *this;
}

std::string JsonValue::dump() const {
    std::string out;
    write(out, 0);
    return out + "\n";
}

void JsonValue::write(std::string& out, int depth) const {
    switch (kind_) {
    case Null:
        out += "null";
        return;
    case Bool:
        out += bool_ ? "true" : "false";
        return;
    case Integer:
        out += std::to_string(int_);
        return;
    case Real: {
        if (!std::isfinite(real_)) {
            out += "null";
            return;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", real_);
        out += text;
        return;
    }
    case String:
        out += JsonString(text_);
        return;
    case Array:
    case Object:
        break;
    }
    const char open = kind_ == Array ? '[' : '{', close = kind_ == Array ? ']' : '}';
    if (items_.empty()) {
        out += open;
        out += close;
        return;
    }
    out += open;
    const std::string indent(static_cast<size_t>(depth + 1) * 2, ' ');
    for (size_t i = 0; i < items_.size(); ++i) {
        out += i ? ",\n" : "\n";
        out += indent;
        if (kind_ == Object) out += JsonString(items_[i].first) + ": ";
        items_[i].second.write(out, depth + 1);
    }
    out += "\n" + std::string(static_cast<size_t>(depth) * 2, ' ') + close;
}

} // namespace halyard::reports
