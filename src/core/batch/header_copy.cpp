// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/header_copy.h"

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/text_file.h"

namespace halyard {

namespace fs = std::filesystem;

namespace {
bool endsInH(const std::string& name) {
    return name.size() > 2 && name[name.size() - 2] == '.' && (name.back() == 'h' || name.back() == 'H');
}
} // namespace

std::string HeaderCopyName(const DosDevices& dd, const std::string& entry) {
    if (TrimRight(entry).empty()) return {};
    const std::string name = ExtractFileName(dd.absolute(entry));
    return endsInH(name) && IsPlainFileName(name) ? name : std::string();
}

HeaderCopier::HeaderCopier(const DosDevices& dd, const std::string& headersDir)
    : dd_(dd), dir_(RemoveTrailingBackslash(headersDir)), host_(dd.toHost(dir_)) {
    std::error_code ec;
    for (fs::directory_iterator it(host_, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        byUpper_.emplace(UpperCase(name), std::move(name));
    }
}

void HeaderCopier::copy(const std::string& entry) {
    const std::string name = HeaderCopyName(dd_, entry);
    // The one rule that keeps every program and every tool-chain file out of reach, checked where
    // the file is written whatever the caller looked at.
    if (name.empty()) throw Error("The header " + entry + " does not name a file");
    const std::string target = dir_ + "\\" + name;
    const auto [known, added] = byUpper_.emplace(UpperCase(name), name);
    const fs::path targetHost = host_ / known->second;
    // A header that already lies in the headers folder is its own copy; rewriting it from itself
    // could only lose it.
    std::error_code ec;
    const fs::path sourceHost = dd_.toHost(entry);
    if (!added && fs::equivalent(sourceHost, targetHost, ec)) return;
    std::string bytes;
    if (!ReadHostFile(sourceHost, bytes)) throw Error(CannotOpenFile(entry));
    // An unchanged copy is not written again. A copy that differs is made again at the next
    // generation, so one that a crash cut short mends itself: no waiting for the disk per header.
    std::string old;
    if (!added && ReadHostFile(targetHost, old) && old == bytes) return;
    if (!WriteGeneratedFileAtomic(targetHost, bytes, false)) throw Error(CannotCreateFile(target));
}

} // namespace halyard
