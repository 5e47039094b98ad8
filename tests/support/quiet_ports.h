// SPDX-License-Identifier: GPL-3.0-or-later
// Ports that answer every question with its first button and never start anything, for benchmarks
// and fuzz harnesses that need a whole main-window model but exercise only one of its parts.
// Header only, so the fuzz build, which has no test-support library, can use it too.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/ports.h"

namespace halyard::test {

struct QuietUi : Ui {
    Answer message(MsgKind, const std::string&, const std::vector<Answer>& buttons) override {
        return buttons.empty() ? Answer::Ok : buttons.front();
    }
    void showError(const std::string&) override {}
    std::optional<std::string> openFile(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialog&) override { return std::nullopt; }
    std::optional<std::string> chooseDirectory(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    Answer execute(ModalDialog&) override { return Answer::Cancel; }
};

struct NoSettings : SettingsStore {
    Value read(const std::string&) override { return {}; }
    bool write(const std::string&, const std::string&) override { return true; }
};

struct NoLauncher : Launcher {
    void LaunchProgram(const std::string&, const std::string&, const std::string&, int) override {}
};

} // namespace halyard::test
