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

} // namespace halyard
