// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/windows_command_line.h"

namespace halyard {

std::vector<std::string> SplitWindowsCommandLine(const std::string& text) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = text.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (true) {
        while (i < n && blank(text[i]))
            ++i;
        if (i >= n) break;
        std::string arg;
        // quotes counts the quotes of the current run: 0 outside a group, 1 inside; a third quote
        // in a run is a literal one and leaves the group.
        int quotes = 0;
        size_t backslashes = 0;
        while (i < n && !(quotes == 0 && blank(text[i]))) {
            const char c = text[i];
            if (c == '\\') {
                ++backslashes;
                ++i;
                continue;
            }
            if (c == '"') {
                arg.append(backslashes / 2, '\\');
                const bool escaped = backslashes % 2 == 1;
                backslashes = 0;
                ++i;
                if (escaped) {
                    arg += '"';
                    continue;
                }
                ++quotes;
                while (i < n && text[i] == '"') {
                    if (++quotes == 3) {
                        arg += '"';
                        quotes = 0;
                    }
                    ++i;
                }
                if (quotes == 2) quotes = 0;
                continue;
            }
            arg.append(backslashes, '\\');
            backslashes = 0;
            arg += c;
            ++i;
        }
        arg.append(backslashes, '\\');
        args.push_back(std::move(arg));
    }
    return args;
}

std::vector<std::string> SplitBatchArguments(const std::string& text) {
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            cur += c;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == ',' || c == ';' || c == '=')) {
            if (any) args.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) args.push_back(cur);
    return args;
}

} // namespace halyard
