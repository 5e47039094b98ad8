// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "shell/embedded.h"
#include "support/model_ports.h"

namespace halyard::test {
namespace {

struct Tools : ::testing::Test, ModelPorts {
    TEmbedded e{ports()};
    ToolMenus& m = e.toolMenus;

    void SetUp() override {
        drives.dd.createDirs("C:\\texassource");
        e.ProjectListBox.setItems({"C:\\work\\main.c"}); // so that Accept runs the whole generation
    }

    // "Browse" with the file chosen in the open dialog, and the Name Tool dialog edited by `edit`.
    void add(bool programming, const std::string& file, std::function<void(TNTDlg&)> edit = {},
             Answer close = Answer::Ok) {
        drives.put(file, "program");
        ui.files.push_back(file);
        ui.dialogs.push_back([edit, close](ModalDialog& d) {
            if (edit) edit(static_cast<TNTDlg&>(d));
            return close;
        });
        m.PToolBtnClick(programming);
    }
    static std::function<void(TNTDlg&)> params(const std::string& p) {
        return [p](TNTDlg& d) { d.Params.setText(p); };
    }
    std::vector<std::string> toolsMenu() const {
        std::vector<std::string> captions;
        for (const auto& item : m.UserToolEntries.items())
            captions.push_back(item->caption());
        return captions;
    }
    void accept() { e.compiler.OKClick(); }
};

TEST(ToolNames, ProposedNameDropsOnlyARealExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Tools\\burn.exe", "burn"},
        {"C:\\Bin\\view.com", "view"},
        {"Z:\\usr\\bin\\xterm", "xterm"},
        {"C:\\a.b\\tool", "tool"},
    };
    for (auto [path, name] : cases)
        EXPECT_EQ(ProposedToolName(path), name) << path;
}

TEST_F(Tools, TwoUserToolsGiveTheToolsMenuInOrderAndStartInTheirOwnFolders) {
    add(false, "C:\\Bin\\view.com");
    add(false, "C:\\Other Bin\\conv.exe", params("-x  out.hex"));
    EXPECT_EQ(e.tools.UserToolParams, (std::vector<std::string>{"-", "-x  out.hex"}));
    accept();
    accept();
    EXPECT_EQ(toolsMenu(), (std::vector<std::string>{"view", "conv"}));

    m.UserToolEntries.items()[0]->click();
    m.UserToolEntries.items()[1]->click();
    ASSERT_EQ(launcher.calls.size(), 2u);
    EXPECT_EQ(launcher.calls[0].file, "C:\\Bin\\view.com");
    EXPECT_EQ(launcher.calls[0].parameters, "");
    EXPECT_EQ(launcher.calls[0].directory, "C:\\Bin\\");
    EXPECT_EQ(launcher.calls[1].parameters, "-x  out.hex");
    EXPECT_EQ(launcher.calls[1].directory, "C:\\Other Bin\\");
    EXPECT_EQ(launcher.calls[1].showMode, Launcher::Shown);
}

TEST_F(Tools, CancelledDialogsAddNothingAndASelectedToolLendsItsParameters) {
    ui.files.push_back(std::nullopt);
    m.PToolBtnClick(false);
    add(false, "C:\\Bin\\a.exe", {}, Answer::Cancel);
    EXPECT_EQ(e.tools.UserToolsList.count(), 0);

    add(false, "C:\\Bin\\a.exe", params("-v"));
    e.tools.UserToolsList.setItemIndex(0);
    std::string proposed;
    add(false, "C:\\Bin\\b.exe", [&proposed](TNTDlg& d) {
        proposed = d.Params.text();
        EXPECT_EQ(d.exitBtn.caption(), "Add");
    });
    EXPECT_EQ(proposed, "-v");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(Tools, EditingRenamesInPlaceButAnotherPathAddsATool) {
    add(false, "C:\\Bin\\view.com");
    add(false, "C:\\Bin\\conv.exe");
    e.tools.UserToolsList.setItemIndex(0);
    ui.dialogs.push_back([](ModalDialog& d) {
        auto& n = static_cast<TNTDlg&>(d);
        EXPECT_EQ(n.exitBtn.caption(), "OK");
        EXPECT_EQ(n.Path.text(), "C:\\Bin\\view.com");
        n.PName.setText("Viewer");
        n.Path.setText("c:\\bin\\VIEW.COM"); // the same program, in other letters
        n.Params.setText("  ");
        return Answer::Ok;
    });
    m.EditToolsClick();
    EXPECT_EQ(toolsMenu(), (std::vector<std::string>{"Viewer", "conv"}));
    EXPECT_EQ(e.tools.UserToolParams[0], "-");
    EXPECT_EQ(e.tools.UserToolsList.itemIndex(), 0);

    ui.dialogs.push_back([](ModalDialog& d) {
        static_cast<TNTDlg&>(d).Path.setText("C:\\Bin\\new.exe");
        return Answer::Ok;
    });
    m.EditToolsClick();
    EXPECT_EQ(toolsMenu(), (std::vector<std::string>{"Viewer", "conv", "Viewer"}));
    EXPECT_EQ(e.tools.UserToolPaths[2], "C:\\Bin\\new.exe");
}

// An entry of the "Tools" menu must never start another tool than the one its caption names.
TEST_F(Tools, RemovingAToolRebuildsTheMenuAtOnce) {
    add(false, "C:\\Bin\\one.exe");
    add(false, "C:\\Bin\\two.exe");
    accept();
    e.tools.UserToolsList.setItemIndex(0);
    m.PtoolRemoveClick(false);
    ASSERT_EQ(toolsMenu(), std::vector<std::string>{"two"});
    m.UserToolEntries.items()[0]->click();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].file, "C:\\Bin\\two.exe");
}

