// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window on a C file of 2,000,000 characters, against two floors built from the same Qt:
// a bare QPlainTextEdit, and the same with a QSyntaxHighlighter that colours with Halyard's own line
// scanner (and, to tell the widget's share, a QTextEdit with that colouring). For each it prints the CPU time
// of opening the file until idle, of a key typed at the top and at the end (median of many, each key taken
// back), and of "/*" typed at the top (everything after it recoloured), and the ratios of Halyard to the
// floor with highlighter.
//
//   editor_ratio_gui_bench [keys]     (default 21 keys per position)
//
// CPU time of this process, medians: the machine may be shared. Runs on the offscreen platform.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QSyntaxHighlighter>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "editor/code_ed_window.h"
#include "editor/highlighter.h"
#include "editor/syntax_colours.h"
#include "shell/main_window.h"

#include "support/quiet_ports.h"

namespace {

using namespace halyard;
using namespace halyard::test;

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Until nothing is left to do: work put off to the event loop counts too.
void idle() {
    QAbstractEventDispatcher* loop = QCoreApplication::eventDispatcher();
    for (int i = 0; i < 100'000 && loop->processEvents(QEventLoop::AllEvents); ++i)
        QCoreApplication::sendPostedEvents();
}

double measure(const std::function<void()>& action) {
    const double start = cpuMs();
    action();
    idle();
    return cpuMs() - start;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Comments, strings, preprocessor lines and numbers; the comments are line comments, so that "/*"
// typed at the top leaves every line after it in a block comment: all of them are recoloured.
std::string cSource() {
    std::string text;
    for (int n = 0; text.size() < TCodeEd::MaxLength - 10'000; ++n)
        text += "// step " + std::to_string(n) + "\n#define LIMIT_" + std::to_string(n) +
                " 0x1F\nstatic const char *name_" + std::to_string(n) +
                " = \"a \\\"quoted\\\" text\";\nint f_" + std::to_string(n) +
                "(int a) { return a > LIMIT ? 'x' : 42; } // done\n";
    return text;
}

void key(QWidget* to, int k, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(to, &release);
}

struct Figures {
    double open = 0, top = 0, end = 0, comment = 0, answered = 0;
};

// Types and measures in any edit; `cursorTo` puts the caret at the start or the end.
template <class Edit> Figures typeIn(Edit* edit, int keys, double open) {
    Figures f;
    f.open = open;
    auto moveTo = [edit](QTextCursor::MoveOperation where) {
        QTextCursor c = edit->textCursor();
        c.movePosition(where);
        edit->setTextCursor(c);
        idle();
    };
    auto typing = [&](QTextCursor::MoveOperation where) {
        moveTo(where);
        std::vector<double> times;
        for (int i = 0; i < keys; ++i) {
            times.push_back(measure([&] { key(edit, 'x', "x"); }));
            times.push_back(measure([&] { key(edit, Qt::Key_Backspace, ""); }));
        }
        return median(times);
    };
    f.top = typing(QTextCursor::Start);
    f.end = typing(QTextCursor::End);
    moveTo(QTextCursor::Start);
    std::vector<double> comments, answers;
    for (int i = 0; i < 3; ++i) {
        const double start = cpuMs();
        key(edit, '/', "/");
        key(edit, '*', "*");
        answers.push_back(cpuMs() - start);
        idle();
        comments.push_back(cpuMs() - start);
        measure([&] {
            key(edit, Qt::Key_Backspace, "");
            key(edit, Qt::Key_Backspace, "");
        });
    }
    f.comment = median(comments);
    f.answered = median(answers);
    return f;
}

class FloorColours : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;
    QTextCharFormat formats[12];
    std::vector<TokenSpan> spans;
    void highlightBlock(const QString& text) override {
        spans.clear();
        const LineState s = HighlightLine(
            Syntax::C,
            std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())),
            previousBlockState(), spans);
        for (const TokenSpan& t : spans)
            setFormat(int(t.start), int(t.length), formats[static_cast<size_t>(t.kind)]);
        setCurrentBlockState(s);
    }
};

template <class Widget = QPlainTextEdit> Figures floor(const QString& text, bool colours, int keys) {
    Widget edit;
    edit.resize(800, 600);
    edit.show();
    FloorColours* h = nullptr;
    if (colours) {
        h = new FloorColours(&edit);
        for (size_t i = 0; i < 12; ++i)
            h->formats[i].setForeground(gui::SyntaxColours::colour(static_cast<Token>(i), false));
    }
    idle();
    const double open = measure([&] {
        edit.setPlainText(text);
        if (h && !h->document()) h->setDocument(edit.document());
    });
    return typeIn(&edit, keys, open);
}

Figures halyardWindow(const std::string& bytes, int keys) {
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "halyard-ratio-bench";
    DosDevices dd{root};
    dd.ensureCreated();
    std::ofstream(dd.toHost("C:\\big.c"), std::ios::binary) << bytes;
    QuietUi ui;
    NoSettings settings;
    NoLauncher launcher;
    Clock clock;
    Figures f;
    {
        TEmbedded e{{ui, settings, launcher, dd, clock}};
        gui::MainWindow window{e};
        window.resize(1000, 800);
        window.show();
        idle();
        const double open = measure([&] { e.editors.LoadFile("C:\\big.c", 1); });
        auto* sub = window.mdiArea()->activeSubWindow();
        sub->resize(800, 600);
        auto* view = qobject_cast<gui::CodeEdWindow*>(sub->widget());
        f = typeIn(view->CodeEditor(), keys, open);
    }
    std::filesystem::remove_all(root);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int keys = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const std::string bytes = cSource();
    const QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (argc > 2 && std::string(argv[2]) == "--halyard-only") { // for a profiler
        const Figures f = halyardWindow(bytes, keys);
        std::printf("Halyard: open %.2f, top %.2f, end %.2f, /* %.2f ms\n", f.open, f.top, f.end, f.comment);
        return 0;
    }
    const Figures bare = floor(text, false, keys);
    const Figures lit = floor(text, true, keys);
    // The rich-text edit with the same colouring, to tell the widget's share from Halyard's own.
    const Figures rich = floor<QTextEdit>(text, true, keys);
    const Figures ours = halyardWindow(bytes, keys);
    std::printf("CPU ms, %zu characters    %12s %12s %12s %12s %8s\n", bytes.size(), "floor", "floor+colour",
                "QTextEdit+c", "Halyard", "ratio");
    auto row = [](const char* what, double a, double b, double r, double c) {
        std::printf("%-26s %12.2f %12.2f %12.2f %12.2f %7.2fx\n", what, a, b, r, c, b > 0 ? c / b : 0.0);
    };
    row("open until idle", bare.open, lit.open, rich.open, ours.open);
    row("a key at the top", bare.top, lit.top, rich.top, ours.top);
    row("a key at the end", bare.end, lit.end, rich.end, ours.end);
    row("\"/*\" at the top, idle", bare.comment, lit.comment, rich.comment, ours.comment);
    row("\"/*\" keys answered", bare.answered, lit.answered, rich.answered, ours.answered);
    return 0;
}
