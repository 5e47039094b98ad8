// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every harness shares: a temporary drive (C: maps to a fresh folder and no other drive is
// mapped, so nothing done through the drive mapping reaches a file outside it), a check that
// nothing escaped it, and quiet ports for the main window's model.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "base/dos_devices.h"
#include "base/ports.h"
#include "support/quiet_ports.h"

// libFuzzer's entry point; the replay main and libFuzzer both call it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace halyard::fuzz {

inline std::string bytesOf(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

class FuzzDrive {
public:
    FuzzDrive() : root_(makeRoot()), dd(root_) {
        dd.mapDrive('C', root_ / "drive_c");
        dd.setCurrentDirectory("C:\\");
    }
    ~FuzzDrive() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FuzzDrive(const FuzzDrive&) = delete;
    FuzzDrive& operator=(const FuzzDrive&) = delete;

    // Empties C: and makes its root the current folder again, so that inputs stay independent.
    void reset() {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(cHost(), ec))
            std::filesystem::remove_all(e.path(), ec);
        dd.setCurrentDirectory("C:\\");
    }

    std::filesystem::path cHost() const { return root_ / "drive_c"; }

    // Stops the run (a finding) when anything appeared beside the drive or its link.
    void checkContained() const {
        for (const auto& e : std::filesystem::directory_iterator(root_)) {
            const std::string name = e.path().filename().string();
            if (name != "drive_c" && name != "dosdevices") escaped(e.path());
        }
        for (const auto& e : std::filesystem::directory_iterator(root_ / "dosdevices"))
            if (e.path().filename() != "c:") escaped(e.path());
    }

private:
    std::filesystem::path root_;

public:
    DosDevices dd;

private:
    static std::filesystem::path makeRoot() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/halyard-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        std::filesystem::create_directories(std::filesystem::path(pattern) / "drive_c");
        return pattern;
    }
    [[noreturn]] static void escaped(const std::filesystem::path& p) {
        std::fprintf(stderr, "a file escaped the temporary drive: %s\n", p.c_str());
        std::abort();
    }
};

// One drive for the whole run of a harness.
inline FuzzDrive& drive() {
    static FuzzDrive d;
    return d;
}

using test::NoLauncher;
using test::NoSettings;
using test::QuietUi;

} // namespace halyard::fuzz
