// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/project_editor.h"

#include <cctype>

#include "base/error.h"
#include "base/paths.h"
#include "batch/ide_bat.h"
#include "project/project_file.h"
#include "shell/ide_context.h"

namespace halyard {

void DirectoryList::show(std::string directory, std::vector<std::string> subdirs) {
    directory_ = std::move(directory);
    subdirs_ = std::move(subdirs);
    changed();
}

ProjectEditor::ProjectEditor(IdeContext& e, ProjectFile& project, IdeBat& batch)
    : e(e), project(project), batch(batch) {
    Label49.setCaption("EDIT PROJECT");
    SourceLabel.setCaption("Source");
    ProjectName.setCaption("Project Files");
    DirLabel.setCaption("Directory");
    Trans.setVisible(false);
    Trans.setText(FileMask);
    DriveComboBox1.onChange = [this] { this->e.run([this] { DriveComboBox1Change(); }); };
    SourceListBox.onClick = [this] { SourceListBoxClick(); };

    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.EditProject, [this] { ProjEditClick(); });
    on(e.toolBar.EditProjectBtn, [this] { ProjEditClick(); });
}

void ProjectEditor::setDirectory(const std::string& dir) {
    if (!e.dd.dirExists(dir)) throw Error("The system cannot find the path specified: " + dir);
    const std::string abs = e.dd.absolute(dir);
    std::vector<std::string> entries;
    for (const auto& d : e.dd.listDirs(abs))
        entries.push_back("[" + d + "]");
    for (const auto& f : e.dd.listFiles(abs, FileMask))
        entries.push_back(f);
    DirBox.show(abs, e.dd.listDirs(abs));
    SourceListBox.setItems(std::move(entries));
    Trans.setText(FileMask);
    ScrDir.setCaption(abs);
    selectDrive(abs);
}

bool ProjectEditor::tryDirectory(const std::string& dir) {
    if (!e.dd.dirExists(dir)) return false;
    setDirectory(dir);
    return true;
}

void ProjectEditor::selectDrive(const std::string& path) {
    std::vector<std::string> drives;
    for (char c : e.dd.drives())
        drives.push_back(std::string(1, c) + ":");
    if (drives != DriveComboBox1.items()) DriveComboBox1.setItems(drives);
    if (path.empty()) return;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    const auto at = e.dd.drives().find(letter);
    DriveComboBox1.setItemIndex(at == std::string::npos ? -1 : static_cast<int>(at));
}

void ProjectEditor::DriveComboBox1Change() {
    const int i = DriveComboBox1.itemIndex();
    if (i < 0) return;
    setDirectory(DriveComboBox1.items()[static_cast<size_t>(i)] + "\\");
}

void ProjectEditor::SourceListBoxClick() {
    const int i = SourceListBox.itemIndex();
    if (i >= 0) Trans.setText(SourceListBox.items()[static_cast<size_t>(i)]);
}

void ProjectEditor::ProjEditClick() {
    if (!e.ProjectLoaded()) {
        const Answer a =
            e.ui.message(MsgKind::Information,
                         "No Project is loaded\rClick OK Open Existing Project\rClick YES to Start a "
                         "New Project",
                         {Answer::Yes, Answer::Ok, Answer::Cancel});
        if (a == Answer::Ok)
            project.OpenProjectClick();
        else if (a == Answer::Yes)
            project.NewProjectClick();
        return;
    }
    e.ProjEditPan.setVisible(true);
    const auto& list = e.ProjectListBox.items();
    if (!list.empty() && ExtractFileDir(list.front()).empty()) return; // a bare name names no folder
    if (list.empty() || !tryDirectory(ExtractFileDir(list.front()))) setDirectory(e.CompSourceDir);
}

void ProjectEditor::AddClick() {
    const std::string entry = AddTrailingBackslash(DirBox.directory()) + Trans.text();
    for (const auto& item : e.ProjectListBox.items()) {
        if (SameText(item, entry)) {
            e.ui.inform("File Exits in Project");
            return;
        }
    }
    e.ProjectListBox.add(entry);
}

void ProjectEditor::RemoveClick() {
    const int i = e.ProjectListBox.itemIndex();
    if (i < 0) return;
    e.ProjectListBox.removeAt(i);
    e.ProjectListBox.setItemIndex(-1); // a second "Remove" must not take the neighbour
}

void ProjectEditor::SpeedButton3Click() {
    for (const auto& item : SourceListBox.items())
        e.ProjectListBox.add(item);
}

void ProjectEditor::SpeedButton4Click() {
    e.ProjectListBox.clear();
}

void ProjectEditor::Button3Click() {
    batch.MakeIdeBatClick();
}

void ProjectEditor::Button4Click() {
    e.ProjEditPan.setVisible(false);
}

} // namespace halyard
