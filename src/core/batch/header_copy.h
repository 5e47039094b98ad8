// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project's headers copied into the headers folder, where the compiler's C_DIR finds them.
// A project file may come from anyone, and the headers folder is by default the compiler working
// folder, which IDE.BAT searches for programs before the tool chain's own folder: so the copy only
// ever writes a file whose name ends in ".h", never a name that a batch or the launcher would run
// (.bat, .cmd, .exe, .com or no extension) nor one of the tool chain's files there (rts.lib,
// lnk.cmd, the programs).
#include <filesystem>
#include <string>
#include <unordered_map>

namespace halyard {

class DosDevices;

// The name the copy of a project entry gets: the file name of the entry once "." and ".." are
// folded the way every file access folds them, when that name ends in ".h" in any case; empty when
// the entry names no header. "x.h\..\cl370.bat" is no header: it names cl370.bat.
std::string HeaderCopyName(const DosDevices& dd, const std::string& entry);

// One generation's copies into one folder. The folder is listed once, not once per header: a lookup
// of a name not yet there would list it again, and with thousands of headers that made opening a
// project take minutes.
class HeaderCopier {
public:
    HeaderCopier(const DosDevices& dd, const std::string& headersDir);
    // Copies the entry (whose HeaderCopyName is not empty) into the folder, replacing a file of that
    // name in any letter case; a header that already lies there, or whose copy already holds the
    // same bytes, is left as it is. Throws "Cannot open file %s" or "Cannot create file %s".
    void copy(const std::string& entry);

private:
    const DosDevices& dd_;
    std::string dir_;
    std::filesystem::path host_;
    std::unordered_map<std::string, std::string> byUpper_; // the folder's names by their upper case
};

} // namespace halyard
