#include "batch/batch_interpreter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pthread.h>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "base/error.h"
#include "base/paths.h"
#include "launch/process.h"
#include "launch/program_lookup.h"
#include "launch/run_mark.h"
#include "batch/windows_command_line.h"

extern char** environ;

namespace halyard {

namespace fs = std::filesystem;

struct BatchInterpreter::Frame {
    std::string path;                      // the batch file, a Windows path
    const std::vector<std::string>* lines; // its text
    std::vector<std::string> args;         // %0, %1, ...
    size_t shift = 0;
    size_t pc = 0;
    size_t localDepth = 0; // SETLOCALs open when the batch began; the rest end with it
};

namespace {

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

// The first blank-separated word (a quoted part does not end it) and the text after it.
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

// Scans a command line for its top-level separators (&, &&, |, ||, and the line breaks of a
// parenthesised block) and returns the depth of parentheses still open at its end. A "(" opens a
// block only where a command may start or, after IF and ELSE, behind a blank, as the command
// processor reads it; elsewhere it is text ("ECHO (see below)").
//
// A scan can go on where an earlier one over the start of the same text ended (state and from), so
// that a block growing line by line is read once, not once for every line it gets.
struct LineScan {
    bool quoted = false, commandStart = true, inIf = false;
    bool escaped = false; // a caret ended the text scanned so far
    int depth = 0;
};

int scanLine(std::string_view s, const std::function<bool(size_t pos, size_t len, char kind)>& onSeparator,
             LineScan& st, size_t from) {
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

int scanLine(std::string_view s, const std::function<bool(size_t pos, size_t len, char kind)>& onSeparator) {
    LineScan st;
    return scanLine(s, onSeparator, st, 0);
}

// Index of the ")" that closes the "(" at open, or npos.
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

// value is left alone unless the whole text is a number in range.
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

// The line after which a label stands, searched from line "from" to the end and then from the
// top, as GOTO and CALL look for it; npos when there is none.
size_t findLabel(const std::vector<std::string>& lines, const std::string& label, size_t from) {
    const size_t n = lines.size();
    for (size_t k = 0; k < n; ++k) {
        const size_t i = (from + k) % n;
        const std::string l = ltrim(lines[i]);
        if (l.size() > 1 && l[0] == ':' && SameText(firstWord(l.substr(1)).first, label)) return i;
    }
    return std::string::npos;
}

// One line of input without its line end, read a byte at a time so that nothing after it is taken
// from what the batch's programs read next.
std::string readLine(int fd) {
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The free part of this thread's stack below the caller and the stack's size; {0, 0} when the
// system does not tell.
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

} // namespace

std::vector<std::string> SplitBatchArguments(const std::string& text) {
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            cur += c;
            any = true;
        } else if (!quoted && (isBlank(c) || c == ',' || c == ';' || c == '=')) {
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

BatchInterpreter::BatchInterpreter(DosDevices& dd, const std::vector<std::string>& environment,
                                   Streams streams)
    : dd_(dd), streams_(streams) {
    for (const auto& entry : environment) {
        const size_t eq = entry.find('=', 1); // Windows keeps hidden "=C:=..." names; so may a caller
        if (eq != std::string::npos) setVariable(entry.substr(0, eq), entry.substr(eq + 1));
    }
    hostPath_ = variable("PATH");
    const std::string& cwd = dd_.currentDirectory();
    if (!cwd.empty()) driveDirs_[static_cast<char>(std::toupper(static_cast<unsigned char>(cwd[0])))] = cwd;
}

std::string BatchInterpreter::variable(const std::string& name) const {
    const auto it = vars_.find(UpperCase(name));
    return it == vars_.end() ? std::string() : it->second.second;
}

bool BatchInterpreter::hasVariable(const std::string& name) const {
    return vars_.count(UpperCase(name)) > 0;
}

void BatchInterpreter::setVariable(const std::string& name, const std::string& value) {
    const std::string key = UpperCase(name);
    if (value.empty()) {
        vars_.erase(key);
        return;
    }
    auto it = vars_.find(key);
    if (it == vars_.end())
        vars_.emplace(key, std::make_pair(name, value));
    else
        it->second.second = value;
}

std::vector<std::string> BatchInterpreter::environment() const {
    std::vector<std::string> env;
    for (const auto& [key, entry] : vars_)
        env.push_back(entry.first + "=" + entry.second);
    return env;
}

// A native program cannot use a PATH of Windows folders, and the stand-in tools start host
// programs and each other through PATH: it gets the existing folders of the batch's PATH as host
// folders, then the PATH the runner itself was started with.
std::vector<std::string> BatchInterpreter::programEnvironment() const {
    std::string path;
    for (const auto& dir : SplitWindowsPath(variable("PATH")))
        if (dd_.dirExists(dir)) path += dd_.toHost(dir).string() + ":";
    path += hostPath_;
    if (!path.empty() && path.back() == ':') path.pop_back();
    std::vector<std::string> env;
    for (const auto& [key, entry] : vars_)
        if (key != "PATH") env.push_back(entry.first + "=" + entry.second);
    env.push_back("PATH=" + path);
    return env;
}

std::string BatchInterpreter::prompt() const {
    return dd_.currentDirectory() + ">";
}

// Text written into a file gets the CR LF line ends it would have on Windows; a terminal or a pipe
// gets plain line feeds.
void BatchInterpreter::write(int fd, const std::string& text) const {
    if (!isRegularFile(fd)) {
        writeAll(fd, text.data(), text.size());
        return;
    }
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    writeAll(fd, out.data(), out.size());
}

void BatchInterpreter::fail(const Fds& fds, const std::string& message, int level) {
    write(fds.err, message + "\n");
    errorLevel_ = level;
    lastOk_ = false;
}

int BatchInterpreter::runFile(const std::string& batchPath, const std::vector<std::string>& args) {
    std::vector<std::string> dirs{dd_.currentDirectory()};
    for (const auto& d : SplitWindowsPath(variable("PATH")))
        dirs.push_back(d);
    const FoundProgram found = FindProgram(dd_, batchPath, dirs);
    const Fds fds{streams_.in, streams_.out, streams_.err};
    if (found.kind != FoundProgram::Batch) {
        fail(fds, "'" + batchPath + NotRecognizedText, 9009);
        return errorLevel_;
    }
    std::vector<std::string> all{batchPath};
    all.insert(all.end(), args.begin(), args.end());
    try {
        const auto lines = dd_.readLines(found.winPath);
        runBatch(found.winPath, lines, all, 0);
    } catch (const Error& e) {
        fail(fds, e.what(), 1);
    }
    return exitAll_ ? exitCode_ : errorLevel_;
}

int BatchInterpreter::runLine(const std::string& line) {
    runCommandLine(expandPercents(line), {streams_.in, streams_.out, streams_.err});
    return exitAll_ ? exitCode_ : errorLevel_;
}

int BatchInterpreter::runBatch(const std::string& path, const std::vector<std::string>& lines,
                               const std::vector<std::string>& args, size_t start) {
    Frame frame{path, &lines, args, 0, start, saved_.size()};
    std::vector<std::string> chained; // the text of a batch this one passed control to
    struct Enter {
        BatchInterpreter& bi;
        Frame* outer;
        Enter(BatchInterpreter& b, Frame* f) : bi(b), outer(b.frame_) {
            bi.frame_ = f;
            ++bi.depth_;
        }
        ~Enter() {
            bi.frame_ = outer;
            --bi.depth_;
        }
    } enter(*this, &frame);
    const Fds fds{streams_.in, streams_.out, streams_.err};
    while (frame.pc < frame.lines->size() && !exitAll_) {
        const std::vector<std::string>& text = *frame.lines;
        std::string raw = text[frame.pc++];
        // An odd number of carets at the end continues the line ("^^" is an escaped caret); an
        // open parenthesis continues the block.
        while (frame.pc < text.size() && endsWithContinuation(raw)) {
            raw.pop_back();
            raw += text[frame.pc++];
        }
        LineScan scan;
        scanLine(raw, nullptr, scan, 0);
        while (frame.pc < text.size() && scan.depth > 0) {
            const size_t from = raw.size();
            raw += "\n" + text[frame.pc++];
            scanLine(raw, nullptr, scan, from);
        }

        const std::string head = ltrim(raw);
        if (head.empty() || head[0] == ':') continue;
        if (limits_.maxCommands && ++commandsRun_ > limits_.maxCommands) {
            exitAll_ = true;
            break;
        }
        const std::string expanded = expandPercents(raw);
        if (limits_.maxLine && expanded.size() > limits_.maxLine) {
            fail(fds, "The input line is too long.", 1);
            continue;
        }
        size_t p = 0;
        bool silent = false;
        while (p < expanded.size() && (isBlank(expanded[p]) || expanded[p] == '@'))
            silent |= expanded[p++] == '@';
        const std::string command = expanded.substr(p);
        if (trim(command).empty()) continue;
        if (echo_ && !silent) write(fds.out, "\n" + prompt() + command + "\n");

        Flow flow = runCommandLine(command, fds);
        if (flow.kind == Flow::Goto) {
            if (SameText(flow.label, "EOF")) break;
            const size_t target = findLabel(text, flow.label, frame.pc);
            if (target == std::string::npos) {
                fail(fds, "The system cannot find the batch label specified - " + flow.label, 1);
                break;
            }
            frame.pc = target + 1;
        } else if (flow.kind == Flow::Chain) {
            // Control passes to the other batch for good: it takes this one's place instead of
            // running inside it, so a batch that starts itself again loops as long as it likes.
            try {
                chained = dd_.readLines(flow.label);
            } catch (const Error& e) {
                fail(fds, e.what(), 1);
                break;
            }
            frame.path = flow.label;
            frame.lines = &chained;
            frame.args = std::move(flow.args);
            frame.shift = 0;
            frame.pc = 0;
        } else if (flow.kind != Flow::Next) {
            break;
        }
    }
    while (saved_.size() > frame.localDepth) {
        vars_ = std::move(saved_.back());
        saved_.pop_back();
    }
    return errorLevel_;
}

BatchInterpreter::Flow BatchInterpreter::runCommandLine(const std::string& line, const Fds& fds) {
    // Every nesting (CALL, blocks, IF bodies) passes through here: the place to stop a batch that
    // recurses without end before it overflows the stack.
    if (stackNearlyFull()) return abortRecursion(fds);
    // The segments between separators run one after the other in this loop, so a line of any
    // length needs no deeper stack. A segment after && or || that does not run leaves the status
    // of the commands before it, which the next && or || then tests ("a && b || c").
    std::string_view rest(line);
    bool run = true;
    while (true) {
        while (!rest.empty() && (isBlank(rest[0]) || rest[0] == '\n' || rest[0] == '@'))
            rest.remove_prefix(1);
        if (rest.empty()) return {};
        // REM takes the rest of the line, IF takes the rest as its command: both before any split.
        // In a block the line ends at its line break, where the next command of the block begins.
        if (startsWithWord(rest, "REM") || rest.substr(0, 2) == "::") {
            const size_t end = rest.find('\n');
            if (end == std::string::npos) return {};
            rest.remove_prefix(end + 1);
            run = true;
            continue;
        }
        if (startsWithWord(rest, "IF")) {
            size_t end = std::string::npos;
            scanLine(rest, [&](size_t pos, size_t, char kind) {
                if (kind != '\n') return true;
                end = pos;
                return false;
            });
            if (run) {
                const size_t length = end == std::string::npos ? end : end - 2;
                const Flow flow = runIf(std::string(rest.substr(2, length)), fds);
                if (flow.kind != Flow::Next || exitAll_) return flow;
            }
            if (end == std::string::npos) return {};
            rest.remove_prefix(end + 1);
            run = true;
            continue;
        }

        size_t sepPos = std::string::npos, sepLen = 0;
        char sepKind = 0;
        scanLine(rest, [&](size_t pos, size_t len, char kind) {
            sepPos = pos;
            sepLen = len;
            sepKind = kind;
            return false;
        });
        if (sepKind == '|' && sepLen == 1) {
            fail(fds, "Pipes are not supported by halyard-batch.", 1);
            return {};
        }
        if (run) {
            const Flow flow = runSegment(std::string(rest.substr(0, sepPos)), fds);
            if (flow.kind != Flow::Next || exitAll_) return flow;
        }
        if (sepPos == std::string::npos) return {};
        run = sepLen == 1 || (sepKind == '&') == lastOk_;
        rest.remove_prefix(sepPos + sepLen);
    }
}

// The command processor ends all batch processing when CALLs nest too deep for its stack; so do
// we, well before the stack would overflow and take the runner down with it.
bool BatchInterpreter::stackNearlyFull() const {
    const auto [left, size] = stackRoom();
    if (size == 0) return depth_ >= 1000;
    return left < size / 10 || left < 256 * 1024;
}

BatchInterpreter::Flow BatchInterpreter::abortRecursion(const Fds& fds) {
    const auto [left, size] = stackRoom();
    const size_t usage = size == 0 ? 90 : (size - std::min(left, size)) * 100 / size;
    write(fds.err, "******  B A T C H   R E C U R S I O N  exceeds STACK limits ******\nRecursion Count=" +
                       std::to_string(depth_) + ", Stack Usage=" + std::to_string(usage) +
                       " percent\n******       B A T C H   PROCESSING IS   A B O R T E D      ******\n");
    exitAll_ = true;
    exitCode_ = errorLevel_ = 1;
    lastOk_ = false;
    return {Flow::ExitAll, {}, {}};
}

BatchInterpreter::Flow BatchInterpreter::runIf(const std::string& rest, const Fds& fds) {
    std::string s = ltrim(rest);
    bool ignoreCase = false, negate = false;
    auto word = [&]() { return firstWord(s); };
    if (SameText(word().first, "/I")) {
        ignoreCase = true;
        s = ltrim(word().second);
    }
    if (SameText(word().first, "NOT")) {
        negate = true;
        s = ltrim(word().second);
    }
    bool condition = false;
    std::string body;
    const auto [keyword, afterKeyword] = word();
    if (SameText(keyword, "EXIST") || SameText(keyword, "DEFINED") || SameText(keyword, "ERRORLEVEL")) {
        const auto [operand, after] = firstWord(afterKeyword);
        if (operand.empty()) {
            fail(fds, SyntaxError, 1);
            return {};
        }
        body = after;
        if (SameText(keyword, "DEFINED")) {
            condition = hasVariable(operand);
        } else if (SameText(keyword, "ERRORLEVEL")) {
            long level = 0;
            if (!parseInt(operand, level)) {
                fail(fds, SyntaxError, 1);
                return {};
            }
            condition = errorLevel_ >= level;
        } else {
            const std::string name = unquote(operand);
            if (hasWildcard(name)) {
                const std::string abs = dd_.absolute(name);
                condition = !dd_.listFiles(ExtractFileDir(abs), ExtractFileName(abs)).empty();
            } else if (SameText(TrimRight(ExtractFileName(name)), "NUL")) {
                // "IF EXIST folder\NUL", the old test for a folder: the device is in every folder.
                const std::string dir = ExtractFileDir(name);
                condition = dir.empty() || dd_.dirExists(dir);
            } else {
                condition = dd_.fileExists(name) || dd_.dirExists(name);
            }
        }
    } else {
        // string1==string2, or string1 OP string2 with EQU NEQ LSS LEQ GTR GEQ.
        size_t i = 0;
        bool quoted = false;
        while (i < s.size() && (quoted || (!isBlank(s[i]) && s.compare(i, 2, "==") != 0))) {
            if (s[i] == '"') quoted = !quoted;
            ++i;
        }
        const std::string left = s.substr(0, i);
        std::string after = ltrim(s.substr(i));
        std::string op;
        if (after.rfind("==", 0) == 0) {
            op = "==";
            after = ltrim(after.substr(2));
        } else {
            op = UpperCase(firstWord(after).first);
            after = firstWord(after).second;
        }
        const auto [right, tail] = firstWord(after);
        static const char* const ops[] = {"==", "EQU", "NEQ", "LSS", "LEQ", "GTR", "GEQ"};
        if (left.empty() || right.empty() || std::find(std::begin(ops), std::end(ops), op) == std::end(ops)) {
            fail(fds, SyntaxError, 1);
            return {};
        }
        body = tail;
        long a = 0, b = 0;
        int cmp;
        if (op != "==" && parseInt(left, a) && parseInt(right, b))
            cmp = a < b ? -1 : (a > b ? 1 : 0);
        else
            cmp = ignoreCase ? CompareText(left, right) : left.compare(right);
        if (op == "==" || op == "EQU")
            condition = cmp == 0;
        else if (op == "NEQ")
            condition = cmp != 0;
        else if (op == "LSS")
            condition = cmp < 0;
        else if (op == "LEQ")
            condition = cmp <= 0;
        else if (op == "GTR")
            condition = cmp > 0;
        else
            condition = cmp >= 0;
    }
    condition = condition != negate;

    body = ltrim(body);
    if (!body.empty() && body[0] == '(') {
        const size_t close = matchingParen(body, 0);
        if (close == std::string::npos) {
            fail(fds, SyntaxError, 1);
            return {};
        }
        // The block keeps the redirections after it; ELSE then takes the rest of the line as the
        // command for the other case. Without ELSE the whole rest belongs to the condition.
        size_t pos = close + 1;
        while (pos < body.size()) {
            while (pos < body.size() && isBlank(body[pos]))
                ++pos;
            if (startsWithWord(std::string_view(body).substr(pos), "ELSE")) {
                const std::string other = body.substr(pos + 4);
                return runCommandLine(condition ? body.substr(0, pos) : other, fds);
            }
            const std::string word = firstWord(body.substr(pos)).first;
            bool separator = word.empty();
            for (size_t i = 0; i < word.size() && !separator; ++i)
                separator = word[i] == '|' || word[i] == '(' ||
                            (word[i] == '&' && (i == 0 || (word[i - 1] != '>' && word[i - 1] != '<')));
            if (separator) break;
            pos += word.size();
        }
    }
    return condition ? runCommandLine(body, fds) : Flow{};
}

BatchInterpreter::Flow BatchInterpreter::runSegment(const std::string& segment, const Fds& base) {
    lastOk_ = true;
    std::string text = ltrim(segment);
    // A parenthesised block keeps its own redirections; only those after it apply to all of it.
    size_t from = 0;
    if (!text.empty() && text[0] == '(') {
        const size_t close = matchingParen(text, 0);
        from = close == std::string::npos ? text.size() : close + 1;
    }

    struct Redirection {
        int fd;
        enum { Read, Write, Append, Dup } op;
        std::string target;
        int dupOf = -1;
    };
    std::vector<Redirection> redirections;
    std::string command = text.substr(0, from);
    bool quoted = false;
    for (size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted || (c != '>' && c != '<' && c != '^')) {
            if (c == '"') quoted = !quoted;
            command += c;
            continue;
        }
        if (c == '^') {
            if (i + 1 < text.size()) command += text[++i];
            continue;
        }
        Redirection r{c == '<' ? 0 : 1, c == '<' ? Redirection::Read : Redirection::Write, {}};
        // A handle digit counts only as a word of its own: "2>err" but not "file2>out".
        const size_t n = command.size();
        if (n >= 1 && command[n - 1] >= '0' && command[n - 1] <= '2' && (n == 1 || isBlank(command[n - 2]))) {
            r.fd = command[n - 1] - '0';
            command.pop_back();
        }
        if (c == '>' && i + 1 < text.size() && text[i + 1] == '>') {
            r.op = Redirection::Append;
            ++i;
        }
        if (i + 2 < text.size() && text[i + 1] == '&' && text[i + 2] >= '0' && text[i + 2] <= '2') {
            r.op = Redirection::Dup;
            r.dupOf = text[i + 2] - '0';
            i += 2;
            redirections.push_back(r);
            continue;
        }
        ++i;
        while (i < text.size() && isBlank(text[i]))
            ++i;
        std::string target;
        bool q = false;
        while (i < text.size() && (q || (!isBlank(text[i]) && text[i] != '<' && text[i] != '>'))) {
            if (text[i] == '"')
                q = !q;
            else
                target += text[i];
            ++i;
        }
        --i;
        r.target = target;
        redirections.push_back(r);
    }

    int cur[3] = {base.in, base.out, base.err};
    std::vector<int> opened;
    auto closeOpened = [&] {
        for (int fd : opened)
            ::close(fd);
    };
    for (const auto& r : redirections) {
        if (r.op == Redirection::Dup) {
            cur[r.fd] = cur[r.dupOf];
            continue;
        }
        if (r.target.empty()) {
            closeOpened();
            fail(base, SyntaxError, 1);
            return {};
        }
        const bool nul = SameText(TrimRight(r.target), "NUL") || SameText(TrimRight(r.target), "NUL:");
        if (!nul && !dd_.driveMapped(r.target)) {
            closeOpened();
            fail(base, "The system cannot find the drive specified.", 1);
            return {};
        }
        const std::string host = nul ? "/dev/null" : dd_.toHost(r.target).string();
        const int flags = r.op == Redirection::Read     ? O_RDONLY
                          : r.op == Redirection::Append ? O_WRONLY | O_CREAT | O_APPEND
                                                        : O_WRONLY | O_CREAT | O_TRUNC;
        const int fd = ::open(host.c_str(), flags | O_CLOEXEC, 0666);
        if (fd < 0) {
            closeOpened();
            fail(base,
                 errno == ENOENT ? (r.op == Redirection::Read ? "The system cannot find the file specified."
                                                              : "The system cannot find the path specified.")
                                 : "Access is denied.",
                 1);
            return {};
        }
        opened.push_back(fd);
        cur[r.fd] = fd;
    }
    const Flow flow = runCommand(command, {cur[0], cur[1], cur[2]}, false);
    closeOpened();
    return flow;
}

BatchInterpreter::Flow BatchInterpreter::runCommand(const std::string& commandText, const Fds& fds,
                                                    bool called) {
    std::string text = ltrim(commandText);
    while (!text.empty() && text[0] == '@')
        text = ltrim(text.substr(1));
    if (text.empty()) return {};
    if (text[0] == '(') {
        // Each level of a block reads its text again: thousands of "(" on a line would take time
        // in the square of its length, so blocks nest only as deep as real batches ever do.
        if (blockDepth_ >= kMaxBlockDepth) return abortRecursion(fds);
        const size_t close = matchingParen(text, 0);
        ++blockDepth_;
        const Flow flow =
            runCommandLine(close == std::string::npos ? text.substr(1) : text.substr(1, close - 1), fds);
        --blockDepth_;
        return flow;
    }
    const std::string t = trim(text);
    if (t.size() == 2 && t[1] == ':' && std::isalpha(static_cast<unsigned char>(t[0]))) {
        changeDrive(static_cast<char>(std::toupper(static_cast<unsigned char>(t[0]))), fds);
        return {};
    }

    // Internal commands end at the first character that is not a letter: "ECHO.", "CD..", "CD\".
    size_t w = 0;
    while (w < text.size() && std::isalpha(static_cast<unsigned char>(text[w])))
        ++w;
    const std::string word = UpperCase(text.substr(0, w));
    const bool delimited = w == text.size() || std::strchr(" \t.:/\\(+=,;[]\"", text[w]) != nullptr;
    const std::string rest = text.substr(w);
    if (delimited) {
        if (word == "ECHO") return echoCmd(rest, fds), Flow{};
        if (word == "SET") return setCmd(rest, fds), Flow{};
        if (word == "CD" || word == "CHDIR") return cdCmd(rest, fds), Flow{};
        if (word == "PAUSE") return pauseCmd(fds), Flow{};
        if (word == "TYPE") return typeCmd(rest, fds), Flow{};
        if (word == "DEL" || word == "ERASE") return delCmd(rest, fds), Flow{};
        if (word == "MD" || word == "MKDIR") return mdCmd(rest, fds), Flow{};
        if (word == "REM" || word == "TITLE") return {};
        if (word == "IF") return runIf(rest, fds);
        if (word == "CALL") return runCall(rest, fds);
        if (word == "CLS") {
            if (::isatty(fds.out)) write(fds.out, "\033[H\033[2J");
            return {};
        }
        if (word == "SHIFT") {
            if (frame_) ++frame_->shift;
            return {};
        }
        if (word == "SETLOCAL") {
            saved_.push_back(vars_);
            return {};
        }
        if (word == "ENDLOCAL") {
            if (!saved_.empty() && (!frame_ || saved_.size() > frame_->localDepth)) {
                vars_ = std::move(saved_.back());
                saved_.pop_back();
            }
            return {};
        }
        if (word == "GOTO") {
            std::string label = ltrim(rest);
            if (!label.empty() && label[0] == ':') label = label.substr(1);
            label = firstWord(label).first;
            if (!frame_) return {};
            if (label.empty()) {
                fail(fds, "No batch label specified to GOTO command.", 1);
                return {};
            }
            return {Flow::Goto, label, {}};
        }
        if (word == "EXIT") {
            auto [first, after] = firstWord(rest);
            const bool batchOnly = SameText(first, "/B");
            const std::string codeText = batchOnly ? firstWord(after).first : first;
            long code = 0;
            const bool hasCode = parseInt(codeText, code);
            if (batchOnly && frame_) {
                if (hasCode) errorLevel_ = static_cast<int>(code);
                return {Flow::EndBatch, {}, {}};
            }
            exitAll_ = true;
            exitCode_ = hasCode ? static_cast<int>(code) : errorLevel_;
            errorLevel_ = exitCode_;
            return {Flow::ExitAll, {}, {}};
        }
    }

    std::string name, tail;
    if (text[0] == '"') {
        const size_t close = text.find('"', 1);
        name = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        tail = close == std::string::npos ? std::string() : text.substr(close + 1);
    } else {
        size_t e = 0;
        while (e < text.size() && !isBlank(text[e]))
            ++e;
        name = text.substr(0, e);
        tail = text.substr(e);
    }
    // Messages and %0 show the name as it was typed, quotes and all.
    return runExternal(name, text.substr(0, text.size() - tail.size()), tail, fds, called);
}

BatchInterpreter::Flow BatchInterpreter::runCall(const std::string& rest, const Fds& fds) {
    if (stackNearlyFull()) return abortRecursion(fds); // "CALL CALL CALL ..." nests here alone
    const std::string text = ltrim(rest);
    if (text.empty()) return {};
    if (text[0] != ':') return runCommand(text, fds, true);
    if (!frame_) {
        fail(fds, "Invalid attempt to call batch label outside of batch script.", 1);
        return {};
    }
    const auto [labelWord, argText] = firstWord(text);
    const std::string label = labelWord.substr(1);
    const auto& lines = *frame_->lines;
    const size_t at = findLabel(lines, label, frame_->pc);
    if (at == std::string::npos) {
        fail(fds, "The system cannot find the batch label specified - " + label, 1);
        return {};
    }
    std::vector<std::string> args{labelWord};
    for (auto& a : SplitBatchArguments(argText))
        args.push_back(a);
    const Streams outer = streams_;
    streams_ = {fds.in, fds.out, fds.err};
    runBatch(frame_->path, lines, args, at + 1);
    streams_ = outer;
    return {};
}

BatchInterpreter::Flow BatchInterpreter::runExternal(const std::string& name, const std::string& typed,
                                                     const std::string& tail, const Fds& fds, bool called) {
    std::vector<std::string> dirs{dd_.currentDirectory()};
    for (const auto& d : SplitWindowsPath(variable("PATH")))
        dirs.push_back(d);
    const FoundProgram found = FindProgram(dd_, name, dirs);
    if (found.kind == FoundProgram::None) {
        fail(fds, "'" + typed + NotRecognizedText, 9009);
        return {};
    }
    if (found.kind == FoundProgram::Batch) {
        std::vector<std::string> args{typed};
        for (auto& a : SplitBatchArguments(tail))
            args.push_back(a);
        // Without CALL, control passes to the other batch file for good. Unless its output goes
        // elsewhere than the current batch's, it simply takes the current batch's place.
        if (!called && frame_ && fds.in == streams_.in && fds.out == streams_.out && fds.err == streams_.err)
            return {Flow::Chain, found.winPath, std::move(args)};
        try {
            const auto lines = dd_.readLines(found.winPath);
            const Streams outer = streams_;
            streams_ = {fds.in, fds.out, fds.err};
            runBatch(found.winPath, lines, args, 0);
            streams_ = outer;
        } catch (const Error& e) {
            fail(fds, e.what(), 1);
        }
        lastOk_ = errorLevel_ == 0;
        return called || !frame_ ? Flow{} : Flow{Flow::EndBatch, {}, {}};
    }

    if (!limits_.startPrograms) {
        fail(fds, "'" + typed + "' cannot be run: starting programs is switched off", 9009);
        return {};
    }
    SpawnSpec spec;
    // The stand-in tools are native programs; they need a usable argv[0] to find themselves.
    spec.program = found.host.string();
    spec.argv.push_back(spec.program);
    for (auto& a : SplitWindowsCommandLine(tail))
        spec.argv.push_back(std::move(a));
    spec.env = programEnvironment();
    spec.replaceEnv = true;
    spec.cwd = dd_.toHost(dd_.currentDirectory()).string();
    spec.in = fds.in;
    spec.out = fds.out;
    spec.err = fds.err;
    const SpawnResult r = SpawnProcess(spec);
    if (!r.started()) {
        fail(fds, "'" + typed + "' cannot be run: " + std::strerror(r.error), 9009);
        return {};
    }
    errorLevel_ = WaitForExit(r.pid);
    lastOk_ = errorLevel_ == 0;
    return {};
}

void BatchInterpreter::echoCmd(const std::string& rest, const Fds& fds) {
    const std::string text = rest.empty() ? std::string() : rest.substr(1);
    if (rest.empty() || (isBlank(rest[0]) && trim(text).empty())) {
        write(fds.out, echo_ ? "ECHO is on.\n" : "ECHO is off.\n");
        return;
    }
    if (isBlank(rest[0])) {
        const std::string t = trim(text);
        if (SameText(t, "OFF") || SameText(t, "ON")) {
            echo_ = SameText(t, "ON");
            return;
        }
    }
    write(fds.out, text + "\n");
}

void BatchInterpreter::setCmd(const std::string& rest, const Fds& fds) {
    std::string r = ltrim(rest);
    if (r.empty()) {
        std::string list;
        for (const auto& [key, entry] : vars_)
            list += entry.first + "=" + entry.second + "\n";
        write(fds.out, list);
        return;
    }
    if (startsWithWord(r, "/P")) {
        r = ltrim(r.substr(2));
        const size_t eq = r.find('=');
        if (eq == std::string::npos || eq == 0) return fail(fds, SyntaxError, 1);
        write(fds.out, unquote(r.substr(eq + 1)));
        const std::string line = readLine(fds.in);
        if (line.empty())
            errorLevel_ = 1;
        else
            setVariable(r.substr(0, eq), line);
        return;
    }
    if (r[0] == '"') {
        const size_t last = r.rfind('"');
        r = last == 0 ? r.substr(1) : r.substr(1, last - 1);
    }
    const size_t eq = r.find('=');
    if (eq == std::string::npos) {
        const std::string prefix = UpperCase(TrimRight(r));
        std::string list;
        for (const auto& [key, entry] : vars_)
            if (key.rfind(prefix, 0) == 0) list += entry.first + "=" + entry.second + "\n";
        if (list.empty()) return fail(fds, "Environment variable " + TrimRight(r) + " not defined", 1);
        write(fds.out, list);
        return;
    }
    if (eq == 0) return fail(fds, SyntaxError, 1);
    setVariable(r.substr(0, eq), r.substr(eq + 1));
}

void BatchInterpreter::cdCmd(const std::string& rest, const Fds& fds) {
    std::string r = trim(rest);
    bool switchDrive = false;
    if (startsWithWord(r, "/D")) {
        switchDrive = true;
        r = trim(r.substr(2));
    }
    std::string path;
    for (char c : r)
        if (c != '"') path += c;
    path = TrimRight(path);
    const char current =
        static_cast<char>(std::toupper(static_cast<unsigned char>(dd_.currentDirectory()[0])));
    if (path.empty()) {
        write(fds.out, dd_.currentDirectory() + "\n");
        return;
    }
    const bool hasDrive =
        path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    const char drive =
        hasDrive ? static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))) : current;
    const auto remembered = driveDirs_.find(drive);
    const std::string driveDir =
        remembered != driveDirs_.end() ? remembered->second : std::string(1, drive) + ":\\";
    if (hasDrive && path.size() == 2) {
        write(fds.out, driveDir + "\n");
        return;
    }
    // "D:sub" is relative to D:'s own current folder, not to the current drive's.
    if (hasDrive && drive != current && path[2] != '\\' && path[2] != '/')
        path = AddTrailingBackslash(driveDir) + path.substr(2);
    if (!dd_.dirExists(path)) return fail(fds, "The system cannot find the path specified.", 1);
    const std::string abs = dd_.absolute(path);
    driveDirs_[drive] = abs;
    if (drive == current || switchDrive) dd_.setCurrentDirectory(abs);
}

