// SPDX-License-Identifier: GPL-3.0-or-later
// Readers on inputs of growing size: each must take time in proportion to its input (or N log N),
// at four sizes each: a settings file with many tools, command files with many MEMORY ranges, many
// ranges laid over each other, many placements or many input files, a long batch block, one long
// output line that never ends, a project with many headers, a map file whose memory table has no
// "used" column. A case-insensitive lookup in a large folder must not cost a listing of the folder
// every time. Only figures are printed ("BigO" and "RMS" close each case); nothing is asserted.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "batch/batch_interpreter.h"
#include "launch/line_splitter.h"
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

// N ranges at one place: each overlaps every earlier one, and is reported once.
void BM_CheckIdenticalRanges(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string text = "MEMORY\n{\n";
    for (int i = 0; i < n; ++i)
        text += "  R" + std::to_string(i) + " : origin = 0100h, length = 0F00h\n";
    text += "}\n";
    TempRoot t;
    for (auto _ : state)
        benchmark::DoNotOptimize(linkcmd::CheckCommandFile(text, "x.cmd", t.dd, "C:\\").size());
    state.SetComplexityN(n);
}
BENCHMARK(BM_CheckIdenticalRanges)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Arg(16000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// N ranges (spread over pages, as the address space holds 4096 of them) and N sections placed at
// an address, each looked for among the ranges.
void BM_CheckManyPlacements(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string text = "MEMORY\n{\n";
    for (int i = 0; i < n; ++i) {
        if (i % 4096 == 0) text += "PAGE " + std::to_string(i / 4096) + ":\n";
        text += "  R" + std::to_string(i) + " : origin = " + linkcmd::Hex(i % 4096 * 16) + ", length = 10h\n";
    }
    text += "}\nSECTIONS\n{\n";
    for (int i = 0; i < n; ++i)
        text += "  .s" + std::to_string(i) + " : load = " + linkcmd::Hex((n - 1 - i) % 4096 * 16 + 3) + "\n";
    text += "}\n";
    TempRoot t;
    for (auto _ : state)
        benchmark::DoNotOptimize(linkcmd::CheckCommandFile(text, "x.cmd", t.dd, "C:\\").size());
    state.SetComplexityN(n);
}
BENCHMARK(BM_CheckManyPlacements)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// N input-file lines naming N different files in four folders, one in eight of them there.
void BM_CheckManyInputFiles(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TempRoot t;
    std::string text = "SECTIONS\n{\n  .text :\n  {\n";
    for (int i = 0; i < n; ++i) {
        const std::string name = "OBJ" + std::to_string(i % 4) + "\\m" + std::to_string(i) + ".obj";
        if (i % 8 == 0 && i < 8000) {
            const fs::path dir = t.root / "drive_c" / ("obj" + std::to_string(i % 4));
            fs::create_directories(dir);
            std::ofstream(dir / ("m" + std::to_string(i) + ".obj"));
        }
        text += "    " + name + "(.text)\n";
    }
    text += "  }\n}\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(linkcmd::CheckCommandFile(text, "x.cmd", t.dd, "C:\\").size());
    state.SetComplexityN(n);
}
BENCHMARK(BM_CheckManyInputFiles)
    ->Arg(125000)
    ->Arg(250000)
    ->Arg(500000)
    ->Arg(1000000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// A tool printing N bytes without a line end, read from its pipe 4 KiB at a time.
void BM_SplitALongUnterminatedLine(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    const std::string piece(4096, 'x');
    size_t lines = 0;
    const LineSplitter::Sink sink = [&lines](const std::string&) { ++lines; };
    for (auto _ : state) {
        LineSplitter splitter;
        for (size_t done = 0; done < n; done += piece.size())
            splitter.feed(piece.data(), piece.size(), sink);
        splitter.finish(sink);
    }
    benchmark::DoNotOptimize(lines);
    state.SetComplexityN(static_cast<int64_t>(n));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_SplitALongUnterminatedLine)
    ->Arg(12500000)
    ->Arg(25000000)
    ->Arg(50000000)
    ->Arg(100000000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// Opening a project of one source and N headers: the project is read, its headers are copied into
// the headers folder and IDE.BAT is made, as "&Open Project" and every "Make" do.
void BM_OpenProjectWithManyHeaders(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TempRoot t;
    t.dd.createDirs("C:\\texassource");
    t.dd.createDirs("C:\\CL370");
    t.dd.createDirs("C:\\work");
    QuietUi ui;
    NoSettings settings;
    NoLauncher launcher;
    Clock clock;
    TEmbedded e({ui, settings, launcher, t.dd, clock});
    e.startupDone = true;
    e.compiler.SetDefsClick();
    e.linker.setLinkerDefs();
    std::vector<std::string> entries{"C:\\work\\main.c"};
    t.dd.writeBytes(entries[0], "int main(void) { return 0; }\n");
    for (int i = 0; i < n; ++i) {
        entries.push_back("C:\\work\\h" + std::to_string(i) + ".h");
        std::ofstream(t.root / "drive_c" / "work" / ("h" + std::to_string(i) + ".h"))
            << "#define H" << i << "\n";
    }
    e.ProjectListBox.setItems(entries);
    e.ProjectPath = "C:\\work\\many.prj";
    e.project.BuildProjectLines();
    t.dd.writeLines(e.ProjectPath, e.ProList);
    for (auto _ : state) {
        e.project.Openpro("C:\\work\\many.prj");
        benchmark::DoNotOptimize(e.Memo1.size());
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_OpenProjectWithManyHeaders)
    ->Arg(625)
    ->Arg(1250)
    ->Arg(2500)
    ->Arg(5000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// A map whose memory table has no "used" column, with N ranges and a section in each: the use of
// every range is summed from the section allocation map.
void BM_ReadMapWithoutUsedColumn(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    char row[128];
    std::vector<std::string> lines{"MEMORY CONFIGURATION", "",
                                   "           name      origin    length      attr    fill",
                                   "         --------  --------  ---------  ----  --------"};
    for (int i = 0; i < n; ++i) {
        std::snprintf(row, sizeof row, "%s R%-7d  %08x  %09x  RWX", i == 0 ? "PAGE 0:" : "       ", i, i * 16,
                      16);
        lines.push_back(row);
    }
    lines.insert(lines.end(),
                 {"", "SECTION ALLOCATION MAP", "", " output", "section   page    origin      length",
                  "--------  ----  ----------  ----------"});
    for (int i = 0; i < n; ++i) {
        std::snprintf(row, sizeof row, ".s%-7d 0    %08x    %08x", i, (n - 1 - i) * 16, 8);
        lines.push_back(row);
    }
    lines.push_back("GLOBAL SYMBOLS");
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadMemoryUse(lines).size());
    state.SetComplexityN(n);
}
BENCHMARK(BM_ReadMapWithoutUsedColumn)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
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
