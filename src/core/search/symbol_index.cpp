// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/symbol_index.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>

#include "base/dos_devices.h"
#include "base/paths.h"
#include "base/regular_file.h"
#include "base/text_file.h"
#include "launch/process.h"

namespace halyard {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A folder of our own for one run of ctags: its file list, its output, and its working folder, so
// that nothing it looks for relative to where it runs is the project's. Removed with this object.
struct RunFolder {
    std::string path;
    RunFolder() {
        std::string pattern = (fs::temp_directory_path() / "halyard-ctags-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    ~RunFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
    std::string file(const char* name) const { return path + "/" + name; }
};

// Runs ctags to its end in its own process group, so whatever it started ends with it; nullopt when
// it was stopped for taking longer than limit or for cancel. What it prints is only its version.
std::optional<int> runBounded(SpawnSpec spec, std::string* printed, std::chrono::milliseconds limit,
                              const std::atomic<bool>* cancel) {
    spec.newProcessGroup = true;
    Collected c = RunCollecting(std::move(spec), limit, Await::Child, 1 << 20, cancel);
    if (!c.started || c.timedOut || c.cancelled) return std::nullopt;
    if (printed) *printed = std::move(c.output);
    return c.exitCode;
}

std::string readOutput(const std::string& path) {
    std::string bytes;
    ReadRegularFile(path, bytes, std::uint64_t(256) << 20);
    return bytes;
}

// The name between quotes or angle brackets of an #include line; empty for any other line.
std::string includedName(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return {};
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return {};
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || (line[i] != '"' && line[i] != '<')) return {};
    const char close = line[i] == '"' ? '"' : '>';
    const size_t end = line.find(close, i + 1);
    return end == std::string::npos ? std::string() : line.substr(i + 1, end - i - 1);
}

} // namespace

std::string SymbolIndex::FindCtags() {
    const std::string path = FindNamedProgram("HALYARD_CTAGS", "ctags");
    if (path.empty()) return {};
    RunFolder run;
    if (run.path.empty()) return {};
    SpawnSpec spec;
    spec.program = path;
    spec.argv = {path, "--version"};
    spec.cwd = run.path;
    std::string version;
    if (runBounded(spec, &version, std::chrono::seconds(10), nullptr) != 0) return {};
    return version.find("Universal Ctags") != std::string::npos ? path : std::string();
}

std::vector<Symbol> SymbolIndex::ParseTags(const std::string& text,
                                           const std::map<std::string, std::string>& names) {
    std::vector<Symbol> symbols;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '!') continue; // the tag file's own header lines
        std::vector<std::string> f;
        for (size_t start = 0;;) {
            const size_t tab = line.find('\t', start);
            f.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (f.size() < 4) continue;
        Symbol s;
        s.name = f[0];
        const auto named = names.find(f[1]);
        s.file = named != names.end() ? named->second : f[1];
        s.line = std::atoi(f[2].c_str());
        for (size_t i = 3; i < f.size(); ++i) {
            const size_t colon = f[i].find(':');
            if (colon == std::string::npos) {
                s.kind = f[i];
                continue;
            }
            const std::string key = f[i].substr(0, colon), value = f[i].substr(colon + 1);
            if (key == "line")
                s.line = std::atoi(value.c_str());
            else if (key == "file")
                s.local = true;
            else if (key == "struct" || key == "union" || key == "enum")
                s.scope = f[i];
        }
        if (!s.name.empty() && s.line > 0) symbols.push_back(std::move(s));
    }
    return symbols;
}

