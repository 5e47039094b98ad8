// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// asm370: the TMS370 assembler. Every instruction and addressing mode of the family is encoded
// from the instruction table; sections, data directives, constants and register aliases (.equ),
// symbols shared with other modules; what the linker must finish is left as a relocation.
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
