// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// LaunchProgram on Linux. Windows asks its shell to open the file; here the kind of file decides:
// a batch file runs under halyard-batch (in the desktop's terminal emulator when shown, detached
// and silent when hidden), a native executable runs directly, anything else goes to the desktop's
// default handler (xdg-open). The program never waits for what it starts, but it can tell whether
// a batch it started still runs. A Windows or DOS program goes through halyard-batch, which starts
// it through Wine or DOSBox.
#include <map>
#include <memory>
#include <string>

#include "base/dos_devices.h"
#include "base/ports.h"
#include "launch/foreign_program.h"
#include "launch/program_lookup.h"
#include "launch/run_mark.h"

namespace halyard {

class ShellLauncher : public Launcher {
public:
    explicit ShellLauncher(DosDevices& dd) : dd_(dd) {}
    // file and directory are Windows paths; an empty or relative directory resolves against the
    // drive mapping's current directory. parameters is one Windows command-line text.
    void LaunchProgram(const std::string& file, const std::string& parameters, const std::string& directory,
                       int showMode) override;
    bool batchRunning(const std::string& file) override;
    // A batch runs hidden under halyard-batch, a program on its own; either leads a process group
    // of its own, its output piped back.
    std::unique_ptr<ToolChainRun> StartToolChainRun(const std::string& file, const std::string& parameters,
                                                    const std::string& directory,
                                                    std::function<void(const std::string&)> onLine) override;
    bool showsBatchWindows() override;
    void setToolChainFolder(const std::string& dir) override { toolChain_ = dir; }

private:
    // What every child gets: the caller's environment for the drive mapping and the tool-chain folder.
    std::vector<std::string> childEnvironment() const;
    // What a launch of name finds with dir as its working folder.
    FoundProgram find(const std::string& name, const std::string& dir) const;
    // halyard-batch's command line that runs a Windows or DOS program with parameters.
    std::vector<std::string> foreignArguments(const std::string& runner, const FoundProgram& found,
                                              const std::string& parameters) const;
    // halyard-batch's arguments for running batch with parameters, its run mark armed.
    std::vector<std::string> batchArguments(const std::string& batch, const std::string& parameters);

    DosDevices& dd_;
    // One mark per batch file (by its full Windows path, without regard to case): starting the
    // same batch again watches the new run only.
    std::map<std::string, std::unique_ptr<RunMark>> marks_;
    // Wine's server stays up while this launcher (Halyard) lives, once a Windows program ran.
    WineServerKeeper server_;
    std::string toolChain_ = DefaultToolChainFolder;
};

// halyard-batch beside the running program, else on $PATH; empty when there is none.
std::string FindBatchRunner();

// The environment for a child that must see the same drive mapping as dd: the caller's, with
// XDG_DATA_HOME pointing at dd's root when that is not the default one (roots are "<dir>/halyard").
std::vector<std::string> EnvironmentForDrives(const DosDevices& dd);

// Runs a batch file under halyard-batch with workDirWin as its current folder, no input, and its
// output and errors together in output; waits for it. Returns its exit code, or -1 when it could
// not be started (output then says why).
// toolChainDir is the tool-chain folder the batch takes its programs from (DefaultToolChainFolder when
// empty).
int RunBatchAndWait(const DosDevices& dd, const std::string& batWinPath, const std::string& workDirWin,
                    std::string& output, const std::string& toolChainDir = {});

} // namespace halyard
