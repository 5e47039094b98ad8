// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A batch run under halyard-batch, or a tool-chain program run on its own, whose output comes back
// through a pipe, line by line, while it runs. The runner leads a process group of its own, so Stop
// ends the batch together with every tool it started, and nothing is left behind.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "base/ports.h"
#include "launch/line_splitter.h"
#include "launch/process.h"

namespace halyard {

class DosDevices;

class PipedBatchRun : public ToolChainRun {
public:
    using LineSink = std::function<void(const std::string&)>;
    // Starts runner with args (for halyard-batch "/c", the batch, ...) in workDirWin, with env as its
    // environment (EnvironmentForDrives when empty); a run that could not start has ended at once
    // with the reason as its only line.
    static std::unique_ptr<PipedBatchRun> start(const DosDevices& dd, const std::string& runner,
                                                const std::vector<std::string>& args,
                                                const std::string& workDirWin, LineSink onLine,
                                                std::vector<std::string> env = {});
    // A run that never started: it has ended, with why (one line per line of it) as its output.
    static std::unique_ptr<PipedBatchRun> refused(LineSink onLine, const std::string& why);
    ~PipedBatchRun() override;

    void pump() override;
    void pumpSome(size_t maxBytes) override;
    int descriptor() const override;
    void onDescriptorClosing(std::function<void()> closing) override;
    bool ended() const override { return ended_; }
    int exitCode() const override { return code_; }
    // Sends TERM to the batch and every program it started and returns at once: the run has ended
    // (exit code 128 + SIGTERM), and a reaper kills what is left after StopGrace.
    void stop() override;

    // How long the programs get to end on their own before they are killed.
    static constexpr std::chrono::milliseconds StopGrace{300};

private:
    explicit PipedBatchRun(LineSink onLine) : onLine_(std::move(onLine)) {}
    // Reads what the pipe holds (all: until it is empty); returns the bytes read.
    size_t take(bool all);
    void finish();

    LineSink onLine_;
    std::unique_ptr<ChildProcess> child_;
    bool ended_ = false;
    int code_ = -1;
    LineSplitter lines_;
    std::vector<char> buffer_;
};

} // namespace halyard
