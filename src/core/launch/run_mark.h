// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a batch started without waiting for it is still running. The launcher's own child says
// nothing about that: a terminal emulator may hand the batch to a server process and end at once.
// So the batch runner itself holds an exclusive lock on a small mark file from its start to its
// end, and the kernel drops that lock however the runner ends, even when it is killed.
#include <chrono>
#include <string>

namespace halyard {

class RunMark {
public:
    RunMark() = default;
    ~RunMark();
    RunMark(const RunMark&) = delete;
    RunMark& operator=(const RunMark&) = delete;

    // A fresh, empty mark file for the next run; gives its host path, or "" when none could be
    // made (the run then goes unwatched). A mark armed before is given up.
    std::string arm();
    // True while the runner holds the mark, and for a short while after arming until the runner
    // took it (a terminal may take a moment to start); false once it ended or never came.
    bool running();
    const std::string& path() const { return path_; }

    // How long a runner may take to take the mark before it counts as never started.
    static constexpr std::chrono::seconds StartGrace{20};

private:
    void disarm();
    std::string path_;
    std::chrono::steady_clock::time_point armed_;
};

// The runner's side: locks the mark (waiting out a short look from the watcher), records that the
// run began and keeps the lock until the process ends. The descriptor is never inherited, so a
// program the batch leaves behind does not keep the batch "running". False when it failed.
bool HoldRunMark(const std::string& path);

} // namespace halyard
