// SPDX-License-Identifier: GPL-3.0-or-later
// halyard-build: the headless Halyard, for scripts and continuous integration. It runs the same
// main window model as the desktop program, with the same settings file and drive mapping; every
// message the desktop would show goes to standard error.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/paths.h"
#include "build_reports.h"
#include "disassemble_command.h"
#include "editor/code_text.h"
#include "halyard_version.h"
#include "launch/foreign_program.h"
#include "launch/launcher.h"
#include "linkcmd/cmd_check.h"
#include "memory_command.h"
#include "shell/embedded.h"
#include "shell/ini_settings.h"
#include "simulate_command.h"

namespace halyard {
namespace {

// The desktop's message boxes, as lines on standard error. A box that asks a question gets its
// "OK" (or else its first button): nobody is there to choose, and no command here asks one.
class StderrUi : public Ui {
public:
    Answer message(MsgKind, const std::string& text, const std::vector<Answer>& buttons) override {
        if (seen) seen(text);
        print(text);
        for (Answer a : buttons)
            if (a == Answer::Ok) return a;
        return buttons.empty() ? Answer::Ok : buttons.front();
    }
    void showError(const std::string& text) override {
        if (seen) seen(text);
        print(text);
    }
    std::optional<std::string> openFile(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> chooseDirectory(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    Answer execute(ModalDialog&) override { return Answer::Cancel; }
    std::function<void(const std::string&)> seen; // every message, for the reports

private:
    static void print(std::string text) {
        for (auto& c : text)
            if (c == '\r') c = '\n';
        std::cerr << text << '\n';
    }
};

// The only programs a headless session starts are batch files (ide.bat, intvecs.bat). A script needs
// their end and their output, so the batch runs to its end under halyard-batch and its output is
// printed as it comes; nobody is there to look at a terminal window.
class WaitingLauncher : public Launcher {
public:
    explicit WaitingLauncher(DosDevices& dd) : dd_(dd), shell_(dd) {}
    void LaunchProgram(const std::string& file, const std::string&, const std::string& directory,
                       int) override {
        started = true;
        exitCode = RunBatchAndWait(dd_, file, directory, output, compilerDir);
    }
    std::unique_ptr<ToolChainRun> StartToolChainRun(const std::string& file, const std::string& parameters,
                                                    const std::string& directory,
                                                    std::function<void(const std::string&)> onLine) override {
        started = true;
        prepareWine(file, directory);
        return shell_.StartToolChainRun(file, parameters, directory, std::move(onLine));
    }
    std::string compilerDir; // the tool-chain folder, whose cl370 may be a Windows program
    bool showsBatchWindows() override { return false; }
    void setToolChainFolder(const std::string& dir) override {
        compilerDir = dir;
        shell_.setToolChainFolder(dir);
    }
    bool started = false;
    int exitCode = -1;
    std::string output;

private:
    // Wine's first run, done before the tools run and said on standard error, so that its lines
    // never mix with the tools' output.
    void prepareWine(const std::string& file, const std::string& directory) {
        const bool windows = FindProgram(dd_, "cl370", {compilerDir}).kind == FoundProgram::Windows ||
                             FindProgram(dd_, file, {directory}).kind == FoundProgram::Windows;
        const std::string wine = FindWine();
        if (!windows || wine.empty() || WinePrefixPrepared(dd_)) return;
        std::cerr << PreparingWineText << std::endl;
        if (std::string why; !PrepareWinePrefix(dd_, wine, why)) std::cerr << why << std::endl;
    }

    DosDevices& dd_;
    ShellLauncher shell_;
};

// The model and its ports, started the way the desktop starts, minus the questions.
struct Session {
    StderrUi ui;
    IniSettings settings{IniSettings::defaultFile()};
    DosDevices dd{DosDevices::defaultRoot()};
    WaitingLauncher launcher{dd};
    Clock clock;
    std::unique_ptr<TEmbedded> e;
    size_t printed = 0;                              // lines of the Build panel already on standard output
    std::function<void(const std::string&)> checked; // every message of a check, for the reports

    Session() {
        dd.ensureCreated();
        e = std::make_unique<TEmbedded>(Ports{ui, settings, launcher, dd, clock});
        // The first activation reads the settings. The start timer's directory questions need a user,
        // so they are skipped; the no-project defaults are applied when the tool-chain folder exists
        // (they move the project editor there), else only the option defaults.
        e->FormCreate();
        e->starttimer.setEnabled(false);
        if (dd.dirExists(e->CompilerDir)) {
            e->run([this] { e->InitStateDefaults(); });
        } else {
            e->run([this] {
                e->compiler.SetDefsClick();
                e->UpdateStatusPanels();
            });
        }
        e->ProjectPath = NoProjectLoaded;
        launcher.compilerDir = e->CompilerDir;
        e->startupDone = true;
        // The lines go to standard output as they come; only the summary's lines stay.
        e->buildOutput.keepOutput(false, 1000);
        e->buildOutput.observe([this](BuildOutput::Change c) {
            const BuildOutput& out = e->buildOutput;
            if (c == BuildOutput::Change::Cleared) printed = 0;
            for (; c == BuildOutput::Change::Added && printed < out.lineCount(); ++printed) {
                if (printed < out.firstShown()) continue;
                const auto& line = out.lines()[printed - out.firstShown()];
                if (line.kind == BuildOutput::Line::Output || line.kind == BuildOutput::Line::Summary ||
                    line.diagnostic())
                    std::cout << line.text << '\n'; // never cut here: nothing is kept aside
            }
        });
    }

    // Waits for the tool-chain run that a command started. The tools' lines are printed as they come,
    // unchanged, so that whatever reads "file line: error" can use them.
    void finishRun() {
        BuildOutput& out = e->buildOutput;
        while (out.running()) {
            // Written in blocks, but never held back while the tools are quiet.
            std::cout.flush();
            pollfd p{out.outputDescriptor(), POLLIN, 0};
            ::poll(&p, p.fd >= 0 ? 1 : 0, 100);
            out.OutputTimerTimer();
        }
        std::cout << launcher.output << std::flush;
    }

    // "&Open Project" on the given file; false when the open ended with an error.
    bool open(const std::string& project) {
        const std::string path = dd.fromCommandLine(project);
        return e->run([this, &path] { e->project.Openpro(path); });
    }
};

using Args = std::vector<std::string>;

int summary(Session& s, const Args& args) {
    if (!s.open(args[0])) return 1;
    for (const auto& row : s.e->summary.rows())
        std::cout << row << '\n';
    return 0;
}

int switches(Session& s, const Args& args) {
    if (!s.open(args[0])) return 1;
    if (!s.e->run([&s] { s.e->compiler.OptionsOK2Click(); })) return 1;
    std::cout << "CompilerCmdLine=" << s.e->CompilerCmdLine << '\n'
              << "LinkerCmdLine=" << s.e->LinkerCmdLine << '\n'
              << "ObjectFile=" << s.e->ObjectFile << '\n';
    return 0;
}

int make(Session& s, const Args& args) {
    if (!s.open(args[0])) return 1;
    bool made = false;
    if (!s.e->run([&] { made = s.e->batch.MakeIdeBatClick(&s.e->menu.Make); })) return 1;
    return made ? 0 : 1;
}

int build(Session& s, const Args& args) {
    if (!s.open(args[0])) return 1;
    BuildOutput& out = s.e->buildOutput;
    s.e->menu.Compile1.click();
    if (!s.launcher.started) return 1;
    s.finishRun();
    // The batch has ended, so the check needs no waiting period.
    s.e->CompileTimer.tick();
    const std::string verdict = s.e->StatusBar.panel(3).text;
    std::cout << verdict << '\n';
    if (!out.whyNoOutput().empty()) std::cout << out.whyNoOutput() << '\n';
    for (const auto& line : out.lines())
        if (line.kind == BuildOutput::Line::Memory || line.kind == BuildOutput::Line::MemoryFull)
            std::cout << line.text << '\n';
    std::cout << MessageCountText(out.errors(), out.warnings()) << '\n';
    // An output file left from an earlier build must not make a build with errors pass.
    // A project that does not link is judged by its messages alone ("Compiled, 0 errors, ...").
    const bool made = verdict.rfind("Created ", 0) == 0 || verdict.rfind("Updated ", 0) == 0 ||
                      verdict.rfind("Compiled, ", 0) == 0;
    return made && out.errors() == 0 ? 0 : 1;
}

// Input files named without a folder are looked for beside the command file.
int check(Session& s, const Args& args) {
    const std::string path = s.dd.absolute(s.dd.fromCommandLine(args[0]));
    std::string text;
    try {
        text = s.dd.readBytes(path);
    } catch (const Error& err) {
        std::string text = err.what();
        std::replace(text.begin(), text.end(), '\r', '\n');
        std::cerr << text << '\n';
        return 2;
    }
    // An object file or a program would give a page of syntax errors, or, with no line the reader
    // takes for a directive, none at all.
    if (LooksBinary(text)) {
        std::cerr << "halyard-build: " << args[0] << " is not a command file: it holds binary data\n";
        return 2;
    }
    int errors = 0;
    for (const auto& m : linkcmd::CheckCommandFile(text, args[0], s.dd, ExtractFileDir(path))) {
        errors += m.severity == linkcmd::Severity::Error;
        std::cout << linkcmd::FormatCheckMessage(m) << '\n';
        if (s.checked) s.checked(linkcmd::FormatCheckMessage(m));
    }
    return errors ? 1 : 0;
}

int vectors(Session& s, const Args& args) {
    if (!s.open(args[0])) return 1;
    const std::string object = s.e->vectors.objectPath();
    const auto before = s.dd.lastWriteTime(object);
    bool started = false;
    if (!s.e->run([&] { started = s.e->vectors.Assembleintvecs1Click(); }) || !started) return 1;
    s.finishRun();
    const std::string verdict = s.e->vectors.Verdict(before);
    std::cout << verdict << '\n';
    return verdict.rfind("Assembled ", 0) == 0 ? 0 : 1;
}

int memory(Session& s, const Args& args) {
    std::string why;
    const auto a = ParseMemoryArgs(args, why);
    if (!a) {
        std::cerr << "halyard-build memory: " << why << '\n';
        return 2;
    }
    if (!s.open(a->project)) return 1;
    return RunMemoryCommand(*s.e, *a, std::cout, std::cerr);
}

struct Command {
    const char* name;
    const char* usage;
    const char* help;
    int (*run)(Session&, const Args&);
    int (*runAlone)(const Args&) = nullptr; // a command that needs no project model, any arguments
    bool takesOptions = false;              // more words than its one argument
};

// One row per command: its name, its arguments, its --help text and its handler.
const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"summary", "PROJECT",
         "Open PROJECT as \"&Open Project\" does and print the rows of \"Display Project List\",\n"
         "one per line.",
         summary},
        {"switches", "PROJECT",
         "Open PROJECT, run the options-accept step and print CompilerCmdLine=, LinkerCmdLine=\n"
         "and ObjectFile=, each followed by the text exactly (blanks kept).",
         switches},
        {"make", "PROJECT",
         "Open PROJECT and run \"Make\": write ide.bat into the compiler folder. Exit code 1 when the\n"
         "generation stopped with one of its messages.",
         make},
        {"build", "PROJECT",
         "Open PROJECT and run \"Build All\": write ide.bat, save the project, run ide.bat under\n"
         "halyard-batch and wait for it, printing its output as it comes; then print the verdict\n"
         "(\"Created \", \"Updated \" or \"Failed to create \" followed by the output file; after a\n"
         "link that reported no fault but wrote no such file, one line that says where its output\n"
         "went), the use of every memory range when the link wrote a map file, and the messages counted\n"
         "(\"2 errors, 1 warning\"). A project whose linker is off is judged by its messages:\n"
         "\"Compiled, \" or \"Failed to compile, \" and the counts. Exit code 0 only for \"Created \",\n"
         "\"Updated \" and \"Compiled, \" with no error.",
         build},
        {"check", "FILE",
         "Check the linker command file FILE without linking: print each problem as\n"
         "\"<file> <line>: error: text\" or \"... warning: text\". Exit code 0 when there is no\n"
         "error (warnings allowed), 1 when there is one, 2 when FILE cannot be read or is no text.",
         check},
        {"vectors", "PROJECT",
         "Open PROJECT and run \"Assemble intvecs\": write intvecs.bat into the compiler folder, run it\n"
         "under halyard-batch and wait for it, print its output and then \"Assembled \" or \"Failed to\n"
         "assemble \" followed by intvecs.obj. Exit code 0 only when this run wrote intvecs.obj.",
         vectors},
        {"disassemble", "FILE",
         "List the TMS370 COFF executable FILE (a linker's .out): each section with its address, every\n"
         "instruction's mnemonic and operands, its address and bytes in a comment, symbols as labels.\n"
         "asm370 reads the listing back to the same bytes. Exit code 2 when FILE cannot be read.",
         [](Session& s, const Args& a) { return RunDisassemble(s.dd, a[0], std::cout, std::cerr); }},
        {"simulate", SimulateUsage, SimulateHelp, nullptr, SimulateCommand},
        {"memory", "PROJECT [--json] [--against FILE.json] [--fail-above P] [--map FILE]",
         "Open PROJECT and print the use of every memory range of its last link's map file, as the\n"
         "Build panel shows it; with --json the whole map as JSON (\"ranges\", \"sections\",\n"
         "\"objects\", \"holes\", \"symbols\"). --against FILE.json (an earlier --json output or a\n"
         "snapshot kept beside the output) adds each range's and section's change in bytes with its\n"
         "sign, and the symbols that came or went. --fail-above P exits 1 when a range holding\n"
         "code or data is used above P percent, naming it (tables of fixed size such as the vectors\n"
         "never count). --map FILE reads FILE instead of the project's map. Exit code 2 when there\n"
         "is no map file yet.",
         memory, nullptr, true},
    };
    return table;
}

// Prints text (its line breaks taken as blanks) word-wrapped to 80 columns, each line indented; a
// quoted text ("Failed to create ") stays on one line.
void wrapped(std::ostream& out, const std::string& text, size_t indent) {
    std::vector<std::string> words{""};
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if ((c == ' ' || c == '\n') && !quoted) {
            if (!words.back().empty()) words.emplace_back();
        } else {
            words.back() += c == '\n' ? ' ' : c;
        }
    }
    std::string line;
    for (const std::string& word : words) {
        if (word.empty()) continue;
        if (!line.empty() && indent + line.size() + 1 + word.size() > 80) {
            out << std::string(indent, ' ') << line << '\n';
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) out << std::string(indent, ' ') << line << '\n';
}

void help(std::ostream& out) {
    out << "usage: halyard-build COMMAND PROJECT [REPORT OPTIONS]\n"
           "       halyard-build --help | --version\n"
           "\n"
           "The headless Halyard: it runs the desktop program's model without windows.\n"
           "\n"
           "Commands:\n";
    for (const auto& c : commands()) {
        out << "  " << c.name << ' ' << c.usage << '\n';
        wrapped(out, c.help, 6);
    }
    out << '\n';
    wrapped(out,
            "PROJECT and FILE are Windows paths (C:\\Halyard\\demo.prj, through the drive mapping) or "
            "host paths.",
            0);
    out << '\n';
    wrapped(out,
            "Start-up: the settings are read from the desktop program's file (" +
                IniSettings::defaultFile().string() + ") and the drive mapping from (" +
                DosDevices::defaultRoot().string() +
                "). The start-up questions about missing folders are skipped: when the tool-chain "
                "folder (\"Program Dir\") exists the no-project defaults are applied as at start-up, "
                "otherwise only the compiler option defaults. The last project is not reloaded; "
                "PROJECT is opened instead.",
            0);
    out << '\n';
    wrapped(out, ReportOptionsHelp(), 0);
    out << '\n';
    wrapped(out,
            "Every message the desktop program would show is printed on standard error. The exit "
            "code is 0 on success, 1 when opening the project (or a command's step) failed, and 2 "
            "for a usage error or a report that could not be written. See halyard-build(1).",
            0);
}

} // namespace
} // namespace halyard

