// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "shell/embedded.h"
#include "support/fakes.h"

namespace halyard::test {
namespace {

struct ModeRig {
    FakeUi ui;
    MemorySettings store;
    RecordingLauncher launcher;
    TempDrives t;
    Clock clock;
    TEmbedded e{{ui, store, launcher, t.dd, clock}};

    std::string mode() const {
        std::string out;
        for (const MenuItem* m : {&e.menu.NoCmdFile, &e.menu.UserDef, &e.menu.DefaultCmd})
            if (m->checked()) out += m->caption();
        return out;
    }
};

struct SelectCase {
    const char* name;
    void (CmdFileMode::*before)();
    std::optional<std::string> chosen;
    std::string mode, path, caption;
};

TEST(CmdFileMode, SelectTakesTheChosenFileAsTheUsersOwn) {
    const std::string dflt = "C:\\TexasSource\\lnk.cmd ";
    const std::vector<SelectCase> cases = {
        {"any file", &CmdFileMode::NoCmdFileClick, "C:\\work\\my.cmd", "User Defined", "C:\\work\\my.cmd",
         "&Edit my.cmd"},
        {"the default file without its blank is not the default", &CmdFileMode::DefaultCmdClick,
         "C:\\TexasSource\\lnk.cmd", "User Defined", "C:\\TexasSource\\lnk.cmd", "&Edit lnk.cmd"},
        {"the default name exactly keeps the mode", &CmdFileMode::DefaultCmdClick, dflt, "Default", dflt,
         "&Edit lnk.cmd "},
        {"cancel changes nothing", &CmdFileMode::DefaultCmdClick, std::nullopt, "Default", dflt, "&Edit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModeRig r;
        (r.e.cmdFile.*c.before)();
        r.ui.files.push_back(c.chosen);
        r.e.menu.Select1.click();
        EXPECT_EQ(r.mode(), c.mode);
        EXPECT_EQ(r.e.CmdFilePath, c.path);
        EXPECT_EQ(r.e.menu.OpenCommand.caption(), c.caption);
        ASSERT_EQ(r.ui.fileDialogs.size(), 1u);
        const FileDialog& d = r.ui.fileDialogs[0];
        EXPECT_EQ(d.title, "Open Linker CMD file");
        EXPECT_EQ(d.filter, "cmd files|*.cmd");
        EXPECT_EQ(d.defaultExt, "*.cmd");
        EXPECT_EQ(d.initialDir, "d:\\texassource");
        EXPECT_EQ(d.fileName, "Clnk.cmd");
    }
}

TEST(CmdFileMode, EditOpensTheChosenFileWhateverTheMode) {
    ModeRig r;
    r.t.put("C:\\work\\other.cmd", "-l rts.lib\r\n");
    r.e.cmdFile.NoCmdFileClick();
    r.ui.files = {std::nullopt, std::string("C:\\work\\other.cmd")};
    r.e.menu.OpenCommand.click();
    EXPECT_EQ(r.e.editors.count(), 0);
    r.e.menu.OpenCommand.click();
    ASSERT_EQ(r.e.editors.count(), 1);
    EXPECT_EQ(r.e.CmdFilePath, "C:\\TexasSource\\lnk.cmd ");
    EXPECT_EQ(r.ui.fileDialogs.at(1).title, "Open Linker CMD file");
}

// "&Edit demo.cmd" edits demo.cmd; only while it names no file that is there does it ask.
TEST(CmdFileMode, EditNamingTheUsersCommandFileOpensItWithoutADialog) {
    ModeRig r;
    r.t.put("C:\\work\\demo.cmd", "-l rts.lib\r\n");
    r.e.CmdFilePath = "C:\\work\\demo.cmd ";
    r.e.cmdFile.ShowCmdFileName();
    r.e.menu.OpenCommand.click();
    ASSERT_EQ(r.e.editors.count(), 1);
    EXPECT_EQ(r.e.editors.child(0).FileName, "C:\\work\\demo.cmd");
    EXPECT_TRUE(r.ui.fileDialogs.empty());

    r.e.CmdFilePath = "C:\\work\\gone.cmd";
    r.e.cmdFile.ShowCmdFileName();
    r.e.menu.OpenCommand.click();
    EXPECT_EQ(r.ui.fileDialogs.size(), 1u);
}

TEST(CmdFileMode, DialogRemembersTheLastChoice) {
    ModeRig r;
    r.ui.files = {std::string("C:\\work\\a.cmd"), std::nullopt};
    r.e.menu.Select1.click();
    r.e.menu.Select1.click();
    ASSERT_EQ(r.ui.fileDialogs.size(), 2u);
    EXPECT_EQ(r.ui.fileDialogs[1].fileName, "C:\\work\\a.cmd");
}

TEST(CmdFileMode, ModeItemsAreExclusiveAndLeavePathAndCaption) {
    ModeRig r;
    EXPECT_EQ(r.mode(), "User Defined");
    r.e.CmdFilePath = "C:\\work\\x.cmd";
    r.e.menu.DefaultCmd.click();
    EXPECT_EQ(r.mode(), "Default");
    r.e.menu.NoCmdFile.click();
    EXPECT_EQ(r.mode(), "None");
    r.e.menu.UserDef.click();
    EXPECT_EQ(r.mode(), "User Defined");
    EXPECT_EQ(r.e.CmdFilePath, "C:\\work\\x.cmd");
    EXPECT_EQ(r.e.menu.OpenCommand.caption(), "&Edit");
}

TEST(CmdFileMode, BuilderOpensOverTheOtherPagesWhereItWasLeft) {
    ModeRig r;
    r.e.OptionsTabs.setVisible(true);
    r.e.LinkerOptions.setVisible(true);
    r.e.LibaryGenOps.setVisible(true);
    EXPECT_FALSE(r.e.LinkCmdWiz.visible());

    r.e.menu.Construct1.click();
    EXPECT_TRUE(r.e.LinkCmdWiz.visible());
    EXPECT_EQ(r.e.LinkCmdWiz.pages.at(r.e.LinkCmdWiz.activePage()), "SEC TIONS");
    EXPECT_FALSE(r.e.OptionsTabs.visible());
    EXPECT_FALSE(r.e.LinkerOptions.visible());
    EXPECT_FALSE(r.e.LibaryGenOps.visible());

    // Showing or hiding is no page change; turning to another page is.
    EXPECT_TRUE(r.e.linkCmd.InsertBtn.enabled());
    r.e.LinkCmdWiz.setActivePage(1);
    EXPECT_FALSE(r.e.linkCmd.InsertBtn.enabled());
    EXPECT_FALSE(r.e.linkCmd.ReplaceBtn.enabled());

    r.e.linkCmd.InsertBtn.setEnabled(true);
    r.e.cmdFile.CloseLnkCmdWiz();
    EXPECT_FALSE(r.e.LinkCmdWiz.visible());
    r.e.menu.Construct1.click();
    EXPECT_EQ(r.e.LinkCmdWiz.activePage(), 1);
    EXPECT_TRUE(r.e.linkCmd.InsertBtn.enabled());
    r.e.cmdFile.Button42Click();
    EXPECT_FALSE(r.e.LinkCmdWiz.visible());

    // The pages that share its place hide it in turn.
    for (MenuItem* other :
         {&r.e.menu.CompilerOptions, &r.e.menu.Proccessor1, &r.e.menu.Memory1, &r.e.menu.LinkerOptions1}) {
        r.e.menu.Construct1.click();
        ASSERT_TRUE(r.e.LinkCmdWiz.visible());
        other->click();
        EXPECT_FALSE(r.e.LinkCmdWiz.visible()) << other->caption();
    }
}

} // namespace
} // namespace halyard::test
