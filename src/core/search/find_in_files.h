// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Find in Files: a text or a regular expression looked for in many files, on a worker thread so
// the window stays responsive; the hits are taken in batches as they come and a search can be
// stopped at any time. Files are named by their Windows paths; the caller maps them to the host
// before the search starts, so the worker never touches the drive mapping.
#include <atomic>
#include <cstddef>
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
    bool stopped = false;
};

// Where each match of `query` lies in `line`: (column, length) pairs. Throws Error with the
// regular expression's fault when it is not one.
class LineMatcher {
public:
    explicit LineMatcher(const FindQuery& query);
    ~LineMatcher();
    std::vector<std::pair<size_t, size_t>> find(const std::string& line) const;
    // For a plain text: what a line must contain, lower-cased unless the case matters, so whole
    // files can be scanned for it first; nullptr for a regular expression.
    const std::string* needle() const;
    bool matchCase() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The files of `folder` and its subfolders whose names match one of the masks ("*.c;*.h"; empty
// for all), as Windows paths in name order.
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

    // files: (Windows path, host path). Throws Error for a regular expression that is none.
    void start(std::vector<std::pair<std::string, std::string>> files, const FindQuery& query);
    void stop();
    bool running() const { return running_; }
    // The hits found since the last call.
    std::vector<FindHit> take();
    FindTotals totals() const;

private:
    void work(std::vector<std::pair<std::string, std::string>> files, std::shared_ptr<LineMatcher> matcher);

    std::thread worker_;
    std::atomic<bool> running_{false}, stop_{false};
    mutable std::mutex mutex_;
    std::vector<FindHit> pending_;
    std::string lowered_; // the worker's: a file's text in lower case
    FindTotals totals_;
};

} // namespace halyard