void BatchInterpreter::changeDrive(char letter, const Fds& fds) {
    const std::string root = std::string(1, letter) + ":\\";
    if (!dd_.dirExists(root)) return fail(fds, "The system cannot find the drive specified.", 1);
    const auto it = driveDirs_.find(letter);
    const std::string dir = it != driveDirs_.end() && dd_.dirExists(it->second) ? it->second : root;
    dd_.setCurrentDirectory(dir);
    driveDirs_[letter] = dd_.currentDirectory();
}

void BatchInterpreter::pauseCmd(const Fds& fds) {
    write(fds.out, "Press any key to continue . . . ");
    char c;
    if (::isatty(fds.in)) {
        termios saved;
        if (::tcgetattr(fds.in, &saved) == 0) {
            termios raw = saved;
            raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            ::tcsetattr(fds.in, TCSANOW, &raw);
            ssize_t n = ::read(fds.in, &c, 1);
            (void)n;
            ::tcsetattr(fds.in, TCSANOW, &saved);
        }
    } else {
        // No terminal: take one character if one is there; at the end of the input go on.
        ssize_t n = ::read(fds.in, &c, 1);
        (void)n;
    }
    write(fds.out, "\n");
}

void BatchInterpreter::typeCmd(const std::string& rest, const Fds& fds) {
    const auto names = SplitBatchArguments(rest);
    if (names.empty()) return fail(fds, SyntaxError, 1);
    for (const auto& n : names) {
        const std::string name = unquote(n);
        if (!dd_.fileExists(name)) {
            fail(fds, "The system cannot find the file specified.", 1);
            continue;
        }
        try {
            const std::string bytes = dd_.readBytes(name);
            writeAll(fds.out, bytes.data(), bytes.size());
        } catch (const Error& e) {
            fail(fds, e.what(), 1);
        }
    }
}

