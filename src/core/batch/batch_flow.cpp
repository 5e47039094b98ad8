// SPDX-License-Identifier: GPL-3.0-or-later
// The structure around commands: a batch's lines and parenthesised blocks, the separators &, &&,
// ||, |, IF/ELSE and CALL, and the guard against nesting deeper than the stack allows.
#include <cstring>

#include "base/error.h"
#include "base/paths.h"
#include "batch/batch_internals.h"

namespace halyard {

using namespace batch_detail;

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
        if (tooLong(raw)) {
            fail(fds, TooLongText, 1);
            continue;
        }
        const std::string expanded = expandPercents(raw);
        if (tooLong(expanded)) {
            fail(fds, TooLongText, 1);
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

} // namespace halyard
