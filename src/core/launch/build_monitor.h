// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting a build and judging it: the build regenerates ide.bat, saves the project, starts the
// batch without waiting for it and arms `CompileTimer`; when the timer fires, the linker's output
// file tells whether the build updated it, created it or failed. A batch the launcher knows to be
// still running is waited for instead of being judged half-way.
#include <optional>
#include <string>

#include "base/dos_devices.h"

namespace halyard {

class IdeContext;
class BuildOutput;
class IdeBat;
class ProjectFile;
class MenuItem;

class BuildMonitor {
public:
    BuildMonitor(IdeContext& e, IdeBat& batch, ProjectFile& project, BuildOutput& buildOutput);

    // "Build All" and the tool bar's "Compile".
    void Compile1Click(const MenuItem* sender = nullptr);
    // "Compilie": a build without the link stage.
    void Compile0nly();
    // The completion check, run by `CompileTimer`.
    void CompileTimerTimer();

    // 1 when the output file existed just before the build started, else 0.
    int tag = 0;
    // The output file as it was just before the build started: the verdict asks whether that file
    // was replaced or rewritten since, never whether its time stamp is later than the start, which
    // a file system with a coarse clock (two seconds on FAT) cannot tell for a fast build.
    std::optional<DosDevices::FileStamp> before;
    // Whether the build's batch links: one that only compiles writes no output file to judge by.
    bool linking = true;

    static constexpr int CheckDelay = 5000;
    // How often a build that outlived the first check is looked at again.
    static constexpr int RecheckDelay = 500;

private:
    std::string CompileVerdict();
    IdeContext& e;
    IdeBat& batch;
    ProjectFile& project;
    BuildOutput& buildOutput;
};

} // namespace halyard
