#pragma once
// A compiled HTML help file (.chm) read with chmlib: its files, its table of contents and index,
// the topic of a context number, and the text popups of a popup topics file.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct chmFile;

namespace halyard {

// One entry of a contents (.hhc) or index (.hhk) file; `level` 0 is the outermost list.
struct SitemapEntry {
    std::string name;
    std::string local; // the topic's path inside the help file; empty for a heading
    int level = 0;
    bool operator==(const SitemapEntry&) const = default;
};

// The entries of a sitemap file in document order. Tolerant: unknown tags and attributes are
// skipped, quotes may be single, double or missing, and entities are decoded.
std::vector<SitemapEntry> ParseSitemap(const std::string& html);

// The ".topic N" entries of a text-popup file: each topic's lines up to the next ".topic".
std::map<std::uint32_t, std::string> ParsePopupTopics(const std::string& text);

class ChmFile {
public:
    // Nothing when the file cannot be opened as a compiled help file.
    static std::unique_ptr<ChmFile> open(const std::filesystem::path& hostPath);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // A file inside the help file ("/a.htm", "a.htm", "sub/../a.htm"); nothing when missing.
    std::optional<std::string> read(const std::string& path) const;
    bool exists(const std::string& path) const;
    // Every file's path, "/" first.
    std::vector<std::string> files() const;

    // From the system file; the contents and index files are looked for when it names none.
    std::string title, contentsFile, indexFile, defaultTopic;

    // The topic ("/a.htm") for a context number of the help file's map.
    std::optional<std::string> topicForContext(std::uint32_t id) const;

    // Folds "." and ".." and puts a "/" in front: "sub/../a.htm" -> "/a.htm".
    static std::string normalise(const std::string& path);

private:
    explicit ChmFile(::chmFile* handle) : h_(handle) {}
    void readSystem();
    ::chmFile* h_;
};

} // namespace halyard
