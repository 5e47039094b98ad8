// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// cl370, the compiler shell: switches, the check of each C source with the host's C compiler (or,
// without one, the stand-in's own preprocessor and check), the object and listing files, and the
// hand-over to the linker after "-z".
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "tool_env.h"

namespace halyard::sim370 {

struct CompilerOptions {
    bool quiet = false, compileOnly = false, keepAsm = false, interlist = false, asmListing = false;
    bool kr = false, ppList = false, ppOnly = false, suppressWarnings = false, c8 = false;
    std::string objDir; // "-fr": where objects and listings go; empty: the current folder
    std::vector<std::string> includeDirs, defines;
    std::vector<std::string> sources;
    bool link = false;                 // "-z" seen
    std::vector<std::string> linkArgs; // everything after "-z"
};

// Reports an unknown switch (as the tool "cl370") and returns false.
bool ParseCompilerArgs(const std::vector<std::string>& args, CompilerOptions& o, Diagnostics& diags,
                       const std::string& tool = "cl370");

// One gcc diagnostic line ("file:12:5: error: text") in the tool chain's form; false for other lines.
bool ConvertHostDiagnostic(const std::string& line, Diagnostic& out);

// Checks one C source and writes its object into objDir; false when an error was reported.
bool CompileC(const ToolEnv& env, const CompilerOptions& o, const std::filesystem::path& source,
              const std::string& shownName, const std::filesystem::path& objDir,
              const std::vector<std::filesystem::path>& extraIncludes, Diagnostics& diags,
              std::filesystem::path* objectOut = nullptr);

// The whole cl370 run; returns the exit code.
int RunCl370(const std::vector<std::string>& args, const ToolEnv& env, std::ostream& out);

} // namespace halyard::sim370
