// SPDX-License-Identifier: GPL-3.0-or-later
// The version reader of the about box on any bytes as a program file: it finds a version resource
// or none, and what it shows stays within its limits and names its keys in their order.
#include <cstdlib>

#include "fuzz_drive.h"
#include "help/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    const std::string bytes = fuzz::bytesOf(data, size);
    if (const auto block = FindVersionResource(bytes)) {
        const VersionResource info(*block);
        (void)info.hasFixedInfo();
        (void)info.translation();
        for (const char* key : TGetVersionInfoFromFile::Keys)
            (void)info.string("040904E4", key);
    }
    fuzz::FuzzDrive& d = fuzz::drive();
    d.reset();
    d.dd.writeBytes("C:\\tool.exe", bytes);
    TGetVersionInfoFromFile reader(d.dd);
    reader.setFileName("C:\\tool.exe");
    const auto& strings = reader.VersionStrings();
    const auto& keys = reader.VersionCategories();
    if (strings.size() != keys.size() || keys.size() > std::size(TGetVersionInfoFromFile::Keys)) std::abort();
    for (const auto& s : strings)
        if (s.empty() || s.size() > TGetVersionInfoFromFile::MaxText) std::abort();
    d.checkContained();
    return 0;
}
