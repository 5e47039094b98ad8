// Readers on inputs of growing size: each must take time in proportion to its input (a settings
// file with many tools, a command file with many MEMORY ranges, a long batch block), and a
// case-insensitive lookup in a large folder must not cost a listing of the folder every time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "batch/batch_interpreter.h"
#include "linkcmd/cmd_check.h"
#include "linkcmd/cmd_language.h"
#include "shell/embedded.h"
#include "shell/ini_settings.h"
#include "tool_output/memory_map.h"

#include "support/quiet_ports.h"

namespace {

using namespace halyard;
using namespace halyard::test;
namespace fs = std::filesystem;

// A drive mapping in a folder of its own, removed at the end.
struct TempRoot {
    fs::path root = fs::temp_directory_path() / ("halyard-scaling-bench-" + std::to_string(::getpid()));
    DosDevices dd{root};
    TempRoot() {
        dd.ensureCreated();
        dd.setCurrentDirectory("C:\\");
    }
    ~TempRoot() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

// N programming tools and N user tools, as the settings dialog stores them.
void BM_LoadSettingsWithManyTools(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TempRoot t;
    const fs::path file = t.root / "Halyard.conf";
    {
        std::ofstream out(file);
        out << "[General]\nPTCount=" << n << "\nUTCount=" << n << "\n";
        for (int i = 0; i < n; ++i)
            out << "PTools" << i << "=Programmer " << i << "\nPTNames" << i << "=C:\\\\tools\\\\prog" << i
                << ".exe\nUTools" << i << "=Tool " << i << "\nUTNames" << i << "=C:\\\\tools\\\\tool" << i
                << ".exe\nUTParams" << i << "=-x " << i << "\n";
    }
    IniSettings settings(file);
    QuietUi ui;
    NoLauncher launcher;
    Clock clock;
    for (auto _ : state) {
        TEmbedded e({ui, settings, launcher, t.dd, clock});
        e.LoadSettings();
        benchmark::DoNotOptimize(e.tools.ProgToolPaths.size());
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_LoadSettingsWithManyTools)
    ->Arg(750)
    ->Arg(1500)
    ->Arg(3000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// N MEMORY ranges, read and checked.
void BM_CheckCommandFileWithManyRanges(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string text = "MEMORY\n{\n";
    for (int i = 0; i < n; ++i)
        text += "  R" + std::to_string(i) + " : origin = " + std::to_string(i) + ", length = 1\n";
    text += "}\nSECTIONS\n{\n  .text : > R0\n}\n";
    TempRoot t;
    for (auto _ : state)
        benchmark::DoNotOptimize(linkcmd::CheckCommandFile(text, "x.cmd", t.dd, "C:\\").size());
    state.SetComplexityN(n);
}
BENCHMARK(BM_CheckCommandFileWithManyRanges)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// A parenthesised block of N lines, run and skipped.
void BM_BatchBlock(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string text = "(\r\n";
    for (int i = 0; i < n; ++i)
        text += "  set x=" + std::to_string(i) + "\r\n";
    text += ")\r\nif exist nope (\r\n";
    for (int i = 0; i < n; ++i)
        text += "  echo skipped\r\n";
    text += ")\r\n";
    TempRoot t;
    t.dd.writeBytes("C:\\t.bat", text);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC), out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    for (auto _ : state) {
        BatchInterpreter bi(t.dd, {"PATH=C:\\"}, {in, out, out});
        bi.setEcho(false);
        benchmark::DoNotOptimize(bi.runFile("C:\\t.bat", {}));
    }
    ::close(in);
    ::close(out);
    state.SetComplexityN(n);
}
BENCHMARK(BM_BatchBlock)->Arg(4000)->Arg(8000)->Arg(16000)->Complexity()->Unit(benchmark::kMillisecond);

// One lookup of a name written in another case, in a folder of N files that has not changed for a
// while (as a library's or a tool chain's folder): the time of one lookup must not grow with N.
void BM_CaseInsensitiveLookupInALargeFolder(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TempRoot t;
    const fs::path dir = t.root / "drive_c" / "many";
    fs::create_directories(dir);
    for (int i = 0; i < n; ++i)
        std::ofstream(dir / ("file" + std::to_string(i) + ".obj"));
    // The index keeps a listing only once the folder's change time lies more than three whole
    // seconds back; with second-grained times that can take up to four, and a run measured before
    // that would time a fresh listing on every lookup.
    std::this_thread::sleep_for(std::chrono::milliseconds(4500));
    int i = 0;
    for (auto _ : state) {
        const std::string name = "C:\\MANY\\FILE" + std::to_string(i++ % n) + ".OBJ";
        benchmark::DoNotOptimize(t.dd.fileExists(name));
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_CaseInsensitiveLookupInALargeFolder)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Complexity()
    ->Unit(benchmark::kMicrosecond);

} // namespace

// A project of N headers opened (which regenerates IDE.BAT and copies every header into the
// headers folder, empty at first) and made again with the copies in place.
void BM_OpenProjectWithManyHeaders(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TempRoot t;
    QuietUi ui;
    NoSettings settings;
    NoLauncher launcher;
    Clock clock;
    TEmbedded e({ui, settings, launcher, t.dd, clock});
    t.dd.createDirs("C:\\texassource");
    t.dd.createDirs("C:\\work");
    std::vector<std::string> sources{"C:\\work\\main.c"};
    t.dd.writeBytes(sources.front(), "int main(void) { return 0; }\n");
    for (int i = 0; i < n; ++i) {
        sources.push_back("C:\\work\\h" + std::to_string(i) + ".h");
        t.dd.writeBytes(sources.back(), "#define H 1\n");
    }
    e.ProjectListBox.setItems(sources);
    e.project.BuildProjectLines();
    t.dd.writeLines("C:\\work\\many.prj", e.ProList);
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(t.dd.toHost("C:\\texassource"), ec);
        t.dd.createDirs("C:\\texassource");
        state.ResumeTiming();
        e.project.Openpro("C:\\work\\many.prj");
        e.batch.MakeIdeBatClick();
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_OpenProjectWithManyHeaders)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// A map without a "used" column, N ranges and N sections placed in them.
void BM_MapWithoutUsedColumn(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> lines{"MEMORY CONFIGURATION", "  name  origin  length  attributes"};
    for (int i = 0; i < n; ++i)
        lines.push_back((i ? "         R" : "PAGE 0:  R") + std::to_string(i) + "  " + linkcmd::Hex(i * 16) +
                        "  0010h  RW");
    lines.emplace_back("SECTION ALLOCATION MAP");
    for (int i = n - 1; i >= 0; --i)
        lines.push_back(".s" + std::to_string(i) + "  0  " + linkcmd::Hex(i * 16 + 4) + "  00000004");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadMemoryUse(lines).size());
    state.SetComplexityN(n);
}
BENCHMARK(BM_MapWithoutUsedColumn)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Complexity(benchmark::oNLogN)
    ->Unit(benchmark::kMillisecond);
