// SPDX-License-Identifier: GPL-3.0-or-later
#include <filesystem>
#include <vector>

#include "support/build_rig.h"
#include "toolchain/library_builder.h"

namespace halyard::test {
namespace {

namespace fs = std::filesystem;

struct LibraryRig : BuildRig {
    LibraryRig() {
        const fs::path mk370 = t.put("C:\\CL370\\mk370", "#!/bin/sh\n");
        fs::permissions(mk370, fs::perms::owner_all);
        e.lib.Source.setText("rts.src");
        e.lib.Lib.setText("C:\\Texassource\\rts.lib");
    }
    // Ticks exactly the named boxes, then presses "OK".
    void accept(const std::vector<CheckBox LibraryOptions::*>& boxes) {
        for (CheckBox* b :
             {&e.lib.Verbose, &e.lib.NoHeaders, &e.lib.UseSource, &e.lib.ExtractSource, &e.lib.Overwrite,
              &e.lib.SuppressHeaders, &e.lib.Debug, &e.lib.C8, &e.lib.KandR, &e.lib.SuppressWarns,
              &e.lib.Trigraph, &e.lib.SmallMem, &e.lib.Asumealias, &e.lib.CheckBox2})
            b->setChecked(false);
        for (auto box : boxes)
            (e.lib.*box).setChecked(true);
        e.libBuilder.LibOkSpecClick();
    }
};

using L = LibraryOptions;

TEST(LibraryBuilder, OkBuildsTheSwitchesInTableOrderWithTheirOwnBlanks) {
    const std::pair<std::vector<CheckBox L::*>, const char*> cases[] = {
        {{}, ""},
        {{&L::Overwrite}, "--k  "},
        {{&L::Overwrite, &L::Verbose}, "--v --k  "},
        {{&L::SmallMem, &L::Debug, &L::Asumealias, &L::CheckBox2}, "-g  -ms "},
        {{&L::Verbose, &L::NoHeaders, &L::UseSource, &L::ExtractSource, &L::Overwrite, &L::SuppressHeaders,
          &L::Debug, &L::C8, &L::KandR, &L::SuppressWarns, &L::Trigraph, &L::SmallMem},
         "--v --u  --h  --c  --k  --q  -g  -C8  -pk  -pw  -p?  -ms "},
    };
    for (const auto& [boxes, switches] : cases) {
        LibraryRig r;
        r.e.LibaryGenOps.setVisible(true);
        r.accept(boxes);
        EXPECT_EQ(r.e.LibrarySwitches, switches);
        EXPECT_FALSE(r.e.LibaryGenOps.visible());
    }
}

TEST(LibraryBuilder, BuildConfirmsTheArgumentsAndStartsMk370InTheToolChainFolder) {
    LibraryRig r;
    r.accept({&L::Overwrite});
    r.ui.answers = {Answer::Yes};
    r.e.menu.Build1.click();
    const std::string args = "--k   rts.src -l C:\\Texassource\\rts.lib";
    EXPECT_EQ(r.ui.shown,
              std::vector<std::string>{"Library C:\\Texassource\\rts.lib will be built, using rts.src\r" +
                                       args + "\r Continue ?"});
    ASSERT_EQ(r.launcher.calls.size(), 1u);
    EXPECT_EQ(r.launcher.calls[0].file, "mk370");
    EXPECT_EQ(r.launcher.calls[0].parameters, args);
    EXPECT_EQ(r.launcher.calls[0].directory, "C:\\CL370");
    EXPECT_EQ(r.launcher.calls[0].showMode, Launcher::Shown);
}

struct RelocationCase {
    const char* name;
    std::string lib;
    std::vector<Answer> answers;
    std::string libAfter;
    bool asked, started;
};

TEST(LibraryBuilder, ALibraryOutsideTheHeadersFolderBringsTheRelocationQuestion) {
    const std::vector<RelocationCase> cases = {
        {"empty library, relocated", "", {Answer::Yes}, "C:\\Texassource\\", true, false},
        {"other letter case counts as another folder",
         "C:\\TEXASSOURCE\\my.lib",
         {Answer::Yes},
         "C:\\Texassource\\my.lib",
         true,
         false},
        {"No builds where the user said",
         "D:\\libs\\my.lib",
         {Answer::No, Answer::Yes},
         "D:\\libs\\my.lib",
         true,
         true},
        {"Abort at the confirmation starts nothing",
         "C:\\Texassource\\rts.lib",
         {Answer::Abort},
         "C:\\Texassource\\rts.lib",
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LibraryRig r;
        r.e.lib.Lib.setText(c.lib);
        r.ui.answers.assign(c.answers.begin(), c.answers.end());
        r.e.menu.Build1.click();
        ASSERT_FALSE(r.ui.shown.empty());
        EXPECT_EQ(r.ui.shown[0] ==
                      "The destination Folder for this library will not be used by\rthe compiler. "
                      "Re-locate it in C:\\Texassource Y/N",
                  c.asked);
        EXPECT_EQ(r.e.lib.Lib.text(), c.libAfter);
        EXPECT_EQ(r.launcher.calls.size(), c.started ? 1u : 0u);
        if (c.asked && !c.started) {
            EXPECT_TRUE(r.e.LibaryGenOps.visible());
            EXPECT_EQ(r.e.LibaryGenOps.activePage(), LibraryBuilder::FilesTab);
        }
    }
}

TEST(LibraryBuilder, BuildBeforeOkUsesEmptySwitchesAndLongArgumentsGoWhole) {
    LibraryRig r;
    r.e.lib.Overwrite.setChecked(true); // not yet accepted
    r.e.HeadersDir = "C:\\A rather long headers folder\\for the run time library";
    r.e.lib.Lib.setText(r.e.HeadersDir + "\\rts370 with a long name.lib");
    r.ui.answers = {Answer::Yes, Answer::Yes};
    r.e.menu.Build1.click();
    r.e.menu.Build1.click();
    ASSERT_EQ(r.launcher.calls.size(), 2u);
    const std::string args = " rts.src -l " + r.e.lib.Lib.text();
    EXPECT_GT(args.size(), 79u);
    EXPECT_EQ(r.launcher.calls[0].parameters, args);
    EXPECT_EQ(r.launcher.calls[1].parameters, args);
}

TEST(LibraryBuilder, AMissingMk370IsReportedInsteadOfAStartThatSaysNothing) {
    LibraryRig r;
    fs::remove(r.t.dd.toHost("C:\\CL370\\mk370"));
    r.ui.answers = {Answer::Yes};
    r.e.menu.Build1.click();
    ASSERT_EQ(r.ui.shown.size(), 2u);
    EXPECT_EQ(r.ui.shown[1],
              "The library build utility mk370 was not found in C:\\CL370\rThe library was not built.");
    EXPECT_TRUE(r.launcher.calls.empty());
}

TEST(LibraryBuilder, BrowseFillsTheFileNamesOnlyWhenConfirmed) {
    LibraryRig r;
    r.ui.files = {std::string("C:\\src\\my.src"), std::nullopt};
    r.e.libBuilder.LibSrcBrowseClick();
    r.e.libBuilder.Button21Click();
    EXPECT_EQ(r.e.lib.Source.text(), "C:\\src\\my.src");
    EXPECT_EQ(r.e.lib.Lib.text(), "C:\\Texassource\\rts.lib");
    ASSERT_EQ(r.ui.fileDialogs.size(), 2u);
    EXPECT_EQ(r.ui.fileDialogs[0].title, "Libraray Source");
    EXPECT_EQ(r.ui.fileDialogs[1].filter, "Librarys [*.lib]|*.lib|All Files|*.*");
}

} // namespace
} // namespace halyard::test
