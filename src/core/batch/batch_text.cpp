// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a batch line: cutting it at its separators, its words and parentheses, and expanding its
// %VARIABLES% and %1..%9 with their modifiers.
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "base/paths.h"
#include "batch/batch_internals.h"

namespace halyard {

using namespace batch_detail;

namespace batch_detail {

const char* const SyntaxError = "The syntax of the command is incorrect.";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string ltrim(const std::string& s) {
    size_t p = 0;
    while (p < s.size() && (isBlank(s[p]) || s[p] == '\n'))
        ++p;
    return s.substr(p);
}

std::string trim(const std::string& s) {
    std::string r = ltrim(s);
    while (!r.empty() && (isBlank(r.back()) || r.back() == '\n' || r.back() == '\r'))
        r.pop_back();
    return r;
}

std::string unquote(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    if (!s.empty() && s.front() == '"') return s.substr(1);
    return s;
}

std::pair<std::string, std::string> firstWord(const std::string& text) {
    const std::string s = ltrim(text);
    size_t i = 0;
    bool quoted = false;
    while (i < s.size() && (quoted || !isBlank(s[i]))) {
        if (s[i] == '"') quoted = !quoted;
        ++i;
    }
    return {s.substr(0, i), s.substr(i)};
}

bool startsWithWord(std::string_view s, const char* word) {
    const size_t n = std::strlen(word);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) !=
            std::toupper(static_cast<unsigned char>(word[i])))
            return false;
    return s.size() == n || isBlank(s[n]) || s[n] == '(';
}

int scanLine(std::string_view s, const SeparatorFound& onSeparator, LineScan& st, size_t from) {
    auto& [quoted, commandStart, inIf, escaped, depth] = st;
    for (size_t i = from; i < s.size(); ++i) {
        const char c = s[i];
        if (escaped) {
            escaped = false;
            continue;
        }
        if (quoted) {
            if (c == '"') quoted = false;
            continue;
        }
        if (c == '^') {
            escaped = true;
            commandStart = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
            commandStart = false;
            continue;
        }
        if (isBlank(c) || (c == '@' && commandStart)) continue;
        if (c == '(' && (commandStart || (inIf && i > 0 && isBlank(s[i - 1])))) {
            ++depth;
            commandStart = true;
            inIf = false;
            continue;
        }
        if (c == ')' && depth > 0) {
            --depth;
            commandStart = false;
            inIf = true; // an ELSE may follow
            continue;
        }
        if (c == '&' || c == '|' || c == '\n') {
            if (c == '&' && i > 0 && (s[i - 1] == '>' || s[i - 1] == '<')) continue; // 2>&1
            const size_t len = (c != '\n' && i + 1 < s.size() && s[i + 1] == c) ? 2 : 1;
            if (depth == 0 && onSeparator && !onSeparator(i, len, c)) return depth;
            i += len - 1;
            commandStart = true;
            inIf = false;
            continue;
        }
        if (commandStart && startsWithWord(s.substr(i), "IF")) inIf = true;
        commandStart = false;
    }
    return depth;
}

int scanLine(std::string_view s, const SeparatorFound& onSeparator) {
    LineScan st;
    return scanLine(s, onSeparator, st, 0);
}

size_t matchingParen(const std::string& s, size_t open) {
    int depth = 0;
    bool quoted = false;
    for (size_t i = open; i < s.size(); ++i) {
        const char c = s[i];
        if (quoted) {
            if (c == '"') quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '^') {
            ++i;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i;
        }
    }
    return std::string::npos;
}

bool isRegularFile(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

void writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            // A caller may hand us a non-blocking pipe: wait until the reader made room.
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd p{fd, POLLOUT, 0};
                if (::poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
            }
            return;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

bool hasWildcard(const std::string& s) {
    return s.find_first_of("*?") != std::string::npos;
}

bool parseInt(const std::string& s, long& value) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || !end || *end != 0) return false;
    value = v;
    return true;
}

bool endsWithContinuation(const std::string& line) {
    size_t carets = 0;
    while (carets < line.size() && line[line.size() - 1 - carets] == '^')
        ++carets;
    return carets % 2 == 1;
}

size_t findLabel(const std::vector<std::string>& lines, const std::string& label, size_t from) {
    const size_t n = lines.size();
    for (size_t k = 0; k < n; ++k) {
        const size_t i = (from + k) % n;
        const std::string l = ltrim(lines[i]);
        if (l.size() > 1 && l[0] == ':' && SameText(firstWord(l.substr(1)).first, label)) return i;
    }
    return std::string::npos;
}

std::string readLine(int fd, size_t max) {
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        if (!max || line.size() < max) line += c;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::pair<size_t, size_t> stackRoom() {
    struct Bounds {
        const char* low = nullptr;
        size_t size = 0;
    };
    thread_local const Bounds bounds = [] {
        Bounds b;
#if defined(__linux__)
        pthread_attr_t attr;
        if (::pthread_getattr_np(::pthread_self(), &attr) == 0) {
            void* addr = nullptr;
            size_t size = 0;
            if (::pthread_attr_getstack(&attr, &addr, &size) == 0) b = {static_cast<const char*>(addr), size};
            ::pthread_attr_destroy(&attr);
        }
#endif
        return b;
    }();
    if (!bounds.low) return {0, 0};
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    return {here > bounds.low ? static_cast<size_t>(here - bounds.low) : 0, bounds.size};
}

} // namespace batch_detail

