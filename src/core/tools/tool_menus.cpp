// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tool_menus.h"

#include "base/error.h"
#include "base/paths.h"
#include "launch/foreign_program.h"
#include "launch/process.h"
#include "launch/program_lookup.h"
#include "shell/ide_context.h"

namespace halyard {

void MenuEntries::replace(std::vector<std::unique_ptr<MenuItem>> items) {
    // The old entries outlive the notice, so a view never holds an entry that is already gone.
    auto old = std::move(items_);
    items_ = std::move(items);
    changed();
}

std::string ProposedToolName(const std::string& path) {
    const std::string name = ExtractFileName(path);
    // Programs on this platform often have no extension; only a real one is dropped.
    if (name.size() > 4 && name[name.size() - 4] == '.') return name.substr(0, name.size() - 4);
    return name;
}

ToolMenus::ToolMenus(IdeContext& e) : e(e) {
    SelectProgTool.filter = "Executeable files (*.exe)|*.exe|All files (*.*)|*.*";
    SelectProgTool.defaultExt = "*.exe";
    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.Options2, [this] { ShowOptionsClick(); });
    on(e.menu.ConfigureTools1, [this] { ConfigureTools1Click(); });
    on(e.toolBar.ConfigureToolsBtn, [this] { ConfigureTools1Click(); });
    on(e.menu.Prgm, [this] { PrgmClick(); });
    on(e.toolBar.ProgramDevice, [this] { PrgmClick(); });
}

void ToolMenus::ConfigureTools1Click() {
    e.OptionsTabs.setActivePage(ToolsTab);
    ShowOptionsClick();
}

void ToolMenus::ShowOptionsClick() {
    auto& list = e.tools.ProgToolsList;
    const int k = e.tools.findProgTool(e.ProgToolPath);
    list.setItemIndex(k >= 0 ? k : (list.items().empty() ? -1 : 0));
    e.LinkerOptions.setVisible(false);
    e.LibaryGenOps.setVisible(false);
    e.LinkCmdWiz.setVisible(false);
    e.OptionsTabs.setVisible(true);
}

bool ToolMenus::runNameTool(TNTDlg& dlg) {
    if (e.ui.execute(dlg) != Answer::Ok) return false;
    if (TrimRight(dlg.Params.text()).empty()) dlg.Params.setText("-");
    return true;
}

void ToolMenus::PToolBtnClick(bool programming) {
    auto& t = e.tools;
    const auto file = e.ui.openFile(SelectProgTool);
    if (!file) return;
    TNTDlg dlg;
    dlg.exitBtn.setCaption("Add");
    dlg.Path.setText(*file);
    dlg.PName.setText(ProposedToolName(*file));
    const int user = t.UserToolsList.itemIndex();
    if (user >= 0 && user < static_cast<int>(t.UserToolParams.size()))
        dlg.Params.setText(t.UserToolParams[static_cast<size_t>(user)]);
    if (!runNameTool(dlg)) return;
    const std::string& path = dlg.Path.text();
    const std::string& name = dlg.PName.text();
    if (!programming) {
        t.addUserTool(name, path, dlg.Params.text());
        rebuildToolsMenu();
        return;
    }
    // A name and its path are one tool: a path registered twice would leave one name without a program.
    if (TrimRight(path).empty()) {
        e.ui.inform("A programming tool needs the path of its program.");
        return;
    }
    if (const int known = t.findProgTool(path); known >= 0) {
        e.ui.inform("The programming tool " + path + " is already registered as \"" +
                    t.ProgToolsList.items()[static_cast<size_t>(known)] + "\".");
        return;
    }
    t.ProgToolsList.setItemIndex(t.addProgTool(name, path));
}

void ToolMenus::PtoolRemoveClick(bool programming) {
    auto& t = e.tools;
    if (programming) {
        const int k = t.ProgToolsList.itemIndex();
        if (k < 0) {
            e.ui.inform("Nothing Selected");
            return;
        }
        t.removeProgTool(k);
        // The entry that took the removed one's place, or the new last one.
        const int count = static_cast<int>(t.ProgToolsList.items().size());
        t.ProgToolsList.setItemIndex(k < count ? k : count - 1);
        return;
    }
    const int k = t.UserToolsList.itemIndex();
    if (k < 0) {
        e.ui.inform("Nothing Selected");
        return;
    }
    t.removeUserTool(k);
    rebuildToolsMenu();
}

