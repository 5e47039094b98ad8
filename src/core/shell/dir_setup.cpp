// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/dir_setup.h"

#include "base/dos_devices.h"
#include "base/paths.h"
#include "launch/foreign_program.h"
#include "shell/embedded.h"

namespace halyard {

namespace {
const char* const ChooseTitle = "Select Directory";
}

void TDirsetup::DefaultsClick() {
    WkDrive.setText("C:\\");
    SourceDir.setText("C:\\texassource\\");
    System.setText("C:\\Halyard\\");
    ProjectFile.setText("C:\\Halyard\\default.prj");
    Stratos.setText("");
    TMS370.setText("C:\\TMS370\\");
    KeepEditors.setChecked(false);
    for (CheckBox* c : Aids.all())
        c->setChecked(c != &Aids.CompleteWhileTyping);
}

std::string TDirsetup::HostFolder(const std::string& windowsPath) const {
    if (!dd || windowsPath.find_first_not_of(' ') == std::string::npos) return "";
    if (!dd->driveMapped(windowsPath))
        return "Drive " + dd->absolute(windowsPath).substr(0, 2) + " is not mapped";
    const std::string host = dd->toHost(windowsPath).string();
    return host == windowsPath ? "" : host;
}

std::string TDirsetup::ToolChainKind(const std::string& folder) const {
    if (!dd || TrimRight(folder).empty() || !dd->dirExists(folder)) return "";
    const FoundProgram cl = FindProgram(*dd, "cl370", {folder});
    const std::string name = ExtractFileName(cl.winPath);
    if (cl.kind == FoundProgram::Windows) return name + " is a Windows program: it runs through Wine";
    if (cl.kind == FoundProgram::Dos) return name + " is a DOS program: it runs in DOSBox";
    return "";
}

std::string TDirsetup::ForeignRunners() {
    auto line = [](const char* what, const std::string& path, const char* variable, const char* package) {
        if (path.empty()) return std::string(what) + ": not found " + RunnerNotFoundText(variable, package);
        const std::string version = RunnerVersion(path);
        return std::string(what) + ": " + path + (version.empty() ? "" : " (" + version + ")");
    };
    return line("Wine", FindWine(), "HALYARD_WINE", "wine") + "\n" +
           line("DOSBox", FindDosBox(), "HALYARD_DOSBOX", "dosbox");
}

void TDirsetup::BrowseBtnClick(int tag) {
    Edit* edit = tag == 1   ? &WkDrive
                 : tag == 2 ? &SourceDir
                 : tag == 3 ? &System
                 : tag == 5 ? &TMS370
                            : nullptr;
    if (!edit) return;
    if (auto chosen = ui.chooseDirectory(ChooseTitle, edit->text()))
        edit->setText(AddTrailingBackslash(*chosen));
}

bool TEmbedded::CheckDirectory(std::string& path) {
    if (dd.dirExists(path)) return true;
    DirWarningDlg.DirName = path;
    switch (ui.execute(DirWarningDlg)) {
    case Answer::Ok:
        dd.createDir(path);
        break;
    case Answer::Yes:
        if (auto chosen = ui.chooseDirectory(ChooseTitle, "c:\\")) {
            if (!dd.dirExists(*chosen)) dd.createDirs(*chosen);
            path = *chosen;
        }
        break;
    default:
        break;
    }
    return false;
}

void TEmbedded::Setup1Click() {
    const bool loaded = ProjectLoaded();
    TDirsetup dlg(ui, &dd);
    dlg.WkDrive.setText(WorkDrive);
    dlg.SourceDir.setText(CompSourceDir);
    dlg.System.setText(HeadersDir);
    dlg.ProjectFile.setText(ProjectPath);
    dlg.Stratos.setText(ProgToolPath);
    dlg.TMS370.setText(CompilerDir);
    dlg.KeepEditors.setChecked(KeepEditorsOpen.checked());
    const auto mine = editorAids.all();
    const auto theirs = dlg.Aids.all();
    for (size_t i = 0; i < mine.size(); ++i)
        theirs[i]->setChecked(mine[i]->checked());
    const Answer answer = ui.execute(dlg);
    // Whichever button closed it, the texts come back.
    WorkDrive = dlg.WkDrive.text();
    CompSourceDir = dlg.SourceDir.text();
    HeadersDir = dlg.System.text();
    ProjectPath = dlg.ProjectFile.text();
    CompilerDir = dlg.TMS370.text();
    // A choice is taken only when confirmed; Cancel means Cancel for it.
    if (answer == Answer::Ok) {
        KeepEditorsOpen.setChecked(dlg.KeepEditors.checked());
        for (size_t i = 0; i < mine.size(); ++i)
            mine[i]->setChecked(theirs[i]->checked());
    }
    // A project file named here while none is open is the one to reload next time; it does not turn
    // the empty project list into a project that closing would write over that file.
    if (!loaded) startupDone = false;
    SaveSettings();
}

} // namespace halyard
