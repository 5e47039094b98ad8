// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting native child processes on POSIX systems: the one place that forks, so that the batch
// runner (which waits) and the launcher (which never waits) share the careful part; and the one way
// to run a child and read it (ChildProcess, RunCollecting), with a time limit and a stop that never
// waits.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace halyard {

struct SpawnSpec {
    static constexpr int Inherit = -1;
    std::string program;           // host path of the file to execute
    std::vector<std::string> argv; // argv[0] included
    std::vector<std::string> env;  // "NAME=value" entries; empty keeps the caller's environment
    bool replaceEnv = false;       // true: env is the whole environment, even when empty
    std::string cwd;               // host folder, empty keeps the caller's
    int in = Inherit, out = Inherit, err = Inherit; // descriptors for 0, 1, 2
    // A detached child lives in a session of its own and is re-parented to init, so the caller
    // never waits for it and it never becomes a zombie of the caller.
    bool detach = false;
    // The child leads a process group of its own, so that it can be ended together with every
    // program it starts (kill of the negative pid).
    bool newProcessGroup = false;
};

struct SpawnResult {
    pid_t pid = -1; // the child to wait for; 0 for a detached child that was started
    int error = 0;  // errno of a failed fork, chdir or exec
    bool started() const { return error == 0; }
};

SpawnResult SpawnProcess(const SpawnSpec& spec);
// The caller's environment as "NAME=value" entries: the one place that copies environ.
std::vector<std::string> CallerEnvironment();

// A child whose output and errors come back through one pipe, read without blocking. Stop sends TERM
// (to the child's process group when it leads one) and returns at once: a reaper thread sends KILL
// after the grace period unless everything has ended, and reaps the child, so the caller's thread
// never waits on it.
class ChildProcess {
public:
    // spec's descriptors are set here (no input; output and errors into the pipe). Nothing when the
    // child cannot be started; error then says why.
    static std::unique_ptr<ChildProcess> start(SpawnSpec spec, std::string& error);
    // A child still running is stopped (see stop).
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The pipe's reading end; -1 once it is closed.
    int descriptor() const { return fd_; }
    // Called when the pipe is about to close (descriptor() already -1, the number not yet given
    // back), so whoever watches it lets go first.
    std::function<void()> onClosing;
    // One read of what waits in the pipe, into buffer; 0 when nothing waits. Every writer gone (or a
    // failed read) closes the pipe.
    size_t read(char* buffer, size_t size);
    void closePipe();
    // Without waiting: true once the child has ended and was reaped; exitCode() is then its code
    // (128 + the signal for one ended by a signal).
    bool exited();
    int exitCode() const { return code_; }
    // TERM now, KILL after grace from the reaper unless the child (and its group) ended by then.
    // Returns at once; exited() turns true once the reaper is done.
    void stop(std::chrono::milliseconds grace);

private:
    struct Reaping;
    ChildProcess(pid_t pid, int fd, bool group);
    pid_t pid_;
    int fd_;
    bool group_;
    bool exited_ = false;
    int code_ = -1;
    std::shared_ptr<Reaping> reaping_; // set once stop() handed the child to the reaper
};

// Waits until every child that stop() handed to a reaper has been reaped (each within its grace
// period): what a program calls before it ends, so that a child ignoring TERM is still killed.
void FinishStoppedChildren();

// What a program run to its end printed, and how it ended.
struct Collected {
    bool started = false;
    std::string error;      // why it did not start
    int exitCode = -1;      // 128 + the signal for one ended by a signal
    bool timedOut = false;  // stopped at the time limit
    bool cancelled = false; // stopped because the caller's cancel flag was set
    std::string output;     // output and errors together, at most maxOutput bytes
};
// Runs spec (program and argv set; no input) and collects its output until it has ended, for callers
// that may wait (halyard-build, worker threads). A program it left running in the background may keep
// the pipe open: its end is awaited only with Await::Output (wineboot's server, which writes the
// prefix as it ends). A time limit (0: none), or cancel set by another thread, stops the child, as
// stop() does.
enum class Await { Child, Output };
Collected RunCollecting(SpawnSpec spec, std::chrono::milliseconds timeLimit = {}, Await until = Await::Child,
                        size_t maxOutput = 64 << 20, const std::atomic<bool>* cancel = nullptr);
// The same for program with args (argv[0] added), in folder cwd (host path; empty: the caller's).
Collected RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                     std::chrono::milliseconds timeLimit);
// Waits for the child and gives its exit code; a child ended by a signal gives 128 + the signal.
int WaitForExit(pid_t pid);
// The same without waiting: false while the child still runs.
bool ExitedYet(pid_t pid, int& exitCode);

// The first executable regular file called name in the folders of $PATH (or the path given).
std::string FindExecutableOnPath(const std::string& name, const char* path = nullptr);
bool IsExecutableFile(const std::string& hostPath);
// The folder of the running program, from /proc/self/exe.
std::string OwnExecutableDir();
// One of Halyard's own programs (halyard-batch, halyard-help-reader): the one installed beside the
// running program, else the first on $PATH; empty when there is none.
std::string FindOwnProgram(const std::string& name);
// A program the user may name in an environment variable (HALYARD_WINE=...), else the one called
// name, looked up on $PATH; empty when there is none.
std::string FindNamedProgram(const char* variable, const std::string& name);

} // namespace halyard