namespace {

// One run of ctags over files that were checked; false when it did not end well.
bool scanOnce(const std::string& ctags, const std::vector<std::pair<std::string, std::string>>& files,
              std::chrono::milliseconds limit, const std::atomic<bool>* cancel,
              std::vector<Symbol>& symbols) {
    RunFolder run;
    if (run.path.empty()) return false;
    std::map<std::string, std::string> names;
    std::string list;
    for (const auto& [windows, host] : files) {
        list += host + '\n';
        names[host] = windows;
    }
    const std::string listFile = run.file("files"), tags = run.file("tags");
    if (!WriteHostFileAtomic(listFile, list, false)) return false;
    SpawnSpec spec;
    spec.program = ctags;
    spec.argv = {ctags,
                 "--options=NONE",
                 "--languages=C,Asm",
                 "--langmap=C:.c.h,Asm:.asm.s.inc",
                 "--regex-Asm=/^[ \t]*\\.sect[ \t]+\"([^\"]+)\"/\\1/S,section,sections/",
                 "--excmd=number",
                 "--fields=+nK",
                 "--sort=no",
                 "-L",
                 listFile,
                 "-f",
                 tags};
    spec.cwd = run.path;
    if (runBounded(spec, nullptr, limit, cancel) != 0) return false;
    auto found = SymbolIndex::ParseTags(readOutput(tags), names);
    symbols.insert(symbols.end(), std::make_move_iterator(found.begin()),
                   std::make_move_iterator(found.end()));
    return true;
}

void scanHalves(const std::string& ctags, const std::vector<std::pair<std::string, std::string>>& files,
                std::chrono::milliseconds limit, const std::atomic<bool>* cancel,
                SymbolIndex::ScanResult& result) {
    if (files.empty() || (cancel && *cancel)) return;
    if (scanOnce(ctags, files, limit, cancel, result.symbols)) return;
    if (cancel && *cancel) return;
    if (files.size() == 1) {
        result.problems.push_back(files[0].first + ": ctags failed on it (a crash or more than " +
                                  std::to_string(limit.count() / 1000) + " s)");
        return;
    }
    const auto middle = files.begin() + static_cast<std::ptrdiff_t>(files.size() / 2);
    scanHalves(ctags, {files.begin(), middle}, limit, cancel, result);
    scanHalves(ctags, {middle, files.end()}, limit, cancel, result);
}

} // namespace

SymbolIndex::ScanResult SymbolIndex::Scan(const std::string& ctags,
                                          const std::vector<std::pair<std::string, std::string>>& files,
                                          std::chrono::milliseconds timeLimit,
                                          const std::atomic<bool>* cancel) {
    ScanResult result;
    if (ctags.empty() || files.empty()) return result;
    std::vector<std::pair<std::string, std::string>> checked;
    for (const auto& [windows, host] : files) {
        // ctags reads its file list by lines and takes a line that starts with "-" for an option
        // ("0\r--options=x\r.c" would be three lines to it): such a name is never handed over.
        if (host.empty() || host.find_first_of("\r\n") != std::string::npos || host[0] != '/') {
            result.problems.push_back(windows + ": a file name ctags cannot be given");
            continue;
        }
        // A pipe would hold ctags in open(), a sparse giant would be read whole.
        const std::int64_t size = RegularFileSize(host);
        if (size < 0) continue; // gone, or no plain file: nothing to index
        if (static_cast<std::uint64_t>(size) > MaxIndexedFileSize) {
            result.problems.push_back(windows + ": larger than " + SizeText(MaxIndexedFileSize));
            continue;
        }
        checked.emplace_back(windows, host);
    }
    scanHalves(ctags, checked, timeLimit, cancel, result);
    return result;
}

std::vector<std::string> SymbolIndex::FilesToIndex(const DosDevices& dd,
                                                   const std::vector<std::string>& sources,
                                                   const std::vector<std::string>& folders) {
    std::vector<std::string> files;
    std::set<std::string> seen;
    std::vector<std::string> pending;
    auto add = [&](const std::string& path) {
        if (seen.insert(upper(path)).second) {
            files.push_back(path);
            pending.push_back(path);
        }
    };
    for (const std::string& s : sources)
        add(dd.absolute(TrimRight(s)));
    std::set<std::string> sourceFolders;
    for (const std::string& f : files)
        sourceFolders.insert(ExtractFileDir(f));
    for (const std::string& folder : sourceFolders)
        for (const std::string& name : dd.listFiles(folder, "*.asm"))
            add(AddTrailingBackslash(folder) + name);
    // Headers included, and those they include, found where the compiler would look.
    while (!pending.empty()) {
        const std::string file = pending.back();
        pending.pop_back();
        // Only a regular file of a source's size: a pipe or a sparse giant named by an #include
        // costs nothing.
        std::string bytes;
        if (ReadRegularFile(dd.toHost(file), bytes, MaxIndexedFileSize) != ReadFault::None) continue;
        for (const std::string& line : SplitTextLines(bytes)) {
            const std::string name = includedName(line);
            if (name.empty()) continue;
            std::vector<std::string> where{ExtractFileDir(file)};
            where.insert(where.end(), folders.begin(), folders.end());
            for (const std::string& folder : where) {
                if (TrimRight(folder).empty()) continue;
                const std::string path = dd.absolute(AddTrailingBackslash(TrimRight(folder)) + name);
                if (dd.fileExists(path)) {
                    add(path);
                    break;
                }
            }
        }
    }
    return files;
}

