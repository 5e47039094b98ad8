// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <gtest/gtest.h>

#include "shell/embedded.h"
#include "support/model_ports.h"

namespace halyard::test {

// A main window model on scripted ports and a temporary drive mapping.
struct Shell : ::testing::Test, ModelPorts {
    std::unique_ptr<TEmbedded> e;

    void create() { e = std::make_unique<TEmbedded>(ports()); }
    // First activation and the start timer's tick, as the window would run them.
    void start() {
        if (!e) create();
        e->FormCreate();
        e->starttimer.tick();
    }
    // The working and tool-chain folders the start-up checks, both present: no questions.
    void createToolFolders() {
        drives.dd.createDir("C:\\texassource");
        drives.dd.createDir("C:\\CL370");
    }
    static std::function<Answer(ModalDialog&)> answer(Answer a) {
        return [a](ModalDialog&) { return a; };
    }
};

} // namespace halyard::test
