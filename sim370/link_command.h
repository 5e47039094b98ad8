// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stand-in linker reads command files with Halyard's own reader of the language.
#include "diagnostics.h"
#include "linkcmd/cmd_language.h"

namespace halyard::sim370 {

using linkcmd::CommandFile;
using linkcmd::EvalExpr;
using linkcmd::Expr;
using linkcmd::InputItem;
using linkcmd::LinkArg;
using linkcmd::MemRange;
using linkcmd::OutputSpec;
using linkcmd::ParseCommandFile;
using linkcmd::Target;

} // namespace halyard::sim370
