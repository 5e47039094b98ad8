// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/launcher.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "base/paths.h"
#include "launch/foreign_program.h"
#include "launch/process.h"
#include "launch/program_lookup.h"
#include "launch/tool_chain_run.h"
#include "launch/windows_command_line.h"

namespace halyard {

namespace fs = std::filesystem;

namespace {

bool looksLikeUrl(const std::string& text) {
    return text.find("://") != std::string::npos || SameText(text.substr(0, 7), "mailto:");
}

struct Terminal {
    std::string program;
    std::vector<std::string> runFlag; // what goes between the terminal and the command
};

// The desktop's terminal emulator, or nothing when there is no display to show one on.
Terminal findTerminal() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(display && *display) && !(wayland && *wayland)) return {};
    // The user's own choice first, then the system's default, then the usual ones.
    std::vector<Terminal> choices;
    if (const char* t = std::getenv("TERMINAL"); t && *t) choices.push_back({t, {"-e"}});
    choices.insert(choices.end(), {{"x-terminal-emulator", {"-e"}},
                                   {"xterm", {"-e"}},
                                   {"konsole", {"-e"}},
                                   {"gnome-terminal", {"--"}},
                                   {"xfce4-terminal", {"-x"}},
                                   {"alacritty", {"-e"}},
                                   {"kitty", {}}});
    for (auto& t : choices) {
        std::string path = FindExecutableOnPath(t.program);
        if (!path.empty()) return {path, t.runFlag};
    }
    return {};
}

// Runs "$@" (the runner and its arguments), then waits for Enter before the terminal closes.
constexpr const char* KeepTerminalOpen =
    "\"$@\"; code=$?; printf '\\nThe batch ended with exit code %s. Press Enter to close this window.' "
    "\"$code\"; read -r answer; exit \"$code\"";

std::string markKey(const DosDevices& dd, const std::string& winPath) {
    return UpperCase(dd.absolute(winPath));
}

int openNull(int flags) {
    return ::open("/dev/null", flags | O_CLOEXEC);
}

} // namespace

std::string FindBatchRunner() {
    return FindOwnProgram("halyard-batch");
}

std::vector<std::string> EnvironmentForDrives(const DosDevices& dd) {
    std::vector<std::string> env = CallerEnvironment();
    std::erase_if(env, [](const std::string& e) { return e.starts_with("XDG_DATA_HOME="); });
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(fs::absolute(dd.root(), ec), ec);
    const fs::path standard = fs::weakly_canonical(fs::absolute(DosDevices::defaultRoot(), ec), ec);
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (root != standard && root.filename() == "halyard")
        env.push_back("XDG_DATA_HOME=" + root.parent_path().string());
    else if (xdg)
        env.push_back(std::string("XDG_DATA_HOME=") + xdg);
    return env;
}

std::vector<std::string> ShellLauncher::childEnvironment() const {
    std::vector<std::string> env = EnvironmentForDrives(dd_);
    std::erase_if(env,
                  [](const std::string& e) { return e.starts_with(std::string(ToolChainVariable) + "="); });
    env.push_back(std::string(ToolChainVariable) + "=" + toolChain_);
    return env;
}

