// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every stand-in tool needs from its surroundings: the drive mapping Halyard uses (so that the
// Windows paths of IDE.BAT reach the right host files), the C_DIR search list, and a way to run the
// host C compiler.
#include <filesystem>
#include <string>
#include <vector>

#include "base/dos_devices.h"

namespace halyard::sim370 {

struct ToolEnv {
    DosDevices dd;
    std::vector<std::string> cDir; // Windows folders, in search order

    ToolEnv(std::filesystem::path root, const std::string& cDirList);
    // The mapping under DosDevices::defaultRoot(), C_DIR from the environment.
    static ToolEnv fromProcess();

    // A Windows path (or an existing absolute host path) as a host path.
    std::filesystem::path host(const std::string& path) const;
    // The first folder of dirs (then C_DIR) holding name; empty when none does.
    std::filesystem::path find(const std::string& name, const std::vector<std::string>& dirs) const;
};

std::vector<std::string> SplitList(const std::string& text, char separator);

struct ProcessResult {
    int exitCode = -1;
    std::string output; // stdout and stderr together
};
// Runs a program found through the host PATH, without a shell.
ProcessResult RunProcess(const std::vector<std::string>& argv);
// Whether RunProcess finds name on the PATH.
bool HostProgramAvailable(const std::string& name);

} // namespace halyard::sim370