std::string BatchInterpreter::argModified(const std::string& modifiers, size_t index) const {
    const size_t at = index + frame_->shift;
    const std::string arg = at < frame_->args.size() ? frame_->args[at] : std::string();
    const std::string bare = unquote(arg);
    if (modifiers.empty() || bare.empty()) return bare;
    const std::string full = dd_.absolute(at == 0 ? frame_->path : bare);
    if (modifiers.find('f') != std::string::npos) return full;
    const std::string dir = AddTrailingBackslash(ExtractFileDir(full));
    const std::string file = ExtractFileName(full);
    const size_t dot = file.rfind('.');
    std::string out;
    for (char m : modifiers) {
        switch (std::tolower(static_cast<unsigned char>(m))) {
        case 'd':
            out += full.substr(0, 2);
            break;
        case 'p':
            out += dir.substr(2);
            break;
        case 'n':
            out += file.substr(0, dot);
            break;
        case 'x':
            out += dot == std::string::npos ? std::string() : file.substr(dot);
            break;
        default:
            break;
        }
    }
    return out;
}

std::string BatchInterpreter::expandPercents(const std::string& line) const {
    const bool inBatch = frame_ != nullptr;
    std::string out;
    size_t i = 0;
    size_t lineStart = 0; // where the result's current line begins
    const size_t most = limits_.maxLine;
    // Once a line is over the limit the rest is not worth making: the caller refuses the line.
    auto over = [&] { return most && out.size() - lineStart > most; };
    while (i < line.size() && !over()) {
        const char c = line[i];
        if (c != '%') {
            out += c;
            if (c == '\n') lineStart = out.size();
            ++i;
            continue;
        }
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (inBatch && next == '%') {
            out += '%';
            i += 2;
            continue;
        }
        if (inBatch && next >= '0' && next <= '9') {
            out += [&] {
                const size_t at = static_cast<size_t>(next - '0') + frame_->shift;
                return at < frame_->args.size() ? frame_->args[at] : std::string();
            }();
            i += 2;
            continue;
        }
        if (inBatch && next == '*') {
            for (size_t a = 1; a < frame_->args.size(); ++a)
                out += (a > 1 ? " " : "") + frame_->args[a];
            i += 2;
            continue;
        }
        if (inBatch && next == '~') {
            size_t j = i + 2;
            while (j < line.size() && std::isalpha(static_cast<unsigned char>(line[j])))
                ++j;
            if (j < line.size() && line[j] >= '0' && line[j] <= '9') {
                out += argModified(line.substr(i + 2, j - i - 2), static_cast<size_t>(line[j] - '0'));
                i = j + 1;
                continue;
            }
        }
        const size_t close = line.find('%', i + 1);
        if (close == std::string::npos) {
            if (!inBatch) out += c; // a lone percent sign vanishes in a batch file
            ++i;
            continue;
        }
        std::string name = line.substr(i + 1, close - i - 1);
        // %NAME:~start,length% and %NAME:old=new%
        std::string edit;
        if (const size_t colon = name.find(':'); colon != std::string::npos && colon > 0) {
            edit = name.substr(colon + 1);
            name = name.substr(0, colon);
        }
        std::string value;
        bool known = hasVariable(name);
        if (known) {
            value = variable(name);
        } else if (SameText(name, "CD")) {
            value = dd_.currentDirectory();
            known = true;
        } else if (SameText(name, "ERRORLEVEL")) {
            value = std::to_string(errorLevel_);
            known = true;
        } else if (SameText(name, "RANDOM")) {
            value = std::to_string(std::random_device{}() % 32768);
            known = true;
        }
        if (!known || name.empty()) {
            if (!inBatch) out += line.substr(i, close - i);
            i = inBatch ? close + 1 : close;
            continue;
        }
        if (!edit.empty() && edit[0] == '~') {
            long start = 0, length = static_cast<long>(value.size());
            const std::string spec = edit.substr(1);
            const size_t comma = spec.find(',');
            parseInt(spec.substr(0, comma), start);
            if (comma != std::string::npos) parseInt(spec.substr(comma + 1), length);
            const long size = static_cast<long>(value.size());
            if (start < 0) start = std::max(0L, size + start);
            start = std::min(start, size);
            // Both are at most the value's size here, so neither sum can overflow.
            length = std::clamp(length, -size, size);
            const long end = std::clamp(length < 0 ? size + length : start + length, start, size);
            value = value.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
        } else if (const size_t eq = edit.find('='); eq != std::string::npos) {
            const std::string from = edit.substr(0, eq), to = edit.substr(eq + 1);
            if (!from.empty()) {
                std::string replaced;
                size_t p = 0;
                while (p < value.size() && !(most && replaced.size() > most)) {
                    if (value.size() - p >= from.size() && SameText(value.substr(p, from.size()), from)) {
                        replaced += to;
                        p += from.size();
                    } else {
                        replaced += value[p++];
                    }
                }
                value = replaced;
            }
        }
        out += value;
        i = close + 1;
    }
    return out;
}

} // namespace halyard
