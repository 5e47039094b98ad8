// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/dos_devices.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/error.h"
#include "base/paths.h"
#include "base/regular_file.h"
#include "base/text_file.h"

namespace halyard {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> splitComponents(const std::string& rest) {
    std::vector<std::string> parts;
    std::string cur;
    auto flush = [&] {
        std::string name = TrimRight(cur);
        cur.clear();
        if (name.empty() || name == ".") return;
        if (name == "..") {
            if (!parts.empty()) parts.pop_back();
            return;
        }
        parts.push_back(name);
    };
    for (char c : rest) {
        if (IsPathSeparator(c))
            flush();
        else
            cur += c;
    }
    flush();
    return parts;
}

bool hasDrive(const std::string& p) {
    return p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]));
}

// "\\server\share\x.prj": a network path, on no drive at all.
bool isNetworkPath(const std::string& p) {
    return p.size() >= 2 && IsPathSeparator(p[0]) && IsPathSeparator(p[1]);
}

bool wildcardMatch(const char* pat, const char* s) {
    // Iterative * and ? matching, case-insensitive.
    const char *star = nullptr, *resume = nullptr;
    while (*s) {
        if (*pat == '?' ||
            std::tolower(static_cast<unsigned char>(*pat)) == std::tolower(static_cast<unsigned char>(*s))) {
            ++pat;
            ++s;
        } else if (*pat == '*') {
            star = pat++;
            resume = s;
        } else if (star) {
            pat = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (*pat == '*')
        ++pat;
    return *pat == 0;
}

} // namespace

bool MatchesMask(const std::string& name, const std::string& masks) {
    size_t start = 0;
    while (start <= masks.size()) {
        size_t end = masks.find(';', start);
        if (end == std::string::npos) end = masks.size();
        std::string m = masks.substr(start, end - start);
        if (!m.empty() && wildcardMatch(m.c_str(), name.c_str())) return true;
        // As on Windows, a mask ending in ".*" also takes a name without any extension ("*.*" is
        // every file, "Makefile" included).
        if (m.size() >= 2 && m.compare(m.size() - 2, 2, ".*") == 0 && name.find('.') == std::string::npos &&
            wildcardMatch(m.substr(0, m.size() - 2).c_str(), name.c_str()))
            return true;
        start = end + 1;
    }
    return false;
}

DosDevices::DosDevices(fs::path root) : root_(std::move(root)) {
#ifdef _WIN32
    cwd_ = fs::current_path().string();
#else
    std::error_code ec;
    cwd_ = fs::exists(root_ / "dosdevices", ec) ? toWindows(fs::current_path(ec)) : "C:\\";
#endif
}

fs::path DosDevices::defaultRoot() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "halyard";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "halyard";
}

fs::path DosDevices::driveLink(char letter) const {
    return root_ / "dosdevices" / (std::string(1, static_cast<char>(std::tolower(letter))) + ":");
}

void DosDevices::ensureCreated() const {
#ifndef _WIN32
    std::error_code ec;
    // Z: -> / is made with the mapping only: a user who removed it to keep the tools away from the
    // rest of the file system does not get it back at the next start.
    const bool fresh = !fs::exists(root_ / "dosdevices", ec);
    fs::create_directories(root_ / "dosdevices");
    fs::create_directories(root_ / "drive_c");
    if (!fs::exists(fs::symlink_status(driveLink('c'), ec)))
        fs::create_directory_symlink("../drive_c", driveLink('c'));
    if (fresh && !fs::exists(fs::symlink_status(driveLink('z'), ec)))
        fs::create_directory_symlink("/", driveLink('z'));
#endif
}

void DosDevices::mapDrive(char letter, const fs::path& target) const {
    fs::create_directories(root_ / "dosdevices");
    std::error_code ec;
    fs::remove(driveLink(letter), ec);
    fs::create_directory_symlink(fs::absolute(target), driveLink(letter));
}

std::string DosDevices::drives() const {
    std::string out;
    for (char c = 'a'; c <= 'z'; ++c) {
        std::error_code ec;
        if (fs::exists(driveLink(c), ec)) out += static_cast<char>(std::toupper(c));
    }
    return out;
}

