// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_file.h"

#include "base/regular_file.h"

#include <cstdio>
#include <fstream>
#include <random>
#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace halyard {

namespace fs = std::filesystem;

std::vector<std::string> SplitTextLines(std::string_view bytes) {
    if (auto nul = bytes.find('\0'); nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        lines.emplace_back(bytes.substr(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool ReadHostFile(const fs::path& file, std::string& bytes) {
    return ReadRegularFile(file, bytes) == ReadFault::None;
}

namespace {

fs::path temporaryBeside(const fs::path& file) {
    static thread_local std::mt19937 rng{std::random_device{}()};
    return file.parent_path() /
           (".~" + file.filename().string() + "." + std::to_string(rng() % 1000000) + ".tmp");
}

#ifdef _WIN32

bool replaceByRename(const fs::path& file, std::string_view bytes) {
    std::error_code ec;
    const fs::path tmp = temporaryBeside(file);
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(tmp, ec);
            return false;
        }
    }
    fs::rename(tmp, file, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

#else

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The file a name stands for: a symbolic link is followed to the file it names (also one that does
// not exist yet), so that a save changes the linked file and leaves the link a link.
fs::path throughLinks(fs::path file) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::error_code ec;
        const fs::path target = fs::read_symlink(file, ec);
        if (ec) break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file;
}

// A new file beside `file`, made for this write alone (never an existing file or link of that
// name); -1 when none can be made.
int createTemporary(const fs::path& file, fs::path& tmp, mode_t mode) {
    for (int tries = 0; tries < 16; ++tries) {
        tmp = temporaryBeside(file);
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The whole text into a temporary file that then takes the old file's place, with the old file's
// owner (where the system allows it) and mode.
bool replaceByRename(const fs::path& file, std::string_view bytes, const struct stat* old, bool durable) {
    fs::path tmp;
    const int fd = createTemporary(file, tmp, old ? S_IRUSR | S_IWUSR : 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (ok && old) {
        // The owner first: a change of owner clears the set-id bits that the mode then restores.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0) {
            // Neither owner nor group may be given away: the file stays the saver's, as a new one.
        }
        ok = ::fchmod(fd, old->st_mode & 07777) == 0;
    }
    ok = (!durable || ::fsync(fd) == 0) && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(tmp.c_str(), file.c_str()) == 0) return true;
    ::unlink(tmp.c_str());
    return false;
}

// A file with other hard links is rewritten where it is, so every name keeps seeing one file, as
// editors that keep links do. Its old text goes first into a copy beside it, which stays behind
// should the write be cut off halfway, and puts the old text back when the write fails.
bool rewriteInPlace(const fs::path& file, std::string_view bytes, const struct stat& old) {
    std::string before;
    if (!ReadHostFile(file, before)) return false;
    fs::path backup;
    const int copy = createTemporary(file, backup, S_IRUSR | S_IWUSR);
    if (copy < 0) return false;
    bool saved = writeAll(copy, before) && ::fsync(copy) == 0;
    saved = ::close(copy) == 0 && saved;
    const int fd = saved ? ::open(file.c_str(), O_WRONLY | O_CLOEXEC) : -1;
    const bool denied = fd < 0 && saved && errno == EACCES;
    if (fd < 0) {
        ::unlink(backup.c_str());
        // A file that may not be written but whose folder may: replaced whole as before, which is
        // better than not saving at all.
        return denied && replaceByRename(file, bytes, &old, true);
    }
    bool ok =
        writeAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
    if (!ok && ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, before) &&
        ::ftruncate(fd, static_cast<off_t>(before.size())) == 0 && ::fsync(fd) == 0)
        ::unlink(backup.c_str()); // the old text is back in place
    if (::close(fd) != 0) ok = false;
    if (ok) ::unlink(backup.c_str());
    return ok;
}

#endif

} // namespace

bool WriteHostFileAtomic(const fs::path& file, std::string_view bytes, bool durable) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return false;
#ifdef _WIN32
    (void)durable;
    return replaceByRename(file, bytes);
#else
    const fs::path target = throughLinks(file);
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0)
        return errno == ENOENT && replaceByRename(target, bytes, nullptr, durable);
    // A device, a pipe or a folder is no file to save text into.
    if (!S_ISREG(st.st_mode)) return false;
    return st.st_nlink > 1 ? rewriteInPlace(target, bytes, st) : replaceByRename(target, bytes, &st, durable);
#endif
}

bool WriteGeneratedFileAtomic(const fs::path& file, std::string_view bytes, bool durable) {
#ifdef _WIN32
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(file, ec))) return false;
    (void)durable;
    return replaceByRename(file, bytes);
#else
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0)
        return errno == ENOENT && replaceByRename(file, bytes, nullptr, durable);
    if (S_ISDIR(st.st_mode)) return false;
    if (!S_ISREG(st.st_mode)) return replaceByRename(file, bytes, nullptr, durable);
    // The rename takes the name away from every other link to the old file, which keeps its text.
    st.st_mode &= 0777;
    st.st_uid = ::geteuid();
    st.st_gid = ::getegid();
    return replaceByRename(file, bytes, &st, durable);
#endif
}

bool CopyHostFileAtomic(const fs::path& from, const fs::path& to) {
    std::string bytes;
    return ReadHostFile(from, bytes) && WriteGeneratedFileAtomic(to, bytes);
}

} // namespace halyard
