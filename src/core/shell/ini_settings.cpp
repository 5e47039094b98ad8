// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ini_settings.h"

#include <cctype>
#include <cstdlib>

#include "base/text_file.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace halyard {

namespace fs = std::filesystem;

namespace {
const char* const Section = "[General]";

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}
// A character QSettings names by its code, in the UTF-8 that the rest of the program holds.
void appendCodePoint(std::string& out, unsigned long code) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    AppendUtf8(out, static_cast<std::uint32_t>(code));
}
// The file's lines. Unlike a project or source text, a NUL byte does not end the file here: a
// value written after a damaged line would otherwise be lost at the next write.
std::vector<std::string> iniLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}
} // namespace

fs::path IniSettings::defaultFile() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else
        base = fs::path(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") / ".config";
    return base / "Orlin" / "Halyard.conf";
}

std::string IniSettings::escapeKey(const std::string& key) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : key) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c >= 0x80) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string IniSettings::unescapeKey(const std::string& key) {
    std::string out;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '%' && i + 2 < key.size() + 0 && hexDigit(key[i + 1]) >= 0 &&
            hexDigit(key[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(key[i + 1]) * 16 + hexDigit(key[i + 2]));
            i += 2;
        } else {
            out += key[i];
        }
    }
    return out;
}

std::string IniSettings::escapeValue(const std::string& text) {
    bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            quote = true;
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
        case ',':
        case ';':
        case '=':
            out += c;
            quote = true;
            break;
        default:
            out += c;
        }
    }
    // QSettings doubles a leading "@" before quoting, so the text is never taken for a typed value.
    if (!out.empty() && out[0] == '@') out.insert(out.begin(), '@');
    return quote ? "\"" + out + "\"" : out;
}

SettingsStore::Value IniSettings::parseValue(const std::string& raw) {
    const std::string v = trim(raw);
    std::string out;
    bool inQuotes = false, list = false;
    for (size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == '\\' && i + 1 < v.size()) {
            const char n = v[++i];
            // QSettings writes other control characters as "\x" and hexadecimal digits (and reads
            // octal ones too); read as plain letters they would turn "\x1" into the text "x1".
            const bool hex = n == 'x' && i + 1 < v.size() && hexDigit(v[i + 1]) >= 0;
            if (hex || (n >= '0' && n <= '7')) {
                const int base = hex ? 16 : 8;
                if (hex) ++i;
                unsigned long code = 0;
                for (; i < v.size(); ++i) {
                    const int d = hexDigit(v[i]);
                    if (d < 0 || d >= base) break;
                    if (code <= 0x10FFFF) code = code * base + static_cast<unsigned long>(d);
                }
                --i;
                appendCodePoint(out, code);
                continue;
            }
            switch (n) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            default:
                out += n;
            }
        } else if (c == ',' && !inQuotes) {
            list = true;
            out += c;
        } else {
            out += c;
        }
    }
    if (list) return {true, false, {}};
    // As QSettings reads the unquoted text: "@@" stands for "@", and "@Kind(...)" is a typed value.
    if (out.rfind("@@", 0) == 0) return {true, true, out.substr(1)};
    if (out.rfind('@', 0) == 0 && out.back() == ')') {
        for (const char* typed :
             {"@ByteArray(", "@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point(", "@String("})
            if (out.rfind(typed, 0) == 0) return {true, false, {}};
        if (out == "@Invalid()") return {true, false, {}};
    }
    return {true, true, out};
}

const IniSettings::Parsed* IniSettings::parsed() {
    // Every writer replaces the file by a rename (a new inode) or changes its size or time.
    std::string stamp;
#ifndef _WIN32
    struct stat st {};
    if (::stat(file_.c_str(), &st) != 0) {
        parsed_.reset();
        return nullptr;
    }
    stamp = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) +
            ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
#else
    std::error_code ec;
    const auto size = fs::file_size(file_, ec);
    const auto time = fs::last_write_time(file_, ec);
    if (ec) {
        parsed_.reset();
        return nullptr;
    }
    stamp = std::to_string(size) + ":" + std::to_string(time.time_since_epoch().count());
#endif
    if (parsed_ && parsed_->stamp == stamp) return &*parsed_;
    std::string bytes;
    if (!ReadHostFile(file_, bytes)) {
        parsed_.reset();
        return nullptr;
    }
    Parsed p{stamp, {}};
    bool inGeneral = false;
    for (const auto& line : iniLines(bytes)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            inGeneral = t == Section;
            continue;
        }
        const auto eq = t.find('=');
        if (!inGeneral || eq == std::string::npos) continue;
        p.raw.emplace(unescapeKey(trim(t.substr(0, eq))), t.substr(eq + 1));
    }
    parsed_ = std::move(p);
    return &*parsed_;
}

SettingsStore::Value IniSettings::read(const std::string& name) {
    const Parsed* p = parsed();
    if (!p) return {};
    const auto it = p->raw.find(name);
    return it == p->raw.end() ? Value{} : parseValue(it->second);
}

bool IniSettings::write(const std::string& name, const std::string& text) {
    parsed_.reset(); // a freed inode may come back with the same size and time
    std::string bytes;
    std::vector<std::string> lines;
    if (ReadHostFile(file_, bytes)) lines = iniLines(bytes);
    const std::string entry = escapeKey(name) + "=" + escapeValue(text);
    bool inGeneral = false, done = false;
    int generalEnd = -1;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        const std::string t = trim(lines[i]);
        if (!t.empty() && t[0] == '[') {
            inGeneral = t == Section;
            if (inGeneral) generalEnd = static_cast<int>(i) + 1;
            continue;
        }
        if (!inGeneral) continue;
        if (!t.empty()) generalEnd = static_cast<int>(i) + 1;
        const auto eq = t.find('=');
        if (eq != std::string::npos && unescapeKey(trim(t.substr(0, eq))) == name) {
            lines[i] = entry;
            done = true;
        }
    }
    if (!done) {
        if (generalEnd < 0) {
            lines.insert(lines.begin(), {Section, entry, ""});
        } else {
            lines.insert(lines.begin() + generalEnd, entry);
        }
    }
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return WriteHostFileAtomic(file_, out);
}

} // namespace halyard
