// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_output/build_output.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "base/paths.h"
#include "base/regular_file.h"
#include "batch/ide_bat.h"
#include "editor/code_text.h"
#include "editor/editors.h"
#include "launch/foreign_program.h"
#include "shell/ide_context.h"

namespace halyard {

namespace fs = std::filesystem;

BuildOutput::BuildOutput(IdeContext& e, Editors& editors) : e(e), editors(editors) {
    ShowBuildOutput.setCaption("Build Output");
    NextError1.setCaption("Next Error");
    PreviousError1.setCaption("Previous Error");
    ShowBuildOutput.onClick = [this] { BuildPanel.setVisible(true); };
    NextError1.onClick = [this] { this->e.run([this] { NextErrorClick(); }); };
    PreviousError1.onClick = [this] { this->e.run([this] { PreviousErrorClick(); }); };
    MemoryMap1.setCaption("Memory Map");
    MemoryMap1.onClick = [this] {
        if (showMemoryMap) showMemoryMap({});
    };
    OutputTimer.onTimer = [this] { this->e.run([this] { OutputTimerTimer(); }); };
}

BuildOutput::~BuildOutput() {
    // A batch still running is ended with Halyard; what it prints meanwhile has nobody to go to.
    observers_.clear();
    showEditor = nullptr;
    run_.reset();
    if (kept_) std::fclose(kept_);
}

std::string BuildOutput::title() const {
    return started_ ? "Build - " + MessageCountText(errors_, warnings_) : "Build";
}

std::string BuildOutput::text() const {
    std::string all;
    if (!kept_) {
        for (const auto& l : lines_)
            all += l.text + "\n";
        return all;
    }
    std::fflush(kept_);
    std::rewind(kept_);
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, kept_)) > 0;)
        all.append(buffer, n);
    std::fseek(kept_, 0, SEEK_END);
    return all;
}

std::string BuildOutput::shownNote() const {
    std::string note;
    if (firstShown_ > 0) note = "The first " + std::to_string(firstShown_) + " lines are not shown";
    if (cutLines_ > 0)
        note += (note.empty() ? "" : "; ") + std::to_string(cutLines_) +
                (cutLines_ == 1 ? " line is" : " lines are") + " shown cut at " +
                std::to_string(ShownLineLength) + " characters";
    if (!note.empty()) note += keep_ ? ". Save and Copy give the whole output." : ".";
    return note;
}

const BuildOutput::Line* BuildOutput::shown(size_t index) const {
    return index >= firstShown_ && index < lineCount() ? &lines_[index - firstShown_] : nullptr;
}

std::string BuildOutput::wholeLine(size_t index) const {
    const Line* l = shown(index);
    if (!l) return {};
    if (l->cut == 0 || l->keptAt < 0 || !kept_) return l->text;
    std::string whole(ShownLineLength + l->cut, '\0');
    std::fflush(kept_);
    std::fseek(kept_, static_cast<long>(l->keptAt), SEEK_SET);
    whole.resize(std::fread(whole.data(), 1, whole.size(), kept_));
    std::fseek(kept_, 0, SEEK_END);
    return whole;
}

void BuildOutput::keepOutput(bool keep, size_t shownLines) {
    keep_ = keep;
    shownLimit_ = std::max<size_t>(shownLines, 1);
}

void BuildOutput::notify(Change c) {
    for (auto& o : observers_)
        o(c);
}