void ToolMenus::EditToolsClick() {
    auto& t = e.tools;
    const int k = t.UserToolsList.itemIndex();
    if (k < 0) {
        e.ui.inform("No Tool is selected");
        return;
    }
    const auto at = static_cast<size_t>(k);
    TNTDlg dlg;
    dlg.exitBtn.setCaption("OK");
    dlg.Path.setText(t.UserToolPaths[at]);
    dlg.PName.setText(t.UserToolsList.items()[at]);
    dlg.Params.setText(t.UserToolParams[at]);
    if (!runNameTool(dlg)) return;
    int j = -1;
    for (size_t i = 0; i < t.UserToolPaths.size() && j < 0; ++i)
        if (SameText(t.UserToolPaths[i], dlg.Path.text())) j = static_cast<int>(i);
    if (j < 0) {
        // Another program is another tool; the edited one stays as it was.
        t.addUserTool(dlg.PName.text(), dlg.Path.text(), dlg.Params.text());
    } else {
        t.UserToolParams[static_cast<size_t>(j)] = dlg.Params.text();
        auto names = t.UserToolsList.items();
        names[static_cast<size_t>(j)] = dlg.PName.text();
        t.UserToolsList.setItems(std::move(names));
        t.UserToolsList.setItemIndex(k);
    }
    rebuildToolsMenu();
}

void ToolMenus::RefreshToolMenus() {
    auto& list = e.tools.ProgToolsList;
    const auto& names = list.items();
    // The selected entry keeps its place when it carries the selector's text, so of two tools
    // with one name the chosen one stays chosen.
    int k = list.itemIndex();
    if (k < 0 || !SameText(names[static_cast<size_t>(k)], list.text())) {
        k = -1;
        for (size_t i = 0; i < names.size() && k < 0; ++i)
            if (SameText(names[i], list.text())) k = static_cast<int>(i);
        if (k < 0 && !names.empty()) k = 0;
        list.setItemIndex(k);
    }
    e.UpdateProgramMenu();
    if (k >= 0 && k < static_cast<int>(e.tools.ProgToolPaths.size())) {
        e.ProgToolPath = e.tools.ProgToolPaths[static_cast<size_t>(k)];
        e.menu.Prgm.setCaption(list.text());
    } else {
        // A caption naming a removed tool would promise a program that is no longer there.
        e.menu.Prgm.setCaption("(None)");
    }
    rebuildToolsMenu();
}

void ToolMenus::rebuildToolsMenu() {
    const auto& names = e.tools.UserToolsList.items();
    std::vector<std::unique_ptr<MenuItem>> entries;
    for (size_t k = 0; k < names.size(); ++k) {
        auto item = std::make_unique<MenuItem>();
        item->setCaption(names[k]);
        item->tag = static_cast<int>(k);
        const int tag = item->tag;
        item->onClick = [this, tag] { e.run([this, tag] { setfileClick(tag); }); };
        entries.push_back(std::move(item));
    }
    UserToolEntries.replace(std::move(entries));
}

void ToolMenus::setfileClick(int tag) {
    auto& t = e.tools;
    if (tag < 0 || tag >= t.UserToolsList.count()) throw Error(ListIndexOutOfBounds(tag));
    const auto k = static_cast<size_t>(tag);
    const std::string& params = t.UserToolParams[k];
    start(t.UserToolsList.items()[k], t.UserToolPaths[k], params == "-" ? std::string() : params);
}

void ToolMenus::PrgmClick() {
    start(e.menu.Prgm.caption(), e.ProgToolPath, "");
}

void ToolMenus::start(const std::string& name, const std::string& file, const std::string& parameters) {
    const std::string program = TrimRight(file);
    const std::string dir = AddTrailingBackslash(ExtractFileDir(program));
    const FoundProgram lookup = program.empty() ? FoundProgram{} : FindProgram(e.dd, program, {dir}, true);
    bool found = lookup.kind != FoundProgram::None;
    // A bare program name is found where the launcher looks for it too.
    if (!found && !program.empty() && program.find_first_of("\\/:") == std::string::npos)
        found = !FindExecutableOnPath(program).empty();
    if (!found) {
        e.ui.inform("The tool \"" + name + "\" cannot be started: its program " + file + " does not exist.");
        return;
    }
    if (const std::string missing = MissingRunnerText(lookup); !missing.empty()) {
        e.ui.inform("The tool \"" + name + "\" cannot be started: " + missing + ".");
        return;
    }
    e.launcher.setToolChainFolder(e.CompilerDir);
    e.launcher.LaunchProgram(file, parameters, dir, Launcher::Shown);
}

} // namespace halyard
