// SPDX-License-Identifier: GPL-3.0-or-later
#include "object_file.h"

#include <sstream>

#include "base/text_file.h"

namespace halyard::sim370 {

namespace {
constexpr const char* kMagic = "SIM370 OBJECT 1";
// The compiler never writes more (its sizes saturate there); larger numbers would overflow the
// linker's sums.
constexpr std::int64_t kSizeLimit = 0xFFFFFFFFLL;
} // namespace

std::int64_t ObjectModule::sizeOf(const std::string& section) const {
    for (const auto& s : sections)
        if (s.name == section) return s.size;
    return 0;
}

bool ObjectModule::defines(const std::string& symbol) const {
    for (const auto& d : defs)
        if (d.name == symbol) return true;
    return false;
}

bool IsObject(const std::string& bytes) {
    return bytes.rfind(kMagic, 0) == 0;
}

std::string WriteObject(const ObjectModule& m) {
    std::vector<std::string> lines{kMagic, "source " + m.source};
    for (const auto& s : m.sections)
        lines.push_back("section " + s.name + " " + std::to_string(s.size));
    for (const auto& d : m.defs)
        lines.push_back("def " + d.name + " " + d.section + " " + std::to_string(d.offset));
    for (const auto& r : m.refs)
        lines.push_back("ref " + r.name + " " + std::to_string(r.line));
    return JoinTextLines(lines);
}

std::optional<ObjectModule> ReadObject(const std::string& bytes) {
    if (!IsObject(bytes)) return std::nullopt;
    ObjectModule m;
    for (const auto& line : SplitTextLines(bytes)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "source") {
            std::getline(in >> std::ws, m.source);
        } else if (kind == "section") {
            ObjSection s;
            if (!(in >> s.name >> s.size) || s.size < 0 || s.size > kSizeLimit) return std::nullopt;
            m.sections.push_back(s);
        } else if (kind == "def") {
            ObjSymbol d;
            if (!(in >> d.name >> d.section >> d.offset) || d.offset < 0 || d.offset > kSizeLimit)
                return std::nullopt;
            m.defs.push_back(d);
        } else if (kind == "ref") {
            ObjRef r;
            if (!(in >> r.name >> r.line)) return std::nullopt;
            m.refs.push_back(r);
        }
    }
    return m;
}

} // namespace halyard::sim370
