// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkcmd/cmd_file_mode.h"

#include "base/paths.h"
#include "batch/ide_bat.h"
#include "editor/editors.h"
#include "shell/ide_context.h"

namespace halyard {

CmdFileMode::CmdFileMode(IdeContext& e, Editors& editors) : e(e), editors(editors), shownPage_(SectionsPage) {
    e.LinkCmdWiz.setActivePage(SectionsPage);
    // The page control reports only "something changed"; a page change is told apart from a
    // show or hide by the page it was on.
    e.LinkCmdWiz.observe([this] {
        if (this->e.LinkCmdWiz.activePage() == shownPage_) return;
        shownPage_ = this->e.LinkCmdWiz.activePage();
        LinkerOptionsChange();
    });

    auto on = [this](MenuItem& item, void (CmdFileMode::*handler)()) {
        item.onClick = [this, handler] { this->e.run([this, handler] { (this->*handler)(); }); };
    };
    on(e.menu.OpenCommand, &CmdFileMode::OpenCommandClick);
    on(e.menu.Select1, &CmdFileMode::Select1Click);
    on(e.menu.Construct1, &CmdFileMode::Construct1Click);
    on(e.menu.NoCmdFile, &CmdFileMode::NoCmdFileClick);
    on(e.menu.UserDef, &CmdFileMode::UserDefClick);
    on(e.menu.DefaultCmd, &CmdFileMode::DefaultCmdClick);
    // "New" opens an empty editor window, where a command file can be written from scratch.
    e.menu.Edit1.onClick = [this] { this->e.run([this] { this->editors.NewFile1Click(); }); };
}

void CmdFileMode::check(MenuItem& mode) {
    for (MenuItem* item : {&e.menu.NoCmdFile, &e.menu.UserDef, &e.menu.DefaultCmd})
        item->setChecked(item == &mode);
}

void CmdFileMode::OpenCommandClick() {
    // "&Edit demo.cmd" names the user's command file: that is the file to edit, no question asked.
    const std::string named = TrimRight(e.CmdFilePath);
    if (e.menu.OpenCommand.caption() != "&Edit" && e.dd.fileExists(named)) {
        editors.LoadFile(named, 1);
        e.menu.Window1.setVisible(true);
        return;
    }
    const auto chosen = e.ui.openFile(CommandOpen);
    if (!chosen) return;
    CommandOpen.fileName = *chosen;
    editors.LoadFile(*chosen, 1);
}

void CmdFileMode::Select1Click() {
    const auto chosen = e.ui.openFile(CommandOpen);
    if (!chosen) return;
    CommandOpen.fileName = *chosen;
    // Only the default name with its blank counts as the default file; anything picked from a
    // dialog is the user's own.
    if (*chosen != DefaultCmdFile) check(e.menu.UserDef);
    e.CmdFilePath = *chosen;
    ShowCmdFileName();
}

void CmdFileMode::ShowCmdFileName() {
    e.menu.OpenCommand.setCaption("&Edit " + ExtractFileName(e.CmdFilePath));
}

void CmdFileMode::NoCmdFileClick() {
    check(e.menu.NoCmdFile);
}
void CmdFileMode::UserDefClick() {
    check(e.menu.UserDef);
}
void CmdFileMode::DefaultCmdClick() {
    check(e.menu.DefaultCmd);
}

void CmdFileMode::Construct1Click() {
    e.LinkerOptions.setVisible(false);
    e.LibaryGenOps.setVisible(false);
    e.OptionsTabs.setVisible(false);
    e.LinkCmdWiz.setVisible(true);
}

void CmdFileMode::CloseLnkCmdWiz() {
    e.LinkCmdWiz.setVisible(false);
}
void CmdFileMode::Button42Click() {
    e.LinkCmdWiz.setVisible(false);
}

void CmdFileMode::LinkerOptionsChange() {
    e.linkCmd.InsertBtn.setEnabled(false);
    e.linkCmd.ReplaceBtn.setEnabled(false);
}

} // namespace halyard
