// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// IdeContext: what every subsystem of the main window works in, and nothing of the subsystems
// themselves. It holds the ports, the state the subsystems share (paths, command lines, the
// project's lines), the main window's menus, panels and timers, and the option controls. A
// subsystem takes this and, by name, the few other subsystems it calls; TEmbedded composes them.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/controls.h"
#include "base/dos_devices.h"
#include "base/ports.h"
#include "editor/code_aids.h"
#include "linkcmd/link_cmd_wiz.h"
#include "options/library_options.h"
#include "project/option_set.h"
#include "shell/dir_setup.h"
#include "shell/main_menu.h"
#include "tools/tool_lists.h"

namespace halyard {

inline constexpr const char* NoProjectLoaded = "NO PROJECT LOADED";

struct Ports {
    Ui& ui;
    SettingsStore& settings;
    Launcher& launcher;
    DosDevices& dd;
    Clock& clock;
};

class IdeContext {
public:
    explicit IdeContext(Ports ports);
    IdeContext(const IdeContext&) = delete;
    IdeContext& operator=(const IdeContext&) = delete;

    Ui& ui;
    SettingsStore& store;
    Launcher& launcher;
    DosDevices& dd;
    Clock& clock;

    // ---- Shared state ----
    std::string WorkDrive = "C:\\", CompSourceDir = "C:\\texassource", HeadersDir = "C:\\Texassource",
                CompilerDir = "C:\\CL370", InstallDir = "C:\\Halyard", ProgToolPath;
    std::string ProjectPath = "C:\\Halyard\\default.prj";
    std::string CompilerCmdLine = "-v0 -ms -g";
    std::string LinkerCmdLine = "-o unnamed.out -a -c -m unnamed.map";
    std::string CmdFilePath = "C:\\TexasSource\\lnk.cmd ";
    std::string ObjectFile;
    std::string LinkSwitch = "-z ";
    std::string CompilerOutputFile;
    std::string LastCommandLine;
    std::string LibrarySwitches;
    std::filesystem::file_time_type CompileStartTime{};
    std::vector<std::string> ProList;  // the project's lines
    ListBox ProjectListBox;            // the project's source files, in build order
    std::vector<std::string> Memo1;    // the build batch file's lines
    std::vector<std::string> Intbatch; // the interrupt-vector assembly line
    std::string HelpFile = "C:\\Halyard\\halyard.chm";
    // The project named when the program was started; it takes the place of the last project's reload.
    std::string StartProject;
    std::string Caption = "Halyard  CL370 IDE";
    static constexpr const char* Title = "Halyard";

    // A project counts as loaded only once the start-up sequence has finished or a project has been
    // applied, so an early close never overwrites the settings' project file with an empty one.
    bool ProjectLoaded() const { return startupDone && ProjectPath != NoProjectLoaded; }
    // The folder a file dialog falls back to: the project's, or with none the compiler working folder.
    std::string HomeFolder() const;
    // Also set by every successful open, new project or reset; cleared when Setup names a project
    // file while none is open.
    bool startupDone = false;

    // ---- Main window ----
    MainMenu menu;
    ToolBar1 toolBar;
    halyard::StatusBar StatusBar{{150, 100, 60, 200, 100, 100, 50}};
    MenuItem DisplayCommandLine; // the check action shared by the menu entry and the "General" check box
    // Options › Setup: builds save the editor windows and leave them open instead of closing them.
    CheckBox KeepEditorsOpen;
    // Options › Setup: what the editor windows show beside the text.
    EditorAids editorAids;
    Timer starttimer{2000};
    Timer CompileTimer{5000};
    bool maximized = false;
    std::function<void()> CloseMainWindow; // set by the view; Exit1Click closes the window through it
    std::function<void()> Tile1Click, Cascade1Click, Arrange1Click; // arranged by the view
    // Panels shown and hidden inside the main window.
    Panel OptionsTabs, LinkerOptions, LinkCmdWiz, LibaryGenOps, ProjEditPan, DisplayPanel;
    TDirWarningDlg DirWarningDlg;

    // ---- Option controls ----
    OptionSet opts;
    LibraryOptions lib;
    LinkCmdControls linkCmd;
    ToolLists tools;

    void UpdateStatusPanels();
    // The settings store.
    void LoadSettings();
    void SaveSettings();
    // Enables the "Program" menu's entry and its tool button while a programming tool is selected.
    void UpdateProgramMenu();

    // Runs a command: an error that escapes it is shown in the general error box and the program
    // carries on. Returns false when the command ended with an error.
    bool run(const std::function<void()>& command);
};

} // namespace halyard
