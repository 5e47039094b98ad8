// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/embedded.h"

#include "base/paths.h"

namespace halyard {

TEmbedded::TEmbedded(Ports p) : IdeContext(p) {
    starttimer.onTimer = [this] { run([this] { starttimerTimer(); }); };
    wireMenu();
}

void TEmbedded::wireMenu() {
    auto on = [this](MenuItem& item, std::function<void()> handler) {
        item.onClick = [this, handler] { run(handler); };
    };
    on(menu.Exit1, [this] { Exit1Click(); });
    on(toolBar.ExitBtn, [this] { Exit1Click(); });
    on(menu.Setup1, [this] { Setup1Click(); });
    on(menu.Memory1, [this] { Memory1Click(); });
    on(menu.DisplayCmdLine, [this] { DisplayCommandLineExecute(); });
    on(menu.Tile1, [this] {
        if (Tile1Click) Tile1Click();
    });
    on(menu.Cascade1, [this] {
        if (Cascade1Click) Cascade1Click();
    });
    on(menu.Arrange1, [this] {
        if (Arrange1Click) Arrange1Click();
    });
    // The "General" page's check box and the menu entry share one action.
    opts.DisplayCommand.onClick = [this] {
        if (opts.DisplayCommand.checked() != DisplayCommandLine.checked())
            run([this] { DisplayCommandLineExecute(); });
    };

    // Commands that nothing handles yet are shown disabled, never silently doing nothing.
    for (auto& m : menu.layout())
        for (MenuItem* item : m.entries)
            if (item && !item->onClick) item->setEnabled(false);
    for (MenuItem* button : toolBar.buttons())
        if (button && !button->onClick) button->setEnabled(false);
}

void TEmbedded::FormCreate() {
    if (activated) return;
    activated = true;
    tools.clear();
    CompilerOutputFile = "C:\\Outputfile.txt";
    // A value that cannot be read is reported; the values after it keep their defaults and the
    // start-up goes on, so one bad value never leaves the program half started.
    run([this] { LoadSettings(); });
    maximized = true;
    starttimer.setEnabled(true);
}

void TEmbedded::starttimerTimer() {
    starttimer.setEnabled(false);
    CheckDirectory(CompSourceDir);
    if (!CheckDirectory(CompilerDir)) {
        ui.inform("New Compiler Directory created\rPlease Install Texas Compiler into " + CompilerDir);
        menu.Compilie1.setEnabled(false);
        menu.Prgm.setEnabled(false);
        menu.Project1.setEnabled(false);
        Setup1Click();
    }
    InitStateDefaults();
    // Chosen before the reload, which may stop the sequence with a malformed project file.
    const std::string installed = AddTrailingBackslash(InstallDir) + "Halyard.chm";
    if (dd.fileExists(installed))
        HelpFile = installed;
    else if (!help.BundledHelpFile.empty() && dd.fileExists(help.BundledHelpFile))
        HelpFile = help.BundledHelpFile;
    if (!StartProject.empty()) {
        OpenStartProject();
    } else if (dd.fileExists(ProjectPath) && opts.Lastproject.checked()) {
        auto lines = dd.readLines(ProjectPath);
        // A malformed file is reported and never becomes the project; the start-up then does not
        // count as finished, so closing leaves the file as it is for the user to mend.
        if (!lines.empty()) project.checkProject(lines, ProjectPath);
        ProList = std::move(lines);
        if (ProList.empty()) {
            project.ResetInvalidProject();
        } else {
            project.SetUpProject();
            startupDone = true;
            dd.setCurrentDirectory(CompSourceDir);
            batch.MakeIdeBatClick();
        }
    } else {
        ProjectPath = NoProjectLoaded;
        UpdateStatusPanels();
    }
    startupDone = true;
}

// Opened as "&Open Project" opens a file. One that cannot be opened has been reported by name; the
// start-up then ends with no project, never with the last one the user did not ask for, and without
// the project editor that the open showed for it.
void TEmbedded::OpenStartProject() {
    const bool editing = ProjEditPan.visible();
    if (run([this] { project.Openpro(StartProject); }) || ProjectPath == StartProject) return;
    ProjEditPan.setVisible(editing);
    ProjectPath = NoProjectLoaded;
    UpdateStatusPanels();
}

void TEmbedded::InitStateDefaults() {
    projEdit.selectDrive(WorkDrive);
    // The project editor's directory list moves to the tool-chain folder; a folder that is still
    // missing stops the start-up sequence here.
    projEdit.setDirectory(CompilerDir);
    StatusBar.setText(0, NoProjectLoaded);
    StatusBar.setText(1, "");
    const std::string projectName = ExtractFileName(ProjectPath);
    projEdit.Label50.setCaption(projectName.size() > 4 ? projectName.substr(0, projectName.size() - 4) : "");
    project.OpenProjectDialog.initialDir = InstallDir;
    CmdFilePath = "C:\\TexasSource\\lnk.cmd ";
    LinkSwitch = "-z ";
    ObjectFile.clear();
    opts.MapFile.setText("");
    opts.ProcType.setItemIndex(0);
    LinkerCmdLine = "-o unnamed.out -a -c -m unnamed.map";
    CompilerCmdLine = "-v0 -ms -g";
    compiler.SetDefsClick();
    UpdateProgramMenu();
    UpdateStatusPanels();
}

void TEmbedded::DisplayCommandLineExecute() {
    DisplayCommandLine.setChecked(!DisplayCommandLine.checked());
    menu.DisplayCmdLine.setChecked(DisplayCommandLine.checked());
    opts.DisplayCommand.setChecked(DisplayCommandLine.checked());
    if (DisplayCommandLine.checked()) {
        StatusBar.setText(0, LastCommandLine);
        StatusBar.setWidth(0, StatusBar.totalWidth);
    } else {
        UpdateStatusPanels();
    }
}

void TEmbedded::Exit1Click() {
    if (CloseMainWindow) CloseMainWindow();
}

void TEmbedded::FormClose() {
    run([this] { SaveSettings(); });
    tools.clear();
    run([this] { project.SaveProjectClick(); });
}

void TEmbedded::Memory1Click() {
    OptionsTabs.setActivePage(1);
    OptionsTabs.setVisible(true);
    LinkCmdWiz.setVisible(false);
}

} // namespace halyard
