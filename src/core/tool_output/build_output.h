// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Build panel's model: every tool-chain batch Halyard starts is shown here, from its command
// through the tools' output, line by line as they print it, to the verdict with the time the run
// took and, after a link that wrote a map file, the use of every memory range. Message lines are
// counted and lead to their source line; a running batch can be stopped with every program it
// started.
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/controls.h"
#include "base/ports.h"
#include "tool_output/memory_map.h"
#include "tool_output/memory_report.h"
#include "tool_output/tool_messages.h"

namespace halyard {

class IdeContext;
class Editors;
class TCodeEd;

class BuildOutput {
public:
    BuildOutput(IdeContext& e, Editors& editors);
    ~BuildOutput();
    BuildOutput(const BuildOutput&) = delete;
    BuildOutput& operator=(const BuildOutput&) = delete;

    struct Line {
        enum Kind { Command, Output, Error, Warning, Summary, Note, Verdict, Memory, MemoryFull };
        Kind kind = Output;
        std::string text;
        ToolMessage message; // for Error and Warning
        // Characters of a long line that the panel does not show (the whole line is kept).
        size_t cut = 0;
        // Where the whole line lies in the kept output, for a line shown cut.
        long long keptAt = -1;
        bool diagnostic() const { return kind == Error || kind == Warning; }
    };
    // The panel shows the last lines of a run, each cut at a length a reader can still take in; the
    // whole output is kept aside (in a temporary file) for Save and Copy.
    static constexpr size_t ShownLines = 100'000;
    static constexpr size_t ShownLineLength = 4'000;
    // How much of the tools' output one tick takes at most, so the window answers in between.
    static constexpr size_t OutputBudget = 128 * 1024;
    // Pipe: the run's output descriptor is closing; a watcher of outputDescriptor() lets go of it.
    enum class Change { Cleared, Added, State, Current, Pipe };

    // The panel inside the main window; shown when a run starts.
    Panel BuildPanel;
    // Drives the run: while it is enabled the view ticks it, and each tick takes the new output.
    Timer OutputTimer{100};
    // "Build Output" shows the panel again; "Next Error" and "Previous Error" step through the messages.
    MenuItem ShowBuildOutput, NextError1, PreviousError1;
    // "Memory Map": the view of a link's map file, shown through showMemoryMap.
    MenuItem MemoryMap1;
    // The view shows the memory map, at the range named ("" for none).
    std::function<void(const std::string& range)> showMemoryMap;

    // The lines shown: the last ShownLines ones of the run. lines()[i] is line firstShown() + i of
    // the run; Activate and current() count lines from the run's start.
    const std::deque<Line>& lines() const { return lines_; }
    size_t firstShown() const { return firstShown_; }
    size_t lineCount() const { return firstShown_ + lines_.size(); }
    // Why the panel shows less than the tools printed; empty when it shows everything.
    std::string shownNote() const;
    // The whole text of line index (not cut), as Save and Copy give it.
    std::string wholeLine(size_t index) const;
    // A headless run prints the lines as they come and needs only its summary: no copy is kept
    // aside, and only the last few lines stay.
    void keepOutput(bool keep, size_t shownLines);
    int errors() const { return errors_; }
    int warnings() const { return warnings_; }
    // "Build" before the first run, then with the messages counted: "Build - 2 errors, 1 warning".
    std::string title() const;
    bool running() const { return run_ && !run_->ended(); }
    // While Wine is prepared for its first Windows program (once, some seconds).
    bool preparing() const { return preparing_ && running(); }
    // Readable when the running batch printed something; -1 when there is nothing to watch.
    int outputDescriptor() const { return run_ ? run_->descriptor() : -1; }
    // The message line last activated or stepped to; -1 for none.
    int current() const { return current_; }
    // The used memory ranges of the last link, as shown under its verdict.
    const std::vector<MemoryUse>& memory() const { return memory_; }
    // The map file the last link wrote; empty when it wrote none.
    const std::string& mapFile() const { return mapFile_; }
    // The map file and the output file a link with the present options writes (Windows paths, in
    // the folder the batch runs in); the map is empty when the link names none.
    std::string projectMapFile() const;
    std::string projectOutputFile() const;
    // What the last link changed in the memory ranges, against the pinned baseline or else the
    // build before ("ROM +248 bytes since the last build"); empty when there was nothing to compare.
    const std::string& memoryChange() const { return memoryChange_; }
    // The whole comparison, for the memory view's change column.
    const std::optional<MemoryDiff>& memoryDiff() const { return memoryDiff_; }
    // Why a link that reported no fault wrote no project output ("The link names no output file
    // ..."); empty when there is nothing to say. Also shown as a line under the verdict.
    const std::string& whyNoOutput() const { return whyNoOutput_; }
    // The whole output, one line per line, as Save writes it.
    std::string text() const;
    // Whether the messages of the last run were all seen here (its output piped or redirected to a
    // file), so that their counts can judge it; false for a batch that printed into a terminal.
    bool followed() const { return started_ && (run_ || redirected_); }
    // Whether the last run was stopped, or ended with an exit code other than 0.
    bool runFailed() const { return stopped_ || (run_ && run_->ended() && run_->exitCode() != 0); }