TEST_F(Tools, NothingSelectedIsReportedAndChangesNothing) {
    add(false, "C:\\Bin\\one.exe");
    add(true, "C:\\Tools\\burn.exe");
    e.tools.UserToolsList.setItemIndex(-1);
    e.tools.ProgToolsList.setItemIndex(-1);
    m.PtoolRemoveClick(false);
    m.PtoolRemoveClick(true);
    m.EditToolsClick();
    EXPECT_EQ(ui.shown,
              (std::vector<std::string>{"Nothing Selected", "Nothing Selected", "No Tool is selected"}));
    EXPECT_EQ(e.tools.UserToolsList.count(), 1);
    EXPECT_EQ(e.tools.ProgToolPaths.size(), 1u);
}

TEST_F(Tools, AcceptSelectsNamesAndStartsTheChosenProgrammingTool) {
    add(true, "C:\\Tools\\zap.exe");
    add(true, "C:\\Tools\\burn.exe");
    add(true, "C:\\TOOLS\\BURN.EXE", [](TNTDlg& d) { d.PName.setText("again"); });
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].find("already registered as \"burn\""), std::string::npos) << ui.shown[0];
    EXPECT_EQ(e.tools.ProgToolsList.items(), (std::vector<std::string>{"burn", "zap"}));

    e.tools.ProgToolsList.userSelect(1);
    accept();
    EXPECT_EQ(e.ProgToolPath, "C:\\Tools\\zap.exe");
    EXPECT_EQ(e.menu.Prgm.caption(), "zap");
    EXPECT_TRUE(e.menu.Prgm.enabled());
    EXPECT_TRUE(e.toolBar.ProgramDevice.enabled());
    e.toolBar.ProgramDevice.click();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].file, "C:\\Tools\\zap.exe");
    EXPECT_EQ(launcher.calls[0].directory, "C:\\Tools\\");

    // Removing the selected tool selects the one that took its place; removing every one disables.
    m.PtoolRemoveClick(true);
    EXPECT_EQ(e.tools.ProgToolsList.text(), "burn");
    m.PtoolRemoveClick(true);
    accept();
    EXPECT_EQ(e.ProgToolPath, "");
    EXPECT_FALSE(e.menu.Prgm.enabled());
    EXPECT_FALSE(e.toolBar.ProgramDevice.enabled());
    EXPECT_EQ(e.menu.Prgm.caption(), "(None)");
}

TEST_F(Tools, OfTwoToolsWithOneNameTheChosenOneStaysChosen) {
    add(true, "C:\\A\\burn.exe");
    add(true, "C:\\B\\burn.exe");
    e.tools.ProgToolsList.userSelect(1);
    accept();
    EXPECT_EQ(e.ProgToolPath, "C:\\B\\burn.exe");
    EXPECT_EQ(e.tools.ProgToolsList.itemIndex(), 1);
}

TEST_F(Tools, AToolWhoseProgramIsGoneIsReportedByName) {
    add(false, "C:\\Bin\\view.com");
    accept();
    std::filesystem::remove(drives.dd.toHost("C:\\Bin\\view.com"));
    m.UserToolEntries.items()[0]->click();
    EXPECT_TRUE(launcher.calls.empty());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].find("\"view\""), std::string::npos) << ui.shown[0];
    EXPECT_NE(ui.shown[0].find("C:\\Bin\\view.com"), std::string::npos) << ui.shown[0];
}

TEST_F(Tools, ConfigureToolsOpensTheToolsPageOnTheStoredTool) {
    add(true, "C:\\Tools\\zap.exe");
    add(true, "C:\\Tools\\burn.exe");
    e.ProgToolPath = "c:\\tools\\ZAP.exe";
    e.LinkCmdWiz.setVisible(true);
    e.toolBar.ConfigureToolsBtn.click();
    EXPECT_TRUE(e.OptionsTabs.visible());
    EXPECT_FALSE(e.LinkCmdWiz.visible());
    EXPECT_EQ(e.OptionsTabs.activePage(), ToolMenus::ToolsTab);
    EXPECT_EQ(e.tools.ProgToolsList.text(), "zap");
}

} // namespace
} // namespace halyard::test
