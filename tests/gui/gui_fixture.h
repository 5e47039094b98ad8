// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <gtest/gtest.h>

#include "shell/main_window.h"
#include "support/model_ports.h"

namespace halyard::test {

// A real main window, offscreen, over a model on scripted ports.
struct GuiFixture : ::testing::Test, ModelPorts {
    TEmbedded model{ports()};
    gui::MainWindow window{model};
};

} // namespace halyard::test
