// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/find_in_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <regex>

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/paths.h"
#include "editor/code_text.h"

namespace halyard {

namespace {

bool wordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

struct LineMatcher::Impl {
    FindQuery query;
    std::string needle; // lower-cased unless the case matters
    std::regex re;
};

LineMatcher::LineMatcher(const FindQuery& query) : impl_(std::make_unique<Impl>()) {
    impl_->query = query;
    if (query.text.empty()) throw Error("There is nothing to find");
    if (query.regex) {
        auto flags = std::regex::ECMAScript | std::regex::optimize;
        if (!query.matchCase) flags |= std::regex::icase;
        try {
            impl_->re = std::regex(query.text, flags);
        } catch (const std::regex_error& e) {
            throw Error("\"" + query.text + "\" is not a regular expression: " + e.what());
        }
    } else {
        impl_->needle = query.matchCase ? query.text : lower(query.text);
    }
}

LineMatcher::~LineMatcher() = default;

std::vector<std::pair<size_t, size_t>> LineMatcher::find(const std::string& line) const {
    std::vector<std::pair<size_t, size_t>> found;
    auto whole = [&](size_t at, size_t length) {
        if (!impl_->query.wholeWord) return true;
        return (at == 0 || !wordChar(line[at - 1])) &&
               (at + length >= line.size() || !wordChar(line[at + length]));
    };
    if (impl_->query.regex) {
        for (auto it = std::sregex_iterator(line.begin(), line.end(), impl_->re);
             it != std::sregex_iterator(); ++it) {
            const size_t at = static_cast<size_t>(it->position(0)),
                         length = static_cast<size_t>(it->length(0));
            if (length > 0 && whole(at, length)) found.emplace_back(at, length);
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

std::vector<std::string> FilesMatching(const DosDevices& dd, const std::string& folder,
                                       const std::string& masks) {
    std::vector<std::string> files;
    std::vector<std::string> pending{RemoveTrailingBackslash(TrimRight(folder))};
    // A folder reached twice through links is searched once.
    std::vector<std::string> seen;
    while (!pending.empty()) {
        const std::string dir = pending.back();
        pending.pop_back();
        if (std::find(seen.begin(), seen.end(), dir) != seen.end() || seen.size() > 10000) continue;
        seen.push_back(dir);
        for (const std::string& name : dd.listFiles(dir, masks.empty() ? "*" : masks))
            files.push_back(AddTrailingBackslash(dir) + name);
        for (const std::string& sub : dd.listDirs(dir))
            if (sub != "." && sub != "..") pending.push_back(AddTrailingBackslash(dir) + sub);
    }
    std::sort(files.begin(), files.end());
    return files;
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
    if (t.stopped) text += " (stopped)";
    return text;
}

FileSearch::~FileSearch() {
    stop();
}

void FileSearch::start(std::vector<std::pair<std::string, std::string>> files, const FindQuery& query) {
    stop();
    auto matcher = std::make_shared<LineMatcher>(query); // throws before anything starts
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
        totals_ = {};
    }
    stop_ = false;
    running_ = true;
    worker_ = std::thread(&FileSearch::work, this, std::move(files), std::move(matcher));
}

void FileSearch::stop() {
    if (!worker_.joinable()) return;
    stop_ = true;
    worker_.join();
}

std::vector<FindHit> FileSearch::take() {
    std::lock_guard lock(mutex_);
    std::vector<FindHit> out;
    out.swap(pending_);
    return out;
}

FindTotals FileSearch::totals() const {
    std::lock_guard lock(mutex_);
    return totals_;
}

void FileSearch::work(std::vector<std::pair<std::string, std::string>> files,
                      std::shared_ptr<LineMatcher> matcher) {
    std::string bytes;
    std::vector<FindHit> hits;
    for (const auto& [windows, host] : files) {
        if (stop_) break;
        hits.clear();
        FindTotals add;
        std::ifstream in(host, std::ios::binary);
        in.seekg(0, std::ios::end);
        const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
        if (!in || size < 0) {
            add.unreadable = 1;
        } else if (static_cast<size_t>(size) > MaxFileSize) {
            add.tooLarge = 1;
        } else {
            bytes.resize(static_cast<size_t>(size));
            in.seekg(0);
            in.read(bytes.data(), size);
            // A NUL byte near the start: an object file, a library or an image, no text.
            if (LooksBinary(std::string_view(bytes).substr(0, 8192))) {
                add.binary = 1;
            } else {
                add.files = 1;
                auto hit = [&](size_t start, size_t end, int number) {
                    std::string line = bytes.substr(start, end - start);
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    const auto found = matcher->find(line);
                    if (found.empty()) return;
                    add.hits += static_cast<int>(found.size());
                    hits.push_back({windows, number, std::move(line), found[0].first, found[0].second});
                };
                if (const std::string* needle = matcher->needle()) {
                    // A plain text is looked for in the whole file at once; only the lines that
                    // hold it are cut out and matched as lines.
                    if (!matcher->matchCase()) {
                        lowered_.resize(bytes.size());
                        std::transform(bytes.begin(), bytes.end(), lowered_.begin(), [](char ch) {
                            return static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                        });
                    }
                    const std::string& hay = matcher->matchCase() ? bytes : lowered_;
                    int number = 1;
                    size_t counted = 0; // lines counted up to here
                    for (size_t at = hay.find(*needle); at != std::string::npos && !stop_;) {
                        number +=
                            static_cast<int>(std::count(hay.begin() + static_cast<std::ptrdiff_t>(counted),
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
        }
        std::lock_guard lock(mutex_);
        for (auto& h : hits)
            pending_.push_back(std::move(h));
        totals_.files += add.files;
        totals_.hits += add.hits;
        totals_.binary += add.binary;
        totals_.tooLarge += add.tooLarge;
        totals_.unreadable += add.unreadable;
    }
    {
        std::lock_guard lock(mutex_);
        totals_.stopped = stop_;
    }
    running_ = false;
}

} // namespace halyard