void BuildOutput::add(Line::Kind kind, const std::string& text, ToolMessage message) {
    Line line{kind, {}, std::move(message)};
    if (kept_) {
        line.keptAt = keptSize_;
        std::fwrite(text.data(), 1, text.size(), kept_);
        std::fputc('\n', kept_);
        keptSize_ += static_cast<long long>(text.size()) + 1;
    }
    // A line of megabytes (a tool printing without line ends) would make the list crawl.
    if (keep_ && text.size() > ShownLineLength) {
        line.cut = text.size() - ShownLineLength;
        line.text =
            text.substr(0, ShownLineLength) + " [... " + std::to_string(line.cut) + " more characters]";
        ++cutLines_;
    } else {
        line.text = text;
    }
    if (line.diagnostic()) messages_.push_back(lineCount());
    lines_.push_back(std::move(line));
    if (lines_.size() > shownLimit_) {
        if (lines_.front().cut > 0) --cutLines_;
        lines_.pop_front();
        ++firstShown_;
        while (!messages_.empty() && messages_.front() < firstShown_)
            messages_.pop_front();
    }
    notify(Change::Added);
}

void BuildOutput::addOutput(const std::string& text) {
    ToolMessage m = ParseToolLine(text);
    Line::Kind kind = Line::Output;
    // Wine's preparation is Halyard's own note, busy until the first line of the tools.
    const bool wasPreparing = preparing_;
    preparing_ = text.rfind(PreparingWineText, 0) == 0;
    if (preparing_) {
        kind = Line::Note;
    } else if (m.kind == ToolMessage::Error) {
        kind = Line::Error;
        ++errors_;
    } else if (m.kind == ToolMessage::Warning) {
        kind = Line::Warning;
        ++warnings_;
    } else if (m.kind == ToolMessage::Summary) {
        kind = Line::Summary;
    }
    add(kind, text, std::move(m));
    // The counts reach the title once a frame with the lines; the busy note's end shows at once.
    if (preparing_ != wasPreparing) notify(Change::State);
}

void BuildOutput::begin(const std::string& command, const std::string& directory, bool build) {
    // Two runs of the tool chain at once would write the same objects; the newer one is wanted.
    if (running()) StopClick();
    run_.reset();
    e.launcher.setToolChainFolder(e.CompilerDir);
    terminalBatch_.clear();
    judge_ = nullptr;
    lines_.clear();
    messages_.clear();
    firstShown_ = cutLines_ = 0;
    if (kept_) std::fclose(kept_);
    kept_ = keep_ ? std::tmpfile() : nullptr;
    // Written in large blocks: a tool may print a hundred megabytes.
    if (kept_) std::setvbuf(kept_, nullptr, _IOFBF, 1 << 16);
    keptSize_ = 0;
    memory_.clear();
    mapFile_.clear();
    memoryChange_.clear();
    memoryDiff_.reset();
    whyNoOutput_.clear();
    errors_ = warnings_ = 0;
    current_ = -1;
    started_ = true;
    stopped_ = ended_ = preparing_ = false;
    build_ = build;
    linking_ = build && e.LinkSwitch == "-z ";
    redirected_ = build && e.opts.SendToFile.checked();
    cmdFile_ = e.menu.DefaultCmd.checked() ? DefaultCmdFile : e.menu.NoCmdFile.checked() ? "" : e.CmdFilePath;
    linkerSwitches_ = e.LinkerCmdLine;
    directory_ = directory;
    startTime_ = e.clock.now();
    startClock_ = endClock_ = std::chrono::steady_clock::now();
    notify(Change::Cleared);
    BuildPanel.setVisible(true);
    add(Line::Command, "Running " + command);
}

void BuildOutput::follow(const std::string& file, const std::string& parameters, const std::string& directory,
                         int showMode) {
    run_ = e.launcher.StartToolChainRun(file, parameters, directory,
                                        [this](const std::string& line) { addOutput(line); });
    if (run_) run_->onDescriptorClosing([this] { notify(Change::Pipe); });
    if (!run_) {
        e.launcher.LaunchProgram(file, parameters, directory, showMode);
    } else if (run_->ended()) {
        runEnded();
    } else {
        OutputTimer.setEnabled(true);
    }
    notify(Change::State);
}

