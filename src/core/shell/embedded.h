// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TEmbedded: the main window's model and composition root. Over the context every subsystem shares
// it owns one object per subsystem, hands each the peers it calls, and wires the flows that cross
// subsystems (start-up, shutdown).
#include <string>

#include "batch/ide_bat.h"
#include "editor/editors.h"
#include "help/help.h"
#include "launch/build_monitor.h"
#include "linkcmd/cmd_builder.h"
#include "linkcmd/cmd_file_mode.h"
#include "options/compiler_options.h"
#include "options/linker_options.h"
#include "project/project_editor.h"
#include "project/project_file.h"
#include "project/project_summary.h"
#include "shell/ide_context.h"
#include "tool_output/build_output.h"
#include "toolchain/int_vectors.h"
#include "toolchain/library_builder.h"
#include "tools/tool_menus.h"

namespace halyard {

class TEmbedded : public IdeContext {
public:
    explicit TEmbedded(Ports ports);

    // ---- Subsystems ----
    // Each takes the context and the peers it calls. A peer named before it is built is only bound,
    // never called, until the whole model stands.
    CompilerOptions compiler{*this, linker, batch};
    LinkerOptionsModel linker{*this, batch};
    ProjectFile project{*this, projEdit, linker, editors, compiler, cmdFile, batch};
    ProjectEditor projEdit{*this, project, batch};
    ProjectSummary summary{*this};
    IdeBat batch{*this, toolMenus, project, linker, editors, compiler};
    Editors editors{*this, projEdit};
    BuildOutput buildOutput{*this, editors};
    BuildMonitor monitor{*this, batch, project, buildOutput};
    IntVectors vectors{*this, editors, buildOutput};
    ToolMenus toolMenus{*this};
    LibraryBuilder libBuilder{*this, buildOutput};
    CmdFileMode cmdFile{*this, editors};
    THelp help{*this};
    CmdBuilder cmdBuild{*this, linker, cmdFile};

    // ---- Handlers of the shell ----
    void FormCreate();
    void starttimerTimer();
    void OpenStartProject();
    void InitStateDefaults();
    void DisplayCommandLineExecute();
    void Exit1Click();
    void FormClose();
    void Setup1Click();
    void Memory1Click();
    // True when the directory exists; otherwise asks (create, browse, cancel) and returns false.
    bool CheckDirectory(std::string& path);

private:
    bool activated = false;
    void wireMenu();
};

} // namespace halyard
