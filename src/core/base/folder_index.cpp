// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/folder_index.h"

#include <ctime>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/paths.h"

namespace halyard {

#ifndef _WIN32
namespace fs = std::filesystem;

namespace {

// Small folders are listed quickly; only large ones are worth their memory.
constexpr size_t kMinCachedEntries = 64;
constexpr size_t kMaxCachedFolders = 32;

} // namespace

std::string FolderIndex::find(const fs::path& folder, const std::string& name) {
    struct stat st {};
    const bool statted = ::stat(folder.c_str(), &st) == 0;
    const Stamp stamp{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                      static_cast<long long>(st.st_ctim.tv_sec), static_cast<long long>(st.st_ctim.tv_nsec)};
    const std::string key = folder.string();
    const std::string upper = UpperCase(name);
    if (statted) {
        std::lock_guard lock(mutex_);
        if (auto it = cache_.find(key); it != cache_.end()) {
            if (it->second->stamp == stamp) {
                const auto hit = it->second->byUpper.find(upper);
                return hit == it->second->byUpper.end() ? std::string() : hit->second;
            }
            cache_.erase(it);
        }
    }

    const std::time_t listedAt = std::time(nullptr);
    auto listing = std::make_shared<Listing>();
    listing->stamp = stamp;
    std::string match;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        std::string entryUpper = UpperCase(entry);
        if (match.empty() && entryUpper == upper) match = entry;
        listing->byUpper.emplace(std::move(entryUpper), std::move(entry));
    }
    struct stat after {};
    const bool settled = statted && !ec && stamp.ctimeSec < listedAt - settleSeconds_ &&
                         ::stat(folder.c_str(), &after) == 0 && after.st_ino == st.st_ino &&
                         after.st_ctim.tv_sec == st.st_ctim.tv_sec &&
                         after.st_ctim.tv_nsec == st.st_ctim.tv_nsec;
    if (settled && listing->byUpper.size() >= kMinCachedEntries) {
        std::lock_guard lock(mutex_);
        if (cache_.size() >= kMaxCachedFolders) cache_.clear();
        cache_[key] = std::move(listing);
    }
    return match;
}

#endif

} // namespace halyard
