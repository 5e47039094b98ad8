// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The common "ar" archive format, which the tool chain uses for source archives (rts.src) and
// object libraries (rts.lib). Long member names use the GNU name table, so any name survives.
#include <optional>
#include <string>
#include <vector>

namespace halyard::sim370 {

struct ArMember {
    std::string name;
    std::string data;
};

std::string WriteAr(const std::vector<ArMember>& members);
// nullopt when the bytes are not an archive or are cut short.
std::optional<std::vector<ArMember>> ReadAr(const std::string& bytes);
bool IsAr(const std::string& bytes);

} // namespace halyard::sim370