void BatchInterpreter::delCmd(const std::string& rest, const Fds& fds) {
    bool any = false, quiet = false;
    const auto words = SplitBatchArguments(rest);
    for (const auto& n : words)
        quiet |= SameText(n, "/Q");
    for (const auto& n : words) {
        if (n[0] == '/') continue;
        any = true;
        const std::string abs = dd_.absolute(unquote(n));
        // Every file of a folder goes only when the user says so, as with the command processor;
        // without an answer (a hidden batch reads no input) nothing is deleted.
        const std::string mask = ExtractFileName(abs);
        if (!quiet && (mask == "*" || mask == "*.*")) {
            write(fds.out, AddTrailingBackslash(ExtractFileDir(abs)) + "*, Are you sure (Y/N)? ");
            const std::string answer = trim(readLine(fds.in));
            if (answer.empty() || std::toupper(static_cast<unsigned char>(answer[0])) != 'Y') continue;
        }
        std::vector<std::string> victims;
        if (hasWildcard(abs)) {
            for (const auto& f : dd_.listFiles(ExtractFileDir(abs), ExtractFileName(abs)))
                victims.push_back(AddTrailingBackslash(ExtractFileDir(abs)) + f);
        } else if (dd_.fileExists(abs)) {
            victims.push_back(abs);
        }
        if (victims.empty()) {
            write(fds.err, "Could Not Find " + abs + "\n");
            continue;
        }
        for (const auto& v : victims) {
            std::error_code ec;
            if (!fs::remove(dd_.toHost(v), ec) || ec) fail(fds, "Access is denied.", 1);
        }
    }
    if (!any) fail(fds, SyntaxError, 1);
}

