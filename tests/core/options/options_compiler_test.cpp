// SPDX-License-Identifier: GPL-3.0-or-later
#include <functional>

#include "core/project/project_fixture.h"

using namespace halyard;
using test::ProjectTest;

namespace {

struct Case {
    const char* name;
    std::function<void(TEmbedded&)> change; // after "Set Defaults"
    const char* expected;
};

void level(TEmbedded& e, int n) {
    e.opts.SetOpt.setChecked(true);
    e.opts.OLevel.setPosition(n);
}

void levelThreeExtras(TEmbedded& e) {
    level(e, 3);
    e.opts.EnableL3Osize.setChecked(true);
    e.opts.L3OSize.setText("1");
    e.opts.UFlo.setChecked(true);
    e.opts.FilelevelOpto.userSelect(1);
    e.opts.DoOptoInfo.setChecked(true);
    e.opts.OptoInfo.userSelect(2);
}

void large(TEmbedded& e) {
    e.opts.FormatBox.setItemIndex(1);
    e.opts.NonRe.setChecked(true);
}

} // namespace

TEST_F(ProjectTest, CompilerSwitchTextsFollowTheTableAndTheDependencyRules) {
    const std::vector<Case> cases = {
        {"defaults", [](TEmbedded&) {}, "-g -ms "},
        {"C8", [](TEmbedded& e) { e.opts.ProcType.userSelect(1); }, "-c8 -g -ms "},
        {"large, level 2", [](TEmbedded& e) { large(e), level(e, 2); }, "-g -o2 -oe "},
        {"large on a fresh window keeps the small model's Non Re-Entrant check",
         [](TEmbedded& e) { e.opts.FormatBox.setItemIndex(1); }, "-g -oe "},
        {"level 3 small", levelThreeExtras, "-g -ms -o3 -oi1 -ol1 -on2 "},
        {"level 3 large", [](TEmbedded& e) { large(e), levelThreeExtras(e); }, "-g -o3 -oe -oi1 -ol1 -on2 "},
        {"no inlining", [](TEmbedded& e) { e.opts.Allowinline.setChecked(false); }, "-g -ms -x0 "},
        {"inlining off sits between parser and type checks",
         [](TEmbedded& e) {
             e.opts.SW.setChecked(true);
             e.opts.Allowinline.setChecked(false);
             e.opts.RPC.setChecked(true);
         },
         "-g -ms -pw -x0 -tf "},
        {"small model after large never emits -oe",
         [](TEmbedded& e) { large(e), level(e, 2), e.opts.FormatBox.setItemIndex(0); }, "-g -ms -o2 "},
        {"level 3 then optimisation off drops the level-3 switches",
         [](TEmbedded& e) { levelThreeExtras(e), e.opts.SetOpt.setChecked(false); }, "-g -ms "},
        {"level 3 then level 2 unchecks the level-3 choices",
         [](TEmbedded& e) {
             levelThreeExtras(e), e.opts.OLevel.setPosition(2), e.opts.OLevel.setPosition(3);
         },
         "-g -ms -o3 "},
        {"edits copied as typed",
         [](TEmbedded& e) {
             levelThreeExtras(e);
             e.opts.Optlevel.setText("");
             e.opts.L3OSize.setText("");
         },
         "-g -ms -o -oi -ol1 -on2 "}, // the level stays 3: only the edit text changed
        {"every check box",
         [](TEmbedded& e) {
             auto& o = e.opts;
             for (CheckBox* b :
                  {&o.QM,     &o.KA,        &o.IL,    &o.CO,    &o.KR,    &o.PPL,    &o.PPO, &o.SW,  &o.RPC,
                   &o.RPCC,   &o.AAV,       &o.SEROS, &o.PRASS, &o.PTOHS, &o.SIXBIT, &o.PEO, &o.LRV, &o.SSCP,
                   &o.NO8BIT, &o.SIXBITINT, &o.AALD,  &o.ALL,   &o.OSAS,  &o.KLAS,   &o.ICRI})
                 b->setChecked(true);
         },
         "-q -g -k -s -n -ms -pk -pl -po -pw -tf -tp -ma -mc -mh -mk -mn -mp -mr -mtnn -mu -mw -aa -al -ao "
         "-as "
         "-ax "},
    };
    for (const auto& c : cases) {
        SetUp();
        e->compiler.SetDefsClick();
        e->opts.SetOpt.setChecked(false);
        c.change(*e);
        e->compiler.OptionsOK2Click();
        EXPECT_EQ(e->CompilerCmdLine, c.expected) << c.name;
        EXPECT_EQ(e->StatusBar.panel(3).text, c.expected) << c.name;
    }
}

