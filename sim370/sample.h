// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ready-made workspace: installs the stand-in tool chain where Halyard's default settings look
// for the real one, builds the run-time library, and creates a small project that builds with
// Halyard's defaults.
#include <filesystem>
#include <ostream>
#include <string>

#include "tool_env.h"

namespace halyard::sim370 {

struct SampleFolders {
    std::string compilerDir = "C:\\CL370";      // "Program Dir"
    std::string sourceDir = "C:\\texassource";  // "Comp Source"
    std::string headersDir = "C:\\Texassource"; // "Headers"
    std::string projectDir = "C:\\Halyard\\demo";
};

struct SampleRequest {
    SampleFolders folders;
    std::filesystem::path binDir; // where the built cl370, lnk370, asm370 and mk370 are
    bool ifFresh = false;         // do nothing when the tool-chain folder is already set up
    bool force = false;           // also replace sample files the user may have changed
};

// Returns the exit code; reports every step on out.
int InstallSample(const ToolEnv& env, const SampleRequest& r, std::ostream& out);

// The lines of the sample project file (66 option lines, then the sources).
std::vector<std::string> SampleProjectLines(const SampleFolders& f);

} // namespace halyard::sim370
