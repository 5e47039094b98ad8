// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scripted ports and temporary drives that a main window model runs on in tests.
#include "shell/embedded.h"
#include "support/fakes.h"

namespace halyard::test {

struct ModelPorts {
    TempDrives drives;
    FakeUi ui;
    MemorySettings settings;
    RecordingLauncher launcher;
    Clock clock;
    Ports ports() { return {ui, settings, launcher, drives.dd, clock}; }
};

} // namespace halyard::test
