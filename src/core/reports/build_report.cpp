// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/build_report.h"

#include <cctype>
#include <map>

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "editor/code_text.h"

namespace halyard::reports {

namespace fs = std::filesystem;

namespace {

// The tool chain's programs, which name themselves in place of a file in their own messages.
const char* const kTools[] = {"cl370", "asm370", "lnk370", "mk370", "ac370", "opt370", "cg370", "hex370"};

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string extensionOf(const std::string& name) {
    const std::string file = ExtractFileName(TrimRight(name));
    const auto dot = file.find_last_of('.');
    return dot == std::string::npos ? std::string() : lower(file.substr(dot + 1));
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        if (c >= 0x80) {
            if (c >= 0xC2 && c <= 0xDF)
                n = 1;
            else if (c >= 0xE0 && c <= 0xEF)
                n = 2;
            else if (c >= 0xF0 && c <= 0xF4)
                n = 3;
            else
                return false;
        }
        if (n >= s.size() - i) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

} // namespace

std::string Finding::ruleId() const {
    return code.empty() ? std::string(levelName()) : code;
}

int BuildReport::count(Finding::Level level) const {
    int n = 0;
    for (const auto& f : findings)
        n += f.level == level;
    return n;
}

std::vector<const Finding*> BuildReport::findingsOf(const std::string& source) const {
    std::vector<const Finding*> out;
    const std::string name = ExtractFileName(TrimRight(source));
    for (const auto& f : findings) {
        if (f.named.empty()) continue;
        const bool same =
            f.file.empty() ? SameText(ExtractFileName(f.named), name) : SamePath(f.file, source);
        if (same) out.push_back(&f);
    }
    return out;
}

std::string ToolOfMessage(const ToolMessage& m) {
    const std::string named = lower(TrimRight(m.file));
    for (const char* tool : kTools)
        if (named == tool || named == std::string(tool) + ".exe") return tool;
    const std::string ext = extensionOf(m.file);
    if (ext == "c" || ext == "h" || ext == "i") return "cl370";
    if (ext == "asm" || ext == "s" || ext == "inc" || ext == "sa") return "asm370";
    if (ext == "src") return "mk370";
    return "lnk370"; // command files, objects, libraries, the output
}

bool ToFinding(const ToolMessage& m, const std::string& tool, Finding& out) {
    if (!m.diagnostic()) return false;
    out = Finding{};
    out.level = m.kind == ToolMessage::Error ? Finding::Error : Finding::Warning;
    out.tool = tool;
    out.code = m.code;
    out.text = m.text;
    // A tool that names itself names no file.
    const std::string named = lower(TrimRight(m.file));
    bool self = named == lower(tool);
    for (const char* t : kTools)
        self = self || named == t || named == std::string(t) + ".exe";
    if (!self) out.named = TrimRight(m.file);
    out.line = m.line;
    return true;
}

void Locate(BuildReport& report, const DosDevices& dd, const std::vector<std::string>& folders) {
    std::map<std::string, std::vector<std::string>> files; // Windows path -> lines, read once
    std::map<std::string, int> seen;                       // fingerprint base -> how often
    for (auto& f : report.findings) {
        if (!f.named.empty()) {
            f.file = ResolveMessageFile(dd, f.named, report.sources, folders);
            if (!f.file.empty()) f.host = dd.toHost(dd.absolute(f.file));
        }
        if (!f.file.empty() && f.line > 0) {
            auto it = files.find(f.file);
            if (it == files.end()) {
                std::vector<std::string> lines;
                try {
                    const std::string bytes = dd.readBytes(f.file);
                    // A file that is no text has no line to quote.
                    if (!LooksBinary(bytes)) lines = SplitTextLines(bytes);
                } catch (const Error&) {
                }
                it = files.emplace(f.file, std::move(lines)).first;
            }
            if (static_cast<size_t>(f.line) <= it->second.size())
                f.lineText = trimmed(it->second[static_cast<size_t>(f.line) - 1]);
        }
        // The place a finding has in the project, not on this machine: every checkout agrees.
        std::string where = f.located() ? RelativeBelow(f.host, report.root) : std::string();
        if (where.empty()) where = lower(ExtractFileName(f.named.empty() ? f.file : f.named));
        // Without a line to quote, the message itself tells equal faults from different ones.
        const std::string base =
            f.tool + "\n" + f.ruleId() + "\n" + where + "\n" + (f.lineText.empty() ? f.text : f.lineText);
        const int n = seen[base]++;
        f.fingerprint = StableHash(base + "\n" + std::to_string(n));
    }
}

std::string AsUtf8(const std::string& bytes) {
    return validUtf8(bytes) ? bytes : ToUtf8(DecodeAnsi(bytes));
}

std::string RelativeBelow(const fs::path& path, const fs::path& base) {
    if (path.empty() || base.empty()) return {};
    const fs::path p = path.lexically_normal(), b = base.lexically_normal();
    auto bi = b.begin(), pi = p.begin();
    for (; bi != b.end() && pi != p.end(); ++bi, ++pi) {
        if (bi->empty()) continue; // the trailing separator of a folder
        if (*bi != *pi) return {};
    }
    while (bi != b.end() && bi->empty())
        ++bi;
    if (bi != b.end()) return {};
    std::string out;
    for (; pi != p.end(); ++pi)
        out += (out.empty() ? "" : "/") + pi->string();
    return out;
}

std::string ShownPath(const fs::path& path, const fs::path& base) {
    const std::string below = RelativeBelow(path, base);
    return below.empty() ? path.generic_string() : below;
}

std::string StableHash(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4)
        out[static_cast<size_t>(i)] = digits[h & 0xF];
    return out;
}

} // namespace halyard::reports
