// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/run_mark.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halyard {

namespace {

std::string markFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
    }
    std::error_code ec;
    const auto tmp = std::filesystem::temp_directory_path(ec);
    return ec ? std::string("/tmp") : tmp.string();
}

} // namespace

RunMark::~RunMark() {
    disarm();
}

void RunMark::disarm() {
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

std::string RunMark::arm() {
    disarm();
    std::string name = markFolder() + "/halyard-run-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return {};
    ::close(fd);
    path_ = name;
    armed_ = std::chrono::steady_clock::now();
    return path_;
}

bool RunMark::running() {
    if (path_.empty()) return false;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false; // someone removed it: nothing left to watch
    bool busy;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        busy = errno == EWOULDBLOCK;
    } else {
        struct stat st {};
        const bool began = ::fstat(fd, &st) == 0 && st.st_size > 0;
        busy = !began && std::chrono::steady_clock::now() - armed_ < StartGrace;
    }
    ::close(fd); // drops our lock, if we got it
    if (!busy) disarm();
    return busy;
}

bool HoldRunMark(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int r;
    do
        r = ::flock(fd, LOCK_EX);
    while (r != 0 && errno == EINTR);
    if (r != 0 || ::write(fd, "1", 1) != 1) {
        ::close(fd);
        return false;
    }
    return true; // the descriptor stays open on purpose: the lock lasts as long as the process
}

} // namespace halyard