TEST_F(ProjectTest, SetDefaultsResetsTheCompilerOptionsAndKeepsTheOthers) {
    auto& o = e->opts;
    o.SetOpt.setChecked(true);
    o.L3OSize.setText("7");
    o.SpecObjLoc.setChecked(true);
    o.QM.setChecked(true);
    o.ProcType.userSelect(1);
    o.FormatBox.setItemIndex(1);
    o.OLevel.setPosition(3);
    o.FilelevelOpto.userSelect(0);
    e->menu.UseintVectors.setChecked(true);
    e->CompilerCmdLine = "x";
    e->compiler.SetDefsClick();
    EXPECT_EQ(e->CompilerCmdLine, "-v0 -ms -g");
    EXPECT_FALSE(o.QM.checked());
    EXPECT_EQ(o.ProcType.itemIndex(), 0);
    EXPECT_EQ(o.ProcType.text(), "TMS370");
    EXPECT_EQ(o.FormatBox.itemIndex(), 0);
    EXPECT_EQ(o.OLevel.position(), 2);
    EXPECT_EQ(o.Optlevel.text(), "2");
    EXPECT_EQ(o.FilelevelOpto.itemIndex(), 2);
    EXPECT_FALSE(e->menu.UseintVectors.checked());
    // Kept by "Set Defaults".
    EXPECT_TRUE(o.SetOpt.checked());
    EXPECT_EQ(o.L3OSize.text(), "7");
    EXPECT_TRUE(o.SpecObjLoc.checked());
    // The small model greys "Non Re-Entrant" out and says why.
    EXPECT_TRUE(o.NonRe.checked());
    EXPECT_FALSE(o.NonRe.enabled());
    EXPECT_EQ(o.NonRe.hint(), "Code is always Non Re-Entrant in Small Model");
}

TEST_F(ProjectTest, OptimisationRulesEnableShowAndHideTheDependentControls) {
    auto& o = e->opts;
    o.SetOpt.setChecked(true);
    EXPECT_TRUE(o.OLevel.enabled());
    EXPECT_TRUE(o.Optlevel.enabled());
    o.OLevel.setPosition(3);
    EXPECT_TRUE(o.EnableL3Osize.enabled());
    EXPECT_FALSE(o.L3OSize.visible());
    o.EnableL3Osize.setChecked(true);
    o.UFlo.setChecked(true);
    EXPECT_TRUE(o.L3OSize.visible());
    EXPECT_TRUE(o.FilelevelOpto.visible());
    EXPECT_FALSE(o.OptoInfo.visible());
    o.SetOpt.setChecked(false);
    EXPECT_EQ(o.OLevel.position(), 2);
    EXPECT_FALSE(o.OLevel.enabled());
    EXPECT_FALSE(o.Optlevel.enabled());
    for (CheckBox* b : {&o.EnableL3Osize, &o.UFlo, &o.DoOptoInfo}) {
        EXPECT_FALSE(b->checked());
        EXPECT_FALSE(b->enabled());
    }
    EXPECT_FALSE(o.L3OSize.visible());
    EXPECT_FALSE(o.FilelevelOpto.visible());
    o.FormatBox.setItemIndex(1);
    EXPECT_TRUE(o.NonRe.enabled());
    EXPECT_EQ(o.NonRe.hint(), "Generate Non Re-Entrant code");
}

TEST_F(ProjectTest, LevelTypedIntoTheEditMovesTheUpDown) {
    auto& o = e->opts;
    o.SetOpt.setChecked(true);
    o.Optlevel.setText("3");
    EXPECT_EQ(o.OLevel.position(), 3);
    EXPECT_TRUE(o.UFlo.enabled());
    o.Optlevel.setText("x"); // not a level: the position stays, the text goes in as typed
    EXPECT_EQ(o.OLevel.position(), 3);
    e->compiler.OptionsOK2Click();
    EXPECT_EQ(e->CompilerCmdLine, "-g -ms -ox ");
}

TEST_F(ProjectTest, AcceptStepDerivesLinkSwitchObjectFileAndMapName) {
    e->ProjectPath = "C:\\Halyard\\demo.prj";
    e->opts.OutputFile.setText("  C:\\texassource\\demo.out\t");
    e->compiler.OptionsOK2Click();
    EXPECT_EQ(e->LinkSwitch, "-z ");
    EXPECT_EQ(e->ObjectFile, "C:\\texassource\\demo.out ");
    EXPECT_EQ(e->opts.MapFile.text(), "C:\\Halyard\\demo.map ");
    e->opts.EL.setChecked(false);
    e->compiler.OptionsOK2Click();
    EXPECT_EQ(e->LinkSwitch, "");
    EXPECT_EQ(e->StatusBar.panel(6).text, "Linker Disabled");
}

TEST_F(ProjectTest, OpeningCommandsShowTheirPageAndCancelRevertsNothing) {
    e->menu.Proccessor1.click();
    EXPECT_TRUE(e->OptionsTabs.visible());
    EXPECT_EQ(e->OptionsTabs.activePage(), 1);
    e->opts.QM.setChecked(true);
    e->compiler.CancelOptions2Click();
    EXPECT_FALSE(e->OptionsTabs.visible());
    e->toolBar.CompilerOptionsBtn.click();
    EXPECT_EQ(e->OptionsTabs.activePage(), 0);
    e->compiler.OptionsOK2Click();
    EXPECT_EQ(e->CompilerCmdLine, "-q -g -ms ");
    EXPECT_FALSE(e->OptionsTabs.visible());
    e->menu.TMS370V5301.click();
    EXPECT_EQ(ui.shown.back(),
              "This version of Halyard is only compatible with version 5.30 of\rthe Texas TMS370 "
              "Optomising \"C\" Compiler");
}
