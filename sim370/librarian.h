// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// mk370, the library build utility: compiles every C source of a source archive (such as rts.src)
// like cl370 does and collects the objects into an object library.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tool_env.h"

namespace halyard::sim370 {

// mk370 [--v --u --h --c --k --q] [compiler options] source_archive -l library
// Object files and extracted sources are written into workDir.
int RunMk370(const std::vector<std::string>& args, const ToolEnv& env, const std::filesystem::path& workDir,
             std::ostream& out);

} // namespace halyard::sim370
