// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory_command.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/error.h"
#include "shell/embedded.h"
#include "tool_output/memory_model.h"
#include "tool_output/memory_report.h"

namespace halyard {

std::optional<MemoryCommandArgs> ParseMemoryArgs(const std::vector<std::string>& args, std::string& why) {
    MemoryCommandArgs a;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& w = args[i];
        auto valueOf = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                why = w + " needs " + what;
                return std::nullopt;
            }
            return args[++i];
        };
        if (w == "--json") {
            a.json = true;
        } else if (w == "--against") {
            auto v = valueOf("a JSON file");
            if (!v) return std::nullopt;
            a.against = *v;
        } else if (w == "--map") {
            auto v = valueOf("a map file");
            if (!v) return std::nullopt;
            a.map = *v;
        } else if (w == "--fail-above") {
            auto v = valueOf("a percentage");
            if (!v) return std::nullopt;
            char* end = nullptr;
            errno = 0;
            const double p = std::strtod(v->c_str(), &end);
            if (v->empty() || *end != '\0' || errno != 0 || !std::isfinite(p) || p < 0 || p > 100) {
                why = "--fail-above takes a percentage from 0 to 100, not '" + *v + "'";
                return std::nullopt;
            }
            a.failAbove = p;
        } else if (w.size() > 1 && w[0] == '-' && w[1] == '-') {
            why = "unknown option " + w;
            return std::nullopt;
        } else if (a.project.empty()) {
            a.project = w;
        } else {
            why = "one PROJECT only ('" + a.project + "' and '" + w + "')";
            return std::nullopt;
        }
    }
    if (a.project.empty()) {
        why = "PROJECT is missing";
        return std::nullopt;
    }
    return a;
}

int RunMemoryCommand(TEmbedded& e, const MemoryCommandArgs& a, std::ostream& out, std::ostream& err) {
    std::string map;
    if (!a.map.empty()) {
        map = e.dd.absolute(e.dd.fromCommandLine(a.map));
    } else {
        // The link's options as the build would use them.
        if (!e.run([&e] { e.compiler.OptionsOK2Click(); })) return 1;
        map = e.buildOutput.projectMapFile();
        if (map.empty()) {
            err << "halyard-build: the project's link writes no map file (no -m in its command file or "
                   "linker options)\n";
            return 2;
        }
    }
    if (!e.dd.fileExists(map)) {
        err << "halyard-build: there is no map file yet: " << map << " does not exist"
            << (a.map.empty() ? "; build the project first" : "") << '\n';
        return 2;
    }
    MemoryModel model;
    try {
        model = ReadMemoryModel(e.dd.readLines(map));
    } catch (const Error& error) {
        err << "halyard-build: " << error.what() << '\n';
        return 2;
    }
    for (const auto& p : model.problems)
        err << map << ": " << p << '\n';
    if (model.ranges.empty()) {
        err << "halyard-build: the map file " << map << " holds no memory configuration\n";
        return 2;
    }

    std::optional<MemoryDiff> diff;
    MemorySnapshot now = SnapshotOf(model);
    if (!a.against.empty()) {
        const std::string file = e.dd.fromCommandLine(a.against);
        std::string why;
        std::optional<MemorySnapshot> before;
        try {
            before = ReadSnapshot(e.dd.readBytes(file), &why);
        } catch (const Error& error) {
            why = error.what();
        }
        if (!before) {
            err << "halyard-build: " << a.against << " is no memory snapshot: " << why << '\n';
            return 2;
        }
        diff = CompareMemory(*before, now);
    }

    if (a.json) {
        out << MemoryModelJson(model, map, diff ? &*diff : nullptr);
    } else {
        for (const auto& row : MemoryUseTable(model.ranges))
            out << row << '\n';
        if (diff) {
            out << "\nChange against " << a.against << ":\n";
            for (const auto& row : ChangeTable(now, *diff))
                out << row << '\n';
        }
    }
    if (a.failAbove) {
        const auto above = RangesAbove(model.ranges, *a.failAbove);
        for (const auto& line : above)
            err << "halyard-build: " << line << '\n';
        if (!above.empty()) return 1;
    }
    return 0;
}

} // namespace halyard