int main(int argc, char** argv) {
    using namespace halyard;
    const Args args(argv + 1, argv + argc);
    if (args.empty()) {
        help(std::cerr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        help(std::cout);
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "halyard-build " << HALYARD_VERSION << "\n" HALYARD_VERSION_NOTICE;
        return 0;
    }
    for (const auto& c : commands()) {
        if (args[0] != c.name) continue;
        if (c.runAlone) return c.runAlone(Args(args.begin() + 1, args.end()));
        Args rest(args.begin() + 1, args.end());
        ReportRequest request;
        if (std::string why; !TakeReportOptions(rest, request, why)) {
            std::cerr << why << '\n';
            return 2;
        }
        if (c.takesOptions ? rest.empty() : rest.size() != 1) {
            std::cerr << "usage: halyard-build " << c.name << ' ' << c.usage << '\n';
            return 2;
        }
        Session session;
        ReportCollector reports(*session.e, session.dd, request, c.name, rest, HALYARD_VERSION);
        session.ui.seen = [&reports](const std::string& text) { reports.seeMessage(text); };
        session.checked = [&reports](const std::string& line) { reports.seeCheckLine(line); };
        return reports.finish(c.run(session, rest));
    }
    std::cerr << "halyard-build: unknown command '" << args[0] << "' (see halyard-build --help)\n";
    return 2;
}
