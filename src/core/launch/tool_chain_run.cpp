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
    SpawnSpec spec;
    spec.program = runner;
    spec.argv = {runner};
    spec.argv.insert(spec.argv.end(), args.begin(), args.end());
    spec.env = env.empty() ? EnvironmentForDrives(dd) : std::move(env);
    spec.replaceEnv = true;
    spec.cwd = dd.toHost(workDirWin).string();
    spec.newProcessGroup = true;
    std::string error;
    auto child = ChildProcess::start(std::move(spec), error);
    if (!child) return refuse(error);
    std::unique_ptr<PipedBatchRun> run(new PipedBatchRun(std::move(onLine)));
    run->child_ = std::move(child);
    return run;
}

std::unique_ptr<PipedBatchRun> PipedBatchRun::refused(LineSink onLine, const std::string& why) {
    std::unique_ptr<PipedBatchRun> run(new PipedBatchRun(std::move(onLine)));
    size_t start = 0;
    for (size_t nl; (nl = why.find('\n', start)) != std::string::npos; start = nl + 1)
        run->onLine_(why.substr(start, nl - start));
    run->onLine_(why.substr(start));
    run->ended_ = true;
    return run;
}

PipedBatchRun::~PipedBatchRun() {
    // A run is only dropped once it ended or when Halyard goes: it must not outlive its reader, whose
    // end would leave the tools writing into a closed pipe.
    if (child_) child_->onClosing = nullptr;
    if (!ended_) stop();
}

int PipedBatchRun::descriptor() const {
    return child_ && !ended_ ? child_->descriptor() : -1;
}

void PipedBatchRun::onDescriptorClosing(std::function<void()> closing) {
    if (child_) child_->onClosing = std::move(closing);
}

size_t PipedBatchRun::take(bool all) {
    // As much as a pipe holds: a busy tool's output is taken in few reads, not one per 4 KiB.
    if (buffer_.empty()) buffer_.resize(64 * 1024);
    size_t got = 0;
    while (child_ && child_->descriptor() >= 0) {
        const size_t n = child_->read(buffer_.data(), buffer_.size());
        if (n == 0) break;
        lines_.feed(buffer_.data(), n, onLine_);
        got += n;
        if (!all) break;
    }
    return got;
}

void PipedBatchRun::pump() {
    if (ended_) return;
    take(true);
    // A program the batch left running in the background may hold the pipe open long after: what
    // the batch wrote before it ended is in the pipe now, and that is all it printed.
    if (child_->exited()) finish();
}

void PipedBatchRun::pumpSome(size_t maxBytes) {
    if (ended_) return;
    // One read at a time, while the pipe holds more, up to the budget.
    for (size_t taken = 0; child_->descriptor() >= 0 && taken < maxBytes;) {
        pollfd ready{child_->descriptor(), POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0) break;
        const size_t n = take(false);
        if (n == 0) break;
        taken += n;
    }
    if (child_->exited()) finish();
}

void PipedBatchRun::finish() {
    take(true);
    lines_.finish(onLine_);
    child_->closePipe();
    code_ = child_->exitCode();
    ended_ = true;
}

void PipedBatchRun::stop() {
    if (ended_ || !child_) return;
    take(true);
    // TERM to the whole group now, KILL from the reaper after the grace period: nothing here waits.
    child_->stop(StopGrace);
    lines_.finish(onLine_);
    child_->closePipe();
    code_ = 128 + SIGTERM;
    ended_ = true;
}

} // namespace halyard