void ShellLauncher::LaunchProgram(const std::string& file, const std::string& parameters,
                                  const std::string& directory, int showMode) {
    const std::string dir = TrimRight(directory).empty() ? dd_.currentDirectory() : dd_.absolute(directory);
    if (!dd_.dirExists(dir)) return; // as the shell does: no working folder, no start

    SpawnSpec spec;
    spec.cwd = dd_.toHost(dir).string();
    spec.env = childEnvironment();
    spec.replaceEnv = true;
    spec.detach = true;
    const int nullIn = openNull(O_RDONLY);
    const int nullOut = openNull(O_WRONLY);
    spec.in = nullIn;
    spec.out = spec.err = nullOut;

    const std::string name = TrimRight(file);
    const FoundProgram found = find(name, dir);
    if (found.foreign()) {
        // Wine and DOSBox are started by the batch runner, which prepares Wine on its first use and
        // reads a DOS program's output back; a prepared Wine is started directly.
        std::vector<std::string> args = SplitWindowsCommandLine(parameters);
        ForeignStart foreign;
        if (found.kind == FoundProgram::Windows && WinePrefixPrepared(dd_))
            foreign = PrepareForeignStart(dd_, found, args, spec.env, "", dir);
        if (!foreign.spec.program.empty()) {
            server_.Start(dd_);
            spec.program = foreign.spec.program;
            spec.argv = foreign.spec.argv;
            spec.env = foreign.spec.env;
        } else {
            spec.program = FindBatchRunner();
            spec.argv = foreignArguments(spec.program, found, parameters);
        }
        if (showMode == Shown) spec.out = spec.err = SpawnSpec::Inherit;
    } else if (found.kind == FoundProgram::Batch) {
        const std::string runner = FindBatchRunner();
        if (runner.empty()) {
            ::close(nullIn);
            ::close(nullOut);
            return;
        }
        std::vector<std::string> command{runner};
        const auto args = batchArguments(found.winPath, parameters);
        command.insert(command.end(), args.begin(), args.end());
        const Terminal terminal = showMode == Shown ? findTerminal() : Terminal{};
        if (terminal.program.empty()) {
            spec.program = runner;
            spec.argv = command;
        } else {
            // The batch talks to the terminal; the terminal's own chatter goes nowhere. A terminal
            // closes with its command, and a short batch is over before the window is even drawn:
            // it stays open until the user has read it. The runner's mark ends with the batch, so
            // whoever waits for the run does not wait for the window.
            spec.program = terminal.program;
            spec.argv = {terminal.program};
            spec.argv.insert(spec.argv.end(), terminal.runFlag.begin(), terminal.runFlag.end());
            spec.argv.insert(spec.argv.end(), {"/bin/sh", "-c", KeepTerminalOpen, "halyard-batch"});
            spec.argv.insert(spec.argv.end(), command.begin(), command.end());
        }
    } else if (found.kind == FoundProgram::Native) {
        spec.program = found.host.string();
        spec.argv = {spec.program};
        for (auto& a : SplitWindowsCommandLine(parameters))
            spec.argv.push_back(std::move(a));
        if (showMode == Shown) spec.out = spec.err = SpawnSpec::Inherit;
    } else {
        const std::string opener = FindExecutableOnPath("xdg-open");
        if (opener.empty() || (found.kind == FoundProgram::None && !looksLikeUrl(name))) {
            ::close(nullIn);
            ::close(nullOut);
            return;
        }
        spec.program = opener;
        spec.argv = {opener, found.kind == FoundProgram::None ? name : found.host.string()};
    }
    const bool started = SpawnProcess(spec).started();
    ::close(nullIn);
    ::close(nullOut);
    if (!started && found.kind == FoundProgram::Batch) marks_.erase(markKey(dd_, found.winPath));
}

bool ShellLauncher::batchRunning(const std::string& file) {
    const auto it = marks_.find(markKey(dd_, TrimRight(file)));
    return it != marks_.end() && it->second->running();
}

FoundProgram ShellLauncher::find(const std::string& name, const std::string& dir) const {
    // A relative name is looked for in the working folder first, then where Windows would look.
    FoundProgram found = FindProgram(dd_, name, {dir, dd_.currentDirectory()}, true);
    if (found.kind == FoundProgram::None && name.find_first_of("\\/:") == std::string::npos) {
        if (const std::string native = FindExecutableOnPath(name); !native.empty()) {
            found.kind = FoundProgram::Native;
            found.host = native;
        }
    }
    return found;
}

