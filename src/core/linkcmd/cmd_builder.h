// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command-file builder's operations: library and MEMORY lines, output sections with their
// placement, input-section blocks, the assembly of the whole file, its check and its saving.
#include <string>
#include <vector>

#include "base/ports.h"
#include "linkcmd/sections_edit.h"

namespace halyard {

class IdeContext;
class CmdFileMode;
class LinkerOptionsModel;
struct LinkCmdControls;

class CmdBuilder {
public:
    CmdBuilder(IdeContext& e, LinkerOptionsModel& linker, CmdFileMode& cmdFile);

    FileDialog SelectLib{"Select Object Libararys", " Object Libararys [*.lib]|*.lib|Any file|*.*", "", "",
                         "*.lib"};
    FileDialog Openobj{"Select Object File", "Object File [*.obj]|*.obj|All files |*.*", "", "", "*.obj"};
    FileDialog Savecmddlg{"Save Hex File", "Linker Ciommand Files |*.cmd", "A:\\", "", "*.cmd"};
    TSectionsEdit SectionsEdit;

    // LIBRARIES and MEMORY.
    void AddLibClick();
    void AddMemClick();
    // Output sections.
    void SpeedButton5Click();
    void NewNameClick();
    void SetuploadClick();
    void SetUpRunParsClick();
    void AddTypeClick();
    void AddFillClick();
    void Addsec();
    void InsertClick();
    void ReplaceBtnClick();
    void EditPLineClick();
    void SectionListClick();
    void Button30Click();
    // Input sections.
    void CreateIPSecClick();
    void SelectFilesClick();
    void AddIPSectionClick();
    void AbortIpsectionClick();
    // BUILD.
    void IncludeClick();
    void BuildCommandClick();
    void ClearLinkerOptions();
    void saveCMDClick();
    void CheckClick();
    // "Remove" on a list: the selected line goes; a MEMORY line takes its region along.
    void RemoveLib();
    void RemoveMem();
    void RemoveSection();

private:
    bool SectionNameCheck();
    bool IsReservedWord();
    bool placement(const char* caption, const std::string& joint);
    std::vector<std::string> inputLines() const;
    void setInputLines(const std::vector<std::string>& lines);
    bool removeSelected(ListBox& list);

    IdeContext& e;
    LinkerOptionsModel& linker;
    CmdFileMode& cmdFile;
    LinkCmdControls& c;
};

} // namespace halyard
