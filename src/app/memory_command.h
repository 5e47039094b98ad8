// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "halyard-build memory": the memory use of a project's last link, as a table or JSON, compared with
// an earlier JSON, and a gate for continuous integration.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace halyard {

class TEmbedded;

struct MemoryCommandArgs {
    std::string project, against, map;
    bool json = false;
    std::optional<double> failAbove;
};

// The arguments after "memory"; nullopt with `why` for a usage error.
std::optional<MemoryCommandArgs> ParseMemoryArgs(const std::vector<std::string>& args, std::string& why);

// Runs the command on the opened project: 0 when done (and below every limit), 1 when a range is
// above --fail-above, 2 when there is no map to read or --against names no snapshot.
int RunMemoryCommand(TEmbedded& e, const MemoryCommandArgs& a, std::ostream& out, std::ostream& err);

} // namespace halyard
