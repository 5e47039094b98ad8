// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_output/tool_messages.h"

#include <cctype>

#include "base/dos_devices.h"
#include "base/paths.h"

namespace halyard {

namespace {

bool allDigits(std::string_view s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

ToolMessage ParseToolLine(std::string_view raw) {
    ToolMessage m;
    const std::string_view line = TrimSpace(raw);
    if (line.substr(0, 3) == ">> ") {
        m.kind = ToolMessage::Summary;
        m.text = std::string(line.substr(3));
        return m;
    }
    // "<head>: error[E006]: text" or "<head>: error: text"; the head is "<file> <line>" or a name.
    for (const auto& [word, kind] : {std::pair{std::string_view(": error"), ToolMessage::Error},
                                     std::pair{std::string_view(": warning"), ToolMessage::Warning}}) {
        const size_t at = line.find(word);
        if (at == std::string_view::npos || at == 0) continue;
        std::string_view rest = line.substr(at + word.size());
        std::string_view code;
        if (!rest.empty() && rest.front() == '[') {
            const size_t close = rest.find(']');
            if (close == std::string_view::npos) continue;
            code = rest.substr(1, close - 1);
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') continue;
        std::string_view head = TrimSpace(line.substr(0, at));
        int number = 0;
        if (const size_t blank = head.find_last_of(' '); blank != std::string_view::npos) {
            const std::string_view last = head.substr(blank + 1);
            if (allDigits(last)) {
                number = std::stoi(std::string(last));
                head = TrimSpace(head.substr(0, blank));
            }
        }
        if (head.empty()) continue;
        m.kind = kind;
        m.file = std::string(head);
        m.line = number;
        m.code = std::string(code);
        m.text = std::string(TrimSpace(rest.substr(1)));
        return m;
    }
    m.text = std::string(raw);
    return m;
}

std::string MessageCountText(int errors, int warnings) {
    auto count = [](int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    return count(errors, "error") + ", " + count(warnings, "warning");
}

std::string ResolveMessageFile(const DosDevices& dd, const std::string& name,
                               const std::vector<std::string>& sources,
                               const std::vector<std::string>& folders) {
    const std::string wanted = TrimRight(name);
    if (wanted.empty() || wanted.find_first_of("\\/:") != std::string::npos) {
        // A message that carries a folder names its file itself.
        return !wanted.empty() && dd.fileExists(wanted) ? wanted : std::string();
    }
    for (const auto& s : sources)
        if (SameText(ExtractFileName(TrimRight(s)), wanted) && dd.fileExists(s)) return TrimRight(s);
    for (const auto& folder : folders) {
        if (TrimRight(folder).empty()) continue;
        const std::string path = AddTrailingBackslash(TrimRight(folder)) + wanted;
        if (dd.fileExists(path)) return path;
    }
    return {};
}

} // namespace halyard
