#pragma once
// Text files as Halyard reads and writes them: 8-bit text; CR, LF or CR LF end a line, NUL ends the
// text, a last line without a line end still counts, an empty file has no lines. Written whole with
// CR LF after every line, through a temporary file in the same folder renamed over the old one, so a
// failed write never leaves a half-written file behind.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

std::vector<std::string> SplitTextLines(std::string_view bytes);
std::string JoinTextLines(const std::vector<std::string>& lines);

// Whole-file byte I/O on host paths. Reading returns false when the file cannot be opened or is no
// plain file (a folder, pipe or device).
bool ReadHostFile(const std::filesystem::path& file, std::string& bytes);
// Atomic replace; returns false (and leaves any old file intact) when it cannot be written.
bool WriteHostFileAtomic(const std::filesystem::path& file, std::string_view bytes);
bool CopyHostFileAtomic(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace halyard
