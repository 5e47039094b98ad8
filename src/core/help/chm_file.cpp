#include "help/chm_file.h"

#include <chm_lib.h>

#include <cctype>
#include <sstream>

#include "base/paths.h"

namespace halyard {

namespace {

std::uint32_t le32(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) return 0;
    return std::uint8_t(s[at]) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 16 | std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}

std::string cString(const std::string& s, std::size_t at) {
    if (at >= s.size()) return {};
    const auto end = s.find('\0', at);
    return s.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::string decodeEntities(const std::string& text) {
    static const std::pair<const char*, const char*> named[] = {{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                                                                {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto semi = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semi == std::string::npos || semi - i > 8) {
            out += text[i];
            continue;
        }
        const std::string name = text.substr(i + 1, semi - i - 1);
        std::string value;
        if (name.size() > 1 && name[0] == '#') {
            const long code = name[1] == 'x' || name[1] == 'X' ? std::strtol(name.c_str() + 2, nullptr, 16)
                                                               : std::strtol(name.c_str() + 1, nullptr, 10);
            if (code > 0 && code < 0x80)
                value = char(code);
            else if (code >= 0x80 && code < 0x800)
                value = {char(0xC0 | code >> 6), char(0x80 | (code & 0x3F))};
        } else {
            for (auto [n, v] : named)
                if (SameText(name, n)) value = v;
        }
        if (value.empty()) {
            out += text[i];
            continue;
        }
        out += value;
        i = semi;
    }
    return out;
}

// The attributes of one tag, names in lower case.
std::map<std::string, std::string> attributes(const std::string& tag) {
    std::map<std::string, std::string> out;
    std::size_t i = 0;
    while (i < tag.size() && !std::isspace(static_cast<unsigned char>(tag[i])))
        ++i; // the tag's name
    while (i < tag.size()) {
        while (i < tag.size() && (std::isspace(static_cast<unsigned char>(tag[i])) || tag[i] == '/'))
            ++i;
        std::size_t start = i;
        while (i < tag.size() && tag[i] != '=' && !std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        std::string name = LowerCase(tag.substr(start, i - start));
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        std::string value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
                ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char quote = tag[i++];
                start = i;
                while (i < tag.size() && tag[i] != quote)
                    ++i;
                value = tag.substr(start, i - start);
                ++i;
            } else {
                start = i;
                while (i < tag.size() && !std::isspace(static_cast<unsigned char>(tag[i])))
                    ++i;
                value = tag.substr(start, i - start);
            }
        }
        if (!name.empty()) out[name] = decodeEntities(value);
    }
    return out;
}

} // namespace

std::vector<SitemapEntry> ParseSitemap(const std::string& html) {
    std::vector<SitemapEntry> out;
    int depth = 0;
    std::optional<SitemapEntry> current;
    for (std::size_t i = html.find('<'); i != std::string::npos; i = html.find('<', i)) {
        if (html.compare(i, 4, "<!--") == 0) {
            const auto end = html.find("-->", i);
            i = end == std::string::npos ? html.size() : end + 3;
            continue;
        }
        const auto end = html.find('>', i);
        if (end == std::string::npos) break;
        const std::string tag = html.substr(i + 1, end - i - 1);
        i = end + 1;
        std::string name;
        for (char c : tag) {
            if (std::isspace(static_cast<unsigned char>(c)) || c == '>') break;
            name += char(std::tolower(static_cast<unsigned char>(c)));
        }
        if (name == "ul") {
            ++depth;
        } else if (name == "/ul") {
            if (depth > 0) --depth;
        } else if (name == "object") {
            auto a = attributes(tag);
            if (SameText(a["type"], "text/sitemap"))
                current = SitemapEntry{{}, {}, depth > 0 ? depth - 1 : 0};
        } else if (name == "param" && current) {
            auto a = attributes(tag);
            const std::string& param = a["name"];
            // A keyword's own name comes first; the names of the topics it lists do not replace it.
            if (SameText(param, "Name") && current->name.empty())
                current->name = a["value"];
            else if (SameText(param, "Keyword"))
                current->name = a["value"];
            else if (SameText(param, "Local") && current->local.empty())
                current->local = a["value"];
        } else if (name == "/object" && current) {
            if (!current->name.empty()) out.push_back(*current);
            current.reset();
        }
    }
    return out;
}

std::map<std::uint32_t, std::string> ParsePopupTopics(const std::string& text) {
    std::map<std::uint32_t, std::string> out;
    std::istringstream in(text);
    std::string line, body;
    std::optional<std::uint32_t> topic;
    auto flush = [&] {
        while (!body.empty() && (body.back() == '\n' || body.back() == ' '))
            body.pop_back();
        if (topic) out[*topic] = body;
        body.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(".topic", 0) == 0) {
            flush();
            char* end = nullptr;
            const std::string id = TrimRight(line.substr(6));
            const unsigned long n = std::strtoul(id.c_str(), &end, 0);
            // Only numbered topics can be asked for; a named one is skipped with its text.
            topic = end != id.c_str() && *end == '\0' ? std::optional<std::uint32_t>(n) : std::nullopt;
            continue;
        }
        if (!topic) continue;
        if (!body.empty() || !line.empty()) body += line + "\n";
    }
    flush();
    return out;
}