void BatchInterpreter::mdCmd(const std::string& rest, const Fds& fds) {
    const auto names = SplitBatchArguments(rest);
    if (names.empty()) return fail(fds, SyntaxError, 1);
    for (const auto& n : names) {
        const std::string name = unquote(n);
        if (dd_.dirExists(name) || dd_.fileExists(name)) {
            fail(fds, "A subdirectory or file " + name + " already exists.", 1);
            continue;
        }
        // A drive that is not mapped has no folders; creating them would map it by accident.
        if (!dd_.dirExists(dd_.absolute(name).substr(0, 3))) {
            fail(fds, "The system cannot find the path specified.", 1);
            continue;
        }
        try {
            dd_.createDirs(name);
        } catch (const std::exception& e) {
            fail(fds, e.what(), 1);
        }
    }
}

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
    while (i < line.size()) {
        const char c = line[i];
        if (c != '%') {
            out += c;
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
                while (p < value.size()) {
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

int RunBatchCommand(const std::vector<std::string>& argsIn) {
    std::vector<std::string> args = argsIn;
    // Whoever started us without waiting learns from the mark when we end.
    if (args.size() >= 2 && args[0] == "--run-mark") {
        HoldRunMark(args[1]);
        args.erase(args.begin(), args.begin() + 2);
    }
    bool echoOff = false;
    while (!args.empty() && args[0].size() == 2 && args[0][0] == '/' && std::strchr("cCqQdDsS", args[0][1])) {
        echoOff |= std::toupper(static_cast<unsigned char>(args[0][1])) == 'Q';
        args.erase(args.begin());
    }
    if (args.empty()) {
        const std::string usage = "usage: halyard-batch [--run-mark FILE] [/c] FILE.bat [arguments]\n"
                                  "       halyard-batch [--run-mark FILE] /c COMMAND LINE\n";
        writeAll(2, usage.data(), usage.size());
        return 1;
    }
    const fs::path root = DosDevices::defaultRoot();
    try {
        DosDevices(root).ensureCreated();
    } catch (const std::exception&) {
        // A read-only home still allows the mapping that exists, or none: Z: is then unknown too.
    }
    DosDevices dd(root);
    std::error_code ec;
    const std::string cwd = dd.toWindows(fs::current_path(ec));
    try {
        if (cwd.size() >= 2 && cwd[1] == ':') dd.setCurrentDirectory(cwd);
    } catch (const Error&) {
    }
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        env.emplace_back(*e);
    BatchInterpreter bi(dd, env);
    if (echoOff) bi.setEcho(false);

    // An argument that holds a separator outside quotes was one quoted argument on the caller's
    // command line; one whose separators are all quoted already (x"y z") stays as it is.
    auto quoted = [](const std::string& a) {
        if (a.empty()) return std::string("\"\"");
        bool inQuotes = false;
        for (char c : a) {
            if (c == '"')
                inQuotes = !inQuotes;
            else if (!inQuotes && std::strchr(" \t,;=", c))
                return "\"" + a + "\"";
        }
        return a;
    };
    // A process exit code holds 0..255: "not recognized" (9009) becomes the shells' 127.
    auto exitCode = [](int level) { return level == 9009 ? 127 : (level < 0 || level > 255 ? 255 : level); };
    if (IsBatchFileName(args[0])) {
        std::string path = args[0];
        if (!dd.fileExists(path) && fs::is_regular_file(path, ec))
            path = dd.toWindows(fs::absolute(path, ec));
        std::vector<std::string> rest;
        for (size_t i = 1; i < args.size(); ++i)
            rest.push_back(quoted(args[i]));
        return exitCode(bi.runFile(path, rest));
    }
    std::string line;
    for (const auto& a : args)
        line += (line.empty() ? "" : " ") + quoted(a);
    return exitCode(bi.runLine(line));
}

} // namespace halyard
