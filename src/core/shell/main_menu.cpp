// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/main_menu.h"

namespace halyard {

namespace {
void name(MenuItem& item, const char* caption) {
    item.setCaption(caption);
}
} // namespace

MainMenu::MainMenu() {
    name(File1, "&File");
    name(Project1, "Project");
    name(EditBatch, "&Edit Batch");
    EditBatch.tag = 20;
    name(Options1, "Options");
    name(IntVectors1, "Int Vectors");
    name(Libraries1, "Libraries");
    name(Tools1, "Tools");
    name(Program1, "Program");
    name(CommandFile1, "Command File");
    name(Window1, "Window");
    Window1.setVisible(false);
    name(Help1, "&Help");

    name(OpenFile, "Open &File");
    name(NewFile1, "&New File");
    name(SaveObjectFile1, "Save Object File");
    name(Exit1, "&Exit");

    name(OpenProject, "&Open Project");
    name(SaveProject, "&Save Project");
    name(SaveProjectAs1, "Save Project &As");
    name(NewProject, "New &Project");
    name(EditProject, "Edit Project");
    name(Make, "Make");
    name(Compilie1, "Compilie");
    name(Compile1, "Build All");

    name(Options2, "Options");
    name(Setup1, "Setup");
    name(Memory1, "General Configuration");
    name(CompilerOptions, "Compiler Options");
    name(Proccessor1, "Proccessor");
    name(LinkerOptions1, "Linker Options");
    name(DisplayProjectList, "Display Project List");
    name(UpdateallProjectoptions1, "Update all Project options");
    name(DisplayCmdLine, "Display Command Line");
    name(ViewCompilerOP, "View Compiler O/P");
    ViewCompilerOP.tag = 60;

    name(UseintVectors, "Assemble Int Vectors Inline");
    name(Editintvecsasm1, "Edit intvecs.asm");
    name(Assembleintvecs1, "Assemble intvecs");

    name(LibOptions, "Options");
    name(Build1, "Build");

    name(ConfigureTools1, "Configure Tools");
    name(Prgm, "(None)");

    name(OpenCommand, "&Edit");
    name(Select1, "&Select");
    name(Edit1, "New");
    name(Construct1, "Construct");
    name(NoCmdFile, "None");
    name(UserDef, "User Defined");
    name(DefaultCmd, "Default");
    for (MenuItem* r : {&NoCmdFile, &UserDef, &DefaultCmd})
        r->radioItem = true;
    UserDef.setChecked(true);
    UseintVectors.checkable = true;
    DisplayCmdLine.checkable = true;

    name(Tile1, "Tile");
    name(Cascade1, "Cascade");
    name(Arrange1, "Arrange");

    name(Help3, "&Help");
    name(About2, "&About");
    name(TMS370V5301, "TMS370 - V5.30");
    name(emailOrlin1, "e-mail Orlin");
    name(OrlinontheWeb1, "Orlin on the Web");
}

std::vector<MainMenu::Menu> MainMenu::layout() {
    return {
        {&File1, {&OpenFile, &NewFile1, nullptr, &SaveObjectFile1, nullptr, &Exit1}},
        {&Project1,
         {&OpenProject, &SaveProject, &SaveProjectAs1, &NewProject, nullptr, &EditProject, nullptr, &Make,
          &Compilie1, &Compile1}},
        {&EditBatch, {}},
        {&Options1,
         {&Options2, &Setup1, &Memory1, nullptr, &CompilerOptions, &Proccessor1, &LinkerOptions1, nullptr,
          &DisplayProjectList, &UpdateallProjectoptions1, &DisplayCmdLine, &ViewCompilerOP}},
        {&IntVectors1, {&UseintVectors, &Editintvecsasm1, &Assembleintvecs1}},
        {&Libraries1, {&LibOptions, &Build1}},
        {&Tools1, {&ConfigureTools1, nullptr}},
        {&Program1, {&Prgm}},
        {&CommandFile1,
         {&OpenCommand, &Select1, &Edit1, &Construct1, nullptr, &NoCmdFile, &UserDef, &DefaultCmd}},
        {&Window1, {&Tile1, &Cascade1, &Arrange1}},
        {&Help1, {&Help3, &About2, &TMS370V5301, nullptr, &emailOrlin1, &OrlinontheWeb1}},
    };
}

ToolBar1::ToolBar1() {
    const std::pair<MenuItem*, const char*> hints[] = {
        {&ExitBtn, "Exit Halyard"},
        {&OpenProjectBtn, "Open Project"},
        {&NewProjectBtn, "New Project"},
        {&EditProjectBtn, "Edit Project"},
        {&NewFileBtn, "New File"},
        {&OpenFileBtn, "Open File"},
        {&CompilerOptionsBtn, "Compiler Options"},
        {&LinkerOptionsBtn, "Linker Options"},
        {&DisplayListBtn, "Display/Hide Project List"},
        {&CompileBtn, "Compile"},
        {&MakeBtn, "Make"},
        {&ProgramDevice, "Run Programming Tool"},
        {&LibraryOptionsBtn, "Libarary Options"},
        {&ConfigureToolsBtn, "Configure Tools"},
        {&HelpBtn, "Halyard Help"},
    };
    for (auto& [button, hint] : hints)
        button->setHint(hint);
}

std::vector<MenuItem*> ToolBar1::buttons() {
    return {&ExitBtn,
            nullptr,
            &OpenProjectBtn,
            &NewProjectBtn,
            &EditProjectBtn,
            nullptr,
            &NewFileBtn,
            &OpenFileBtn,
            nullptr,
            &CompilerOptionsBtn,
            &LinkerOptionsBtn,
            &DisplayListBtn,
            nullptr,
            &CompileBtn,
            &MakeBtn,
            &ProgramDevice,
            nullptr,
            &LibraryOptionsBtn,
            &ConfigureToolsBtn,
            nullptr,
            &HelpBtn};
}

} // namespace halyard
