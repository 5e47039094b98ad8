// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/find_in_files.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sys/stat.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/regular_file.h"
#include "editor/code_text.h"

namespace halyard {

namespace fs = std::filesystem;

namespace {

bool wordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Steps of the matcher for one line: a few hundred milliseconds at most, far beyond what any
// sensible pattern takes on a source line.
constexpr uint32_t MatchLimit = 10'000'000;
// Nested backtracking points of the interpreter (the JIT has its own stack, below).
constexpr uint32_t DepthLimit = 10'000;
// Kilobytes of heap the interpreter may take for its backtracking.
constexpr uint32_t HeapLimit = 64 * 1024;
constexpr size_t JitStackSize = 1u << 20;

} // namespace

struct LineMatcher::Impl {
    FindQuery query;
    std::string needle; // lower-cased unless the case matters
    pcre2_code* code = nullptr;
    pcre2_match_context* context = nullptr;
    pcre2_jit_stack* jitStack = nullptr;
    pcre2_match_data* data = nullptr;
    ~Impl() {
        pcre2_match_data_free(data);
        pcre2_jit_stack_free(jitStack);
        pcre2_match_context_free(context);
        pcre2_code_free(code);
    }
};

LineMatcher::LineMatcher(const FindQuery& query) : impl_(std::make_unique<Impl>()) {
    impl_->query = query;
    if (query.text.empty()) throw Error("There is nothing to find");
    if (!query.regex) {
        impl_->needle = query.matchCase ? query.text : lower(query.text);
        return;
    }
    // Bytes, not UTF-8: the sources are in the platform's 8-bit code page. "$" at the very end only
    // and "\u0041" for a character, as in the ECMAScript syntax the users have typed so far.
    uint32_t options = PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX;
    if (!query.matchCase) options |= PCRE2_CASELESS;
    int code = 0;
    PCRE2_SIZE offset = 0;
    impl_->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(query.text.data()), query.text.size(), options,
                                &code, &offset, nullptr);
    if (!impl_->code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(code, message, sizeof message);
        throw Error("\"" + query.text +
                    "\" is not a regular expression: " + reinterpret_cast<const char*>(message) +
                    " (at character " + std::to_string(offset + 1) + ")");
    }
    impl_->context = pcre2_match_context_create(nullptr);
    impl_->data = pcre2_match_data_create_from_pattern(impl_->code, nullptr);
    if (!impl_->context || !impl_->data) throw Error("Out of memory for the regular expression");
    pcre2_set_match_limit(impl_->context, MatchLimit);
    pcre2_set_depth_limit(impl_->context, DepthLimit);
    pcre2_set_heap_limit(impl_->context, HeapLimit);
    // Where the platform has a JIT it matches in linear steps for most patterns; without one the
    // interpreter runs under the same limits.
    if (pcre2_jit_compile(impl_->code, PCRE2_JIT_COMPLETE) == 0) {
        impl_->jitStack = pcre2_jit_stack_create(32 * 1024, JitStackSize, nullptr);
        if (impl_->jitStack) pcre2_jit_stack_assign(impl_->context, nullptr, impl_->jitStack);
    }
}

LineMatcher::~LineMatcher() = default;

std::vector<std::pair<size_t, size_t>> LineMatcher::find(const std::string& line, bool* overLimit) const {
    std::vector<std::pair<size_t, size_t>> found;
    if (overLimit) *overLimit = false;
    auto whole = [&](size_t at, size_t length) {
        if (!impl_->query.wholeWord) return true;
        return (at == 0 || !wordChar(line[at - 1])) &&
               (at + length >= line.size() || !wordChar(line[at + length]));
    };
    if (impl_->query.regex) {
        const auto* subject = reinterpret_cast<PCRE2_SPTR>(line.data());
        for (size_t start = 0; start <= line.size();) {
            const int rc =
                pcre2_match(impl_->code, subject, line.size(), start, 0, impl_->data, impl_->context);
            if (rc == PCRE2_ERROR_NOMATCH) break;
            if (rc < 0) {
                // Past a limit (or out of memory): the line is left, and said to be.
                if (overLimit) *overLimit = true;
                found.clear();
                break;
            }
            const PCRE2_SIZE* v = pcre2_get_ovector_pointer(impl_->data);
            const size_t at = v[0], end = v[1];
            if (end > at && whole(at, end - at)) found.emplace_back(at, end - at);
            start = end > at ? end : at + 1; // an empty match moves on by one
        }
        return found;
    }
    const std::string hay = impl_->query.matchCase ? std::string() : lower(line);
    const std::string& in = impl_->query.matchCase ? line : hay;
    const std::string& needle = impl_->needle;
    for (size_t at = in.find(needle); at != std::string::npos; at = in.find(needle, at + 1))
        if (whole(at, needle.size())) {
            found.emplace_back(at, needle.size());
            at += needle.size() - 1;
        }
    return found;
}

