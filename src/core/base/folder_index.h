// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Case-insensitive lookup of a name in a host folder. Listing a large folder for every lookup made
// each one cost as much as the folder is big, so a folder's listing is kept and reused while the
// folder has provably not changed since: the same inode and the same status-change time, which
// every creation, removal or rename inside the folder moves on and no program can set back. A
// listing is only kept when that time lies well in the past, so that a change within the file
// system's timestamp granularity still shows.
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace halyard {

class FolderIndex {
public:
    // settleSeconds: how old the folder's last change must be before its listing is kept; the
    // default is wider than the coarsest timestamps of the file systems a drive may sit on (FAT
    // keeps two seconds).
    explicit FolderIndex(long long settleSeconds = 3) : settleSeconds_(settleSeconds) {}
    // The name in folder that equals name but for ASCII case (the first one listed); empty when
    // there is none.
    std::string find(const std::filesystem::path& folder, const std::string& name);

private:
    struct Stamp {
        unsigned long long dev = 0, ino = 0;
        long long ctimeSec = 0, ctimeNsec = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Listing {
        Stamp stamp;
        std::unordered_map<std::string, std::string> byUpper;
    };
    long long settleSeconds_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const Listing>> cache_;
};

} // namespace halyard
