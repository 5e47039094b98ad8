// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a project file in the main window's model, with ports that answer every question and
// start nothing; an error ends the command as it would in Halyard.
#include "base/error.h"
#include "fuzz_drive.h"
#include "shell/embedded.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace halyard;
    fuzz::FuzzDrive& d = fuzz::drive();
    d.reset();
    fuzz::QuietUi ui;
    fuzz::NoSettings settings;
    fuzz::NoLauncher launcher;
    Clock clock;
    TEmbedded e({ui, settings, launcher, d.dd, clock});
    d.dd.writeBytes("C:\\p.prj", fuzz::bytesOf(data, size));
    e.run([&] {
        e.project.Openpro("C:\\p.prj");
        e.project.BuildProjectLines();
    });
    d.checkContained();
    return 0;
}
