// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/process.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace halyard {

namespace {

// Everything the child needs is prepared before fork: between fork and exec only async-signal-safe
// calls are allowed, and the GUI that calls us is multi-threaded.
struct Prepared {
    std::vector<char*> argv, env;
};

void writeErrno(int fd, int error) {
    ssize_t r = ::write(fd, &error, sizeof error);
    (void)r;
}

[[noreturn]] void runChild(const SpawnSpec& spec, const Prepared& p, int report) {
    if (spec.newProcessGroup) ::setpgid(0, 0);
    int fds[3] = {spec.in, spec.out, spec.err};
    // Move the wanted descriptors out of the way first, so dup2 cannot overwrite one still needed.
    for (int& fd : fds)
        if (fd >= 0 && fd <= 2) fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    for (int i = 0; i < 3; ++i)
        if (fds[i] >= 0) ::dup2(fds[i], i);
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    if (!spec.cwd.empty() && ::chdir(spec.cwd.c_str()) != 0) {
        writeErrno(report, errno);
        ::_exit(127);
    }
    ::execve(spec.program.c_str(), p.argv.data(), p.env.empty() ? environ : p.env.data());
    writeErrno(report, errno);
    ::_exit(127);
}

} // namespace

SpawnResult SpawnProcess(const SpawnSpec& spec) {
    Prepared p;
    for (const auto& a : spec.argv)
        p.argv.push_back(const_cast<char*>(a.c_str()));
    p.argv.push_back(nullptr);
    if (spec.replaceEnv || !spec.env.empty()) {
        for (const auto& e : spec.env)
            p.env.push_back(const_cast<char*>(e.c_str()));
        p.env.push_back(nullptr);
    }

    // The child reports a failed chdir or exec through this pipe; a successful exec closes it.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return {-1, errno};

    SpawnResult result;
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.error = errno;
    } else if (pid == 0) {
        ::close(report[0]);
        if (spec.detach) {
            ::setsid();
            const pid_t grandchild = ::fork();
            if (grandchild < 0) writeErrno(report[1], errno);
            if (grandchild != 0) ::_exit(0);
        }
        runChild(spec, p, report[1]);
    }
    ::close(report[1]);
    // Set from both sides: whichever runs first, the group exists before anyone signals it.
    if (pid > 0 && spec.newProcessGroup && !spec.detach) ::setpgid(pid, pid);
    if (pid > 0) {
        int childError = 0;
        ssize_t r;
        while ((r = ::read(report[0], &childError, sizeof childError)) < 0 && errno == EINTR) {
        }
        if (spec.detach) WaitForExit(pid); // the intermediate child ends at once
        if (r == static_cast<ssize_t>(sizeof childError)) {
            result.error = childError;
            if (!spec.detach) WaitForExit(pid);
        } else {
            result.pid = spec.detach ? 0 : pid;
        }
    }
    ::close(report[0]);
    return result;
}

std::vector<std::string> CallerEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        env.emplace_back(*e);
    return env;
}

bool RunCollecting(SpawnSpec spec, std::string& output, int& code) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    const int nullIn = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    spec.in = nullIn;
    spec.out = spec.err = fds[1];
    const SpawnResult r = SpawnProcess(spec);
    ::close(fds[1]);
    if (nullIn >= 0) ::close(nullIn);
    if (!r.started()) {
        ::close(fds[0]);
        return false;
    }
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        output.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    code = WaitForExit(r.pid);
    return true;
}

namespace {

int exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

int WaitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return exitCodeOf(status);
}

bool ExitedYet(pid_t pid, int& exitCode) {
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (r == 0) return false;
    exitCode = r < 0 ? -1 : exitCodeOf(status);
    return true;
}

bool IsExecutableFile(const std::string& hostPath) {
    struct stat st;
    return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(hostPath.c_str(), X_OK) == 0;
}

std::string FindExecutableOnPath(const std::string& name, const char* path) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    if (!path) path = ::getenv("PATH");
    const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir += '.';
        const std::string candidate = dir + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

std::string OwnExecutableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string FindOwnProgram(const std::string& name) {
    const std::string own = OwnExecutableDir();
    if (!own.empty() && IsExecutableFile(own + "/" + name)) return own + "/" + name;
    return FindExecutableOnPath(name);
}

std::string FindNamedProgram(const char* variable, const std::string& name) {
    const char* named = std::getenv(variable);
    return FindExecutableOnPath(named && *named ? named : name);
}

} // namespace halyard
