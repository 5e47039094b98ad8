#include "base/text_file.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#ifndef _WIN32
#include <fcntl.h>
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

bool ReadHostFile(const fs::path& file, std::string& bytes) {
    // Only a plain file: a pipe would block the reader for good and a device such as /dev/zero
    // (reachable through the Z: drive) never ends.
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    bytes = std::move(ss).str();
    return true;
}

namespace {
fs::path temporaryBeside(const fs::path& file) {
    static thread_local std::mt19937 rng{std::random_device{}()};
    return file.parent_path() / (".~" + file.filename().string() + "." + std::to_string(rng() % 1000000) + ".tmp");
}
} // namespace

bool WriteHostFileAtomic(const fs::path& file, std::string_view bytes) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return false;
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
#ifndef _WIN32
    if (int fd = ::open(tmp.c_str(), O_RDONLY); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
    fs::rename(tmp, file, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

bool CopyHostFileAtomic(const fs::path& from, const fs::path& to) {
    std::string bytes;
    return ReadHostFile(from, bytes) && WriteHostFileAtomic(to, bytes);
}

} // namespace halyard