std::string DosDevices::absolute(const std::string& path) const {
    // Not the current drive's "\server\share": the name keeps its form and reaches no mapped drive.
    if (isNetworkPath(path)) {
        std::string out = "\\";
        for (const auto& p : splitComponents(path))
            out += "\\" + p;
        // A bare "\\" still names the network, never a drive: it keeps both of its separators.
        return out.size() > 1 ? out : "\\\\";
    }
    char drive = cwd_.empty() ? 'C' : static_cast<char>(std::toupper(static_cast<unsigned char>(cwd_[0])));
    std::string rest;
    if (hasDrive(path)) {
        const char d = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        rest = path.substr(2);
        const bool rooted = !rest.empty() && IsPathSeparator(rest[0]);
        if (!rooted)
            rest = (d == drive && cwd_.size() > 2 ? cwd_.substr(2) : std::string("\\")) + "\\" + rest;
        drive = d;
    } else if (!path.empty() && IsPathSeparator(path[0])) {
        rest = path;
    } else {
        rest = (cwd_.size() > 2 ? cwd_.substr(2) : std::string()) + "\\" + path;
    }
    std::string out(1, drive);
    out += ":";
    const auto parts = splitComponents(rest);
    if (parts.empty()) return out + "\\";
    for (const auto& p : parts)
        out += "\\" + p;
    return out;
}

fs::path DosDevices::toHost(const std::string& windowsPath) const {
#ifdef _WIN32
    return fs::path(TrimRight(windowsPath));
#else
    // The system ends a path at a NUL byte, so "C:\..<NUL>x" would name the folder above the
    // drive: such a path names nothing, and every operation on it fails with its own message.
    if (windowsPath.find('\0') != std::string::npos) return root_ / "dosdevices" / "unmapped" / "nul";
    const std::string abs = absolute(windowsPath);
    if (isNetworkPath(abs)) return root_ / "dosdevices" / "unmapped" / "network";
    std::error_code ec;
    fs::path cur = driveLink(abs[0]);
    bool resolving = fs::exists(cur, ec);
    if (resolving)
        cur = fs::canonical(cur, ec);
    else
        cur = root_ / "dosdevices" / "unmapped" / cur.filename();
    for (const auto& name : splitComponents(abs.substr(2))) {
        if (resolving && !fs::exists(fs::symlink_status(cur / name, ec))) {
            // Windows semantics: one folder whatever the case of its name.
            const std::string match = index_->find(cur, name);
            if (match.empty()) resolving = false;
            cur /= match.empty() ? name : match;
            continue;
        }
        cur /= name;
    }
    return cur;
#endif
}

std::vector<fs::path> DosDevices::letterFolders() const {
    std::vector<fs::path> out;
#ifdef _WIN32
    for (char c : drives())
        out.push_back(fs::path(std::string(1, c) + ":\\"));
#else
    const fs::path dir = root_ / "letters";
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (char c = 'A'; c <= 'Z'; ++c) {
        const fs::path link = dir / (std::string(1, c) + ":");
        std::error_code gone;
        const fs::path target = fs::canonical(driveLink(c), gone);
        const bool isLink = fs::is_symlink(fs::symlink_status(link, ec));
        if (isLink && (gone || fs::read_symlink(link, ec) != target)) fs::remove(link, ec);
        if (gone) continue;
        if (!fs::exists(fs::symlink_status(link, ec))) fs::create_directory_symlink(target, link, ec);
        if (fs::is_symlink(fs::symlink_status(link, ec))) out.push_back(link);
    }
#endif
    return out;
}

fs::path DosDevices::toLetterPath(const std::string& windowsPath) const {
    const fs::path host = toHost(windowsPath);
#ifdef _WIN32
    return host;
#else
    if (!driveMapped(windowsPath)) return host;
    const std::string win = toWindows(host); // the names as stored, through the closest drive
    std::error_code ec;
    fs::path out = root_ / "letters" / win.substr(0, 2);
    if (win.size() < 2 || win[1] != ':' || !fs::is_symlink(fs::symlink_status(out, ec))) return host;
    for (const auto& name : splitComponents(win.substr(2)))
        out /= name;
    return out;
#endif
}

std::string DosDevices::fromCommandLine(const std::string& arg) const {
    const bool drive = arg.size() >= 2 && std::isalpha(static_cast<unsigned char>(arg[0])) && arg[1] == ':';
    return drive || (arg.size() >= 2 && arg[0] == '\\' && arg[1] == '\\') ? arg : toWindows(arg);
}

bool DosDevices::driveMapped(const std::string& windowsPath) const {
#ifdef _WIN32
    (void)windowsPath;
    return true;
#else
    std::error_code ec;
    const std::string abs = absolute(windowsPath);
    return !isNetworkPath(abs) && fs::exists(driveLink(abs[0]), ec);
#endif
}

