// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the settings file into the main window's model, and writing it back.
#include "base/error.h"
#include "fuzz_drive.h"
#include "shell/embedded.h"
#include "shell/ini_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    fuzz::FuzzDrive& d = fuzz::drive();
    d.reset();
    d.dd.writeBytes("C:\\Halyard.conf", fuzz::bytesOf(data, size));
    IniSettings settings(d.cHost() / "Halyard.conf");
    fuzz::QuietUi ui;
    fuzz::NoLauncher launcher;
    Clock clock;
    TEmbedded e({ui, settings, launcher, d.dd, clock});
    e.run([&] { e.LoadSettings(); });
    e.run([&] { e.SaveSettings(); });
    d.checkContained();
    return 0;
}
