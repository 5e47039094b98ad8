// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The linker, reached through "cl370 ... -z" or run alone as lnk370: options from the command
// line and from command files, objects and libraries, symbol resolution, placement, and the output
// and map files, which are written only when the link succeeded.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "placement.h"
#include "tool_env.h"

namespace halyard::sim370 {

struct LinkOptions {
    bool absolute = false, relocatable = false, romInit = false, ramInit = false, globalStatic = false;
    bool ignoreFill = false, quiet = false, strip = false, rereadLibraries = false;
    std::string output = "a.out", map, entry;
    std::vector<std::string> undefined, libDirs;
    std::optional<std::int64_t> heap, hardStack, softStack, fill;
};

// args: the words after "-z" (or of the lnk370 command line); objects: host paths of modules that
// cl370 has just compiled, linked first. Returns the exit code. Messages go to out, or through
// shared when the caller collects them.
int RunLinker(const std::vector<std::string>& args, const std::vector<std::string>& objects,
              const ToolEnv& env, std::ostream& out, Diagnostics* shared = nullptr);

// The map file text.
std::vector<std::string> MapFileLines(const LinkOptions& o, const Placement& p,
                                      const std::string& outputName);

} // namespace halyard::sim370