std::unique_ptr<ChmFile> ChmFile::open(const std::filesystem::path& hostPath) {
    ::chmFile* h = chm_open(hostPath.c_str());
    if (!h) return nullptr;
    std::unique_ptr<ChmFile> file(new ChmFile(h));
    file->readSystem();
    return file;
}

ChmFile::~ChmFile() {
    chm_close(h_);
}

std::string ChmFile::normalise(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(path);
    while (std::getline(in, part, '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else {
            parts.push_back(part);
        }
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

std::optional<std::string> ChmFile::read(const std::string& path) const {
    chmUnitInfo ui{};
    const std::string name = path.rfind("::", 0) == 0 ? path : normalise(path);
    if (chm_resolve_object(h_, name.c_str(), &ui) != CHM_RESOLVE_SUCCESS) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(ui.length), '\0');
    if (ui.length == 0) return bytes;
    const auto got = chm_retrieve_object(h_, &ui, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                         static_cast<LONGINT64>(ui.length));
    if (got <= 0) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

bool ChmFile::exists(const std::string& path) const {
    chmUnitInfo ui{};
    return chm_resolve_object(h_, normalise(path).c_str(), &ui) == CHM_RESOLVE_SUCCESS;
}

std::vector<std::string> ChmFile::files() const {
    std::vector<std::string> out;
    chm_enumerate(
        h_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](::chmFile*, chmUnitInfo* ui, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(ui->path);
            return CHM_ENUMERATOR_CONTINUE;
        },
        &out);
    return out;
}

void ChmFile::readSystem() {
    // The system file: a version word, then records of (code, length, data).
    if (const auto sys = read("/#SYSTEM")) {
        for (std::size_t at = 4; at + 4 <= sys->size();) {
            const std::uint32_t code = le32(*sys, at) & 0xFFFF, length = le32(*sys, at + 2) & 0xFFFF;
            const std::string data = sys->substr(at + 4, length);
            at += 4 + length;
            switch (code) {
            case 0:
                contentsFile = cString(data, 0);
                break;
            case 1:
                indexFile = cString(data, 0);
                break;
            case 2:
                defaultTopic = cString(data, 0);
                break;
            case 3:
                title = cString(data, 0);
                break;
            default:
                break;
            }
        }
    }
    if (contentsFile.empty() || indexFile.empty()) {
        for (const std::string& f : files()) {
            const std::string lower = LowerCase(f);
            if (contentsFile.empty() && lower.size() > 4 && lower.ends_with(".hhc")) contentsFile = f;
            if (indexFile.empty() && lower.size() > 4 && lower.ends_with(".hhk")) indexFile = f;
        }
    }
}

std::optional<std::string> ChmFile::topicForContext(std::uint32_t id) const {
    // The map: a length, then pairs of (context number, offset of the topic's path in the strings).
    const auto ivb = read("/#IVB");
    const auto strings = read("/#STRINGS");
    if (!ivb || !strings) return std::nullopt;
    const std::size_t end = std::min<std::size_t>(ivb->size(), std::size_t(le32(*ivb, 0)) + 4);
    for (std::size_t at = 4; at + 8 <= end; at += 8) {
        if (le32(*ivb, at) != id) continue;
        const std::string topic = cString(*strings, le32(*ivb, at + 4));
        if (topic.empty()) return std::nullopt;
        if (exists(topic)) return normalise(topic);
        // Some compilers store the topic's path on the machine that compiled it: its tail names
        // the topic inside the help file.
        for (auto slash = topic.find('/', 1); slash != std::string::npos; slash = topic.find('/', slash + 1))
            if (exists(topic.substr(slash))) return normalise(topic.substr(slash));
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace halyard