void BuildOutput::StartBatch(const std::string& file, const std::string& directory, int showMode, bool build,
                             Judge judge) {
    begin(TrimRight(file), directory, build);
    judge_ = std::move(judge);
    if (showMode == Launcher::Shown) {
        if (e.launcher.showsBatchWindows()) {
            add(Line::Note, "The batch runs in a terminal window of its own; its output shows there.");
            e.launcher.LaunchProgram(file, "", directory, showMode);
            // Its output goes to the terminal, but its end and its verdict still come here.
            terminalBatch_ = TrimRight(file);
            OutputTimer.setEnabled(true);
            notify(Change::State);
            return;
        }
        if (!noTerminalSaid_) {
            add(Line::Note, "No terminal emulator was found to show the batch in; its output is shown here.");
            noTerminalSaid_ = true;
        }
    }
    follow(file, "", directory, showMode);
}

void BuildOutput::StartProgram(const std::string& file, const std::string& parameters,
                               const std::string& directory, int showMode) {
    begin(TrimRight(file) + " " + parameters, directory, false);
    follow(file, parameters, directory, showMode);
}

void BuildOutput::OutputTimerTimer() {
    if (!run_) {
        if (!terminalBatch_.empty() && e.launcher.batchRunning(terminalBatch_)) return;
        OutputTimer.setEnabled(false);
        if (!terminalBatch_.empty()) {
            terminalBatch_.clear();
            runEnded();
        }
        return;
    }
    run_->pumpSome(OutputBudget);
    if (run_->ended()) runEnded();
}

void BuildOutput::runEnded() {
    if (ended_) return;
    ended_ = true;
    preparing_ = false;
    OutputTimer.setEnabled(false);
    endClock_ = std::chrono::steady_clock::now();
    if (stopped_) add(Line::Note, "Stopped");
    if (redirected_) showRedirectedOutput();
    if (!build_) {
        const int code = run_ ? run_->exitCode() : 0;
        const std::string verdict =
            judge_ ? judge_()
            : run_ ? (code == 0 ? std::string("Done") : "Ended with exit code " + std::to_string(code))
                   : std::string("Ended");
        add(Line::Verdict, verdict + " (" + elapsed() + ")");
    }
    notify(Change::State);
}

void BuildOutput::showRedirectedOutput() {
    const std::string& file = e.CompilerOutputFile;
    const auto written = e.dd.fileExists(file) ? e.dd.lastWriteTime(file) : std::nullopt;
    if (!written || *written < startTime_) {
        add(Line::Note, "The compiler's output file " + file + " was not written by this run.");
        return;
    }
    add(Line::Note, "Compiler output in " + file + ":");
    for (const auto& line : e.dd.readLines(file))
        addOutput(line);
}

