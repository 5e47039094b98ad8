// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/device_profile.h"

#include <algorithm>
#include <cctype>

namespace halyard::sim {

const std::vector<DeviceProfile>& DeviceProfiles() {
    // "generic" takes whatever a command file may place: the expansion area above the peripheral
    // file counts as program memory, the area between the register file and 1000h as data memory.
    static const std::vector<DeviceProfile> profiles = {
        {"generic",
         "256-byte register file, RAM 0100h-0FFFh, program memory 2000h-0FFFFh",
         256,
         {{0x0100, 0x0FFF}},
         {{0x2000, 0xFFFF}},
         true},
        {"tms370c050", "256-byte register file, 4K ROM 7000h-7FFFh", 256, {}, {{0x7000, 0x7FFF}}, true},
    };
    return profiles;
}

const DeviceProfile& DefaultDeviceProfile() {
    return DeviceProfiles().front();
}

const DeviceProfile* FindDeviceProfile(const std::string& name) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    for (const auto& p : DeviceProfiles())
        if (p.name == lower(name)) return &p;
    return nullptr;
}

} // namespace halyard::sim
