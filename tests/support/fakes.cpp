// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fakes.h"

#include <fstream>
#include <random>

namespace halyard::test {

namespace fs = std::filesystem;

Answer FakeUi::message(MsgKind, const std::string& text, const std::vector<Answer>& buttons) {
    shown.push_back(text);
    if (buttons.size() > 1 && !answers.empty()) {
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons.empty() ? Answer::Ok : buttons.front();
}

void FakeUi::showError(const std::string& text) {
    shown.push_back(text);
    errors.push_back(text);
}

std::optional<std::string> FakeUi::nextFile() {
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
}

std::optional<std::string> FakeUi::openFile(const FileDialog& dialog) {
    fileDialogs.push_back(dialog);
    return nextFile();
}

std::optional<std::string> FakeUi::saveFile(const FileDialog& dialog) {
    fileDialogs.push_back(dialog);
    return nextFile();
}

std::optional<std::string> FakeUi::chooseDirectory(const std::string& title, const std::string& start) {
    fileDialogs.push_back({title, "", start, "", ""});
    return nextFile();
}

Answer FakeUi::execute(ModalDialog& dialog) {
    dialogsRun.push_back(dialog.kind());
    if (dialogs.empty()) return Answer::Cancel;
    auto script = std::move(dialogs.front());
    dialogs.pop_front();
    return script(dialog);
}

SettingsStore::Value MemorySettings::read(const std::string& name) {
    auto it = values.find(name);
    return it == values.end() ? Value{} : it->second;
}

bool MemorySettings::write(const std::string& name, const std::string& text) {
    if (refuse.count(name)) return false;
    writes.push_back(name);
    values[name] = {true, true, text};
    return true;
}

namespace {
fs::path freshFolder() {
    std::random_device rd;
    fs::path p = fs::temp_directory_path() / ("halyard-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(p);
    return fs::canonical(p);
}
} // namespace

TempDrives::TempDrives() : dir(freshFolder()), dd(dir) {
    dd.ensureCreated();
    dd.setCurrentDirectory("C:\\");
}

TempDrives::~TempDrives() {
    std::error_code ec;
    fs::remove_all(dir, ec);
}

fs::path TempDrives::put(const std::string& windowsPath, const std::string& bytes) {
    fs::path host = dd.toHost(windowsPath);
    fs::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << bytes;
    return host;
}

} // namespace halyard::test
