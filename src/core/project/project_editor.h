// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project editor panel `ProjEditPan`: a drive list, a directory list and its file list from
// which the user moves files into the project's source list `ProjectListBox` (held by the main
// window, since the build and the project file read it too).
#include <string>
#include <vector>

#include "base/controls.h"

namespace halyard {

class IdeContext;
class IdeBat;
class ProjectFile;

// A directory list: the current directory (a Windows path) and the subfolders below it.
class DirectoryList : public Control {
public:
    const std::string& directory() const { return directory_; }
    const std::vector<std::string>& subdirectories() const { return subdirs_; }
    void show(std::string directory, std::vector<std::string> subdirs);

private:
    std::string directory_;
    std::vector<std::string> subdirs_;
};

class ProjectEditor {
public:
    ProjectEditor(IdeContext& e, ProjectFile& project, IdeBat& batch);

    static constexpr const char* FileMask = "*.c;*.h";

    Control Label49, Label50, SourceLabel, ProjectName, DirLabel, ScrDir;
    ComboBox DriveComboBox1; // the mapped drives, "C:" style
    DirectoryList DirBox;
    ListBox SourceListBox; // files matching the mask, subfolders as "[name]"
    Edit Trans;            // the selected file name; the mask until one is chosen

    // Moves the directory list (and so the file list) to `dir`; halyard::Error when it is missing.
    void setDirectory(const std::string& dir);
    // As setDirectory, but reports a missing folder by returning false and leaves the list alone.
    bool tryDirectory(const std::string& dir);
    // Re-reads the drive list from the drive mapping and selects the drive of `path`.
    void selectDrive(const std::string& path);
    void DriveComboBox1Change();
    void SourceListBoxClick();

    void ProjEditClick();
    void AddClick();
    void RemoveClick();
    void SpeedButton3Click(); // every file-list entry
    void SpeedButton4Click(); // empties the source list
    void Button3Click();      // "OK": the batch generation
    void Button4Click();      // "Cancel": hides the panel, keeping the changes

private:
    IdeContext& e;
    ProjectFile& project;
    IdeBat& batch;
};

} // namespace halyard
