// SPDX-License-Identifier: GPL-3.0-or-later
// Finding one's way in a large project: 2,000 generated C files (about 10 MB). Find in Files for a
// whole word against `grep -rnw` as the floor, and the symbol index made by Universal Ctags: the
// time until Go to Definition finds a name, and the peak memory of ctags (children's max RSS).
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <thread>

#include "search/find_in_files.h"
#include "search/symbol_index.h"

namespace fs = std::filesystem;
using namespace halyard;

namespace {

struct Tree {
    fs::path dir = fs::temp_directory_path() / "halyard-code-search-bench";
    std::vector<std::pair<std::string, std::string>> files; // (name, host path)
    Tree() {
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (int i = 0; i < 2000; ++i) {
            const fs::path p = dir / ("unit" + std::to_string(i) + ".c");
            std::ofstream out(p);
            out << "#include <stddef.h>\n/* unit " << i << " */\n";
            for (int f = 0; f < 40; ++f) {
                out << "static int counter_" << i << "_" << f << " = " << f << ";\n"
                    << "int function_" << i << "_" << f << "(int value)\n{\n"
                    << "    int result = value * " << f << " + counter_" << i << "_" << f << ";\n"
                    << "    if (result > 100) result -= leds_show(result);\n"
                    << "    return result;\n}\n\n";
            }
            files.emplace_back("C:\\bench\\unit" + std::to_string(i) + ".c", p.string());
        }
    }
    ~Tree() { fs::remove_all(dir); }
};

Tree& tree() {
    static Tree t;
    return t;
}

// state.range(0): 1 for the word used on 80,000 lines, 0 for a text on one line, any case.
void FindInFiles(benchmark::State& state) {
    Tree& t = tree();
    const FindQuery query =
        state.range(0) ? FindQuery{"leds_show", false, true, true} : FindQuery{"UNIT 1999 "};
    for (auto _ : state) {
        FileSearch search;
        search.start(t.files, query);
        size_t hits = 0;
        while (search.running()) {
            hits += search.take().size();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        search.stop();
        hits += search.take().size();
        benchmark::DoNotOptimize(hits);
        state.counters["hits"] = static_cast<double>(hits);
    }
}
BENCHMARK(FindInFiles)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void GrepFloor(benchmark::State& state) {
    const std::string command = (state.range(0) ? "grep -rnw leds_show " : "grep -rni 'UNIT 1999 ' ") +
                                tree().dir.string() + " > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
}
BENCHMARK(GrepFloor)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void IndexUntilFirstDefinition(benchmark::State& state) {
    const std::string ctags = SymbolIndex::FindCtags();
    if (ctags.empty()) {
        state.SkipWithError("no Universal Ctags");
        return;
    }
    Tree& t = tree();
    size_t symbols = 0;
    for (auto _ : state) {
        SymbolIndex index(ctags);
        index.rebuild(t.files);
        while (index.definitions("function_1999_39").empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        symbols = index.startingWith("", 1u << 30).size();
    }
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    state.counters["names"] = static_cast<double>(symbols);
    state.counters["ctags_max_rss_MB"] = static_cast<double>(children.ru_maxrss) / 1024.0;
}
BENCHMARK(IndexUntilFirstDefinition)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace
