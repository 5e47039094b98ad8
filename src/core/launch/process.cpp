// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/process.h"

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// --- ChildProcess ---

struct ChildProcess::Reaping {
    std::mutex m;
    bool done = false;
    int code = -1;
};

namespace {

// Reapers still at work, so that a program can wait for them before it ends.
struct Reapers {
    std::mutex m;
    std::condition_variable idle;
    int running = 0;
};
Reapers& reapers() {
    static Reapers r;
    return r;
}

void sleepMs(int ms) {
    ::poll(nullptr, 0, ms);
}

} // namespace

ChildProcess::ChildProcess(pid_t pid, int fd, bool group) : pid_(pid), fd_(fd), group_(group) {}

std::unique_ptr<ChildProcess> ChildProcess::start(SpawnSpec spec, std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("Cannot create a pipe: ") + std::strerror(errno);
        return nullptr;
    }
    const int nullIn = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    spec.in = nullIn;
    spec.out = spec.err = fds[1];
    spec.detach = false;
    const SpawnResult r = SpawnProcess(spec);
    ::close(fds[1]);
    if (nullIn >= 0) ::close(nullIn);
    if (!r.started()) {
        ::close(fds[0]);
        error = "Cannot start " + spec.program + ": " + std::strerror(r.error);
        return nullptr;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<ChildProcess>(new ChildProcess(r.pid, fds[0], spec.newProcessGroup));
}

ChildProcess::~ChildProcess() {
    onClosing = nullptr; // whoever watched is going or gone
    if (!exited()) stop(std::chrono::milliseconds(300));
    closePipe();
}

size_t ChildProcess::read(char* buffer, size_t size) {
    while (fd_ >= 0) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n > 0) return static_cast<size_t>(n);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
        closePipe(); // every writer is gone
    }
    return 0;
}

void ChildProcess::closePipe() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (onClosing) onClosing();
    ::close(fd);
}

bool ChildProcess::exited() {
    if (exited_) return true;
    if (reaping_) {
        std::lock_guard lock(reaping_->m);
        if (!reaping_->done) return false;
        code_ = reaping_->code;
        return exited_ = true;
    }
    return exited_ = ExitedYet(pid_, code_);
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (exited() || reaping_) return;
    const pid_t target = group_ ? -pid_ : pid_;
    ::kill(target, SIGTERM);
    reaping_ = std::make_shared<Reaping>();
    {
        std::lock_guard lock(reapers().m);
        ++reapers().running;
    }
    // From here on only the reaper waits for the child: two waiters could reap a reused pid.
    std::thread([pid = pid_, target, group = group_, grace, reaping = reaping_] {
        int code = -1;
        bool reaped = false;
        const auto deadline = std::chrono::steady_clock::now() + grace;
        while (std::chrono::steady_clock::now() < deadline) {
            if (!reaped) reaped = ExitedYet(pid, code);
            // Once the leader is reaped, the group is empty when nobody answers a signal.
            if (reaped && (!group || ::kill(target, 0) != 0)) break;
            sleepMs(5);
        }
        // Whatever ignored the request (or a program started after it) is ended without one.
        if (!reaped || group) ::kill(target, SIGKILL);
        if (!reaped) code = WaitForExit(pid);
        {
            std::lock_guard lock(reaping->m);
            reaping->done = true;
            reaping->code = code;
        }
        std::lock_guard lock(reapers().m);
        if (--reapers().running == 0) reapers().idle.notify_all();
    }).detach();
}

void FinishStoppedChildren() {
    std::unique_lock lock(reapers().m);
    reapers().idle.wait(lock, [] { return reapers().running == 0; });
}

Collected RunCollecting(SpawnSpec spec, std::chrono::milliseconds timeLimit, Await until, size_t maxOutput,
                        const std::atomic<bool>* cancel) {
    Collected c;
    auto child = ChildProcess::start(std::move(spec), c.error);
    if (!child) return c;
    c.started = true;
    using Clock = std::chrono::steady_clock;
    const auto deadline = timeLimit.count() > 0 ? Clock::now() + timeLimit : Clock::time_point::max();
    char buffer[16384];
    auto take = [&] {
        const size_t n = child->read(buffer, sizeof buffer);
        c.output.append(buffer, std::min(n, maxOutput - std::min(maxOutput, c.output.size())));
        return n;
    };
    auto finished = [&] {
        const bool ended = child->exited();
        return until == Await::Child ? ended : ended && child->descriptor() < 0;
    };
    while (!finished()) {
        c.cancelled = cancel && *cancel;
        if (c.cancelled || Clock::now() >= deadline) {
            c.timedOut = !c.cancelled;
            child->stop(std::chrono::milliseconds(300));
            while (!child->exited())
                sleepMs(5);
            break;
        }
        if (child->descriptor() < 0) {
            sleepMs(10);
            continue;
        }
        pollfd p{child->descriptor(), POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) take();
    }
    // What it wrote before it ended waits in the pipe; a program left running keeps the pipe open,
    // and its later output is not awaited.
    while (child->descriptor() >= 0 && take() > 0) {
    }
    c.exitCode = child->exitCode();
    return c;
}

Collected RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                     std::chrono::milliseconds timeLimit) {
    SpawnSpec spec;
    spec.program = program;
    spec.argv = {program};
    spec.argv.insert(spec.argv.end(), args.begin(), args.end());
    spec.cwd = cwd;
    return RunCollecting(std::move(spec), timeLimit);
}

std::string FindNamedProgram(const char* variable, const std::string& name) {
    const char* named = std::getenv(variable);
    return FindExecutableOnPath(named && *named ? named : name);
}

} // namespace halyard
