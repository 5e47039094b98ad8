// SPDX-License-Identifier: GPL-3.0-or-later
// The one way to run a child: a stop that never waits on the caller's thread, a time limit, and
// output collected to the end of the child, not of whatever it left running.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <poll.h>

#include "launch/process.h"

namespace halyard::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool alive(pid_t pid) {
    return ::kill(pid, 0) == 0;
}

// A child (and its own child) that ignore TERM: stop() hands them to the reaper and returns while
// they still run; the KILL comes later without anyone waiting for it.
TEST(ChildProcesses, StopReturnsAtOnceAndAProgramIgnoringTermIsKilledLater) {
    SpawnSpec spec;
    spec.program = "/bin/sh";
    spec.argv = {"/bin/sh", "-c", "trap '' TERM; echo ready; sleep 30 & wait"};
    spec.newProcessGroup = true;
    std::string error;
    auto child = ChildProcess::start(spec, error);
    ASSERT_TRUE(child) << error;
    std::string out;
    char buffer[256];
    for (int i = 0; i < 500 && out.find("ready") == std::string::npos; ++i) {
        pollfd p{child->descriptor(), POLLIN, 0};
        ::poll(&p, 1, 10);
        out.append(buffer, child->read(buffer, sizeof buffer));
    }
    ASSERT_NE(out.find("ready"), std::string::npos);

    const pid_t pid = child->pid();
    const auto before = Clock::now();
    child->stop(500ms);
    const auto took = Clock::now() - before;
    EXPECT_TRUE(alive(pid)) << "stop() waited for the child";
    EXPECT_FALSE(child->exited());
    std::cout << "stop() returned after "
              << std::chrono::duration_cast<std::chrono::microseconds>(took).count() << " us\n";

    for (int i = 0; i < 1000 && !child->exited(); ++i)
        ::poll(nullptr, 0, 10);
    ASSERT_TRUE(child->exited());
    EXPECT_EQ(child->exitCode(), 128 + SIGKILL);
    // Its own child, killed with the group, is reaped by whoever adopted it.
    for (int i = 0; i < 500 && ::kill(-pid, 0) == 0; ++i)
        ::poll(nullptr, 0, 10);
    EXPECT_NE(::kill(-pid, 0), 0) << "a program of the group outlived the KILL";
    FinishStoppedChildren();
}

TEST(ChildProcesses, RunCollectingEndsAtTheTimeLimitAndWithTheChildNotWithWhatItLeftRunning) {
    const Collected limited = RunProgram("/bin/sh", {"-c", "echo started; exec sleep 30"}, "", 200ms);
    EXPECT_TRUE(limited.started);
    EXPECT_TRUE(limited.timedOut);
    EXPECT_EQ(limited.output, "started\n");
    EXPECT_EQ(limited.exitCode, 128 + SIGTERM);

    // The background sleep keeps the pipe open past the time limit; the run ends with the shell.
    const Collected left = RunProgram("/bin/sh", {"-c", "sleep 12 & echo done; exit 3"}, "", 10s);
    EXPECT_FALSE(left.timedOut);
    EXPECT_EQ(left.output, "done\n");
    EXPECT_EQ(left.exitCode, 3);

    const Collected missing = RunProgram("/nonexistent/program", {}, "", 1s);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.error, "Cannot start /nonexistent/program: No such file or directory");
}

} // namespace
} // namespace halyard::test