    void observe(std::function<void(Change)> observer) { observers_.push_back(std::move(observer)); }
    // The view brings an editor window that is already open to the front.
    std::function<void(TCodeEd&)> showEditor;

    // What a run that is no build made of itself, asked when it has ended ("Assembled ...").
    using Judge = std::function<std::string()>;
    // Starts a batch file as LaunchProgram would, with its output shown here. A build's verdict
    // comes from the completion check (BuildJudged); any other run ends with `judge`'s verdict, or
    // without one with its exit code. A batch shown in a terminal is watched until it ends there.
    void StartBatch(const std::string& file, const std::string& directory, int showMode, bool build = true,
                    Judge judge = {});
    // Starts a program with its output shown here, whatever showMode asks: the panel is its window.
    // It ends with its exit code.
    void StartProgram(const std::string& file, const std::string& parameters, const std::string& directory,
                      int showMode);
    // The completion check's verdict ("Created C:\texassource\demo.out ").
    void BuildJudged(const std::string& verdict);
    void StopClick();
    // Opens the message's file in an editor window at its line; other lines do nothing. Only a text
    // file that an editor window can hold is opened, and one outside the project's folders (the
    // project's, the compiler working folder, the headers folder, the tool-chain folder) and not
    // in the project is opened read-only.
    void Activate(int index);
    // Why the file a message names is not opened ("The file ... was not opened:\r..."); empty
    // when it may be.
    std::string OpenRefusal(const std::string& path) const;
    // The messages of the last run about the file at `path` (a Windows path), each with its line:
    // what an editor window marks beside its text.
    struct LineMark {
        int line = 0; // 1-based
        bool error = false;
        std::string text;
    };
    std::vector<LineMark> marksFor(const std::string& path) const;
    void NextErrorClick() { step(+1); }
    void PreviousErrorClick() { step(-1); }
    void SaveOutputClick();
    // Asked before a command starts another run while one is going (what: "the library build"):
    // the running one is stopped only when the user agrees; false means start nothing.
    bool MayStart(const std::string& what);
    // Asked when Halyard is to close: a running batch is stopped only when the user agrees; false
    // keeps Halyard open.
    bool FormCloseQuery();
    // One tick of OutputTimer: takes what the tools printed since the last one.
    void OutputTimerTimer();

private:
    void notify(Change c);
    // Clears the panel for a new run of command in directory and shows it.
    void begin(const std::string& command, const std::string& directory, bool build);
    // Starts the run and follows its output; a launcher that cannot pipe it just starts it.
    void follow(const std::string& file, const std::string& parameters, const std::string& directory,
                int showMode);
    void add(Line::Kind kind, const std::string& text, ToolMessage message = {});
    const Line* shown(size_t index) const;
    void addOutput(const std::string& text);
    void runEnded();
    void showRedirectedOutput();
    void showMemoryUse();
    void keepSnapshot(const MemoryModel& model);
    void explainMissingOutput();
    std::string inLinkFolder(const std::string& file) const;
    std::vector<std::string> commandFileLines() const;
    std::string elapsed() const;
    void step(int direction);
    std::vector<std::string> searchFolders() const;
    bool insideProject(const std::string& path) const;

    IdeContext& e;
    Editors& editors;
    std::deque<Line> lines_;
    size_t firstShown_ = 0, cutLines_ = 0, shownLimit_ = ShownLines;
    // Line numbers of the messages among the lines shown, for stepping through them.
    std::deque<size_t> messages_;
    // The whole output of the run, kept aside; null for a headless run.
    std::FILE* kept_ = nullptr;
    long long keptSize_ = 0;
    bool keep_ = true;
    int errors_ = 0, warnings_ = 0, current_ = -1;
    bool started_ = false, build_ = false, stopped_ = false, noTerminalSaid_ = false;
    bool ended_ = false, preparing_ = false;
    // What the run was started with: the verdict comes later, when options may have changed.
    bool linking_ = false, redirected_ = false;
    std::string cmdFile_, linkerSwitches_, directory_;
    std::filesystem::file_time_type startTime_{};
    std::chrono::steady_clock::time_point startClock_, endClock_;
    std::unique_ptr<ToolChainRun> run_;
    // The batch that runs in a terminal, watched through the launcher; empty when there is none.
    std::string terminalBatch_;
    Judge judge_;
    std::vector<MemoryUse> memory_;
    std::string mapFile_, memoryChange_;
    std::optional<MemoryDiff> memoryDiff_;
    std::string whyNoOutput_;
    std::vector<std::function<void(Change)>> observers_;
};

} // namespace halyard