std::string BuildOutput::elapsed() const {
    const auto end = ended_ ? endClock_ : std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(end - startClock_).count();
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

void BuildOutput::BuildJudged(const std::string& verdict) {
    if (!started_ || !build_) return;
    // The check may come between the batch's end and the next tick: its last lines go first.
    if (running()) OutputTimerTimer();
    add(Line::Verdict, verdict + " (" + elapsed() + ")");
    if (linking_ && verdict.rfind("Failed", 0) != 0) showMemoryUse();
    if (linking_ && verdict.rfind("Failed", 0) == 0) explainMissingOutput();
    notify(Change::State);
}

std::vector<std::string> BuildOutput::commandFileLines() const {
    if (!TrimRight(cmdFile_).empty() && e.dd.fileExists(cmdFile_)) return e.dd.readLines(cmdFile_);
    return {};
}

// The tools run in the batch's folder, so a file named without one lies there.
std::string BuildOutput::inLinkFolder(const std::string& file) const {
    if (file.find(':') != std::string::npos || file[0] == '\\') return file;
    return AddTrailingBackslash(directory_) + file;
}

// A link that went well but wrote elsewhere (a command file without "-o" links into a.out) leaves
// the verdict waiting for a file that never comes; the user is told where the output went.
void BuildOutput::explainMissingOutput() {
    const bool failed = errors_ > 0 || (run_ && run_->ended() && run_->exitCode() != 0) || stopped_;
    if (failed) return;
    const std::string named = OutputFileOfLink(commandFileLines(), linkerSwitches_);
    const std::string output = inLinkFolder(named.empty() ? "a.out" : named);
    const std::string project = TrimRight(e.ObjectFile);
    if (!named.empty() && SamePath(output, project)) return;
    const auto written = e.dd.fileExists(output) ? e.dd.lastWriteTime(output) : std::nullopt;
    const bool wrote = written && *written >= startTime_;
    const std::string cmd = TrimRight(cmdFile_);
    if (named.empty()) {
        whyNoOutput_ = "The link names no output file (no -o in " +
                       (cmd.empty() ? std::string() : cmd + " or in ") +
                       "the linker options), so the linker " + (wrote ? "wrote " + output : "writes a.out") +
                       " instead of " + project;
    } else {
        whyNoOutput_ = "The link's -o names " + output + ", not the project's output " + project +
                       (wrote ? "; the linker wrote " + output : "");
    }
    add(Line::Note, whyNoOutput_);
}

void BuildOutput::showMemoryUse() {
    std::string map = MapFileOfLink(commandFileLines(), linkerSwitches_);
    if (map.empty()) return;
    map = inLinkFolder(map);
    const auto written = e.dd.fileExists(map) ? e.dd.lastWriteTime(map) : std::nullopt;
    if (!written || *written < startTime_) return; // an old map tells nothing about this link
    mapFile_ = map;
    MemoryModel model = ReadMemoryModel(e.dd.readLines(map));
    memory_ = model.ranges;
    if (memory_.empty() && model.problems.empty()) return;
    add(Line::Note, "Memory use (" + map + "):");
    const auto table = MemoryUseTable(memory_);
    for (size_t i = 0; i < table.size(); ++i)
        add(i > 0 && memory_[i - 1].nearlyFull() ? Line::MemoryFull : Line::Memory, table[i]);
    // Part of the table, so the headless build prints them with it.
    for (const auto& problem : model.problems)
        add(Line::Memory, problem);
    keepSnapshot(model);
}

// A snapshot of every successful link is kept beside its output, to tell what the next one changed.
void BuildOutput::keepSnapshot(const MemoryModel& model) {
    const bool failed = errors_ > 0 || (run_ && run_->ended() && run_->exitCode() != 0) || stopped_;
    if (failed || memory_.empty()) return;
    try {
        KeptSnapshot kept = KeepSnapshot(e.dd, inLinkFolder(TrimRight(e.ObjectFile)), model, mapFile_);
        memoryDiff_ = std::move(kept.diff);
        memoryChange_ = kept.summary;
    } catch (const Error& err) {
        // The build itself went well: the lost comparison is said, not made a failure.
        add(Line::Note, std::string("The memory snapshot was not kept: ") + err.what());
        return;
    }
    if (!memoryChange_.empty()) add(Line::Memory, memoryChange_);
}

std::string BuildOutput::projectMapFile() const {
    const std::string cmd = e.menu.DefaultCmd.checked()  ? DefaultCmdFile
                            : e.menu.NoCmdFile.checked() ? ""
                                                         : e.CmdFilePath;
    std::vector<std::string> lines;
    if (!TrimRight(cmd).empty() && e.dd.fileExists(cmd)) lines = e.dd.readLines(cmd);
    const std::string map = MapFileOfLink(lines, e.LinkerCmdLine);
    if (map.empty()) return {};
    if (map.find(':') != std::string::npos || map[0] == '\\') return map;
    return AddTrailingBackslash(e.WorkDrive) + map;
}

std::string BuildOutput::projectOutputFile() const {
    const std::string out = TrimRight(e.ObjectFile);
    if (out.empty() || out.find(':') != std::string::npos || out[0] == '\\') return out;
    return AddTrailingBackslash(e.WorkDrive) + out;
}

void BuildOutput::StopClick() {
    if (!running()) return;
    stopped_ = true;
    run_->stop();
    run_->pump();
    runEnded();
}

bool BuildOutput::MayStart(const std::string& what) {
    if (!running()) return true;
    const Answer a =
        e.ui.message(MsgKind::Confirmation, "A build is running.\rStop it and start " + what + "?",
                     {Answer::Yes, Answer::No});
    if (a != Answer::Yes) return false;
    StopClick();
    return true;
}

bool BuildOutput::FormCloseQuery() {
    if (!running()) return true;
    const Answer a = e.ui.message(MsgKind::Confirmation, "A build is running.\rStop it and close Halyard?",
                                  {Answer::Yes, Answer::No});
    if (a != Answer::Yes) return false;
    StopClick();
    return true;
}

std::vector<std::string> BuildOutput::searchFolders() const {
    std::vector<std::string> folders{e.CompSourceDir, e.CompilerDir};
    if (!TrimRight(cmdFile_).empty()) folders.push_back(ExtractFileDir(TrimRight(cmdFile_)));
    return folders;
}

std::vector<BuildOutput::LineMark> BuildOutput::marksFor(const std::string& path) const {
    std::vector<LineMark> marks;
    const std::string file = TrimRight(path);
    if (file.empty()) return marks;
    const std::string name = ExtractFileName(file);
    std::vector<std::string> sources;
    std::vector<std::string> folders;
    for (const Line& l : lines_) {
        const ToolMessage& m = l.message;
        if (!l.diagnostic() || m.line <= 0) continue;
        // Only a message that names a file of this name can be about it: the folders are looked
        // at for those alone.
        if (!SameText(ExtractFileName(TrimRight(m.file)), name)) continue;
        if (folders.empty()) {
            sources = e.ProjectListBox.items();
            folders = searchFolders();
        }
        const std::string named = TrimRight(m.file);
        std::string where = ResolveMessageFile(e.dd, m.file, sources, folders);
        if (where.empty() && named.find_first_of("\\/:") != std::string::npos) where = named;
        if (!where.empty() && SameText(e.dd.absolute(TrimRight(where)), e.dd.absolute(file)))
            marks.push_back({m.line, l.kind == Line::Error, l.text});
    }
    return marks;
}

void BuildOutput::Activate(int index) {
    const Line* shownLine = index < 0 ? nullptr : shown(static_cast<size_t>(index));
    if (!shownLine || !shownLine->diagnostic()) return;
    current_ = index;
    notify(Change::Current);
    const ToolMessage m = shownLine->message;
    if (m.line <= 0) return; // a message of the tool itself names no source line
    std::string path = ResolveMessageFile(e.dd, m.file, e.ProjectListBox.items(), searchFolders());
    // A name with a folder that is there but no plain file (a device, a folder) gets told as such.
    std::error_code ec;
    const std::string named = TrimRight(m.file);
    if (path.empty() && named.find_first_of("\\/:") != std::string::npos &&
        fs::exists(e.dd.toHost(named), ec))
        path = named;
    if (path.empty()) {
        std::string where;
        for (const auto& f : searchFolders())
            where += (where.empty() ? "" : ", ") + RemoveTrailingBackslash(TrimRight(f));
        e.ui.inform("The file " + m.file + " is neither in the project nor in " + where);
        return;
    }
    // A tool may name any file of the host ("Z:\etc\passwd 1: error"): it is opened only when it
    // is a text file an editor window can hold, and only to be read outside the project's folders.
    if (const std::string refusal = OpenRefusal(path); !refusal.empty()) {
        e.ui.inform(refusal);
        return;
    }
    TCodeEd* window = nullptr;
    for (int i = 0; i < editors.count() && !window; ++i)
        if (!editors.child(i).closed() && SameText(TrimRight(editors.child(i).FileName), path))
            window = &editors.child(i);
    if (window) {
        if (showEditor) showEditor(*window);
    } else {
        window = editors.LoadFile(path, 1);
        if (window && !insideProject(path)) window->setReadOnly(true);
        e.menu.Window1.setVisible(true);
    }
    if (!window || window->closed() || window->lineCount() == 0) return;
    const size_t line = std::min(static_cast<size_t>(m.line), static_cast<size_t>(window->lineCount())) - 1;
    const size_t start = window->lineStart(line);
    const size_t end = line + 1 < static_cast<size_t>(window->lineCount()) ? window->lineStart(line + 1) - 1
                                                                           : window->text().size();
    window->select(start, end - start);
}

std::string BuildOutput::OpenRefusal(const std::string& path) const {
    const std::string head = "The file " + path + " named by the message was not opened:\r";
    std::error_code ec;
    const fs::path host = e.dd.toHost(path);
    if (!fs::is_regular_file(host, ec)) return head + "it is no plain file.";
    const auto size = fs::file_size(host, ec);
    if (ec) return head + "it cannot be read (" + ec.message() + ").";
    if (size > TCodeEd::MaxLength)
        return head + "it holds " + std::to_string(size) + " bytes, more than the " +
               std::to_string(TCodeEd::MaxLength) + " an editor window takes.";
    // Read as the editor will read it: a pipe put in its place meanwhile is refused, never waited on.
    std::string text;
    if (ReadRegularFile(host, text, TCodeEd::MaxLength) != ReadFault::None)
        return head + "it cannot be read.";
    if (LooksBinary(std::string_view(text).substr(0, 4096))) return head + "it is not a text file.";
    return {};
}

bool BuildOutput::insideProject(const std::string& path) const {
    for (const auto& entry : e.ProjectListBox.items())
        if (SameText(e.dd.absolute(entry), e.dd.absolute(path))) return true;
    std::error_code ec;
    const fs::path file = fs::weakly_canonical(e.dd.toHost(path), ec);
    const std::string project = e.ProjectLoaded() ? ExtractFileDir(e.ProjectPath) : std::string();
    for (const std::string& folder : {project, e.CompSourceDir, e.HeadersDir, e.CompilerDir}) {
        if (TrimRight(folder).empty() || !e.dd.dirExists(folder)) continue;
        const fs::path dir = fs::weakly_canonical(e.dd.toHost(folder), ec);
        if (std::mismatch(dir.begin(), dir.end(), file.begin(), file.end()).first == dir.end()) return true;
    }
    return false;
}

void BuildOutput::step(int direction) {
    if (messages_.empty()) return;
    // The message after (or before) the current line, wrapping round at either end.
    const size_t n = messages_.size();
    size_t i;
    if (current_ < 0) {
        i = direction > 0 ? 0 : n - 1;
    } else {
        const size_t at =
            std::lower_bound(messages_.begin(), messages_.end(), static_cast<size_t>(current_)) -
            messages_.begin();
        const bool onOne = at < n && messages_[at] == static_cast<size_t>(current_);
        if (direction > 0)
            i = onOne ? (at + 1) % n : at % n;
        else
            i = at == 0 ? n - 1 : at - 1;
    }
    BuildPanel.setVisible(true);
    Activate(static_cast<int>(messages_[i]));
}

void BuildOutput::SaveOutputClick() {
    FileDialog dialog;
    dialog.title = "Save Build Output";
    dialog.filter = "Text File [*.txt]|*.txt|Any File [*.*]|*.*";
    dialog.initialDir = e.CompSourceDir;
    dialog.fileName = "build.txt";
    dialog.defaultExt = "txt";
    const auto path = e.ui.saveFile(dialog);
    if (!path) return;
    // Written as every text file is, each line ended by CR LF.
    const std::string all = text();
    std::string bytes;
    bytes.reserve(all.size() + all.size() / 32);
    for (char c : all) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    e.dd.writeBytes(*path, bytes);
}

} // namespace halyard
