// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project file and the project commands: open, save, save as, new and update. The file is 66
// positional lines (the options, then four state strings) followed by the source files.
#include <string>
#include <vector>

#include "base/controls.h"
#include "base/ports.h"

namespace halyard {

class IdeContext;
class CmdFileMode;
class CompilerOptions;
class Editors;
class IdeBat;
class LinkerOptionsModel;
class ProjectEditor;

// "New Project": the name of the new project file, taken as a name inside the install folder.
class TNewProjPan : public ModalDialog {
public:
    static constexpr const char* Kind = "TNewProjPan";
    static constexpr int HelpContext = 7;
    const char* kind() const override { return Kind; }
    Edit projname;
};

class ProjectFile {
public:
    ProjectFile(IdeContext& e, ProjectEditor& projEdit, LinkerOptionsModel& linker, Editors& editors,
                CompilerOptions& compiler, CmdFileMode& cmdFile, IdeBat& batch);

    FileDialog OpenProjectDialog{"Load Project", "Project|*.prj", "", "", "*.prj"};
    FileDialog SaveDialog1{"", "Project File|*.prj|Compiler Batch File|*.bat", "", "", ""};

    // ProList from the controls, the four state strings and the source list; writes no file.
    void BuildProjectLines();
    // ProList's option lines into the controls, with their dependent enabling.
    void ApplyProjectOptions();
    // Applies a freshly loaded ProList. A list that would fail part-way is refused before anything
    // changes, with the message the failing line gives.
    void SetUpProject();
    void Openpro(const std::string& path);
    void ResetInvalidProject();

    void OpenProjectClick();
    void SaveProjectClick();
    void SaveProjectAs1Click();
    void NewProjectClick();
    void UpdateallProjectoptions1Click();

    // Throws the error ("List index out of bounds (%d)", "'%s' is not a valid integer value") at
    // which applying `lines` would stop, with a second line naming the line number and `path`;
    // returns when the whole project can be applied.
    void checkProject(const std::vector<std::string>& lines, const std::string& path);
    // Lines 66 onward that name a C source or a header: they become the source list.
    static std::vector<std::string> sourceEntries(const std::vector<std::string>& lines);

private:
    IdeContext& e;
    ProjectEditor& projEdit;
    LinkerOptionsModel& linker;
    Editors& editors;
    CompilerOptions& compiler;
    CmdFileMode& cmdFile;
    IdeBat& batch;
};

} // namespace halyard
