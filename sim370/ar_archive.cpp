// SPDX-License-Identifier: GPL-3.0-or-later
#include "ar_archive.h"

namespace halyard::sim370 {

namespace {

constexpr const char* kMagic = "!<arch>\n";

std::string field(const std::string& text, size_t width) {
    std::string f = text.substr(0, width);
    f.resize(width, ' ');
    return f;
}

std::string header(const std::string& name, size_t size) {
    return field(name, 16) + field("0", 12) + field("0", 6) + field("0", 6) + field("100644", 8) +
           field(std::to_string(size), 10) + "`\n";
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// A header's number field: digits only (strtoul would take "-60" and wrap it), at most ten of
// them, so it never overflows.
std::optional<size_t> decimal(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    return value;
}

} // namespace

bool IsAr(const std::string& bytes) {
    return bytes.rfind(kMagic, 0) == 0;
}

std::string WriteAr(const std::vector<ArMember>& members) {
    std::string names; // GNU long-name table: "name/\n" entries, referenced as "/<offset>"
    std::vector<std::string> refs;
    for (const auto& m : members) {
        if (m.name.size() < 16) {
            refs.push_back(m.name + "/");
        } else {
            refs.push_back(std::string("/").append(std::to_string(names.size())));
            names += m.name + "/\n";
        }
    }
    std::string out = kMagic;
    auto append = [&out](const std::string& name, const std::string& data) {
        out += header(name, data.size()) + data;
        if (data.size() % 2) out += '\n';
    };
    if (!names.empty()) append("//", names);
    for (size_t i = 0; i < members.size(); ++i)
        append(refs[i], members[i].data);
    return out;
}

std::optional<std::vector<ArMember>> ReadAr(const std::string& bytes) {
    if (!IsAr(bytes)) return std::nullopt;
    std::vector<ArMember> out;
    std::string names;
    size_t pos = 8;
    while (pos < bytes.size()) {
        if (bytes[pos] == '\n') { // padding
            ++pos;
            continue;
        }
        if (pos + 60 > bytes.size() || bytes.compare(pos + 58, 2, "`\n") != 0) return std::nullopt;
        const std::string rawName = trimmed(bytes.substr(pos, 16));
        const std::optional<size_t> size = decimal(trimmed(bytes.substr(pos + 48, 10)));
        if (!size || *size > bytes.size() - pos - 60) return std::nullopt;
        std::string data = bytes.substr(pos + 60, *size);
        pos += 60 + *size + (*size % 2);
        if (rawName == "//") {
            names = data;
            continue;
        }
        if (rawName == "/" || rawName == "/SYM64/") continue; // symbol tables of host archivers
        std::string name = rawName;
        if (name.size() > 1 && name[0] == '/') {
            const std::optional<size_t> offset = decimal(name.substr(1));
            if (!offset || *offset >= names.size()) return std::nullopt;
            name = names.substr(*offset, names.find('\n', *offset) - *offset);
        }
        if (!name.empty() && name.back() == '/') name.pop_back();
        out.push_back({name, std::move(data)});
    }
    return out;
}

} // namespace halyard::sim370
