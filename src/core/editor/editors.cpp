// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editors.h"

#include <algorithm>

#include "base/error.h"
#include "base/paths.h"
#include "editor/code_text.h"
#include "project/project_editor.h"
#include "shell/ide_context.h"

namespace halyard {

Editors::Editors(IdeContext& e, ProjectEditor& projEdit) : e(e), projEdit(projEdit) {
    auto open = [this](MenuItem& item) {
        item.onClick = [this, &item] { this->e.run([this, &item] { OpenFileClick(item.tag); }); };
    };
    open(e.menu.OpenFile);
    open(e.menu.EditBatch);
    open(e.menu.ViewCompilerOP);
    open(e.toolBar.OpenFileBtn);
    auto newFile = [this] { this->e.run([this] { NewFile1Click(); }); };
    e.menu.NewFile1.onClick = newFile;
    e.toolBar.NewFileBtn.onClick = newFile;
    e.menu.SaveObjectFile1.onClick = [this] { this->e.run([this] { SaveObjectFile1Click(); }); };
}

Editors::~Editors() = default;

TCodeEd& Editors::NewFile1Click() {
    windows_.insert(windows_.begin(), std::make_unique<TCodeEd>(*this, e.ui, e.dd));
    TCodeEd& window = *windows_.front();
    for (auto& o : opened_)
        o(window);
    window.UpdateStatus();
    return window;
}

void Editors::OpenFileClick(int tag) {
    std::string name;
    if (tag == 20) {
        name = AddTrailingBackslash(e.CompSourceDir) + "ide.bat";
    } else if (tag == 60) {
        name = e.CompilerOutputFile;
    } else {
        FileDialog dialog;
        dialog.title = OpenDialogTitle;
        dialog.filter = OpenDialogFilter;
        // The project editor's directory list; before it has been shown it stands on the tool-chain folder.
        const std::string& dirBox = projEdit.DirBox.directory();
        dialog.initialDir = dirBox.empty() ? e.CompilerDir : dirBox;
        name = e.ui.openFile(dialog).value_or("");
    }
    // The window is made once the name is known: while the dialog is open, a timer or a build may
    // close every editor window, and a window made before it would be written to after it was freed.
    TCodeEd& window = NewFile1Click();
    if (e.Cascade1Click) e.Cascade1Click();
    e.menu.Window1.setVisible(true);
    window.LoadFile(name, 1);
}

TCodeEd* Editors::LoadFile(const std::string& path, int caret) {
    TCodeEd& window = NewFile1Click();
    const bool refused = path.size() < 2;
    window.LoadFile(path, caret);
    return refused ? nullptr : &window;
}

bool Editors::SaveEdtorFiles() {
    // Only changed windows are written: rewriting an unchanged one as plain text would strip a Rich
    // Text file's formatting and a file's own line ends behind the user's back. A save may ask
    // something, and a question lets other things close windows: each is held by its lifetime.
    std::vector<std::weak_ptr<void>> saving;
    for (int i = count() - 1; i >= 0; --i)
        saving.push_back(child(i).lifetime());
    for (const auto& life : saving)
        if (TCodeEd* window = find(life); window && window->modified() && !window->Save1Click()) return false;
    return true;
}

bool Editors::CloseEditorFiles() {
    e.menu.Window1.setVisible(false);
    // Every window is asked before any of them closes, so Cancel in one keeps them all open, also
    // those that were asked before it; a "Yes" given on the way has saved its file all the same.
    // A window whose save fails stays open with its edits and the others are still asked, so
    // closing the main window can never lose an edit behind an error box. A question may let
    // something else close windows meanwhile: each one is held by its lifetime, never by address.
    std::vector<std::weak_ptr<void>> asking;
    for (int i = count() - 1; i >= 0; --i)
        asking.push_back(child(i).lifetime());
    std::vector<std::weak_ptr<void>> closing;
    bool allClosed = true;
    for (const auto& life : asking) {
        TCodeEd* window = find(life);
        if (!window) continue;
        bool close = false;
        if (!e.run([&] { close = window->FormCloseQuery(); })) {
            allClosed = false;
            continue;
        }
        if (!find(life)) continue;
        if (!close) return false;
        closing.push_back(life);
    }
    for (const auto& life : closing)
        if (TCodeEd* window = find(life)) closeWindow(*window);
    return allClosed;
}

TCodeEd* Editors::find(const std::weak_ptr<void>& life) const {
    const auto held = life.lock();
    if (!held) return nullptr;
    for (const auto& w : windows_)
        if (w->alive_ == held) return w.get();
    return nullptr;
}

void Editors::SaveObjectFile1Click() {
    FileDialog dialog;
    dialog.title = ObjsaveTitle;
    dialog.filter = ObjsaveFilter;
    dialog.initialDir = "a:\\";
    dialog.fileName = ExtractFileName(e.ObjectFile);
    dialog.defaultExt = "*.obj";
    if (const auto chosen = e.ui.saveFile(dialog)) CopyFileTo(e.ObjectFile, *chosen);
}

void Editors::CopyFileTo(const std::string& source, const std::string& destination) {
    std::string target = e.dd.absolute(destination);
    if (e.dd.dirExists(target)) target = AddTrailingBackslash(target) + TrimRight(ExtractFileName(source));
    const std::string bytes = e.dd.readBytes(source);
    e.dd.writeGeneratedBytes(target, bytes);
}

void Editors::PrintClick(TCodeEd& window) {
    e.ui.print({window.caption(), ToUtf8(window.text()), window.font()});
}

void Editors::Printsetup() {
    e.ui.printerSetup();
}

void Editors::activate(TCodeEd& window) {
    auto it =
        std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.get() == &window; });
    if (it != windows_.end()) std::rotate(windows_.begin(), it, it + 1);
}

void Editors::closeWindow(TCodeEd& window) {
    auto it =
        std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.get() == &window; });
    if (it == windows_.end()) return;
    std::unique_ptr<TCodeEd> doomed = std::move(*it);
    windows_.erase(it);
    doomed->closed_ = true;
    doomed->notify(TCodeEd::Change::Closed);
}

} // namespace halyard
