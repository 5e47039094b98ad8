// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/build_monitor.h"

#include "batch/ide_bat.h"
#include "project/project_file.h"
#include "shell/ide_context.h"
#include "tool_output/build_output.h"

namespace halyard {

BuildMonitor::BuildMonitor(IdeContext& e, IdeBat& batch, ProjectFile& project, BuildOutput& buildOutput)
    : e(e), batch(batch), project(project), buildOutput(buildOutput) {
    e.CompileTimer.interval = CheckDelay;
    e.CompileTimer.onTimer = [this] { this->e.run([this] { CompileTimerTimer(); }); };
    auto build = [this](MenuItem& sender) {
        sender.onClick = [this, &sender] { this->e.run([this, &sender] { Compile1Click(&sender); }); };
    };
    build(e.menu.Compile1);
    build(e.toolBar.CompileBtn);
    e.menu.Compilie1.onClick = [this] { this->e.run([this] { Compile0nly(); }); };
}

void BuildMonitor::Compile1Click(const MenuItem* sender) {
    if (!e.ProjectLoaded()) {
        e.ui.message(MsgKind::Information, "Cant Compile,  No Project loaded", {Answer::Ok});
        return;
    }
    if (!buildOutput.MayStart("the build")) return;
    // A generation that stopped with a message left the previous generation's ide.bat behind;
    // running it would build something other than what the user sees.
    if (!batch.MakeIdeBatClick(sender)) return;
    linking = e.LinkSwitch == "-z ";
    before = e.dd.fileStamp(e.ObjectFile);
    tag = before ? 1 : 0;
    project.SaveProjectClick();
    e.dd.setCurrentDirectory(e.CompSourceDir);
    e.CompileStartTime = e.clock.now();
    // A build started while the previous one is still being waited for keeps the running period.
    e.CompileTimer.setEnabled(true);
    e.StatusBar.setText(3, "Compile Started");
    buildOutput.StartBatch(batch.batchPath(), e.WorkDrive,
                           e.opts.ShowBatch.checked() ? Launcher::Shown : Launcher::Hidden);
}

void BuildMonitor::Compile0nly() {
    const bool linking = e.opts.EL.checked();
    if (linking) e.opts.EL.setChecked(false);
    struct Restore {
        CheckBox& el;
        bool on;
        ~Restore() {
            if (on) el.setChecked(true);
        }
    } restore{e.opts.EL, linking};
    Compile1Click(nullptr);
}

void BuildMonitor::CompileTimerTimer() {
    e.CompileTimer.setEnabled(false);
    if (e.launcher.batchRunning(batch.batchPath())) {
        e.CompileTimer.interval = RecheckDelay;
        e.CompileTimer.setEnabled(true);
        return;
    }
    e.CompileTimer.interval = CheckDelay;

    std::string verdict;
    if (linking) {
        verdict = "Failed to create ";
        if (const auto now = e.dd.fileStamp(e.ObjectFile)) {
            if (!before)
                verdict = "Created ";
            else if (*now != *before)
                verdict = "Updated ";
            // An old output file the build did not rewrite means the link failed.
        }
        verdict += e.ObjectFile;
    } else {
        verdict = CompileVerdict();
    }
    e.StatusBar.setText(3, verdict);
    buildOutput.BuildJudged(verdict);
    if (e.opts.ShowOnEnd.checked()) e.menu.ViewCompilerOP.click();
}

// A build that does not link leaves the output file as it was, which says nothing about this
// build: its messages do. Judged by the file, every compile would read as a failed link.
std::string BuildMonitor::CompileVerdict() {
    BuildOutput& out = buildOutput;
    // The batch has ended; its last lines may still wait in the pipe.
    if (out.running()) out.OutputTimerTimer();
    if (!out.followed()) return "Compile ended; its messages are in the batch window";
    const std::string counts = MessageCountText(out.errors(), out.warnings());
    return out.errors() == 0 && !out.runFailed() ? "Compiled, " + counts : "Failed to compile, " + counts;
}

} // namespace halyard
