// SPDX-License-Identifier: GPL-3.0-or-later
// What one tool-chain program costs to start: the native stand-in, the same program as a Windows
// program through Wine with its server kept running (warm), and with the server started afresh for
// every program (cold). A build runs a handful of programs, so the difference is the server.
// The Wine prefix is prepared once in a folder kept for later runs
// (${TMPDIR:-/tmp}/halyard-wine-bench/halyard).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "base/dos_devices.h"
#include "launch/foreign_program.h"

namespace {

using namespace halyard;
namespace fs = std::filesystem;

// Runs spec to its end with its output thrown away.
void runQuietly(SpawnSpec spec) {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    spec.in = spec.out = spec.err = null;
    const SpawnResult r = SpawnProcess(spec);
    ::close(null);
    if (r.started()) WaitForExit(r.pid);
}

const DosDevices& prefix() {
    static DosDevices dd = [] {
        DosDevices d(fs::temp_directory_path() / "halyard-wine-bench" / "halyard");
        d.ensureCreated();
        std::string why;
        if (!FindWine().empty() && !WinePrefixPrepared(d)) PrepareWinePrefix(d, FindWine(), why);
        return d;
    }();
    return dd;
}

SpawnSpec windowsTool() {
    FoundProgram found{
        FoundProgram::Windows, "Z:" + std::string(HALYARD_WIN32_TOOLS_DIR) + "/asm370.exe", {}};
    for (auto& c : found.winPath)
        if (c == '/') c = '\\';
    return PrepareForeignStart(prefix(), found, {"-q"}, {"PATH=/usr/bin:/bin"}, "", "C:\\").spec;
}

void killServer() {
    SpawnSpec spec;
    spec.program = (fs::path(FindWine()).parent_path() / "wineserver").string();
    spec.argv = {spec.program, "-k"};
    spec.env = {"WINEPREFIX=" + prefix().root().string()};
    spec.replaceEnv = true;
    runQuietly(spec);
}

void BM_Native(benchmark::State& state) {
    SpawnSpec spec;
    spec.program = std::string(HALYARD_BIN_DIR) + "/asm370";
    spec.argv = {spec.program, "-q"};
    for (auto _ : state)
        runQuietly(spec);
}
BENCHMARK(BM_Native)->Unit(benchmark::kMillisecond);

void BM_WineWarm(benchmark::State& state) {
    if (FindWine().empty()) return state.SkipWithError("Wine is not installed");
    WineServerKeeper server;
    server.Start(prefix());
    const SpawnSpec spec = windowsTool();
    runQuietly(spec);
    for (auto _ : state)
        runQuietly(spec);
}
BENCHMARK(BM_WineWarm)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_WineCold(benchmark::State& state) {
    if (FindWine().empty()) return state.SkipWithError("Wine is not installed");
    const SpawnSpec spec = windowsTool();
    for (auto _ : state) {
        state.PauseTiming();
        killServer();
        state.ResumeTiming();
        runQuietly(spec);
    }
}
BENCHMARK(BM_WineCold)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
