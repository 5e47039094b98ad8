// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's menu and tool bar as model items: the logic enables, checks, captions and hides
// them, and the Qt layer builds its menus from `layout()`.
#include <string>
#include <vector>

#include "base/controls.h"

namespace halyard {

struct MainMenu {
    MainMenu();

    // Top-level menus.
    MenuItem File1, Project1, EditBatch, Options1, IntVectors1, Libraries1, Tools1, Program1, CommandFile1,
        Window1, Help1;
    // "&File"
    MenuItem OpenFile, NewFile1, SaveObjectFile1, Exit1;
    // "Project"
    MenuItem OpenProject, SaveProject, SaveProjectAs1, NewProject, EditProject, Make, Compilie1, Compile1;
    // "Options"
    MenuItem Options2, Setup1, Memory1, CompilerOptions, Proccessor1, LinkerOptions1, DisplayProjectList,
        UpdateallProjectoptions1, DisplayCmdLine, ViewCompilerOP;
    // "Int Vectors"
    MenuItem UseintVectors, Editintvecsasm1, Assembleintvecs1;
    // "Libraries"
    MenuItem LibOptions, Build1;
    // "Tools" (user tools follow "Configure Tools" at run time)
    MenuItem ConfigureTools1;
    // "Program"
    MenuItem Prgm;
    // "Command File"
    MenuItem OpenCommand, Select1, Edit1, Construct1, NoCmdFile, UserDef, DefaultCmd;
    // "Window"
    MenuItem Tile1, Cascade1, Arrange1;
    // "&Help"
    MenuItem Help3, About2, TMS370V5301, emailOrlin1, OrlinontheWeb1;

    struct Menu {
        MenuItem* top;
        std::vector<MenuItem*> entries; // nullptr stands for a separator
    };
    std::vector<Menu> layout();
};

// The tool bar's buttons in order; nullptr entries are separators.
struct ToolBar1 {
    ToolBar1();
    MenuItem ExitBtn, OpenProjectBtn, NewProjectBtn, EditProjectBtn, NewFileBtn, OpenFileBtn,
        CompilerOptionsBtn, LinkerOptionsBtn, DisplayListBtn, CompileBtn, MakeBtn, ProgramDevice,
        LibraryOptionsBtn, ConfigureToolsBtn, HelpBtn;
    std::vector<MenuItem*> buttons();
};

} // namespace halyard
