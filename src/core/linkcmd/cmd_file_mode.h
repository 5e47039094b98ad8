// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Command File" menu: which linker command file the build links through (none, the fixed
// default or the user's own), the user's file, and the way into the command-file builder.
#include <string>

#include "base/controls.h"
#include "base/ports.h"

namespace halyard {

class IdeContext;
class Editors;

class CmdFileMode {
public:
    CmdFileMode(IdeContext& e, Editors& editors);

    // Shared by Edit and Select; it remembers the last file chosen.
    FileDialog CommandOpen{"Open Linker CMD file", "cmd files|*.cmd", "d:\\texassource", "Clnk.cmd", "*.cmd"};

    void OpenCommandClick();
    void Select1Click();
    void NoCmdFileClick();
    void UserDefClick();
    void DefaultCmdClick();
    void Construct1Click();
    void CloseLnkCmdWiz();
    void Button42Click();
    void LinkerOptionsChange();
    // The Edit item names the user's command file; project loading and saving call this too.
    void ShowCmdFileName();

    static constexpr int SectionsPage = 2;

private:
    void check(MenuItem& mode);

    IdeContext& e;
    Editors& editors;
    int shownPage_;
};

} // namespace halyard
