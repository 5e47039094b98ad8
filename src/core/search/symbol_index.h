// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project's symbols as Universal Ctags reads them from its C sources, the headers they include
// and its assembler files: where each function, variable, macro, type, label and section is
// defined. Built and kept current on a worker thread of its own (a saved file is read again on its
// own), so typing never waits for it; the queries answer from what is there.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace halyard {

class DosDevices;

struct Symbol {
    std::string name;
    std::string file;   // Windows path
    int line = 0;       // 1-based
    std::string kind;   // "function", "variable", "macro", "struct", "label", "section", ...
    std::string scope;  // "struct:point" for a member; empty at file level
    bool local = false; // static to its file
};

class SymbolIndex {
public:
    // What a feature that needs the index says when there is no ctags.
    static constexpr const char* MissingCtagsText =
        "Go to Definition, the file's symbols and completion need Universal Ctags.\r"
        "Install it with: apt install universal-ctags";
    // Universal Ctags on $PATH (or named by HALYARD_CTAGS); empty when there is none (an Exuberant
    // Ctags does not count: it reads no assembler sections and has no options used here).
    static std::string FindCtags();
    // Reads ctags' tag lines; `names` maps the host paths it printed to Windows paths.
    static std::vector<Symbol> ParseTags(const std::string& text,
                                         const std::map<std::string, std::string>& names);
    // A source larger than this is not indexed: no source is this large, and ctags would read it all.
    static constexpr std::uint64_t MaxIndexedFileSize = 8u << 20;
    struct ScanResult {
        std::vector<Symbol> symbols;
        // Windows paths with the reason, one line each: files not handed to ctags (a name ctags
        // could take for an option, a pipe, a file too large) and files it failed on.
        std::vector<std::string> problems;
    };
    // Runs ctags over files (Windows path, host path) in a folder of its own, each run for at most
    // `timeLimit`; when a run fails (a crash, a hang) the files are halved and run again, so one
    // source that upsets ctags costs only its own symbols. `cancel` ends the run at once.
    static ScanResult Scan(const std::string& ctags,
                           const std::vector<std::pair<std::string, std::string>>& files,
                           std::chrono::milliseconds timeLimit = std::chrono::seconds(30),
                           const std::atomic<bool>* cancel = nullptr);
    // The files the index covers: the sources, every header they include that is found in the
    // folders (project folder first, then the headers folder), and the assembler files beside them.
    static std::vector<std::string> FilesToIndex(const DosDevices& dd,
                                                 const std::vector<std::string>& sources,
                                                 const std::vector<std::string>& folders);

    explicit SymbolIndex(std::string ctags = FindCtags());
    ~SymbolIndex();
    SymbolIndex(const SymbolIndex&) = delete;
    SymbolIndex& operator=(const SymbolIndex&) = delete;

    bool available() const { return !ctags_.empty(); }
    // Replaces everything with the symbols of these files (Windows path, host path).
    void rebuild(std::vector<std::pair<std::string, std::string>> files);
    // The same for the files FilesToIndex finds, looked for on the worker (the include walk reads
    // every source) through a copy of the drive mapping.
    void rebuild(const DosDevices& dd, std::vector<std::string> sources, std::vector<std::string> folders);
    // Reads one file again, e.g. after it was saved.
    void update(std::pair<std::string, std::string> file);
    // True while work is queued or running.
    bool busy() const;
    // Grows with every change of the symbols: views compare it to know when to refresh.
    std::uint64_t generation() const { return generation_; }
    // What the last scans could not index, one line per file with the reason.
    std::vector<std::string> problems() const;
    // For each run of ctags; tests shorten it.
    std::chrono::milliseconds timeLimit{std::chrono::seconds(30)};

    // Definitions of a name, those in `preferFile` first.
    std::vector<Symbol> definitions(const std::string& name, const std::string& preferFile = {}) const;
    // The symbols of one file, in file order.
    std::vector<Symbol> inFile(const std::string& file) const;
    // Names that start with prefix (case matters), one entry per name, at most limit.
    std::vector<Symbol> startingWith(const std::string& prefix, size_t limit = 50) const;

private:
    struct Job {
        bool replaceAll = false;
        std::vector<std::pair<std::string, std::string>> files;
        std::function<std::vector<std::pair<std::string, std::string>>()> collect; // on the worker
    };
    void work();
    void push(Job job);

    std::string ctags_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool quit_ = false, working_ = false;
    std::atomic<bool> cancel_{false}; // set when quitting: a running ctags is ended
    std::vector<std::string> problems_;
    std::atomic<std::uint64_t> generation_{0};
    std::map<std::string, std::vector<Symbol>> byFile_; // key: the file's path in upper case
    std::multimap<std::string, Symbol> byName_;
    std::thread worker_;
};

} // namespace halyard
