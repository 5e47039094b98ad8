// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Find in Files: a text or a regular expression looked for in many files, on a worker thread so
// the window stays responsive; the hits are taken in batches as they come and a search can be
// stopped at any time. Files and folders are named by their Windows paths; the caller maps them to
// the host before the search starts, so the worker never touches the drive mapping. The folders are
// walked on the worker too, each once however many links lead to it.
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace halyard {

class DosDevices;

struct FindQuery {
    std::string text;
    bool regex = false;
    bool matchCase = false;
    bool wholeWord = false;
};

struct FindHit {
    std::string file;              // Windows path
    int line = 0;                  // 1-based
    std::string text;              // the line, without its end
    size_t column = 0, length = 0; // the first match in it, in bytes
};

struct FindTotals {
    int files = 0, hits = 0;
    int binary = 0, tooLarge = 0, unreadable = 0; // files skipped
    int overLimit = 0;                            // lines on which the regular expression ran past its limits
    bool stopped = false;
};

// Where each match of `query` lies in `line`: (column, length) pairs. Throws Error with the
// regular expression's fault when it is not one. A regular expression runs under a limit of steps
// and of depth, so a pattern that backtracks without end over a long line ("t.*A.*B") gives up on
// that line (overLimit) instead of taking the program with it. One thread at a time.
class LineMatcher {
public:
    explicit LineMatcher(const FindQuery& query);
    ~LineMatcher();
    LineMatcher(const LineMatcher&) = delete;
    LineMatcher& operator=(const LineMatcher&) = delete;
    std::vector<std::pair<size_t, size_t>> find(const std::string& line, bool* overLimit = nullptr) const;
    // For a plain text: what a line must contain, lower-cased unless the case matters, so whole
    // files can be scanned for it first; nullptr for a regular expression.
    const std::string* needle() const;
    bool matchCase() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A folder to search: its files whose names match one of the masks ("*.c;*.h"; empty for all), and
// with `recurse` those of its subfolders. A link to a folder is not followed and each folder is
// walked once (by device and inode), so links that loop cost nothing.
struct FindFolder {
    std::string windows;
    std::filesystem::path host;
    std::string masks;
    bool recurse = true;
};

// The files of the folders as (Windows path, host path), in name order. `stop` is asked between
// folders; true ends the walk with what was found.
std::vector<std::pair<std::string, std::string>> WalkFolders(const std::vector<FindFolder>& folders,
                                                             const std::function<bool()>& stop = {});
// The same for one folder named by its Windows path, as Windows paths.
std::vector<std::string> FilesMatching(const DosDevices& dd, const std::string& folder,
                                       const std::string& masks);

// "Searched 12 files: 7 matches" with the skipped files counted.
std::string FindTotalsText(const FindTotals& totals);

class FileSearch {
public:
    // A file larger than this is skipped and counted: no source is this large.
    static constexpr size_t MaxFileSize = 8u << 20;

    FileSearch() = default;
    ~FileSearch();
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    // files: (Windows path, host path), then the files of the folders; a file reached twice is
    // searched once. Throws Error for a regular expression that is none.
    void start(std::vector<std::pair<std::string, std::string>> files, const FindQuery& query,
               std::vector<FindFolder> folders = {});
    void stop();
    bool running() const { return running_; }
    // The hits found since the last call.
    std::vector<FindHit> take();
    FindTotals totals() const;
    // Called on the worker when hits or totals were added and the last call's were taken, and once
    // more when it ends (running() is false by then): a view posts itself a note and takes them on
    // its own thread.
    std::function<void()> changed;

private:
    void work(std::vector<std::pair<std::string, std::string>> files, std::vector<FindFolder> folders,
              std::shared_ptr<LineMatcher> matcher);
    void search(const std::string& windows, const std::string& host, const LineMatcher& matcher,
                std::string& bytes);

    std::thread worker_;
    std::atomic<bool> running_{false}, stop_{false};
    std::atomic<bool> noted_{false}; // `changed` was called and nothing was taken since
    mutable std::mutex mutex_;
    std::vector<FindHit> pending_;
    std::string lowered_; // the worker's: a file's text in lower case
    FindTotals totals_;
};

} // namespace halyard