std::vector<std::string> ShellLauncher::foreignArguments(const std::string& runner, const FoundProgram& found,
                                                         const std::string& parameters) const {
    std::vector<std::string> argv{runner, "/c", found.winPath};
    for (auto& a : SplitWindowsCommandLine(parameters))
        argv.push_back(std::move(a));
    return argv;
}

std::vector<std::string> ShellLauncher::batchArguments(const std::string& batch,
                                                       const std::string& parameters) {
    std::vector<std::string> args;
    // One mark per batch, whether its output is shown or not: the completion check waits for either.
    auto& mark = marks_[markKey(dd_, batch)];
    if (!mark) mark = std::make_unique<RunMark>();
    if (const std::string markPath = mark->arm(); !markPath.empty()) args = {"--run-mark", markPath};
    args.insert(args.end(), {"/c", batch});
    for (auto& a : SplitBatchArguments(parameters))
        args.push_back(std::move(a));
    return args;
}

std::unique_ptr<ToolChainRun>
ShellLauncher::StartToolChainRun(const std::string& file, const std::string& parameters,
                                 const std::string& directory,
                                 std::function<void(const std::string&)> onLine) {
    const std::string dir = TrimRight(directory).empty() ? dd_.currentDirectory() : dd_.absolute(directory);
    const std::string name = TrimRight(file);
    const FoundProgram found = find(name, dir);
    if (found.foreign()) {
        server_.Start(dd_);
        const std::string runner = FindBatchRunner();
        std::vector<std::string> args = foreignArguments(runner, found, parameters);
        args.erase(args.begin());
        return PipedBatchRun::start(dd_, runner, args, dir, std::move(onLine), childEnvironment());
    }
    if (found.kind == FoundProgram::Native)
        return PipedBatchRun::start(dd_, found.host.string(), SplitWindowsCommandLine(parameters), dir,
                                    std::move(onLine), childEnvironment());
    if (found.kind != FoundProgram::Batch && !IsBatchFileName(name))
        return PipedBatchRun::refused(std::move(onLine), "'" + name + NotRecognizedText);
    server_.Start(dd_);
    // A batch that is not there still goes to the runner, which says so as the command processor would.
    const std::string batch = found.kind == FoundProgram::Batch ? found.winPath : dd_.absolute(name);
    auto run = PipedBatchRun::start(dd_, FindBatchRunner(), batchArguments(batch, parameters), dir,
                                    std::move(onLine), childEnvironment());
    if (run->ended()) marks_.erase(markKey(dd_, batch));
    return run;
}

bool ShellLauncher::showsBatchWindows() {
    return !findTerminal().program.empty();
}

int RunBatchAndWait(const DosDevices& dd, const std::string& batWinPath, const std::string& workDirWin,
                    std::string& output, const std::string& toolChainDir) {
    output.clear();
    const std::string runner = FindBatchRunner();
    if (runner.empty()) {
        output = "halyard-batch was not found beside this program or on PATH.\n";
        return -1;
    }
    if (!dd.dirExists(workDirWin)) {
        output = "The system cannot find the path specified: " + workDirWin + "\n";
        return -1;
    }
    SpawnSpec spec;
    spec.program = runner;
    spec.argv = {runner, "/c", batWinPath};
    spec.env = EnvironmentForDrives(dd);
    std::erase_if(spec.env,
                  [](const std::string& e) { return e.starts_with(std::string(ToolChainVariable) + "="); });
    spec.env.push_back(std::string(ToolChainVariable) + "=" +
                       (toolChainDir.empty() ? std::string(DefaultToolChainFolder) : toolChainDir));
    spec.replaceEnv = true;
    spec.cwd = dd.toHost(workDirWin).string();
    // Until the runner has ended and its output is taken; a program the batch left running in the
    // background may hold the pipe open long after, and its end is not awaited.
    Collected run = RunCollecting(std::move(spec));
    if (!run.started) {
        output = run.error + "\n";
        return -1;
    }
    output = std::move(run.output);
    return run.exitCode;
}

} // namespace halyard
