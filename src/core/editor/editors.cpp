// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editors.h"

#include <algorithm>

#include "base/error.h"
#include "base/paths.h"
#include "editor/code_text.h"
#include "shell/embedded.h"

namespace halyard {

Editors::Editors(TEmbedded& e) : e(e) {
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
    TCodeEd& window = NewFile1Click();
    if (e.Cascade1Click) e.Cascade1Click();
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
        const std::string& dirBox = e.projEdit.DirBox.directory();
        dialog.initialDir = dirBox.empty() ? e.CompilerDir : dirBox;
        name = e.ui.openFile(dialog).value_or("");
    }
    e.menu.Window1.setVisible(true);
    window.LoadFile(name, 1);
}

TCodeEd* Editors::LoadFile(const std::string& path, int caret) {
    TCodeEd& window = NewFile1Click();
    const bool refused = path.size() < 2;
    window.LoadFile(path, caret);
    return refused ? nullptr : &window;
}

void Editors::SaveEdtorFiles() {
    // A save may ask for a name, and answering never opens or closes windows, so the indices hold.
    // Only changed windows are written: rewriting an unchanged one as plain text would strip a Rich
    // Text file's formatting and a file's own line ends behind the user's back.
    for (int i = count() - 1; i >= 0; --i)
        if (child(i).modified()) child(i).Save1Click();
}

bool Editors::CloseEditorFiles() {
    e.menu.Window1.setVisible(false);
    // Every window is asked before any of them closes, so Cancel in one keeps them all open, also
    // those that were asked before it; a "Yes" given on the way has saved its file all the same.
    // A window whose save fails stays open with its edits and the others are still asked, so
    // closing the main window can never lose an edit behind an error box.
    std::vector<TCodeEd*> closing;
    bool allClosed = true;
    for (int i = count() - 1; i >= 0; --i) {
        TCodeEd& window = child(i);
        bool close = false;
        if (!e.run([&] { close = window.FormCloseQuery(); })) {
            allClosed = false;
            continue;
        }
        if (!close) return false;
        closing.push_back(&window);
    }
    for (TCodeEd* window : closing)
        closeWindow(*window);
    return allClosed;
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
