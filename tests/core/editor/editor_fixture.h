// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main-window model on a temporary drive, with a Ui that also answers the font and print dialogs.
#include <gtest/gtest.h>

#include "editor/code_text.h"
#include "shell/embedded.h"
#include "support/fakes.h"

namespace halyard::test {

class EditorUi : public FakeUi {
public:
    std::deque<std::optional<FontSpec>> fonts;
    std::vector<PrintJob> printed;
    std::optional<FontSpec> chooseFont(const FontSpec&, int, int) override {
        if (fonts.empty()) return std::nullopt;
        auto f = fonts.front();
        fonts.pop_front();
        return f;
    }
    Answer print(const PrintJob& job) override {
        printed.push_back(job);
        return Answer::Ok;
    }
};

struct EditorTest : ::testing::Test {
    TempDrives t;
    EditorUi ui;
    MemorySettings settings;
    RecordingLauncher launcher;
    Clock clock;
    TEmbedded e{{ui, settings, launcher, t.dd, clock}};
    Editors& ed = e.editors;

    // A new window holding `text` (not modified), caret at `caret`.
    TCodeEd& window(const std::u16string& text, size_t caret = 0) {
        TCodeEd& w = ed.NewFile1Click();
        w.setText(text);
        w.select(caret, 0);
        return w;
    }
    std::string read(const std::string& windowsPath) { return t.dd.readBytes(windowsPath); }
};

} // namespace halyard::test
