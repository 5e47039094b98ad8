// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/piped_child.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "launch/process.h"

namespace halyard {

std::unique_ptr<PipedChild> PipedChild::start(const std::string& program,
                                              const std::vector<std::string>& args, std::string& error) {
    // A socket pair rather than two pipes: send() with MSG_NOSIGNAL cannot raise SIGPIPE in the
    // caller when the child has died.
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        error = std::string("Cannot create a pipe: ") + std::strerror(errno);
        return nullptr;
    }
    SpawnSpec spec;
    spec.program = program;
    spec.argv = {program};
    spec.argv.insert(spec.argv.end(), args.begin(), args.end());
    spec.in = spec.out = fds[1];
    const SpawnResult r = SpawnProcess(spec);
    ::close(fds[1]);
    if (!r.started()) {
        ::close(fds[0]);
        error = "Cannot start " + program + ": " + std::strerror(r.error);
        return nullptr;
    }
    return std::unique_ptr<PipedChild>(new PipedChild(r.pid, fds[0]));
}

PipedChild::~PipedChild() {
    end();
}

namespace {

// Waits until fd is ready for `events` or the deadline passes.
bool ready(int fd, short events, PipedChild::Deadline deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (n > 0) return true; // readable, writable, hung up or in error: the call that follows tells
        if (n < 0 && errno != EINTR) return false;
    }
}

} // namespace

PipedChild::Io PipedChild::write(const std::string& bytes, Deadline deadline) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (fd_ < 0) return Io::Ended;
        if (!ready(fd_, POLLOUT, deadline)) return Io::TimedOut;
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n <= 0) return hungUp();
        done += static_cast<std::size_t>(n);
    }
    return Io::Done;
}

PipedChild::Io PipedChild::read(char* into, std::size_t size, Deadline deadline) {
    std::size_t done = 0;
    while (done < size) {
        if (fd_ < 0) return Io::Ended;
        if (!ready(fd_, POLLIN, deadline)) return Io::TimedOut;
        const ssize_t n = ::recv(fd_, into + done, size - done, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n <= 0) return hungUp();
        done += static_cast<std::size_t>(n);
    }
    return Io::Done;
}

PipedChild::Io PipedChild::hungUp() {
    hungUp_ = true;
    return Io::Ended;
}

std::string PipedChild::end() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (pid_ < 0) return {};
    const pid_t pid = pid_;
    pid_ = -1;
    int code = 0;
    bool exited = ExitedYet(pid, code);
    // A child that closed its end is on its way out: give it a moment, so that a crash is told as
    // the crash it was.
    for (int i = 0; !exited && hungUp_ && i < 50; ++i) {
        ::usleep(10000);
        exited = ExitedYet(pid, code);
    }
    if (!exited) {
        ::kill(pid, SIGKILL);
        WaitForExit(pid);
        return "was stopped";
    }
    if (code > 128) return "ended with signal " + std::to_string(code - 128);
    return "exited with code " + std::to_string(code);
}

} // namespace halyard
