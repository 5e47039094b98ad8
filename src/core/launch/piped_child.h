// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A helper program of ours that answers over its standard input and output: started with both
// connected to the caller, written and read against a deadline, and ended at once whatever it is
// doing. The caller survives anything the child does: a child that dies makes a read or write
// report it, never a signal in the caller. This file's implementation is POSIX (a socket pair,
// fork and exec); a Windows one would start the child with CreateProcess and two anonymous pipes.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace halyard {

class PipedChild {
public:
    using Deadline = std::chrono::steady_clock::time_point;
    enum class Io { Done, TimedOut, Ended };

    // Nothing when the program cannot be started; `error` then says why.
    static std::unique_ptr<PipedChild> start(const std::string& program, const std::vector<std::string>& args,
                                             std::string& error);
    // Ends the child if it still runs.
    ~PipedChild();
    PipedChild(const PipedChild&) = delete;
    PipedChild& operator=(const PipedChild&) = delete;

    Io write(const std::string& bytes, Deadline deadline);
    // Exactly `size` bytes into `into`.
    Io read(char* into, std::size_t size, Deadline deadline);
    // Ends the child now (if it has not ended by itself) and says how it ended: "exited with code
    // 3", "ended with signal 8", or "was stopped" when this call ended it.
    std::string end();
    bool ended() const { return pid_ < 0; }
    int pid() const { return pid_; }

private:
    PipedChild(int pid, int fd) : pid_(pid), fd_(fd) {}
    Io hungUp();
    int pid_;
    int fd_;
    bool hungUp_ = false;
};

} // namespace halyard