const std::string* LineMatcher::needle() const {
    return impl_->query.regex ? nullptr : &impl_->needle;
}

bool LineMatcher::matchCase() const {
    return impl_->query.matchCase;
}

std::vector<std::pair<std::string, std::string>> WalkFolders(const std::vector<FindFolder>& folders,
                                                             const std::function<bool()>& stop) {
    std::vector<std::pair<std::string, std::string>> files;
    std::set<std::pair<dev_t, ino_t>> seen; // folders walked
    struct Pending {
        std::string windows;
        fs::path host;
        const FindFolder* from;
    };
    std::vector<Pending> pending;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        pending.push_back({RemoveTrailingBackslash(TrimRight(it->windows)), it->host, &*it});
    while (!pending.empty() && !(stop && stop())) {
        const Pending dir = std::move(pending.back());
        pending.pop_back();
        struct stat st {};
        // The folder asked for may itself be reached through a link (a drive is one); below it,
        // links to folders are not followed.
        if (::stat(dir.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (!seen.emplace(st.st_dev, st.st_ino).second) continue;
        std::vector<std::string> names, subfolders;
        std::error_code ec;
        for (fs::directory_iterator it(dir.host, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code e2;
            const fs::file_status link = it->symlink_status(e2);
            if (fs::is_directory(link)) {
                if (dir.from->recurse) subfolders.push_back(name);
            } else if (MatchesMask(name, dir.from->masks.empty() ? "*" : dir.from->masks) &&
                       it->is_regular_file(e2)) {
                names.push_back(name);
            }
        }
        auto byName = [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; };
        std::sort(names.begin(), names.end(), byName);
        std::sort(subfolders.begin(), subfolders.end(), byName);
        const std::string prefix = AddTrailingBackslash(dir.windows);
        for (const std::string& name : names)
            files.emplace_back(prefix + name, (dir.host / name).string());
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            pending.push_back({prefix + *it, dir.host / *it, dir.from});
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return files;
}

std::vector<std::string> FilesMatching(const DosDevices& dd, const std::string& folder,
                                       const std::string& masks) {
    std::vector<std::string> out;
    for (auto& [windows, host] : WalkFolders({{folder, dd.toHost(folder), masks, true}}))
        out.push_back(std::move(windows));
    return out;
}

std::string FindTotalsText(const FindTotals& t) {
    std::string text = "Searched " + std::to_string(t.files) + (t.files == 1 ? " file: " : " files: ") +
                       std::to_string(t.hits) + (t.hits == 1 ? " match" : " matches");
    auto skipped = [&](int n, const char* why) {
        if (n > 0) text += ", " + std::to_string(n) + " " + why;
    };
    skipped(t.binary, "binary skipped");
    skipped(t.tooLarge, "over 8 MB skipped");
    skipped(t.unreadable, "unreadable");
    skipped(t.overLimit, t.overLimit == 1 ? "line too long for the expression skipped"
                                          : "lines too long for the expression skipped");
    if (t.stopped) text += " (stopped)";
    return text;
}

FileSearch::~FileSearch() {
    stop();
}

void FileSearch::start(std::vector<std::pair<std::string, std::string>> files, const FindQuery& query,
                       std::vector<FindFolder> folders) {
    stop();
    auto matcher = std::make_shared<LineMatcher>(query); // throws before anything starts
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
        totals_ = {};
    }
    stop_ = false;
    noted_ = false;
    running_ = true;
    worker_ = std::thread(&FileSearch::work, this, std::move(files), std::move(folders), std::move(matcher));
}

void FileSearch::stop() {
    if (!worker_.joinable()) return;
    stop_ = true;
    worker_.join();
}

std::vector<FindHit> FileSearch::take() {
    std::lock_guard lock(mutex_);
    noted_ = false;
    std::vector<FindHit> out;
    out.swap(pending_);
    return out;
}

FindTotals FileSearch::totals() const {
    std::lock_guard lock(mutex_);
    return totals_;
}

void FileSearch::work(std::vector<std::pair<std::string, std::string>> files, std::vector<FindFolder> folders,
                      std::shared_ptr<LineMatcher> matcher) {
    if (!folders.empty()) {
        auto walked = WalkFolders(folders, [this] { return stop_.load(); });
        files.insert(files.end(), std::make_move_iterator(walked.begin()),
                     std::make_move_iterator(walked.end()));
    }
    // A file named twice (a project entry that is also in its folder, or through a link) once.
    std::set<std::pair<dev_t, ino_t>> searched;
    std::string bytes;
    for (const auto& [windows, host] : files) {
        if (stop_) break;
        struct stat st {};
        if (::stat(host.c_str(), &st) == 0 && !searched.emplace(st.st_dev, st.st_ino).second) continue;
        search(windows, host, *matcher, bytes);
    }
    {
        std::lock_guard lock(mutex_);
        totals_.stopped = stop_;
    }
    running_ = false;
    if (changed) changed();
}

void FileSearch::search(const std::string& windows, const std::string& host, const LineMatcher& matcher,
                        std::string& bytes) {
    std::vector<FindHit> hits;
    FindTotals add;
    // Skipped and counted: what cannot be read, and a NUL byte near the start (an object file, a
    // library or an image, no text).
    const ReadFault fault = ReadRegularFile(host, bytes, MaxFileSize);
    if (fault == ReadFault::TooLarge) {
        add.tooLarge = 1;
    } else if (fault != ReadFault::None) {
        add.unreadable = 1; // missing, a pipe, a device or a folder: never opened to wait on
    } else if (LooksBinary(std::string_view(bytes).substr(0, 8192))) {
        add.binary = 1;
    } else {
        add.files = 1;
        auto hit = [&](size_t start, size_t end, int number) {
            std::string line = bytes.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            bool over = false;
            const auto found = matcher.find(line, &over);
            add.overLimit += over;
            if (found.empty()) return;
            add.hits += static_cast<int>(found.size());
            hits.push_back({windows, number, std::move(line), found[0].first, found[0].second});
        };
        if (const std::string* needle = matcher.needle()) {
            // A plain text is looked for in the whole file at once; only the lines that hold it are
            // cut out and matched as lines.
            if (!matcher.matchCase()) {
                lowered_.resize(bytes.size());
                std::transform(bytes.begin(), bytes.end(), lowered_.begin(), [](char ch) {
                    return static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                });
            }
            const std::string& hay = matcher.matchCase() ? bytes : lowered_;
            int number = 1;
            size_t counted = 0; // lines counted up to here
            for (size_t at = hay.find(*needle); at != std::string::npos && !stop_;) {
                number += static_cast<int>(std::count(hay.begin() + static_cast<std::ptrdiff_t>(counted),
                                                      hay.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
                const size_t lineStart = at == 0 ? 0 : hay.rfind('\n', at - 1) + 1;
                size_t lineEnd = hay.find('\n', at);
                if (lineEnd == std::string::npos) lineEnd = hay.size();
                hit(lineStart, lineEnd, number);
                counted = lineEnd;
                at = lineEnd < hay.size() ? hay.find(*needle, lineEnd) : std::string::npos;
            }
            lowered_.clear();
        } else {
            int number = 0;
            for (size_t start = 0; start < bytes.size() && !stop_;) {
                size_t end = bytes.find('\n', start);
                if (end == std::string::npos) end = bytes.size();
                hit(start, end, ++number);
                start = end + 1;
            }
        }
    }
    {
        std::lock_guard lock(mutex_);
        for (auto& h : hits)
            pending_.push_back(std::move(h));
        totals_.files += add.files;
        totals_.hits += add.hits;
        totals_.binary += add.binary;
        totals_.tooLarge += add.tooLarge;
        totals_.unreadable += add.unreadable;
        totals_.overLimit += add.overLimit;
    }
    if (!hits.empty() && changed && !noted_.exchange(true)) changed();
}

} // namespace halyard
