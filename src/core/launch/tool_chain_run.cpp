// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/tool_chain_run.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "base/dos_devices.h"
#include "launch/launcher.h"
#include "launch/process.h"

namespace halyard {

std::unique_ptr<PipedBatchRun> PipedBatchRun::start(const DosDevices& dd, const std::string& runner,
                                                    const std::vector<std::string>& args,
                                                    const std::string& workDirWin, LineSink onLine,
                                                    std::vector<std::string> env) {
    auto refuse = [&onLine](const std::string& why) { return refused(std::move(onLine), why); };
    if (runner.empty()) return refuse("halyard-batch was not found beside this program or on PATH.");
    if (!dd.dirExists(workDirWin)) return refuse("The system cannot find the path specified: " + workDirWin);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return refuse(std::string("Cannot create a pipe: ") + std::strerror(errno));
    const int nullIn = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    SpawnSpec spec;
    spec.program = runner;
    spec.argv = {runner};
    spec.argv.insert(spec.argv.end(), args.begin(), args.end());
    spec.env = env.empty() ? EnvironmentForDrives(dd) : std::move(env);
    spec.replaceEnv = true;
    spec.cwd = dd.toHost(workDirWin).string();
    spec.in = nullIn;
    spec.out = spec.err = fds[1];
    spec.newProcessGroup = true;
    const SpawnResult r = SpawnProcess(spec);
    ::close(fds[1]);
    if (nullIn >= 0) ::close(nullIn);
    if (!r.started()) {
        ::close(fds[0]);
        return refuse("Cannot start " + runner + ": " + std::strerror(r.error));
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    std::unique_ptr<PipedBatchRun> run(new PipedBatchRun(std::move(onLine)));
    run->pid_ = r.pid;
    run->fd_ = fds[0];
    return run;
}

std::unique_ptr<PipedBatchRun> PipedBatchRun::refused(LineSink onLine, const std::string& why) {
    std::unique_ptr<PipedBatchRun> run(new PipedBatchRun(std::move(onLine)));
    size_t start = 0;
    for (size_t nl; (nl = why.find('\n', start)) != std::string::npos; start = nl + 1)
        run->onLine_(why.substr(start, nl - start));
    run->onLine_(why.substr(start));
    run->ended_ = run->exited_ = true;
    return run;
}

PipedBatchRun::~PipedBatchRun() {
    // A run is only dropped once it ended or when Halyard goes: it must not outlive its reader, whose
    // end would leave the tools writing into a closed pipe.
    closing_ = nullptr; // whoever watched is going or gone
    if (!ended_) stop();
    if (fd_ >= 0) ::close(fd_);
}

size_t PipedBatchRun::take(bool all) {
    // As much as a pipe holds: a busy tool's output is taken in few reads, not one per 4 KiB.
    if (buffer_.empty()) buffer_.resize(64 * 1024);
    size_t got = 0;
    while (fd_ >= 0) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Every writer is gone.
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) closePipe();
            break;
        }
        lines_.feed(buffer_.data(), static_cast<size_t>(n), onLine_);
        got += static_cast<size_t>(n);
        if (!all) break;
    }
    return got;
}

void PipedBatchRun::pump() {
    if (ended_) return;
    take(true);
    if (!exited_) exited_ = ExitedYet(pid_, code_);
    // A program the batch left running in the background may hold the pipe open long after: what
    // the batch wrote before it ended is in the pipe now, and that is all it printed.
    if (exited_) finish();
}

void PipedBatchRun::pumpSome(size_t maxBytes) {
    if (ended_) return;
    // One read at a time, while the pipe holds more, up to the budget.
    for (size_t taken = 0; fd_ >= 0 && taken < maxBytes;) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0) break;
        const size_t n = take(false);
        if (n == 0) break;
        taken += n;
    }
    if (!exited_) exited_ = ExitedYet(pid_, code_);
    if (exited_) finish();
}

void PipedBatchRun::finish() {
    take(true);
    lines_.finish(onLine_);
    closePipe();
    ended_ = true;
}

void PipedBatchRun::closePipe() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (closing_) closing_();
    ::close(fd);
}

void PipedBatchRun::stop() {
    if (ended_ || pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + StopGrace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!exited_) exited_ = ExitedYet(pid_, code_);
        // Once the runner is reaped, the group is empty when nobody answers a signal.
        if (exited_ && ::kill(-pid_, 0) != 0) break;
        take(true); // keeps the pipe from filling while the tools end
        ::poll(nullptr, 0, 10);
    }
    // Whatever ignored the request (or a program started after it) is ended without one.
    ::kill(-pid_, SIGKILL);
    if (!exited_) {
        code_ = WaitForExit(pid_);
        exited_ = true;
    }
}

} // namespace halyard
