// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <gtest/gtest.h>

#include "support/model_ports.h"

namespace halyard::test {

// A main window model after its start-up with the default folders on a temporary drive and no
// project loaded.
struct ProjectTest : ::testing::Test, ModelPorts {
    std::unique_ptr<TEmbedded> e;

    void SetUp() override {
        for (const char* dir : {"C:\\texassource", "C:\\CL370", "C:\\Halyard"})
            drives.dd.createDir(dir);
        e = std::make_unique<TEmbedded>(ports());
        e->InitStateDefaults();
        e->ProjectPath = NoProjectLoaded;
        e->startupDone = true;
        ui.shown.clear();
    }

    std::string bytes(const std::string& path) { return drives.dd.readBytes(path); }
    // A file of the given lines, each ended by CR LF.
    void write(const std::string& path, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines)
            text += l + "\r\n";
        drives.put(path, text);
    }
    // Opens a project the way "&Open Project" does, through the command boundary.
    bool open(const std::string& path) {
        return e->run([&] { e->project.Openpro(path); });
    }
};

} // namespace halyard::test
