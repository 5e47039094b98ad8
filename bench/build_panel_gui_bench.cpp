// SPDX-License-Identifier: GPL-3.0-or-later
// The Build panel under heavy tool output, side by side with the headless halyard-build on the same
// output. A stand-in cl370 prints N lines (one in six a message such as "demo.c 12: error: ..."); the
// sample project's "Build All" runs it, once in a real main window (offscreen) and once through
// halyard-build. For each N it prints the time until the window is idle again, the longest time
// the event loop went unanswered, the peak memory, and the ratios to halyard-build, whose own time
// is also compared with the stand-in printing to /dev/null. Then the time from a message being
// printed to its row in the list.
//
//   build_panel_gui_bench [N ...]        (default: 5000 50000 1200000)
//
// Each measurement runs in a process of its own, so peak memory is that run's.
#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QListView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "launch/launcher.h"
#include "shell/embedded.h"
#include "shell/main_window.h"

#include "support/quiet_ports.h"

namespace fs = std::filesystem;
using namespace halyard;

namespace {

long long monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

fs::path self() {
    return fs::read_symlink("/proc/self/exe");
}

// The stand-in's output: one message in six, the rest plain lines of about the same length.
int print(long n) {
    std::vector<char> buffer(1 << 16);
    std::setvbuf(stdout, buffer.data(), _IOFBF, buffer.size());
    for (long i = 0; i < n; ++i) {
        if (i % 6 == 5)
            std::printf("demo.c %ld: error: 'x%ld' undeclared (first use in this function) here\n",
                        i % 900 + 1, i);
        else
            std::printf("cl370 5.30 pass %ld: reading declarations and emitting code for main.c\n", i);
    }
    return 0;
}

// A message now and then, stamped with the time it was printed.
int trickle(int n) {
    for (int i = 0; i < n; ++i) {
        std::printf("demo.c %d: error: printed at %lld\n", i + 1, monotonicNs());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

// A fresh data and settings folder with the sample project, whose cl370 runs this program.
struct Home {
    fs::path dir;
    explicit Home(const std::string& mode) {
        dir = fs::temp_directory_path() / ("halyard-panel-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir / "data");
        fs::create_directories(dir / "config");
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        const std::string sample = (self().parent_path() / "halyard-sample").string() + " >/dev/null";
        if (std::system(sample.c_str()) != 0) std::fprintf(stderr, "halyard-sample failed\n");
        const fs::path cl = dir / "data" / "halyard" / "drive_c" / "CL370" / "cl370";
        fs::remove(cl);
        std::ofstream(cl) << "#!/bin/sh\nexec '" << self().string() << "' " << mode << "\n";
        fs::permissions(cl, fs::perms::owner_all, fs::perm_options::add);
    }
    ~Home() { fs::remove_all(dir); }
};

// The GUI side: "Build All" in a main window; prints "seconds longest-gap-ms rows".
int panel(const std::string& mode, bool latency, int argc, char** argv) {
    Home home(mode);
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    DosDevices dd{DosDevices::defaultRoot()};
    test::QuietUi ui;
    test::NoSettings settings;
    ShellLauncher launcher{dd};
    Clock clock;
    TEmbedded model{{ui, settings, launcher, dd, clock}};
    gui::MainWindow window{model};
    auto* list = window.findChild<QListView*>("BuildOutputList");
    model.FormCreate();
    model.starttimer.setEnabled(false);
    model.startupDone = true;
    if (!model.run([&] { model.project.Openpro("C:\\Halyard\\demo\\demo.prj"); })) return 1;
    model.opts.ShowBatch.setChecked(false);
    window.show();
    QApplication::processEvents();

    // The event loop's pulse: a timer every 2 ms; the longest time between two beats is the
    // longest a key or a click would have waited.
    QElapsedTimer beat;
    qint64 longest = 0;
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pulse, &QTimer::timeout, [&] { longest = std::max(longest, beat.restart()); });
    std::vector<double> delays;
    if (latency && list) {
        QObject::connect(list->model(), &QAbstractItemModel::rowsInserted,
                         [&](const QModelIndex&, int, int last) {
                             const QString text = list->model()->index(last, 0).data().toString();
                             const int at = text.indexOf("printed at ");
                             if (at >= 0)
                                 delays.push_back((monotonicNs() - text.mid(at + 11).toLongLong()) / 1e6);
                         });
    }
    const BuildOutput& out = model.buildOutput;
    QElapsedTimer total;
    total.start();
    beat.start();
    pulse.start(2);
    window.actionFor(model.menu.Compile1)->trigger();
    // Writing IDE.BAT and starting it is one command, as every other; the figure is about the output.
    const qint64 starting = beat.restart();
    longest = 0;
    while (out.running() || (list && list->model()->rowCount() < static_cast<int>(out.lines().size())))
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    const double seconds = total.elapsed() / 1000.0;
    pulse.stop();
    if (latency) {
        std::sort(delays.begin(), delays.end());
        if (delays.empty()) return 1;
        std::printf("%.2f %.2f %zu\n", delays[delays.size() / 2], delays.back(), delays.size());
    } else {
        std::printf("%.3f %lld %zu %lld\n", seconds, static_cast<long long>(longest), out.lineCount(),
                    static_cast<long long>(starting));
    }
    return 0;
}

// The headless floor: halyard-build on the same project and output; prints "seconds peak-KiB".
int headless(const std::string& mode) {
    Home home(mode);
    const std::string program = (self().parent_path() / "halyard-build").string();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(program.c_str(), program.c_str(), "build", "C:\\Halyard\\demo\\demo.prj", nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    std::printf("%.3f %ld %.3f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                usage.ru_maxrss,
                usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
    return 0;
}

struct Run {
    double seconds = 0;
    double peakMiB = 0;
    std::string out;
};

// Runs this program with args in a child process; its time, peak memory and first output line.
Run child(const std::vector<std::string>& args, const char* stdoutFile = nullptr) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        if (stdoutFile) {
            const int f = ::open(stdoutFile, O_WRONLY);
            ::dup2(f, 1);
        }
        ::close(pipeFds[0]);
        std::vector<char*> argv;
        const std::string me = self().string();
        argv.push_back(const_cast<char*>(me.c_str()));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(me.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    Run r;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        r.out.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakMiB = usage.ru_maxrss / 1024.0;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--print") return print(std::stol(args[1]));
    if (args.size() == 2 && args[0] == "--trickle") return trickle(std::stoi(args[1]));
    if (args.size() == 2 && args[0] == "--panel") return panel("--print " + args[1], false, argc, argv);
    if (args.size() == 2 && args[0] == "--headless") return headless("--print " + args[1]);
    if (args.size() == 1 && args[0] == "--latency") return panel("--trickle 20", true, argc, argv);

    std::vector<long> sizes;
    for (const auto& a : args)
        sizes.push_back(std::stol(a));
    if (sizes.empty()) sizes = {5'000, 50'000, 1'200'000};
    std::printf("%10s | %9s %9s %9s | %9s %9s %9s | %8s %8s %8s\n", "lines", "tool s", "headless", "ratio",
                "panel s", "ratio", "gap ms", "head MiB", "pan MiB", "ratio");
    for (long n : sizes) {
        const Run tool = child({"--print", std::to_string(n)}, "/dev/null");
        const Run head = child({"--headless", std::to_string(n)});
        double headSeconds = 0, headKiB = 0;
        std::sscanf(head.out.c_str(), "%lf %lf", &headSeconds, &headKiB);
        const Run gui = child({"--panel", std::to_string(n)});
        double idle = 0;
        long long gap = 0;
        size_t rows = 0;
        std::sscanf(gui.out.c_str(), "%lf %lld %zu", &idle, &gap, &rows);
        std::printf("%10ld | %9.2f %9.2f %8.2fx | %9.2f %8.2fx %9lld | %8.0f %8.0f %7.2fx\n", n, tool.seconds,
                    headSeconds, headSeconds / tool.seconds, idle, idle / headSeconds, gap, headKiB / 1024,
                    gui.peakMiB, gui.peakMiB / (headKiB / 1024));
        std::fflush(stdout);
    }
    const Run late = child({"--latency"});
    double median = 0, worst = 0;
    std::sscanf(late.out.c_str(), "%lf %lf", &median, &worst);
    std::printf("a message printed until its row is in the list: median %.1f ms, at most %.1f ms\n", median,
                worst);
    return 0;
}
