// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scripted stand-ins for the ports, and a throw-away drive mapping in a temporary folder.
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "base/dos_devices.h"
#include "base/ports.h"

namespace halyard::test {

class FakeUi : public Ui {
public:
    // Everything shown, in order: message texts and, for the general error box, the error text.
    std::vector<std::string> shown;
    std::vector<std::string> errors;
    std::vector<std::string> dialogsRun; // kind() of every dialog executed
    std::vector<FileDialog> fileDialogs; // every open/save dialog asked for
    std::deque<Answer> answers;          // for boxes with more than one button; else the first button
    std::deque<std::optional<std::string>> files; // answers of open/save/directory dialogs; else cancel
    std::deque<std::function<Answer(ModalDialog&)>> dialogs; // scripted dialogs; else Cancel

    Answer message(MsgKind kind, const std::string& text, const std::vector<Answer>& buttons) override;
    void showError(const std::string& text) override;
    std::optional<std::string> openFile(const FileDialog& dialog) override;
    std::optional<std::string> saveFile(const FileDialog& dialog) override;
    std::optional<std::string> chooseDirectory(const std::string& title, const std::string& start) override;
    Answer execute(ModalDialog& dialog) override;

private:
    std::optional<std::string> nextFile();
};

class MemorySettings : public SettingsStore {
public:
    std::map<std::string, Value> values;
    std::vector<std::string> writes; // names in the order written
    std::set<std::string> refuse;    // names whose writes fail

    Value read(const std::string& name) override;
    bool write(const std::string& name, const std::string& text) override;
    void put(const std::string& name, const std::string& text) { values[name] = {true, true, text}; }
};

class RecordingLauncher : public Launcher {
public:
    struct Call {
        std::string file, parameters, directory;
        int showMode;
    };
    std::vector<Call> calls;
    void LaunchProgram(const std::string& file, const std::string& parameters, const std::string& directory,
                       int showMode) override {
        calls.push_back({file, parameters, directory, showMode});
    }
    std::set<std::string> running; // batch files that report as still running
    bool batchRunning(const std::string& file) override { return running.count(file) > 0; }
};

// A fresh folder holding a drive mapping (C: -> <dir>/drive_c, Z: -> /); removed afterwards.
class TempDrives {
public:
    TempDrives();
    ~TempDrives();
    TempDrives(const TempDrives&) = delete;
    TempDrives& operator=(const TempDrives&) = delete;
    std::filesystem::path dir;
    DosDevices dd;
    // Host path of a Windows path on the temporary C: drive, creating parent folders.
    std::filesystem::path put(const std::string& windowsPath, const std::string& bytes);
};

} // namespace halyard::test
