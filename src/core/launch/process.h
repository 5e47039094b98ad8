// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting native child processes on POSIX systems: the one place that forks, so that the batch
// runner (which waits) and the launcher (which never waits) share the careful part.
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
// Runs spec (program and argv set) with its output and errors collected; false when it could not
// start.
bool RunCollecting(SpawnSpec spec, std::string& output, int& code);
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
