// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// halyard-batch: the small interpreter of the batch language that runs IDE.BAT, intvecs.bat and the
// short batch files users write, on systems without a Windows command processor. It knows the
// commands those files use (@, REM, ECHO, SET, %VAR%, CD, drive changes, CALL, GOTO, IF, PAUSE,
// EXIT, SHIFT, SETLOCAL, TYPE, DEL, MD) and the redirections >, >>, <, 2>, 2>&1; every other
// command is a program found through the current folder and PATH with the drive mapping.
//
// Output goes straight to the descriptors it is given and children write to them directly, so no
// line is ever held back or lost, and the order of everything written is kept.
#include <map>
#include <string>
#include <vector>

#include "base/dos_devices.h"
#include "launch/windows_command_line.h"

namespace halyard {

// The descriptors a batch reads from and writes to; its programs inherit them.
struct BatchStreams {
    int in = 0, out = 1, err = 2;
};

// Bounds for running batch texts of unknown origin with nobody watching, as the fuzzing harness
// does; by default only the command processor's own line limit.
struct BatchLimits {
    static constexpr size_t LineLimit = 8191; // the command processor's, in characters
    bool startPrograms = true;                // false: a command that names a program fails instead
    size_t maxCommands = 0;                   // lines run before every batch ends; 0: no limit
    // Length of a line as read and after expansion; a longer one is refused with "The input line is
    // too long.", so that "set X=%X%%X%" cannot grow without end. 0: no limit.
    size_t maxLine = LineLimit;
};

class BatchInterpreter {
public:
    using Streams = BatchStreams;
    // environment: "NAME=value" entries, given to every program the batch starts.
    BatchInterpreter(DosDevices& dd, const std::vector<std::string>& environment, Streams streams = {});

    // Runs a batch file (a Windows path, found as a command would be) with its arguments, which
    // keep their quotes as %1..%9 do. Returns the exit code: the error level at the end.
    int runFile(const std::string& batchPath, const std::vector<std::string>& args);
    // Runs one command line, as the command processor's /c does.
    int runLine(const std::string& line);

    int errorLevel() const { return errorLevel_; }
    // Variables are matched without regard to case.
    std::string variable(const std::string& name) const;
    bool hasVariable(const std::string& name) const;
    void setVariable(const std::string& name, const std::string& value);
    // "NAME=value" for each variable. Native programs receive them with PATH made of host folders.
    std::vector<std::string> environment() const;
    bool echoOn() const { return echo_; }
    void setLimits(const BatchLimits& limits) { limits_ = limits; }
    // The tool chain's folder (a Windows path): its programs (cl370, asm370, mk370, lnk370) are run
    // only when no program of those names stands where the lookup would find it first.
    void setToolChainFolder(const std::string& dir) { toolChain_ = dir; }
    void setEcho(bool on) { echo_ = on; }

private:
    struct Frame;
    struct Flow {
        enum Kind { Next, Goto, EndBatch, ExitAll, Chain } kind = Next;
        std::string label;             // Goto: the label; Chain: the batch file
        std::vector<std::string> args; // Chain: its %0, %1, ...
    };
    struct Fds {
        int in, out, err;
    };

    int runBatch(const std::string& path, const std::vector<std::string>& lines,
                 const std::vector<std::string>& args, size_t start);
    Flow runCommandLine(const std::string& line, const Fds& fds);
    Flow runSegment(const std::string& segment, const Fds& fds);
    Flow runCommand(const std::string& text, const Fds& fds, bool called);
    Flow runIf(const std::string& rest, const Fds& fds);
    Flow runCall(const std::string& rest, const Fds& fds);
    Flow runExternal(const std::string& name, const std::string& typed, const std::string& tail,
                     const Fds& fds, bool called);
    bool stackNearlyFull() const;
    Flow abortRecursion(const Fds& fds);

    void echoCmd(const std::string& rest, const Fds& fds);
    void setCmd(const std::string& rest, const Fds& fds);
    void cdCmd(const std::string& rest, const Fds& fds);
    void changeDrive(char letter, const Fds& fds);
    void pauseCmd(const Fds& fds);
    void typeCmd(const std::string& rest, const Fds& fds);
    void delCmd(const std::string& rest, const Fds& fds);
    void mdCmd(const std::string& rest, const Fds& fds);

    // Stops early once a line of the result is over the line limit (tooLong then tells).
    std::string expandPercents(const std::string& line) const;
    bool tooLong(const std::string& text) const;
    std::string argModified(const std::string& modifiers, size_t index) const;
    std::string prompt() const;
    std::vector<std::string> programEnvironment() const;
    void write(int fd, const std::string& text) const;
    void fail(const Fds& fds, const std::string& message, int level);

    DosDevices& dd_;
    Streams streams_;
    // Upper-case name -> (name as first set, value).
    using Vars = std::map<std::string, std::pair<std::string, std::string>>;
    Vars vars_;
    std::vector<Vars> saved_; // SETLOCAL
    std::map<char, std::string> driveDirs_;
    std::string hostPath_; // PATH as the runner was started with it
    int errorLevel_ = 0;
    int exitCode_ = 0;
    bool exitAll_ = false; // EXIT without /B ends every batch at once
    bool lastOk_ = true;   // how the last command went, for && and ||
    bool echo_ = true;
    Frame* frame_ = nullptr; // the batch being run; null for a lone command line
    size_t depth_ = 0;       // batches and CALLed labels running inside each other
    static constexpr size_t kMaxBlockDepth = 256;
    size_t blockDepth_ = 0; // parenthesised blocks open around the running command
    BatchLimits limits_;
    size_t commandsRun_ = 0;
    std::string toolChain_;
};

// main() of halyard-batch: "[/c] FILE.bat [args]" or "/c command line", either after an optional
// "--run-mark FILE" (see RunMark). The drive mapping is the default one; the current folder is the
// process's, as a Windows path.
int RunBatchCommand(const std::vector<std::string>& args);

} // namespace halyard
