// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The working directories: the missing-directory dialog and the Setup dialog.
#include <string>

#include "base/controls.h"
#include "base/ports.h"
#include "editor/code_aids.h"

namespace halyard {

class DosDevices;

// "Warning": the directory does not exist. Closes with Ok ("Create It"), Yes ("Browse") or Cancel.
class TDirWarningDlg : public ModalDialog {
public:
    static constexpr const char* Kind = "TDirWarningDlg";
    const char* kind() const override { return Kind; }
    std::string DirName;
};

// "Halyard Setup": the six file locations. The texts are copied back whichever button closed it.
class TDirsetup : public ModalDialog {
public:
    static constexpr const char* Kind = "TDirsetup";
    const char* kind() const override { return Kind; }

    TDirsetup(Ui& ui, const DosDevices* dd = nullptr) : ui(ui), dd(dd) {
        Stratos.readOnly = true;
        KeepEditors.setCaption(KeepEditorsCaption);
    }
    Edit WkDrive, SourceDir, System, ProjectFile, Stratos, TMS370;
    // Off: every build saves and closes the editor windows; on: it saves them and leaves them open.
    CheckBox KeepEditors;
    static constexpr const char* KeepEditorsCaption = "Keep editor windows open while building";
    EditorAids Aids;

    void DefaultsClick();
    // Browse for the edit of the button's tag (1 WkDrive, 2 SourceDir, 3 System, 5 TMS370).
    void BrowseBtnClick(int tag);
    // What a location is on this machine, shown under its field: the host path a Windows path maps
    // to, or why it maps to none; empty where the two are the same.
    std::string HostFolder(const std::string& windowsPath) const;
    // What the tool-chain folder's cl370 is when it is no native program ("cl370.exe is a Windows
    // program: it runs through Wine"); empty otherwise.
    std::string ToolChainKind(const std::string& folder) const;
    // Whether Wine and DOSBox were found, with path and version: one line each.
    static std::string ForeignRunners();

private:
    Ui& ui;
    const DosDevices* dd;
};

} // namespace halyard
