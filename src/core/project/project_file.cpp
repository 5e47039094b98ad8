// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/project_file.h"

#include <cctype>

#include "base/error.h"
#include "base/paths.h"
#include "batch/ide_bat.h"
#include "editor/editors.h"
#include "linkcmd/cmd_file_mode.h"
#include "options/compiler_options.h"
#include "options/linker_options.h"
#include "project/project_editor.h"
#include "project/project_lines.h"
#include "shell/ide_context.h"
#include "toolchain/int_vectors.h"

namespace halyard {

namespace {
bool namesSource(const std::string& line) {
    for (const char* ext : {".c", ".h", ".C", ".H"})
        if (line.find(ext) != std::string::npos) return true;
    return false;
}

// The text without its last four characters (a project file's ".prj").
std::string stem(const std::string& s) {
    return s.size() > 4 ? s.substr(0, s.size() - 4) : std::string();
}
// "C:\x.prj" or "\\server\share\x.prj": a name that already says where the project goes.
bool isFullPath(const std::string& name) {
    const bool drive = name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) &&
                       name[1] == ':' && IsPathSeparator(name[2]);
    return drive || (name.size() >= 2 && IsPathSeparator(name[0]) && IsPathSeparator(name[1]));
}
} // namespace

ProjectFile::ProjectFile(IdeContext& e, ProjectEditor& projEdit, LinkerOptionsModel& linker, Editors& editors,
                         CompilerOptions& compiler, CmdFileMode& cmdFile, IdeBat& batch)
    : e(e), projEdit(projEdit), linker(linker), editors(editors), compiler(compiler), cmdFile(cmdFile),
      batch(batch) {
    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.OpenProject, [this] { OpenProjectClick(); });
    on(e.toolBar.OpenProjectBtn, [this] { OpenProjectClick(); });
    on(e.menu.SaveProject, [this] { SaveProjectClick(); });
    on(e.menu.SaveProjectAs1, [this] { SaveProjectAs1Click(); });
    on(e.menu.NewProject, [this] { NewProjectClick(); });
    on(e.toolBar.NewProjectBtn, [this] { NewProjectClick(); });
    on(e.menu.UpdateallProjectoptions1, [this] { UpdateallProjectoptions1Click(); });
}

void ProjectFile::BuildProjectLines() {
    std::vector<std::string> lines;
    for (const auto& row : projectLines(e))
        lines.push_back(lineText(row));
    for (const auto& entry : e.ProjectListBox.items())
        lines.push_back(entry);
    e.ProList = std::move(lines);
}

void ProjectFile::checkProject(const std::vector<std::string>& lines, const std::string& path) {
    // The system's text stays the first line; the second tells the user where to mend the file,
    // counting lines from 1 as an editor does.
    const auto where = [&](size_t i) { return "\rLine " + std::to_string(i + 1) + " of " + path; };
    const auto rows = projectLines(e);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i >= lines.size())
            throw Error(ListIndexOutOfBounds(static_cast<long>(i)) + where(i) + " is missing");
        try {
            checkLine(rows[i], lines[i]);
        } catch (const Error& bad) {
            throw Error(bad.what() + where(i));
        }
    }
}

std::vector<std::string> ProjectFile::sourceEntries(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (size_t i = ProjectHeaderLines; i < lines.size(); ++i)
        if (namesSource(lines[i])) out.push_back(lines[i]);
    return out;
}

void ProjectFile::ApplyProjectOptions() {
    auto& o = e.opts;
    checkProject(e.ProList, e.ProjectPath);
    const auto rows = projectLines(e);
    for (int i = 0; i < OptionLines; ++i) {
        applyLine(rows[i], e.ProList.at(i));
        switch (i) {
        case 53:
            o.Optlevel.setEnabled(o.SetOpt.checked());
            break;
        case 55:
            o.L3OSize.setVisible(o.EnableL3Osize.checked());
            break;
        case 56:
            o.FilelevelOpto.setVisible(o.UFlo.checked());
            break;
        case 57:
            o.OptoInfo.setVisible(o.DoOptoInfo.checked());
            break;
        // The level rule runs even when the level did not move, so a hand-edited file cannot leave
        // a level-3 choice checked at another level.
        case 58:
            compiler.OptlevelChange();
            break;
        default:
            break;
        }
    }
    compiler.FormatBoxClick();
}

