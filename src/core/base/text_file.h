// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text files as Halyard reads and writes them: 8-bit text; CR, LF or CR LF end a line, NUL ends the
// text, a last line without a line end still counts, an empty file has no lines. Written whole with
// CR LF after every line, through a temporary file in the same folder renamed over the old one, so a
// failed write never leaves a half-written file behind.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

std::vector<std::string> SplitTextLines(std::string_view bytes);
std::string JoinTextLines(const std::vector<std::string>& lines);
// `code` (at most 10FFFFh) appended as UTF-8. A lone surrogate is written as its three bytes, as
// the readers that call this have always done; a caller that wants U+FFFD instead says so.
void AppendUtf8(std::string& out, std::uint32_t code);

// Whole-file byte I/O on host paths. Reading returns false when the file cannot be opened, is no
// plain file (a folder, pipe or device) or is larger than MaxTextFileSize (base/regular_file.h).
bool ReadHostFile(const std::filesystem::path& file, std::string& bytes);
// Atomic replace; returns false (and leaves any old file intact) when it cannot be written. The file
// keeps its mode (and owner where allowed); a symbolic link is written through to its target; a file
// with other hard links is rewritten in place after a copy of its old text. `durable` waits for the
// disk before the new text takes the old one's place; a copy that is made again whenever it differs
// from its source (a header copy) can do without.
bool WriteHostFileAtomic(const std::filesystem::path& file, std::string_view bytes, bool durable = true);
// A file Halyard makes itself (a batch file, a header copy, a helper file) in a folder a project
// may have filled: the name always gets a new plain file of its own. A symbolic link or a hard link
// found under that name is replaced, never written through, so a planted link cannot lead the text
// into a file elsewhere. A plain file there keeps its permission bits (without set-id bits).
bool WriteGeneratedFileAtomic(const std::filesystem::path& file, std::string_view bytes, bool durable = true);
// A copy is a file Halyard makes: written as WriteGeneratedFileAtomic writes.
bool CopyHostFileAtomic(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace halyard
