// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor windows of the main window and the main window's file commands that make and drive
// them. Windows are kept in the frame's child order: index 0 is the active window.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/code_ed.h"

namespace halyard {

class IdeContext;
class ProjectEditor;

class Editors {
public:
    Editors(IdeContext& e, ProjectEditor& projEdit);
    ~Editors();
    Editors(const Editors&) = delete;
    Editors& operator=(const Editors&) = delete;

    static constexpr const char* OpenDialogTitle = "Halyard   Load File";
    // The editor is also where intvecs.asm and the linker command files are edited.
    static constexpr const char* OpenDialogFilter =
        "C Source|*.C|C Header|*.H|Dos Batch Files|*.BAT|Compiler O/P Files [*.txt]|*.TXT|"
        "Assembler Source [*.asm]|*.asm|Linker Command Files [*.cmd]|*.cmd|Any File [*.*]|*.*";
    static constexpr const char* ObjsaveTitle = "Save Output File";
    static constexpr const char* ObjsaveFilter =
        "Object File [*.obj]|*.obj|Output File [*.out]|*.out|Any File [*.*]|*.*";

    // An empty window; it becomes the active child.
    TCodeEd& NewFile1Click();
    // Opens the file chosen by the sender's tag (20 the build batch, 60 the compiler output, else a
    // file from the open dialog) in a new window.
    void OpenFileClick(int tag);
    // Opens a file in a new window; nullptr when the name was refused and the window closed again.
    TCodeEd* LoadFile(const std::string& path, int caret);
    // Saves every changed window, from the highest child index down to 0; a failed save ends the
    // walk with halyard::Error. False when the user cancelled the save of a file changed on disk,
    // which ends the walk too.
    bool SaveEdtorFiles();
    // Hides "Window" and closes every window, each asking about its changes first; Cancel in any of
    // them keeps all of them open. False when one stayed open.
    bool CloseEditorFiles();
    void SaveObjectFile1Click();
    // Copies a file, atomically; a folder as destination takes the source's name.
    void CopyFileTo(const std::string& source, const std::string& destination);
    void PrintClick(TCodeEd& window);
    void Printsetup();

    int count() const { return static_cast<int>(windows_.size()); }
    TCodeEd& child(int index) { return *windows_.at(static_cast<size_t>(index)); }
    // The view reports the active child so that the child order follows the frame's.
    void activate(TCodeEd& window);
    // The view learns of every new window here, before it is loaded.
    void observeOpened(std::function<void(TCodeEd&)> observer) { opened_.push_back(std::move(observer)); }

    // Frees a window after its observers have seen Change::Closed.
    void closeWindow(TCodeEd& window);
    // The open window a lifetime belongs to; nullptr once it was closed.
    TCodeEd* find(const std::weak_ptr<void>& life) const;

private:
    IdeContext& e;
    ProjectEditor& projEdit;
    std::vector<std::unique_ptr<TCodeEd>> windows_;
    std::vector<std::function<void(TCodeEd&)>> opened_;
};

} // namespace halyard
