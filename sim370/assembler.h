// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// asm370: enough of the TMS370 assembler for interrupt-vector tables and small modules: sections,
// data directives, symbols shared with other modules, labels and comments. Instructions are counted
// (three bytes each), not encoded.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "tool_env.h"

namespace halyard::sim370 {

// Writes <stem>.obj into objDir; false when an error was reported.
bool Assemble(const std::filesystem::path& source, const std::string& shownName,
              const std::filesystem::path& objDir, Diagnostics& diags,
              std::filesystem::path* objectOut = nullptr);

// asm370 [options] source [object]; the object goes beside the source unless named.
int RunAsm370(const std::vector<std::string>& args, const ToolEnv& env, std::ostream& out);

} // namespace halyard::sim370
