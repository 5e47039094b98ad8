// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding the file a command or a launch names, the way Windows finds it: the folder named, else
// the folders searched in order; a name without extension is tried with .COM, .EXE, .BAT and .CMD
// and, because the stand-in tools are native Linux programs, also bare; a name ending in .EXE or
// .COM is also tried without it. What a program is comes from its header: a Windows or DOS program
// needs no execute bit, a native one does.
#include <filesystem>
#include <string>
#include <vector>

#include "base/dos_devices.h"

namespace halyard {

struct FoundProgram {
    enum Kind { None, Batch, Native, Document, Windows, Dos };
    bool foreign() const { return kind == Windows || kind == Dos; }
    Kind kind = None;
    std::string winPath;        // the Windows path found
    std::filesystem::path host; // its host path
};

// name is a Windows path or a bare name; a name with a folder or drive is looked up there only,
// a bare name in each of dirs (Windows folders; folders that do not exist find nothing).
// Documents (existing files that are neither batch files nor executable) are returned only when
// acceptDocuments is set and the name matched exactly.
FoundProgram FindProgram(const DosDevices& dd, const std::string& name, const std::vector<std::string>& dirs,
                         bool acceptDocuments = false);

// The folders of a Windows PATH value, in order, without blanks or quotes around them.
std::vector<std::string> SplitWindowsPath(const std::string& value);

bool IsBatchFileName(const std::string& name);

// The tool chain's own programs and the folder they are taken from when nobody says otherwise.
inline constexpr const char* ToolChainPrograms[] = {"cl370", "asm370", "mk370", "lnk370"};
inline constexpr const char* DefaultToolChainFolder = "C:\\CL370";
// The variable through which Halyard tells halyard-batch its tool-chain folder.
inline constexpr const char* ToolChainVariable = "HALYARD_TOOL_CHAIN";

// "cl370" when name (bare or with a folder, with or without .COM, .EXE, .BAT or .CMD) calls one of
// the tool chain's programs; empty otherwise.
std::string ToolChainProgramOf(const std::string& name);

// A program called like one of the tool chain's that stands where it would be found before the
// tool-chain folder: in the folder a path names, or in dirs (the current folder, then PATH) before
// the tool-chain folder. Checked whenever a tool-chain program is to run, for all four names, since
// cl370 starts the others itself. Nothing found when name calls no tool-chain program.
struct ToolChainImpostor {
    std::string winPath; // the file found, empty for none
    std::string program; // the tool-chain program it would stand in for
};
ToolChainImpostor FindToolChainImpostor(const DosDevices& dd, const std::string& name,
                                        const std::vector<std::string>& dirs,
                                        const std::string& toolChainDir);
// "C:\texassource\cl370.bat is not the tool chain's cl370; remove it or rename it"
std::string ImpostorText(const ToolChainImpostor& impostor);

} // namespace halyard
