// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The programming tools and user tools as the user meets them: the "Tools" options page that
// registers them, the Name Tool dialog, the "Tools" menu with one entry per user tool, and the
// "Program" menu and tool button that start the selected programming tool.
#include <memory>
#include <string>
#include <vector>

#include "base/controls.h"
#include "base/ports.h"

namespace halyard {

class IdeContext;

// "Name Tool": the path, display name and parameters of a tool being added or edited.
class TNTDlg : public ModalDialog {
public:
    static constexpr const char* Kind = "TNTDlg";
    const char* kind() const override { return Kind; }
    TNTDlg() {
        Path.setText("Path");
        PName.setText("PName");
        Button2.setCaption("Cancel");
        Button3.setCaption("&Help");
    }
    Edit Path, PName, Params;
    Control exitBtn, Button2, Button3; // "Add" or "OK", "Cancel", "&Help"
};

// The "Tools" menu's entries after "Configure Tools"; the view rebuilds its menu when they change.
class MenuEntries : public Control {
public:
    const std::vector<std::unique_ptr<MenuItem>>& items() const { return items_; }
    void replace(std::vector<std::unique_ptr<MenuItem>> items);

private:
    std::vector<std::unique_ptr<MenuItem>> items_;
};

// The name a tool is proposed under: its file name without the extension ("burn.exe" -> "burn").
std::string ProposedToolName(const std::string& path);

class ToolMenus {
public:
    explicit ToolMenus(IdeContext& e);

    static constexpr int ToolsTab = 2; // the "Tools" page of the options window
    FileDialog SelectProgTool;
    MenuEntries UserToolEntries;

    void ConfigureTools1Click();
    void ShowOptionsClick();
    // "Browse" and "Remove" of the programming tools (programming = true) or of the user tools.
    void PToolBtnClick(bool programming);
    void PtoolRemoveClick(bool programming);
    void EditToolsClick();
    void RefreshToolMenus();
    // The "Tools" menu entry with this tag starts its user tool.
    void setfileClick(int tag);
    // "Program" menu entry and "Run Programming Tool": starts the selected programming tool.
    void PrgmClick();

private:
    void rebuildToolsMenu();
    // Starts a tool in its own folder; a program that is not there is reported by name instead.
    void start(const std::string& name, const std::string& file, const std::string& parameters);
    bool runNameTool(TNTDlg& dlg);

    IdeContext& e;
};

} // namespace halyard
