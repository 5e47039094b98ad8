// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tms370/instruction_set.h"

namespace halyard::sim {

// What a family member has where in its 64K address space. The register file starts at 0000h
// (A and B are its first two bytes), the peripheral file is the page at 1000h, and the program
// memory holds the vectors at its top.
struct DeviceProfile {
    struct Range {
        uint16_t first;
        uint16_t last;
    };
    std::string name;
    std::string summary;
    uint16_t registerFileSize = 256; // bytes from 0000h; 128 or 256 on the family's members
    std::vector<Range> ram;          // data memory beyond the register file
    std::vector<Range> rom;          // program memory (ROM or EPROM): reads only
    bool peripheralFile = true;      // 1000h-10FFh
};

// The profiles this simulator knows; the first is the default.
const std::vector<DeviceProfile>& DeviceProfiles();
const DeviceProfile& DefaultDeviceProfile();
// nullptr when no profile has that name (case ignored).
const DeviceProfile* FindDeviceProfile(const std::string& name);

constexpr uint16_t ResetVector = tms370::kResetVector;
constexpr uint16_t TrapVector(unsigned n) {
    return tms370::kTrapVector(n);
}
constexpr uint16_t PeripheralFileBase = tms370::kPeripheralBase;

} // namespace halyard::sim
