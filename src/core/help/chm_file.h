// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A compiled HTML help file (.chm) read with chmlib: its files, its title and start page, and the
// topic of a context number. chmlib trusts every number the file holds, so the file's header, its
// directory and the sizes of its compressed section are checked here first, against the file's
// size, before chmlib reads or allocates anything. Only the help reader's own process uses this
// class (with the fuzzing harness and its tests); the rest of Halyard asks that process.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "help/sitemap.h"

struct chmFile;

namespace halyard {

class ChmFile {
public:
    // The largest file inside a help file that is read: no page or picture comes near it.
    static constexpr std::uint64_t MaxObjectSize = 16u << 20;

    // Nothing when the file cannot be opened as a compiled help file; `damage` then says why
    // when the file is one but its header or directory cannot be trusted (empty when it is no
    // compiled help file at all, or missing).
    static std::unique_ptr<ChmFile> open(const std::filesystem::path& hostPath,
                                         std::string* damage = nullptr);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // A file inside the help file ("/a.htm", "a.htm", "sub/../a.htm"); nothing when missing, when
    // it is larger than MaxObjectSize or when it cannot be decompressed.
    std::optional<std::string> read(const std::string& path) const;
    bool exists(const std::string& path) const;
    // Every file's path, "/" first.
    std::vector<std::string> files() const;

    // From the system file; the contents and index files are looked for when it names none.
    std::string title, contentsFile, indexFile, defaultTopic;

    // The topic ("/a.htm") for a context number of the help file's map.
    std::optional<std::string> topicForContext(std::uint32_t id) const;

    static std::string normalise(const std::string& path) { return NormaliseHelpPath(path); }

    // One entry of the directory as the file states it.
    struct Entry {
        std::string path;
        std::uint64_t space = 0, start = 0, length = 0;
    };

private:
    ChmFile(::chmFile* handle, std::vector<Entry> entries);
    const Entry* find(const std::string& name) const;
    void readSystem();
    ::chmFile* h_;
    std::vector<Entry> entries_;                // in directory order
    std::map<std::string, std::size_t> byName_; // lower-case path -> index into entries_
};

} // namespace halyard
