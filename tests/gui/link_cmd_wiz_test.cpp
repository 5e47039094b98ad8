// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "shell/main_window.h"
#include "support/fakes.h"

using namespace halyard;

namespace {
struct BuildGui : test::GuiFixture {};
} // namespace

TEST_F(BuildGui, ConstructShowsTheBuilderAndItsButtonsHideIt) {
    auto* tabs = window.findChild<QTabWidget*>("LinkCmdWiz");
    ASSERT_NE(tabs, nullptr);
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    EXPECT_EQ(captions, (QStringList{"LIBRARIES", "MEMORY", "SEC TIONS", "BUILD"}));
    EXPECT_TRUE(tabs->isHidden());

    window.actionFor(model.menu.Construct1)->trigger();
    EXPECT_FALSE(tabs->isHidden());
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "SEC TIONS");

    tabs->setCurrentIndex(3);
    EXPECT_EQ(model.LinkCmdWiz.activePage(), 3);
    EXPECT_FALSE(model.linkCmd.InsertBtn.enabled());
    auto* include = tabs->widget(3)->findChild<QCheckBox*>();
    ASSERT_NE(include, nullptr);
    EXPECT_EQ(include->text(), "Include Linker options");

    tabs->findChild<QPushButton*>("Button44")->click();
    EXPECT_TRUE(tabs->isHidden());
    window.actionFor(model.menu.Construct1)->trigger();
    EXPECT_EQ(tabs->currentIndex(), 3);
    tabs->findChild<QPushButton*>("Button49")->click();
    EXPECT_FALSE(model.LinkCmdWiz.visible());
}

TEST_F(BuildGui, BuildAllShowsCompileStartedThenTheVerdict) {
    drives.dd.createDirs("C:\\texassource");
    drives.put("C:\\work\\main.c", "int main(void) { return 0; }\n");
    model.ProjectPath = "C:\\work\\demo.prj";
    model.startupDone = true;
    model.cmdFile.NoCmdFileClick();
    model.ProjectListBox.setItems({"C:\\work\\main.c"});

    window.actionFor(model.menu.Compile1)->trigger();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(window.statusPanel(3)->text(), "Compile Started");
    model.CompileTimer.tick();
    EXPECT_EQ(window.statusPanel(3)->text(), QString::fromStdString("Failed to create " + model.ObjectFile));
}
