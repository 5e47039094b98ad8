// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/chm_file.h"

#include <chm_lib.h>

#include <fstream>
#include <set>

#include "base/paths.h"

namespace halyard {

namespace {

std::uint64_t le(const std::string& s, std::size_t at, int bytes) {
    if (at + static_cast<std::size_t>(bytes) > s.size()) return 0;
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | std::uint8_t(s[at + static_cast<std::size_t>(i)]);
    return v;
}
std::uint32_t le32(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(le(s, at, 4));
}
std::uint64_t le64(const std::string& s, std::size_t at) {
    return le(s, at, 8);
}

std::string cString(const std::string& s, std::size_t at) {
    if (at >= s.size()) return {};
    const auto end = s.find('\0', at);
    return s.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// a + b <= limit, without the sum overflowing.
bool fits(std::uint64_t a, std::uint64_t b, std::uint64_t limit) {
    return a <= limit && b <= limit - a;
}

const char ResetTableName[] = "::DataSpace/Storage/MSCompressed/Transform/"
                              "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";
const char ContentName[] = "::DataSpace/Storage/MSCompressed/Content";
const char ControlDataName[] = "::DataSpace/Storage/MSCompressed/ControlData";

// Limits of chmlib's own buffers and of sane files.
constexpr std::size_t MaxPathLength = 512;           // chmlib's CHM_MAX_PATHLEN
constexpr std::uint32_t MaxDirectoryBlock = 1 << 20; // a directory block is read whole, often
constexpr std::size_t MaxEntries = 200000;
constexpr std::uint64_t MaxDirectory = 64u << 20; // read whole; a large help file's is a few hundred KB
constexpr std::uint64_t LzxFrame = 0x8000;        // every compressed block is one LZX frame
constexpr std::uint64_t LzxFrameSlack = 6144;     // chmlib's buffer for one compressed block holds this more

struct Damaged {
    std::string why;
};

// The file's header and directory, each number checked before it is used: every offset and length
// inside the file, every block and entry inside the directory, the index free of loops, and the
// compressed section's tables consistent with the sizes chmlib will allocate from them. chmlib
// reads the same bytes later and then finds nothing it could overrun.
class Layout {
public:
    explicit Layout(const std::filesystem::path& path) : in_(path, std::ios::binary) {
        std::error_code ec;
        size_ = in_ ? std::filesystem::file_size(path, ec) : 0;
        if (ec) size_ = 0;
    }

    // False when the file is no compiled help file at all; throws Damaged when it claims to be one
    // but cannot be trusted.
    bool read(std::vector<ChmFile::Entry>& entries) {
        const std::string itsf = fetch(0, 0x60, false);
        if (itsf.size() < 0x60 || itsf.compare(0, 4, "ITSF") != 0) return false;
        const std::uint32_t version = le32(itsf, 4), headerLength = le32(itsf, 8);
        if ((version != 2 && version != 3) || headerLength < (version == 2 ? 0x58u : 0x60u))
            throw Damaged{"its header is of an unknown version"};
        const std::uint64_t dirOffset = le64(itsf, 72), dirLength = le64(itsf, 80);
        const std::uint64_t dataOffset = version == 3 ? le64(itsf, 88) : dirOffset + dirLength;
        if (!fits(dirOffset, dirLength, size_) || dataOffset > size_ || dirLength < 0x54)
            throw Damaged{"its header places the directory outside the file"};
        const std::string itsp = fetch(dirOffset, 0x54);
        if (itsp.compare(0, 4, "ITSP") != 0 || le32(itsp, 4) != 1 || le32(itsp, 8) != 0x54)
            throw Damaged{"its directory header is damaged"};
        blockLength_ = le32(itsp, 16);
        auto root = static_cast<std::int32_t>(le32(itsp, 28));
        const auto head = static_cast<std::int32_t>(le32(itsp, 32));
        // The directory's blocks are as many as its length holds; chmlib reads no count of them.
        if (blockLength_ < 32 || blockLength_ > MaxDirectoryBlock ||
            (blocks_ = (dirLength - 0x54) / blockLength_) == 0)
            throw Damaged{"its directory blocks are damaged"};
        if (root <= -1) root = head;
        if (root < 0 || std::uint64_t(root) >= blocks_ || head < 0 || std::uint64_t(head) >= blocks_)
            throw Damaged{"its directory index starts outside the directory"};
        if (blocks_ * blockLength_ > MaxDirectory) throw Damaged{"its directory is too large"};
        directory_ = fetch(dirOffset + 0x54, blocks_ * blockLength_);
        dataSize_ = size_ - dataOffset;

        children_.resize(blocks_);
        for (std::uint64_t b = 0; b < blocks_; ++b)
            readBlock(b, entries);
        checkIndex(static_cast<std::uint64_t>(root));
        checkCompressedSection(entries);
        return true;
    }

private:
    std::string fetch(std::uint64_t offset, std::uint64_t length, bool mustFit = true) {
        if (!fits(offset, length, size_)) {
            if (mustFit) throw Damaged{"it claims data past its end"};
            return {};
        }
        std::string bytes(static_cast<std::size_t>(length), '\0');
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        if (!in_.read(bytes.data(), static_cast<std::streamsize>(length))) {
            if (mustFit) throw Damaged{"it cannot be read to its end"};
            return {};
        }
        return bytes;
    }

    // chmlib's compressed numbers: seven bits a byte, the high bit set on all but the last.
    static std::uint64_t number(const std::string& block, std::size_t& at, std::size_t end) {
        std::uint64_t v = 0;
        for (int n = 0; n < 9; ++n) {
            if (at >= end) throw Damaged{"a directory entry runs past its block"};
            const auto byte = std::uint8_t(block[at++]);
            v = v << 7 | (byte & 0x7F);
            if (byte < 0x80) return v;
        }
        throw Damaged{"a directory entry holds a number too large"};
    }

    static std::string name(const std::string& block, std::size_t& at, std::size_t end) {
        const std::uint64_t length = number(block, at, end);
        if (length > MaxPathLength || length > end - at)
            throw Damaged{"a directory entry's name is too long"};
        std::string n = block.substr(at, static_cast<std::size_t>(length));
        at += static_cast<std::size_t>(length);
        return n;
    }

    void readBlock(std::uint64_t b, std::vector<ChmFile::Entry>& entries) {
        const std::string block = directory_.substr(static_cast<std::size_t>(b * blockLength_), blockLength_);
        const bool leaf = block.compare(0, 4, "PMGL") == 0;
        if (!leaf && block.compare(0, 4, "PMGI") != 0) return; // chmlib gives up on such a block
        const std::size_t header = leaf ? 20 : 8;
        const std::uint32_t freeSpace = le32(block, 4);
        if (freeSpace > blockLength_ - header) throw Damaged{"a directory block is damaged"};
        const std::size_t end = blockLength_ - freeSpace;
        for (std::size_t at = header; at < end;) {
            ChmFile::Entry e;
            e.path = name(block, at, end);
            if (!leaf) {
                const std::uint64_t child = number(block, at, end);
                if (child >= blocks_) throw Damaged{"its directory index points outside the directory"};
                children_[b].push_back(child);
                continue;
            }
            e.space = number(block, at, end);
            e.start = number(block, at, end);
            e.length = number(block, at, end);
            if (e.space == 0 && !fits(e.start, e.length, dataSize_))
                throw Damaged{"the file " + e.path + " inside it lies past its end"};
            if (entries.size() >= MaxEntries) throw Damaged{"its directory holds too many files"};
            entries.push_back(std::move(e));
        }
    }

    // chmlib walks the index from its root until it reaches a leaf: a loop would never end.
    void checkIndex(std::uint64_t root) {
        enum : char { Unseen, Open, Done };
        std::vector<char> state(blocks_, Unseen);
        std::vector<std::pair<std::uint64_t, std::size_t>> stack{{root, 0}};
        state[root] = Open;
        while (!stack.empty()) {
            auto& [block, next] = stack.back();
            if (next == children_[block].size()) {
                state[block] = Done;
                stack.pop_back();
                continue;
            }
            const std::uint64_t child = children_[block][next++];
            if (state[child] == Open) throw Damaged{"its directory index loops"};
            if (state[child] == Unseen) {
                state[child] = Open;
                stack.emplace_back(child, 0);
            }
        }
    }

    void checkCompressedSection(const std::vector<ChmFile::Entry>& entries) {
        const ChmFile::Entry *table = nullptr, *content = nullptr, *control = nullptr;
        for (const auto& e : entries) {
            for (auto [wanted, slot] : {std::pair{ResetTableName, &table}, std::pair{ContentName, &content},
                                        std::pair{ControlDataName, &control}}) {
                if (!SameText(e.path, wanted)) continue;
                if (*slot) throw Damaged{"its compressed section is described twice"};
                *slot = &e;
            }
        }
        // chmlib turns compression off when one of the three is missing or said to be compressed
        // (section 1); any other section number it reads as compressed, before it is ready to.
        if (!table || !content || !control || table->space == 1 || content->space == 1 || control->space == 1)
            return;
        if (table->space || content->space || control->space)
            throw Damaged{"its compressed section is damaged"};

        const std::string lzxc =
            control->length <= 256 ? fetch(dataStart() + control->start, control->length) : "";
        if (lzxc.size() < 0x18 || lzxc.compare(4, 4, "LZXC") != 0)
            throw Damaged{"its compression parameters are damaged"};
        // In 32 bits, as chmlib scales them: a scale that wraps must be seen as chmlib sees it.
        std::uint32_t resetInterval = le32(lzxc, 12), window = le32(lzxc, 16);
        const std::uint64_t windowsPerReset = le32(lzxc, 20);
        if (le32(lzxc, 8) == 2) {
            resetInterval *= 0x8000u;
            window *= 0x8000u;
        }
        // LZX windows are 2^15 to 2^21 bytes; chmlib divides by half the window and by the blocks
        // between resets.
        const bool power = window && (window & (window - 1)) == 0;
        if (!power || window < (1u << 15) || window > (1u << 21) || resetInterval == 0 ||
            resetInterval % (window / 2) != 0 || windowsPerReset == 0 ||
            std::uint64_t(resetInterval / (window / 2)) * windowsPerReset > 0x7FFFFFFF)
            throw Damaged{"its compression parameters are damaged"};

        const std::string reset =
            fetch(dataStart() + table->start, std::min<std::uint64_t>(table->length, 0x28));
        if (reset.size() < 0x28 || le32(reset, 0) != 2) return; // chmlib then reads no compressed file
        const std::uint64_t count = le32(reset, 4), tableOffset = le32(reset, 12);
        const std::uint64_t uncompressed = le64(reset, 16), compressed = le64(reset, 24);
        if (le64(reset, 32) != LzxFrame || count == 0 || !fits(tableOffset, count * 8, table->length) ||
            compressed > content->length || uncompressed > count * LzxFrame)
            throw Damaged{"its compressed section's table is damaged"};
        const std::string starts = fetch(dataStart() + table->start + tableOffset, count * 8);
        std::uint64_t previous = 0;
        for (std::uint64_t i = 0; i <= count; ++i) {
            const std::uint64_t at = i < count ? le64(starts, static_cast<std::size_t>(i * 8)) : compressed;
            if (at < previous || at > compressed || (i > 0 && at - previous > LzxFrame + LzxFrameSlack))
                throw Damaged{"its compressed section's table is damaged"};
            previous = at;
        }
        for (const auto& e : entries)
            if (e.space != 0 && !fits(e.start, e.length, uncompressed))
                throw Damaged{"the file " + e.path + " inside it is larger than its compressed section"};
    }

    std::uint64_t dataStart() const { return size_ - dataSize_; }

    std::ifstream in_;
    std::uint64_t size_ = 0, dataSize_ = 0, blocks_ = 0;
    std::uint32_t blockLength_ = 0;
    std::string directory_;
    std::vector<std::vector<std::uint64_t>> children_;
};

} // namespace

std::unique_ptr<ChmFile> ChmFile::open(const std::filesystem::path& hostPath, std::string* damage) {
    if (damage) damage->clear();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(hostPath, ec)) return nullptr;
    std::vector<Entry> entries;
    try {
        Layout layout(hostPath);
        if (!layout.read(entries)) return nullptr;
    } catch (const Damaged& d) {
        if (damage) *damage = d.why;
        return nullptr;
    }
    ::chmFile* h = chm_open(hostPath.c_str());
    if (!h) {
        if (damage) *damage = "its directory cannot be read";
        return nullptr;
    }
    std::unique_ptr<ChmFile> file(new ChmFile(h, std::move(entries)));
    file->readSystem();
    return file;
}

ChmFile::ChmFile(::chmFile* handle, std::vector<Entry> entries) : h_(handle), entries_(std::move(entries)) {
    // The first of two entries of one name wins, as in a directory read from its start.
    for (std::size_t i = 0; i < entries_.size(); ++i)
        byName_.emplace(LowerCase(entries_[i].path), i);
}

ChmFile::~ChmFile() {
    chm_close(h_);
}

const ChmFile::Entry* ChmFile::find(const std::string& name) const {
    const auto it = byName_.find(LowerCase(name));
    return it == byName_.end() ? nullptr : &entries_[it->second];
}

std::optional<std::string> ChmFile::read(const std::string& path) const {
    const Entry* e = find(path.rfind("::", 0) == 0 ? path : normalise(path));
    if (!e || e->length > MaxObjectSize) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(e->length), '\0');
    if (e->length == 0) return bytes;
    chmUnitInfo ui{};
    ui.start = e->start;
    ui.length = e->length;
    ui.space = e->space == 0 ? CHM_UNCOMPRESSED : CHM_COMPRESSED;
    const auto got = chm_retrieve_object(h_, &ui, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                         static_cast<LONGINT64>(e->length));
    if (got <= 0) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

bool ChmFile::exists(const std::string& path) const {
    return find(normalise(path)) != nullptr;
}

std::vector<std::string> ChmFile::files() const {
    // The topics' files: no folders, none of the compiler's own ("/#SYSTEM", "/$FIftiMain", "::...").
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const Entry& e : entries_) {
        const std::string& p = e.path;
        if (p.size() < 2 || p[0] != '/' || p[1] == '#' || p[1] == '$' || p.back() == '/') continue;
        if (seen.insert(LowerCase(p)).second) out.push_back(p);
    }
    return out;
}

