// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace halyard {

namespace fs = std::filesystem;

#ifdef _WIN32

ReadFault ReadRegularFile(const fs::path& file, std::string& bytes, std::uint64_t limit) {
    bytes.clear();
    std::error_code ec;
    if (!fs::exists(file, ec)) return ReadFault::Missing;
    if (!fs::is_regular_file(file, ec)) return ReadFault::NotRegular;
    const auto size = fs::file_size(file, ec);
    if (ec) return ReadFault::Unreadable;
    if (size > limit) return ReadFault::TooLarge;
    std::ifstream in(file, std::ios::binary);
    if (!in) return ReadFault::Unreadable;
    bytes.resize(static_cast<size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return ReadFault::None;
}

std::int64_t RegularFileSize(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return -1;
    const auto size = fs::file_size(file, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

#else

ReadFault ReadRegularFile(const fs::path& file, std::string& bytes, std::uint64_t limit) {
    bytes.clear();
    // O_NONBLOCK: opening a FIFO for reading returns at once instead of waiting for a writer; the
    // descriptor is then refused by what fstat says, so nothing is ever read from it.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadFault::Missing : ReadFault::Unreadable;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return ReadFault::Unreadable;
    if (!S_ISREG(st.st_mode)) return ReadFault::NotRegular;
    if (static_cast<std::uint64_t>(st.st_size) > limit) return ReadFault::TooLarge;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t have = 0;
    for (;;) {
        // One byte more than the limit allows tells a file that grew while it was read.
        if (have == bytes.size()) {
            if (have > limit) break;
            bytes.resize(std::min<std::uint64_t>(limit + 1, have + (have < 4096 ? 4096 : have)));
        }
        const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            bytes.clear();
            return ReadFault::Unreadable;
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    if (have > limit) {
        bytes.clear();
        return ReadFault::TooLarge;
    }
    bytes.resize(have);
    return ReadFault::None;
}

std::int64_t RegularFileSize(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

#endif

std::string SizeText(std::uint64_t bytes) {
    if (bytes >= (std::uint64_t(1) << 20) && bytes % (std::uint64_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " kB";
    return std::to_string(bytes) + " bytes";
}

std::string ReadFaultText(ReadFault fault, std::uint64_t limit) {
    switch (fault) {
    case ReadFault::None:
        return {};
    case ReadFault::Missing:
        return "It does not exist.";
    case ReadFault::NotRegular:
        return "It is not a regular file (a folder, a pipe or a device).";
    case ReadFault::TooLarge:
        return "It is larger than " + SizeText(limit) + ".";
    case ReadFault::Unreadable:
        break;
    }
    return "It cannot be read.";
}

} // namespace halyard
