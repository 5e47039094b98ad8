// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way Halyard reads a file that a project may have brought: only a regular file, opened
// without blocking (a FIFO among the sources would hold the reader in open() for good, a device such
// as /dev/zero never ends) and only up to a size that no source, header or command file reaches, so
// a sparse file of gigabytes costs a message naming it, never the memory it claims.
#include <cstdint>
#include <filesystem>
#include <string>

namespace halyard {

enum class ReadFault { None, Missing, NotRegular, TooLarge, Unreadable };

// Larger than any text file Halyard opens, edits or checks.
inline constexpr std::uint64_t MaxTextFileSize = std::uint64_t(32) << 20;

// The whole file into bytes; on a fault bytes is left empty.
ReadFault ReadRegularFile(const std::filesystem::path& file, std::string& bytes,
                          std::uint64_t limit = MaxTextFileSize);
// The file's size when it is a regular file (looked at without opening it); -1 otherwise.
std::int64_t RegularFileSize(const std::filesystem::path& file);
// Why a file was not read, as the second line of a message that names it ("It is larger than
// 32 MB."); empty for None.
std::string ReadFaultText(ReadFault fault, std::uint64_t limit = MaxTextFileSize);
// "32 MB", "512 kB", "100 bytes".
std::string SizeText(std::uint64_t bytes);

} // namespace halyard