void ProjectFile::SetUpProject() {
    // Checked whole (by ApplyProjectOptions) before anything changes: a short or malformed file
    // leaves the previous project (controls, strings and source list) exactly as it was.
    ApplyProjectOptions();
    const auto rows = projectLines(e);
    for (int i = OptionLines; i < ProjectHeaderLines; ++i)
        applyLine(rows[i], e.ProList[i]);
    e.opts.OutputFile.setText(e.ObjectFile);
    cmdFile.ShowCmdFileName();

    e.ProjectListBox.setItems(sourceEntries(e.ProList));
    e.startupDone = true;
    if (e.ProjectListBox.count() == 0) {
        e.ui.inform("No source files in project");
    } else {
        // A first source whose folder has gone leaves the directory list where it is; the project
        // is still set up in full.
        const std::string dir = ExtractFileDir(e.ProjectListBox.items().front());
        if (!dir.empty()) projEdit.tryDirectory(dir);
    }
    if (e.LinkerCmdLine.find("-z") != std::string::npos) e.LinkSwitch = "-z ";
    e.Intbatch.clear();
    if (!e.ProList.empty()) e.Intbatch.push_back(ProjectVectorsLine(e.CompSourceDir));
}

void ProjectFile::Openpro(const std::string& path) {
    e.ProjEditPan.setVisible(true);
    auto lines = e.dd.readLines(path);
    if (!lines.empty()) checkProject(lines, path);
    e.ProList = std::move(lines);
    e.ProjectPath = path;
    e.UpdateStatusPanels();
    if (e.ProList.empty()) {
        ResetInvalidProject();
        return;
    }
    SetUpProject();
    e.dd.setCurrentDirectory(e.CompSourceDir);
    batch.MakeIdeBatClick();
}

void ProjectFile::ResetInvalidProject() {
    e.ui.inform("Project file invalid setting defaults");
    linker.setLinkerDefs();
    compiler.SetDefsClick();
    BuildProjectLines();
    e.ProjectPath = AddTrailingBackslash(e.InstallDir) + "default.prj";
    e.startupDone = true;
    e.UpdateStatusPanels();
    e.dd.writeLines(e.ProjectPath, e.ProList);
}

void ProjectFile::OpenProjectClick() {
    if (auto path = e.ui.openFile(OpenProjectDialog)) Openpro(*path);
}

void ProjectFile::SaveProjectClick() {
    batch.MakeClick();
    if (!e.ProjectLoaded()) {
        e.ui.message(MsgKind::Information, "No Project loaded", {Answer::Ok});
        return;
    }
    // Only a project named with "New Project" before anything built its lines gets here with none: it
    // is written as the window holds it, since an empty file would be taken for an invalid project
    // at the next open and reset to the defaults.
    if (e.ProList.empty()) BuildProjectLines();
    try {
        editors.SaveEdtorFiles();
        e.dd.writeLines(e.ProjectPath, e.ProList);
    } catch (const std::exception&) {
        e.ui.inform("Project save error, No files in project?");
    }
}

void ProjectFile::SaveProjectAs1Click() {
    SaveDialog1.fileName = e.StatusBar.panel(0).text;
    SaveDialog1.initialDir = e.CompSourceDir;
    SaveDialog1.filter = "*.prj";
    if (auto path = e.ui.saveFile(SaveDialog1)) {
        if (e.ProList.empty()) BuildProjectLines(); // as for "Save Project": never an empty file
        e.dd.writeLines(*path, e.ProList);
    }
}

void ProjectFile::NewProjectClick() {
    TNewProjPan dialog;
    dialog.projname.setText(e.ProjectPath);
    if (e.ui.execute(dialog) != Answer::Ok) return;
    // The box starts with the current project's full path; taking that as a name inside InstallDir
    // would make "C:\Halyard\C:\Halyard\demo\blink.prj".
    std::string name = dialog.projname.text();
    if (ExtractFileName(TrimRight(name)).find('.') == std::string::npos) name = TrimRight(name) + ".prj";
    const std::string path = isFullPath(name) ? name : AddTrailingBackslash(e.InstallDir) + name;
    e.StatusBar.setText(0, path);
    e.ProjectPath = path;
    e.startupDone = true;
    e.SaveSettings();
    projEdit.Label50.setCaption(stem(ExtractFileName(path)));
    e.ProjEditPan.setVisible(true);
}

void ProjectFile::UpdateallProjectoptions1Click() {
    BuildProjectLines();
}

} // namespace halyard
