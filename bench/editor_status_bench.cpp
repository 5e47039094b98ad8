// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's status line at the end of a document of the largest size the editor holds: a caret
// move must cost a lookup in the line index, never a walk over the text.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "shell/embedded.h"

#include "support/quiet_ports.h"

namespace {

using namespace halyard;
using namespace halyard::test;

// Compiler-output-like lines, 2,000,000 characters in all.
std::string document() {
    std::string text;
    for (int n = 0; text.size() < TCodeEd::MaxLength; ++n)
        text += "main.c " + std::to_string(n % 1000) + ": warning[" + std::to_string(n) + "]: something\n";
    text.resize(TCodeEd::MaxLength);
    return text;
}

struct Fixture {
    std::filesystem::path root = std::filesystem::temp_directory_path() / "halyard-editor-bench";
    DosDevices dd{root};
    QuietUi ui;
    NoSettings settings;
    NoLauncher launcher;
    Clock clock;
    TEmbedded e{{ui, settings, launcher, dd, clock}};
    Fixture() {
        dd.ensureCreated();
        std::ofstream(dd.toHost("C:\\big.txt"), std::ios::binary) << document();
    }
    ~Fixture() { std::filesystem::remove_all(root); }
};

void BM_LoadTwoMillionCharacters(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        TCodeEd* w = f.e.editors.LoadFile("C:\\big.txt", 1);
        benchmark::DoNotOptimize(w->text().size());
        f.e.editors.closeWindow(*w);
    }
}
BENCHMARK(BM_LoadTwoMillionCharacters)->Unit(benchmark::kMillisecond);

void BM_StatusAtTheEnd(benchmark::State& state) {
    Fixture f;
    TCodeEd& w = *f.e.editors.LoadFile("C:\\big.txt", 1);
    const size_t end = w.text().size();
    size_t i = 0;
    for (auto _ : state)
        w.userSelect(end - (i++ & 7), 0);
    state.counters["chars"] = static_cast<double>(end);
}
BENCHMARK(BM_StatusAtTheEnd);

// Typing at the start shifts every later line start: the dearest edit for the index.
void BM_TypeAtTheStartThenStatusAtTheEnd(benchmark::State& state) {
    Fixture f;
    TCodeEd& w = *f.e.editors.LoadFile("C:\\big.txt", 1);
    for (auto _ : state) {
        w.userEdit(0, 0, u"x");
        w.userEdit(0, 1, u"");
        w.userSelect(w.text().size(), 0);
    }
}
BENCHMARK(BM_TypeAtTheStartThenStatusAtTheEnd)->Unit(benchmark::kMicrosecond);

} // namespace
