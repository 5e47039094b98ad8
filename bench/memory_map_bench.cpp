// SPDX-License-Identifier: GPL-3.0-or-later
// The map reader on maps of 25,000 to 200,000 symbols, laid out as the tool chain writes them: one
// output section per 1,000 objects, eight symbols in each object's input section, and both symbol
// tables. The time must grow with the map's length (N log N for the sorts); "BigO" and "RMS" close
// the figures. Also the JSON of the largest model, as `halyard-build memory --json` writes it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tool_output/memory_model.h"
#include "tool_output/memory_report.h"

namespace {

using namespace halyard;

std::string hex8(std::uint64_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08llx", static_cast<unsigned long long>(v));
    return b;
}

std::vector<std::string> mapOf(int symbols) {
    constexpr int PerObject = 8, ObjectsPerSection = 1000, SymbolSize = 4;
    const int objects = symbols / PerObject;
    std::vector<std::string> l{"OUTPUT FILE NAME:   <big.out>",
                               "",
                               "MEMORY CONFIGURATION",
                               "",
                               "           name      origin    length      used     attr    fill",
                               "         --------  --------  ---------  --------  ----  --------"};
    const std::uint64_t total = static_cast<std::uint64_t>(symbols) * SymbolSize;
    l.push_back("PAGE 0:  ROM       00010000  " + hex8(total) + "  " + hex8(total) + "  RX");
    l.insert(l.end(),
             {"", "SECTION ALLOCATION MAP", "", "section   page    origin      length       input sections",
              "--------  ----  ----------  ----------   ----------------"});
    std::map<std::string, std::uint64_t> names;
    std::uint64_t at = 0x10000;
    for (int first = 0; first < objects; first += ObjectsPerSection) {
        const int count = std::min(ObjectsPerSection, objects - first);
        l.push_back(".text" + std::to_string(first / ObjectsPerSection) + "   0    " + hex8(at) + "    " +
                    hex8(static_cast<std::uint64_t>(count) * PerObject * SymbolSize));
        for (int o = first; o < first + count; ++o) {
            l.push_back("                  " + hex8(at) + "    " + hex8(PerObject * SymbolSize) + "      m" +
                        std::to_string(o) + ".obj (.text)");
            for (int s = 0; s < PerObject; ++s) {
                names["_f" + std::to_string(o) + "_" + std::to_string(s)] = at;
                at += SymbolSize;
            }
        }
        l.push_back("");
    }
    l.insert(l.end(),
             {"GLOBAL SYMBOLS: SORTED ALPHABETICALLY BY Name", "", "address   name", "--------  ----"});
    for (const auto& [name, address] : names)
        l.push_back(hex8(address) + "  " + name);
    l.insert(l.end(),
             {"", "GLOBAL SYMBOLS: SORTED BY Symbol Address", "", "address   name", "--------  ----"});
    std::vector<std::pair<std::uint64_t, std::string>> byAddress;
    for (const auto& [name, address] : names)
        byAddress.push_back({address, name});
    std::sort(byAddress.begin(), byAddress.end());
    for (const auto& [address, name] : byAddress)
        l.push_back(hex8(address) + "  " + name);
    return l;
}

void BM_ReadMemoryModel(benchmark::State& state) {
    const auto lines = mapOf(static_cast<int>(state.range(0)));
    size_t symbols = 0;
    for (auto _ : state) {
        const MemoryModel m = ReadMemoryModel(lines);
        symbols = m.symbols.size();
        benchmark::DoNotOptimize(symbols);
    }
    state.counters["symbols"] = static_cast<double>(symbols);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadMemoryModel)
    ->RangeMultiplier(2)
    ->Range(25'000, 200'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_MemoryModelJson(benchmark::State& state) {
    const MemoryModel m = ReadMemoryModel(mapOf(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(MemoryModelJson(m, "C:\\big.map").size());
}
BENCHMARK(BM_MemoryModelJson)->Arg(200'000)->Unit(benchmark::kMillisecond);

} // namespace