SymbolIndex::SymbolIndex(std::string ctags) : ctags_(std::move(ctags)) {
    if (available()) worker_ = std::thread(&SymbolIndex::work, this);
}

SymbolIndex::~SymbolIndex() {
    cancel_ = true; // a ctags still running is ended, so quitting never waits on it
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void SymbolIndex::push(Job job) {
    if (!available()) return;
    {
        std::lock_guard lock(mutex_);
        // A rebuild makes every job before it moot.
        if (job.replaceAll) jobs_.clear();
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void SymbolIndex::rebuild(std::vector<std::pair<std::string, std::string>> files) {
    push({true, std::move(files), {}});
}

void SymbolIndex::rebuild(const DosDevices& dd, std::vector<std::string> sources,
                          std::vector<std::string> folders) {
    Job job;
    job.replaceAll = true;
    job.collect = [dd, sources = std::move(sources), folders = std::move(folders)] {
        std::vector<std::pair<std::string, std::string>> files;
        for (const std::string& f : FilesToIndex(dd, sources, folders))
            files.emplace_back(f, dd.toHost(f).string());
        return files;
    };
    push(std::move(job));
}

void SymbolIndex::update(std::pair<std::string, std::string> file) {
    push({false, {std::move(file)}, {}});
}

bool SymbolIndex::busy() const {
    std::lock_guard lock(mutex_);
    return working_ || !jobs_.empty();
}

void SymbolIndex::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
            if (quit_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            working_ = true;
        }
        if (job.collect) job.files = job.collect();
        ScanResult scan = Scan(ctags_, job.files, timeLimit, &cancel_);
        if (cancel_) return;
        std::vector<Symbol>& found = scan.symbols;
        std::map<std::string, std::vector<Symbol>> files;
        for (const auto& [windows, host] : job.files)
            files[upper(windows)]; // a file without symbols is still known
        for (Symbol& s : found)
            files[upper(s.file)].push_back(std::move(s));
        std::lock_guard lock(mutex_);
        if (job.replaceAll) problems_.clear();
        for (const auto& file : job.files) { // a file read again says its problem again
            const std::string prefix = file.first + ": ";
            std::erase_if(problems_, [&](const std::string& p) { return p.rfind(prefix, 0) == 0; });
        }
        problems_.insert(problems_.end(), scan.problems.begin(), scan.problems.end());
        if (job.replaceAll) byFile_.clear();
        for (auto& [key, symbols] : files)
            byFile_[key] = std::move(symbols);
        byName_.clear();
        for (const auto& [key, symbols] : byFile_)
            for (const Symbol& s : symbols)
                byName_.emplace(s.name, s);
        working_ = false;
        ++generation_;
    }
}

std::vector<std::string> SymbolIndex::problems() const {
    std::lock_guard lock(mutex_);
    return problems_;
}

std::vector<Symbol> SymbolIndex::definitions(const std::string& name, const std::string& preferFile) const {
    std::vector<Symbol> out;
    {
        std::lock_guard lock(mutex_);
        auto [from, to] = byName_.equal_range(name);
        for (auto it = from; it != to; ++it)
            out.push_back(it->second);
    }
    const std::string here = upper(preferFile);
    // A static of another file is not what this file means, unless there is nothing else.
    std::vector<Symbol> visible;
    std::copy_if(out.begin(), out.end(), std::back_inserter(visible),
                 [&](const Symbol& s) { return !s.local || upper(s.file) == here; });
    if (!here.empty() && !visible.empty()) out = std::move(visible);
    std::stable_sort(out.begin(), out.end(), [&](const Symbol& a, const Symbol& b) {
        return (upper(a.file) == here) > (upper(b.file) == here);
    });
    return out;
}

std::vector<Symbol> SymbolIndex::inFile(const std::string& file) const {
    std::lock_guard lock(mutex_);
    const auto it = byFile_.find(upper(file));
    if (it == byFile_.end()) return {};
    std::vector<Symbol> out = it->second;
    std::stable_sort(out.begin(), out.end(),
                     [](const Symbol& a, const Symbol& b) { return a.line < b.line; });
    return out;
}

std::vector<Symbol> SymbolIndex::startingWith(const std::string& prefix, size_t limit) const {
    std::vector<Symbol> out;
    std::lock_guard lock(mutex_);
    for (auto it = byName_.lower_bound(prefix); it != byName_.end() && out.size() < limit; ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (!out.empty() && out.back().name == it->first) continue;
        out.push_back(it->second);
    }
    return out;
}

} // namespace halyard