std::string DosDevices::toWindows(const fs::path& host) const {
#ifdef _WIN32
    return host.string();
#else
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(fs::absolute(host, ec), ec);
    char bestDrive = 0;
    size_t bestLength = 0;
    fs::path bestBase;
    for (char c : drives()) {
        const fs::path base = fs::canonical(driveLink(c), ec);
        if (ec) continue;
        auto [b, t] = std::mismatch(base.begin(), base.end(), target.begin(), target.end());
        if (b != base.end()) continue;
        const size_t length = static_cast<size_t>(std::distance(base.begin(), base.end()));
        if (!bestDrive || length > bestLength) {
            bestDrive = c;
            bestLength = length;
            bestBase = base;
        }
    }
    if (!bestDrive) return target.string();
    std::string out(1, bestDrive);
    out += ":";
    const fs::path rel = target.lexically_relative(bestBase);
    std::string tail;
    for (const auto& part : rel) {
        const std::string s = part.string();
        if (s.empty() || s == ".") continue;
        tail += "\\" + s;
    }
    return out + (tail.empty() ? "\\" : tail);
#endif
}

void DosDevices::setCurrentDirectory(const std::string& windowsPath) {
    if (!dirExists(windowsPath)) throw Error("The system cannot find the path specified: " + windowsPath);
    cwd_ = absolute(windowsPath);
}

bool DosDevices::fileExists(const std::string& path) const {
    std::error_code ec;
    return fs::is_regular_file(toHost(path), ec);
}

bool DosDevices::dirExists(const std::string& path) const {
    std::error_code ec;
    return !TrimRight(path).empty() && fs::is_directory(toHost(path), ec);
}

void DosDevices::createDir(const std::string& path) const {
    std::error_code ec;
    const fs::path host = toHost(path);
    if (fs::is_directory(host, ec)) return;
    if (!fs::create_directory(host, ec) || ec)
        throw Error("Unable to create directory " + path + (ec ? " (" + ec.message() + ")" : std::string()));
}

void DosDevices::createDirs(const std::string& path) const {
    const std::string abs = absolute(path);
    std::string partial = abs.substr(0, 2);
    for (const auto& name : splitComponents(abs.substr(2))) {
        partial += "\\" + name;
        createDir(partial);
    }
}

std::string DosDevices::readBytes(const std::string& path) const {
    std::string bytes;
    if (TrimRight(path).empty()) throw Error(CannotOpenFile(path));
    const ReadFault fault = ReadRegularFile(toHost(path), bytes);
    // A file of gigabytes is named with the reason, so the user knows what is wrong with it.
    if (fault == ReadFault::TooLarge) throw Error(CannotOpenFile(path) + "\r" + ReadFaultText(fault));
    if (fault != ReadFault::None) throw Error(CannotOpenFile(path));
    return bytes;
}

std::vector<std::string> DosDevices::readLines(const std::string& path) const {
    return SplitTextLines(readBytes(path));
}

void DosDevices::writeBytes(const std::string& path, const std::string& bytes) const {
    if (TrimRight(path).empty() || !WriteHostFileAtomic(toHost(path), bytes))
        throw Error(CannotCreateFile(path));
}

void DosDevices::writeLines(const std::string& path, const std::vector<std::string>& lines) const {
    writeBytes(path, JoinTextLines(lines));
}

void DosDevices::writeGeneratedBytes(const std::string& path, const std::string& bytes) const {
    if (TrimRight(path).empty() || !WriteGeneratedFileAtomic(toHost(path), bytes))
        throw Error(CannotCreateFile(path));
}

void DosDevices::writeGeneratedLines(const std::string& path, const std::vector<std::string>& lines) const {
    writeGeneratedBytes(path, JoinTextLines(lines));
}

bool DosDevices::copyFile(const std::string& from, const std::string& to) const {
    return CopyHostFileAtomic(toHost(from), toHost(to));
}

std::optional<fs::file_time_type> DosDevices::lastWriteTime(const std::string& path) const {
    std::error_code ec;
    auto t = fs::last_write_time(toHost(path), ec);
    if (ec) return std::nullopt;
    return t;
}

std::optional<DosDevices::FileStamp> DosDevices::fileStamp(const std::string& path) const {
    if (!fileExists(path)) return std::nullopt;
    const fs::path host = toHost(path);
    FileStamp stamp;
    std::error_code ec;
    stamp.written = fs::last_write_time(host, ec);
    if (ec) return std::nullopt;
#ifndef _WIN32
    struct stat st {};
    if (::stat(host.c_str(), &st) == 0) {
        stamp.device = static_cast<std::uintmax_t>(st.st_dev);
        stamp.inode = static_cast<std::uintmax_t>(st.st_ino);
    }
#endif
    return stamp;
}

std::vector<std::string> DosDevices::listFiles(const std::string& dir, const std::string& mask) const {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(toHost(dir), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(ec) && MatchesMask(name, mask)) out.push_back(name);
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return CompareText(a, b) < 0; });
    return out;
}

std::vector<std::string> DosDevices::listDirs(const std::string& dir) const {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(toHost(dir), ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory(ec)) out.push_back(it->path().filename().string());
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return CompareText(a, b) < 0; });
    return out;
}

} // namespace halyard
