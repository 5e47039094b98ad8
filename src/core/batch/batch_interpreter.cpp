// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/batch_interpreter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "base/error.h"
#include "base/paths.h"
#include "batch/batch_internals.h"
#include "launch/foreign_program.h"
#include "launch/process.h"
#include "launch/program_lookup.h"
#include "launch/run_mark.h"
#include "launch/windows_command_line.h"

namespace halyard {

using namespace batch_detail;
namespace fs = std::filesystem;

BatchInterpreter::BatchInterpreter(DosDevices& dd, const std::vector<std::string>& environment,
                                   Streams streams)
    : dd_(dd), streams_(streams) {
    for (const auto& entry : environment) {
        const size_t eq = entry.find('=', 1); // Windows keeps hidden "=C:=..." names; so may a caller
        if (eq != std::string::npos) setVariable(entry.substr(0, eq), entry.substr(eq + 1));
    }
    hostPath_ = variable("PATH");
    toolChain_ = DefaultToolChainFolder;
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
    const Fds fds{streams_.in, streams_.out, streams_.err};
    if (tooLong(line)) {
        fail(fds, TooLongText, 1);
        return errorLevel_;
    }
    const std::string expanded = expandPercents(line);
    if (tooLong(expanded))
        fail(fds, TooLongText, 1);
    else
        runCommandLine(expanded, fds);
    return exitAll_ ? exitCode_ : errorLevel_;
}

bool BatchInterpreter::tooLong(const std::string& text) const {
    if (!limits_.maxLine || text.size() <= limits_.maxLine) return false;
    // A block's lines count one by one, as they were read.
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        if (nl - start > limits_.maxLine) return true;
    return text.size() - start > limits_.maxLine;
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
    // The batch's PATH names the working folder before the tool chain's, and the current folder comes
    // first of all: a project's own "cl370.bat" there would run in place of the compiler. Said in the
    // tools' message form, so the Build panel and halyard-build count it.
    if (const ToolChainImpostor impostor = FindToolChainImpostor(dd_, name, dirs, toolChain_);
        !impostor.winPath.empty()) {
        fail(fds, "halyard-batch: error: " + ImpostorText(impostor), 9009);
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
    ForeignStart foreign;
    auto args = SplitWindowsCommandLine(tail);
    if (found.foreign()) {
        foreign = PrepareForeignStart(dd_, found, args, programEnvironment(), variable("PATH"),
                                      dd_.currentDirectory());
        // Said in the tools' own message form, so the Build panel and halyard-build count it.
        if (!foreign.refusal.empty()) {
            fail(fds, ExtractFileName(TrimRight(typed)) + ": error: " + foreign.refusal, 9009);
            return {};
        }
        if (found.kind == FoundProgram::Windows && !WinePrefixPrepared(dd_)) {
            write(fds.err, std::string(PreparingWineText) + "\n");
            if (std::string why; !PrepareWinePrefix(dd_, foreign.spec.program, why)) {
                fail(fds, ExtractFileName(TrimRight(typed)) + ": error: " + why, 9009);
                return {};
            }
        }
        spec = foreign.spec;
    } else {
        // The stand-in tools are native programs; they need a usable argv[0] to find themselves.
        spec.program = found.host.string();
        spec.argv.push_back(spec.program);
        for (auto& a : args)
            spec.argv.push_back(std::move(a));
        spec.env = programEnvironment();
        spec.replaceEnv = true;
    }
    spec.cwd = dd_.toHost(dd_.currentDirectory()).string();
    spec.in = fds.in;
    spec.out = fds.out;
    spec.err = fds.err;
    // DOSBox writes its own chatter: the program's output is read back once it ended.
    const int nullOut = foreign.dos() ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    if (foreign.dos()) spec.out = spec.err = nullOut;
    const SpawnResult r = SpawnProcess(spec);
    if (nullOut >= 0) ::close(nullOut);
    if (!r.started() && foreign.dos()) {
        std::string unused;
        FinishDosRun(foreign, unused); // removes the folder made for the run
    }
    if (!r.started()) {
        fail(fds,
             ExtractFileName(TrimRight(typed)) + ": error: " + found.winPath +
                 " cannot be run: " + std::strerror(r.error),
             9009);
        return {};
    }
    errorLevel_ = WaitForExit(r.pid);
    if (foreign.dos()) {
        std::string output;
        const int level = FinishDosRun(foreign, output);
        write(level < 0 ? fds.err : fds.out, output);
        errorLevel_ = level < 0 ? 1 : level;
    }
    lastOk_ = errorLevel_ == 0;
    return {};
}

int RunBatchCommand(const std::vector<std::string>& argsIn) {
    std::vector<std::string> args = argsIn;
    // Stop sends TERM to the whole run: a DOS run's folder is not left behind.
    RemoveDosFolderOnTerm();
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
    BatchInterpreter bi(dd, CallerEnvironment());
    if (echoOff) bi.setEcho(false);
    // Taken once from the caller: a SET in the batch cannot move it.
    if (const char* toolChain = std::getenv(ToolChainVariable); toolChain && *toolChain)
        bi.setToolChainFolder(toolChain);

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
