// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes small compiled help files byte by byte, so that a test can state exactly what a crafted
// file claims: the header, one directory block of entries, and the data they point into.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halyard::test {

struct CraftedChm {
    struct File {
        File(std::string p, std::string b, std::uint64_t s = 0, std::optional<std::uint64_t> n = {})
            : path(std::move(p)), bytes(std::move(b)), space(s), length(n) {}
        std::string path;
        std::string bytes;
        std::uint64_t space = 0;             // 0 plain, 1 compressed
        std::optional<std::uint64_t> length; // what the directory claims, when not the bytes' size
    };
    std::vector<File> files;
    // A second directory block: an index block that names itself as the next block to search.
    bool indexLoop = false;

    static void put(std::string& out, std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>(v >> (8 * i) & 0xFF);
    }
    static std::string number(std::uint64_t v) {
        std::string groups(1, static_cast<char>(v & 0x7F));
        while (v >>= 7)
            groups.insert(groups.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        return groups;
    }
    // The compression parameters of a section: window and reset interval in 32 KiB units.
    static std::string controlData(std::uint32_t window, std::uint32_t resetInterval = 2,
                                   std::uint32_t perReset = 1) {
        std::string d;
        put(d, 6, 4);
        d += "LZXC";
        put(d, 2, 4);
        put(d, resetInterval, 4);
        put(d, window, 4);
        put(d, perReset, 4);
        put(d, 0, 4);
        return d;
    }
    // A reset table of `starts` (offsets of the compressed blocks) over `compressed` bytes.
    static std::string resetTable(const std::vector<std::uint64_t>& starts, std::uint64_t uncompressed,
                                  std::uint64_t compressed) {
        std::string t;
        put(t, 2, 4);
        put(t, starts.size(), 4);
        put(t, 8, 4);
        put(t, 0x28, 4);
        put(t, uncompressed, 8);
        put(t, compressed, 8);
        put(t, 0x8000, 8);
        for (auto s : starts)
            put(t, s, 8);
        return t;
    }
    static constexpr const char* ControlDataName = "::DataSpace/Storage/MSCompressed/ControlData";
    static constexpr const char* ContentName = "::DataSpace/Storage/MSCompressed/Content";
    static constexpr const char* ResetTableName =
        "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/"
        "ResetTable";

    std::string bytes() const {
        constexpr std::uint32_t blockLength = 4096;
        std::string data, entries;
        for (const File& f : files) {
            entries += number(f.path.size()) + f.path + number(f.space) + number(f.space ? 0 : data.size()) +
                       number(f.length.value_or(f.bytes.size()));
            if (!f.space) data += f.bytes;
        }
        std::string leaf = "PMGL";
        put(leaf, blockLength - 20 - entries.size(), 4);
        put(leaf, 0, 4);
        put(leaf, 0xFFFFFFFF, 4);
        put(leaf, 0xFFFFFFFF, 4);
        leaf += entries;
        leaf.resize(blockLength, '\0');
        std::string blocks = leaf;
        if (indexLoop) {
            std::string index = "PMGI";
            const std::string entry = number(1) + "/" + number(1);
            put(index, blockLength - 8 - entry.size(), 4);
            index += entry;
            index.resize(blockLength, '\0');
            blocks += index;
        }
        const std::uint64_t dirOffset = 0x60, dirLength = 0x54 + blocks.size();
        std::string out = "ITSF";
        put(out, 3, 4);
        put(out, 0x60, 4);
        put(out, 1, 4);
        put(out, 0, 4);
        put(out, 0x409, 4);
        out.append(32, '\0');
        put(out, 0, 8);
        put(out, 0, 8);
        put(out, dirOffset, 8);
        put(out, dirLength, 8);
        put(out, dirOffset + dirLength, 8);
        out += "ITSP";
        put(out, 1, 4);
        put(out, 0x54, 4);
        put(out, 10, 4);
        put(out, blockLength, 4);
        put(out, 2, 4);
        put(out, indexLoop ? 2 : 1, 4);
        put(out, indexLoop ? 1 : 0xFFFFFFFF, 4); // the index's root
        put(out, 0, 4);
        put(out, 0, 4);
        put(out, 0xFFFFFFFF, 4);
        put(out, indexLoop ? 2 : 1, 4);
        put(out, 0x409, 4);
        out.append(32, '\0');
        return out + blocks + data;
    }
};

} // namespace halyard::test
