// SPDX-License-Identifier: GPL-3.0-or-later
// Typing at the end of a C file of the largest size the editor holds, in a real editor window with
// its colouring: a keystroke must cost the line it touches, never a pass over the document.
// Runs on Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editor/code_ed_window.h"
#include "editor/highlighter.h"
#include "shell/main_window.h"

#include "support/quiet_ports.h"

namespace {

using namespace halyard;
using namespace halyard::test;

// C source with comments, strings, preprocessor lines and numbers, just under 2,000,000 characters
// so that typing is not cut at the limit.
std::string cSource() {
    std::string text;
    for (int n = 0; text.size() < TCodeEd::MaxLength - 10'000; ++n)
        text += "/* step " + std::to_string(n) + " */\n#define LIMIT_" + std::to_string(n) +
                " 0x1F\nstatic const char *name_" + std::to_string(n) +
                " = \"a \\\"quoted\\\" text\";\nint f_" + std::to_string(n) +
                "(int a) { return a > LIMIT ? 'x' : 42; } // done\n";
    return text;
}

struct Window {
    std::filesystem::path root = std::filesystem::temp_directory_path() / "halyard-typing-bench";
    DosDevices dd{root};
    QuietUi ui;
    NoSettings settings;
    NoLauncher launcher;
    Clock clock;
    TEmbedded e{{ui, settings, launcher, dd, clock}};
    gui::MainWindow window{e};
    QPlainTextEdit* edit = nullptr;
    Window() {
        dd.ensureCreated();
        std::ofstream(dd.toHost("C:\\big.c"), std::ios::binary) << cSource();
        window.show();
        e.editors.LoadFile("C:\\big.c", 1);
        QApplication::processEvents();
        auto* view = qobject_cast<gui::CodeEdWindow*>(window.mdiArea()->activeSubWindow()->widget());
        edit = view->CodeEditor();
        edit->moveCursor(QTextCursor::End);
    }
    ~Window() { std::filesystem::remove_all(root); }
    void key(int key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &press);
    }
};

// One iteration: a character typed at the end and taken back, as the window handles them.
void BM_TypeAtTheEndOfTwoMillionCharactersOfC(benchmark::State& state) {
    Window w;
    for (auto _ : state) {
        w.key('x', "x");
        w.key(Qt::Key_Backspace, "");
    }
    state.counters["chars"] = w.edit->document()->characterCount();
}
BENCHMARK(BM_TypeAtTheEndOfTwoMillionCharactersOfC)->Unit(benchmark::kMicrosecond);

// Opening a comment at the start recolours every line after it: the dearest single keystroke.
void BM_OpenACommentAtTheStart(benchmark::State& state) {
    Window w;
    QTextCursor c = w.edit->textCursor();
    c.setPosition(0);
    w.edit->setTextCursor(c);
    for (auto _ : state) {
        w.key('/', "/");
        w.key('*', "*");
        w.key(Qt::Key_Backspace, "");
        w.key(Qt::Key_Backspace, "");
    }
}
BENCHMARK(BM_OpenACommentAtTheStart)->Unit(benchmark::kMillisecond)->Iterations(3);

// The core's line scanner over the whole file, as the first colouring after loading runs it.
void BM_ColourTheWholeFile(benchmark::State& state) {
    const std::string bytes = cSource();
    const std::u16string text(bytes.begin(), bytes.end());
    std::vector<TokenSpan> spans;
    for (auto _ : state) {
        LineState s = 0;
        for (size_t start = 0; start < text.size();) {
            const size_t end = std::min(text.find(u'\n', start), text.size());
            spans.clear();
            s = HighlightLine(Syntax::C, std::u16string_view(text).substr(start, end - start), s, spans);
            start = end + 1;
        }
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_ColourTheWholeFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