void ChmFile::readSystem() {
    // The system file: a version word, then records of (code, length, data).
    if (const auto sys = read("/#SYSTEM")) {
        for (std::size_t at = 4; at + 4 <= sys->size();) {
            const std::uint32_t code = le32(*sys, at) & 0xFFFF, length = le32(*sys, at + 2) & 0xFFFF;
            const std::string data = sys->substr(at + 4, length);
            at += 4 + length;
            switch (code) {
            case 0:
                contentsFile = cString(data, 0);
                break;
            case 1:
                indexFile = cString(data, 0);
                break;
            case 2:
                defaultTopic = cString(data, 0);
                break;
            case 3:
                title = cString(data, 0);
                break;
            default:
                break;
            }
        }
    }
    if (contentsFile.empty() || indexFile.empty()) {
        for (const std::string& f : files()) {
            const std::string lower = LowerCase(f);
            if (contentsFile.empty() && lower.size() > 4 && lower.ends_with(".hhc")) contentsFile = f;
            if (indexFile.empty() && lower.size() > 4 && lower.ends_with(".hhk")) indexFile = f;
        }
    }
}

std::optional<std::string> ChmFile::topicForContext(std::uint32_t id) const {
    // The map: a length, then pairs of (context number, offset of the topic's path in the strings).
    const auto ivb = read("/#IVB");
    const auto strings = read("/#STRINGS");
    if (!ivb || !strings) return std::nullopt;
    const std::size_t end = std::min<std::size_t>(ivb->size(), std::size_t(le32(*ivb, 0)) + 4);
    for (std::size_t at = 4; at + 8 <= end; at += 8) {
        if (le32(*ivb, at) != id) continue;
        const std::string topic = cString(*strings, le32(*ivb, at + 4));
        if (topic.empty() || topic.size() > MaxPathLength) return std::nullopt;
        if (exists(topic)) return normalise(topic);
        // Some compilers store the topic's path on the machine that compiled it: its tail names
        // the topic inside the help file.
        for (auto slash = topic.find('/', 1); slash != std::string::npos; slash = topic.find('/', slash + 1))
            if (exists(topic.substr(slash))) return normalise(topic.substr(slash));
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace halyard
