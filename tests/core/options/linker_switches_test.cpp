// SPDX-License-Identifier: GPL-3.0-or-later
#include <functional>

#include "core/project/project_fixture.h"

using namespace halyard;
using test::ProjectTest;

TEST_F(ProjectTest, LinkerSwitchTextsKeepTheirLeadingAndDoubledBlanks) {
    struct Case {
        const char* name;
        std::function<void(TEmbedded&)> change; // after both "Set Defaults"
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"defaults", [](TEmbedded&) {}, "-z  -a -c "},
        {"quiet, heap and map",
         [](TEmbedded& e) {
             e.opts.Quiet.setChecked(true);
             e.opts.DHS.setChecked(true);
             e.opts.Heap.setText("0300");
             e.opts.GM.setChecked(true);
         },
         "-z -q  -heap 0300h  -a -c -m C:\\Halyard\\demo.map  "},
        {"linker disabled", [](TEmbedded& e) { e.opts.EL.setChecked(false); }, " -a -c "},
        {"no initialisation", [](TEmbedded& e) { e.opts.Init.setItemIndex(2); }, "-z  -a "},
        {"RAM", [](TEmbedded& e) { e.opts.Init.setItemIndex(1); }, "-z  -a -cr "},
        {"force libraries and fill",
         [](TEmbedded& e) {
             e.opts.FRL.setChecked(true);
             e.opts.SF.setChecked(true);
         },
         "-z  -a -c -x -f 0000h  "},
        {"named output",
         [](TEmbedded& e) {
             e.opts.UN.setChecked(true);
             e.opts.OutputFile.setText("C:\\texassource\\demo.out");
         },
         "-z  -o C:\\texassource\\demo.out   -a -c "},
        {"symbols and stacks",
         [](TEmbedded& e) {
             auto& o = e.opts;
             for (CheckBox* b : {&o.IFS, &o.IUS, &o.DEP, &o.SSS, &o.HSS, &o.GS, &o.RO, &o.SS})
                 b->setChecked(true);
             o.UnResolvedSym.setText("_x");
             o.EntryPoint.setText("_c_int00");
         },
         "-z -n -u _x -e _c_int00  -sstack 0200h  -hstack 0020h  -a -h -r -s -c "},
    };
    for (const auto& c : cases) {
        SetUp();
        e->ProjectPath = "C:\\Halyard\\demo.prj";
        e->linker.setLinkerDefs();
        e->compiler.SetDefsClick();
        c.change(*e);
        e->compiler.OptionsOK2Click();
        EXPECT_EQ(e->LinkerCmdLine, c.expected) << c.name;
        EXPECT_EQ(e->StatusBar.panel(4).text, c.expected) << c.name;
    }
}

TEST_F(ProjectTest, LinkerSwitchListKeepsEachEntryInItsPlaceAndCutsAt255) {
    e->linker.setLinkerDefs();
    e->opts.IUS.setChecked(true);
    e->opts.UnResolvedSym.setText(std::string(300, 's'));
    e->opts.SF.setChecked(true);
    const auto built = e->linker.BuildLinkerSwitches("");
    EXPECT_EQ(built.list[2], "-u " + std::string(252, 's'));
    EXPECT_EQ(built.list[8], " -a ");
    EXPECT_EQ(built.list[12], "-c ");
    EXPECT_EQ(built.list[15], "-f 0000h  ");
    for (size_t i : {0u, 1u, 3u, 4u, 5u, 6u, 7u, 9u, 10u, 11u, 13u, 14u})
        EXPECT_EQ(built.list[i], "") << i;
    EXPECT_EQ(e->linker.LinkerSwitchList, built.list);
    EXPECT_EQ(built.text, built.list[2] + " -a -c -f 0000h  ");
}

TEST_F(ProjectTest, FreshWindowWithoutInitialisationItemGivesNoInitSwitch) {
    EXPECT_EQ(e->opts.Init.itemIndex(), -1);
    EXPECT_EQ(e->linker.BuildLinkerSwitches("-z ").text, "-z  -a ");
}

TEST_F(ProjectTest, LinkerDefaultsGreyOutTheValueEditsUntilTheirBoxIsCheckedAgain) {
    auto& o = e->opts;
    o.IUS.setChecked(true);
    o.UnResolvedSym.setText("_sym");
    o.Heap.setText("1234");
    e->linker.setLinkerDefs();
    EXPECT_EQ(o.UnResolvedSym.text(), "");
    EXPECT_FALSE(o.UnResolvedSym.visible());
    EXPECT_FALSE(o.EntryPoint.visible());
    EXPECT_EQ(o.Heap.text(), "0200h");
    EXPECT_EQ(o.Fill.text(), "0000h ");
    EXPECT_EQ(o.HardStack.text(), "0020h");
    for (Edit* edit : {static_cast<Edit*>(&o.Heap), static_cast<Edit*>(&o.HardStack),
                       static_cast<Edit*>(&o.SoftStack), &o.UnResolvedSym, &o.EntryPoint})
        EXPECT_FALSE(edit->enabled());
    EXPECT_TRUE(o.AOP.checked());
    EXPECT_EQ(o.Init.itemIndex(), 0);
    // Checking a value box again must let the user type a value.
    o.DHS.setChecked(true);
    EXPECT_TRUE(o.Heap.visible());
    EXPECT_TRUE(o.Heap.enabled());
    o.DHS.setChecked(false);
    EXPECT_FALSE(o.Heap.visible());
}

TEST_F(ProjectTest, OutputFileNameFollowsUNAndTheSetButton) {
    auto& o = e->opts;
    e->ObjectFile = "C:\\texassource\\demo.out ";
    o.UN.setChecked(true);
    EXPECT_EQ(o.OutputFile.text(), "C:\\texassource\\demo.out ");
    EXPECT_TRUE(o.OutputFile.enabled());
    EXPECT_TRUE(o.outlab.visible());
    o.OutputFile.setText("demo");
    e->linker.Setoutputfile();
    EXPECT_EQ(e->ObjectFile, "C:\\texassource\\demo.out");
    e->linker.Setoutputfile();
    EXPECT_EQ(o.OutputFile.text(), "C:\\texassource\\C:\\texassource\\demo.out.out");
    o.UN.setChecked(false);
    EXPECT_EQ(o.OutputFile.text(), "C:\\texassource\\a.out");
    EXPECT_FALSE(o.OutputFile.enabled());
    EXPECT_FALSE(o.SetOP.enabled());
    EXPECT_FALSE(o.outlab.visible());
    e->compiler.OptionsOK2Click();
    EXPECT_EQ(e->ObjectFile, "C:\\texassource\\a.out ");
}

TEST_F(ProjectTest, LinkerOptionsCommandShowsTheOutputPageAndHidesTheOtherWindows) {
    e->OptionsTabs.setVisible(true);
    e->LinkCmdWiz.setVisible(true);
    e->LibaryGenOps.setVisible(true);
    e->toolBar.LinkerOptionsBtn.click();
    EXPECT_TRUE(e->LinkerOptions.visible());
    EXPECT_EQ(e->LinkerOptions.activePage(), 1);
    EXPECT_FALSE(e->OptionsTabs.visible());
    EXPECT_FALSE(e->LinkCmdWiz.visible());
    EXPECT_FALSE(e->LibaryGenOps.visible());
    e->linker.cancelLinkerOps();
    EXPECT_FALSE(e->LinkerOptions.visible());
}
