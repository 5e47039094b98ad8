// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell_fixture.h"

using namespace halyard;
using test::Shell;

TEST_F(Shell, FirstStartWithNothingOnDiskCreatesTheFoldersAndEndsWithNoProject) {
    ui.dialogs = {answer(Answer::Ok), answer(Answer::Ok), answer(Answer::Cancel)}; // Create It twice, Setup
    start();
    EXPECT_EQ(ui.dialogsRun, (std::vector<std::string>{"TDirWarningDlg", "TDirWarningDlg", "TDirsetup"}));
    EXPECT_EQ(e->DirWarningDlg.DirName, "C:\\CL370");
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown.front(),
              "New Compiler Directory created\rPlease Install Texas Compiler into C:\\CL370");
    EXPECT_FALSE(e->menu.Project1.enabled());
    EXPECT_FALSE(e->menu.Compilie1.enabled());
    EXPECT_TRUE(drives.dd.dirExists("C:\\texassource"));
    EXPECT_TRUE(drives.dd.dirExists("C:\\CL370"));
    EXPECT_EQ(e->StatusBar.panel(0).text, "NO PROJECT LOADED");
    EXPECT_FALSE(e->ProjectLoaded());
    EXPECT_FALSE(e->starttimer.enabled());
    EXPECT_EQ(e->menu.Prgm.caption(), "(None)");
    EXPECT_FALSE(e->menu.Prgm.enabled());
}

TEST_F(Shell, BrowsingForAMissingToolChainFolderNamesTheChosenOneInTheMessage) {
    drives.dd.createDir("C:\\texassource");
    ui.dialogs = {answer(Answer::Yes), answer(Answer::Cancel)};
    ui.files = {std::string("C:\\Tools\\TI")};
    start();
    EXPECT_EQ(e->CompilerDir, "C:\\Tools\\TI");
    EXPECT_TRUE(drives.dd.dirExists("C:\\Tools\\TI"));
    EXPECT_EQ(ui.shown.front(),
              "New Compiler Directory created\rPlease Install Texas Compiler into C:\\Tools\\TI");
}

TEST_F(Shell, CancellingEveryQuestionStopsTheSequenceWithAnErrorAndTheProgramGoesOn) {
    start(); // no scripted answers: every dialog is cancelled
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\default.prj"); // the settings' value stays
    EXPECT_FALSE(e->ProjectLoaded());
}

TEST_F(Shell, ExistingFoldersAskNothingAndTheLastProjectIsNotReloadedWithoutLast) {
    createToolFolders();
    drives.put("C:\\Halyard\\default.prj", "0\r\n");
    start();
    EXPECT_TRUE(ui.dialogsRun.empty());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(e->ProjectPath, "NO PROJECT LOADED");
    EXPECT_TRUE(e->menu.Project1.enabled());
    EXPECT_EQ(e->StatusBar.panel(5).text, "Int Vectors Off");
}

TEST_F(Shell, TheHelpFileIsTakenFromTheInstallFolderThenBesideTheProgram) {
    struct Case {
        bool installed, bundled;
        const char* expected;
    } cases[] = {{true, true, "C:\\Halyard\\Halyard.chm"},
                 {false, true, "C:\\Program\\halyard.chm"},
                 {false, false, "C:\\Halyard\\halyard.chm"}};
    createToolFolders();
    for (const auto& c : cases) {
        std::filesystem::remove(drives.dd.toHost("C:\\Halyard\\Halyard.chm"));
        if (c.installed) drives.put("C:\\Halyard\\Halyard.chm", "x");
        create();
        // A named file that is gone is not taken.
        e->help.BundledHelpFile = c.bundled ? "C:\\Program\\halyard.chm" : "C:\\Program\\gone.chm";
        drives.put("C:\\Program\\halyard.chm", "x");
        start();
        EXPECT_EQ(e->HelpFile, c.expected);
    }
}

TEST_F(Shell, ClosingBeforeTheStartUpFinishedNeverOverwritesTheProjectFile) {
    drives.put("C:\\Halyard\\default.prj", "precious\r\n");
    create();
    e->FormCreate(); // closed within the two seconds: the start timer has not fired
    e->FormClose();
    EXPECT_EQ(drives.dd.readBytes("C:\\Halyard\\default.prj"), "precious\r\n");
    EXPECT_FALSE(settings.writes.empty()); // the settings are still written
}

TEST_F(Shell, AMalformedLastProjectIsReportedAndLeftAsItIs) {
    createToolFolders();
    drives.put("C:\\Halyard\\Halyard.chm", "x");
    drives.put("C:\\work\\broken.prj", "0\r\nnot a project\r\n");
    settings.put("Project", "C:\\work\\broken.prj");
    settings.put("Last", "1");
    start();
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_TRUE(e->ProList.empty());
    EXPECT_FALSE(e->ProjectLoaded());
    EXPECT_EQ(e->HelpFile, "C:\\Halyard\\Halyard.chm");
    e->FormClose();
    EXPECT_EQ(drives.dd.readBytes("C:\\work\\broken.prj"), "0\r\nnot a project\r\n");
    EXPECT_EQ(settings.values["Project"].text, "C:\\work\\broken.prj"); // still offered next time
}

TEST_F(Shell, CommandLineDisplaySpreadsPanelZeroAndSwitchingItOffRestoresThePanels) {
    createToolFolders();
    start();
    e->StatusBar.totalWidth = 900;
    e->menu.DisplayCmdLine.click();
    EXPECT_TRUE(e->opts.DisplayCommand.checked());
    EXPECT_EQ(e->StatusBar.panel(0).text, ""); // nothing generated yet
    EXPECT_EQ(e->StatusBar.panel(0).width, 900);
    e->opts.DisplayCommand.click(); // the "General" page's check box is the same action
    EXPECT_FALSE(e->menu.DisplayCmdLine.checked());
    EXPECT_EQ(e->StatusBar.panel(0).text, "NO PROJECT LOADED");
    EXPECT_EQ(e->StatusBar.panel(0).width, 150);
}

TEST_F(Shell, SetupCopiesTheTextsBackWhicheverButtonClosedItAndSavesAtOnce) {
    create();
    ui.dialogs = {[](ModalDialog& d) {
        static_cast<TDirsetup&>(d).DefaultsClick();
        return Answer::Cancel;
    }};
    e->menu.Setup1.click();
    EXPECT_EQ(e->CompSourceDir, "C:\\texassource\\");
    EXPECT_EQ(e->CompilerDir, "C:\\TMS370\\");
    EXPECT_EQ(e->HeadersDir, "C:\\Halyard\\");
    EXPECT_EQ(settings.values["Program Dir"].text, "C:\\TMS370\\");
}

TEST_F(Shell, KeepingEditorWindowsOpenIsTakenFromSetupOnlyOnOkAndOutlivesTheRun) {
    create();
    auto tick = [](Answer a) {
        return [a](ModalDialog& d) {
            static_cast<TDirsetup&>(d).KeepEditors.setChecked(true);
            return a;
        };
    };
    ui.dialogs = {tick(Answer::Cancel)};
    e->menu.Setup1.click();
    EXPECT_FALSE(e->KeepEditorsOpen.checked());
    ui.dialogs = {tick(Answer::Ok)};
    e->menu.Setup1.click();
    EXPECT_TRUE(e->KeepEditorsOpen.checked());
    EXPECT_EQ(settings.values["Keep Editors"].text, "1");
    create();
    e->LoadSettings();
    EXPECT_TRUE(e->KeepEditorsOpen.checked());
}

TEST_F(Shell, TheEditorAidsAreOnByDefaultAndSetupSwitchesThemOnlyOnOk) {
    create();
    e->LoadSettings();
    EXPECT_TRUE(e->editorAids.LineNumbers.checked());
    EXPECT_TRUE(e->editorAids.MessageMarks.checked());
    EXPECT_FALSE(e->editorAids.CompleteWhileTyping.checked());
    auto offer = [](Answer a) {
        return [a](ModalDialog& d) {
            auto& dlg = static_cast<TDirsetup&>(d);
            EXPECT_TRUE(dlg.Aids.MatchBrackets.checked()) << "the dialog shows the current choice";
            dlg.Aids.MatchBrackets.setChecked(false);
            dlg.Aids.CompleteWhileTyping.setChecked(true);
            return a;
        };
    };
    ui.dialogs = {offer(Answer::Cancel)};
    e->menu.Setup1.click();
    EXPECT_TRUE(e->editorAids.MatchBrackets.checked());
    ui.dialogs = {offer(Answer::Ok)};
    e->menu.Setup1.click();
    EXPECT_FALSE(e->editorAids.MatchBrackets.checked());
    EXPECT_TRUE(e->editorAids.CompleteWhileTyping.checked());
    create();
    e->LoadSettings();
    EXPECT_FALSE(e->editorAids.MatchBrackets.checked());
    EXPECT_TRUE(e->editorAids.CompleteWhileTyping.checked());
    EXPECT_TRUE(e->editorAids.KeepIndent.checked());
}

TEST_F(Shell, AProjectFileNamedInSetupWithNoProjectOpenIsNotOverwrittenOnClosing) {
    createToolFolders();
    drives.put("C:\\work\\keep.prj", "precious\r\n");
    start();
    ui.dialogs = {[](ModalDialog& d) {
        static_cast<TDirsetup&>(d).ProjectFile.setText("C:\\work\\keep.prj");
        return Answer::Ok;
    }};
    e->menu.Setup1.click();
    EXPECT_FALSE(e->ProjectLoaded());
    e->FormClose();
    EXPECT_EQ(drives.dd.readBytes("C:\\work\\keep.prj"), "precious\r\n");
    EXPECT_EQ(settings.values["Project"].text, "C:\\work\\keep.prj"); // offered next time
}

TEST_F(Shell, CommandsWithoutAHandlerAreShownDisabled) {
    create();
    EXPECT_TRUE(e->menu.Exit1.enabled());
    EXPECT_TRUE(e->menu.Setup1.enabled());
    for (auto& m : e->menu.layout())
        for (MenuItem* item : m.entries)
            if (item) {
                EXPECT_EQ(item->enabled(), static_cast<bool>(item->onClick)) << item->caption();
            }
}

// A project named when the program starts (a double-click on a *.prj file) takes the place of the
// last project; one that cannot be opened is reported and the start-up ends with no project.
struct NamedProject {
    const char* name;
    const char* bytes; // what the named file holds; nullptr: it does not exist, "": a valid project
    const char* error; // the error shown: "" for none, "*" for any one
};

struct StartProject : Shell, ::testing::WithParamInterface<NamedProject> {};

TEST_P(StartProject, TakesThePlaceOfTheLastProject) {
    const NamedProject& c = GetParam();
    const std::string named = "C:\\work\\named.prj";
    createToolFolders();
    drives.dd.createDir("C:\\work");
    create();
    // The last project is valid and asked for, so only the named one can keep it out.
    e->project.BuildProjectLines();
    drives.dd.writeLines("C:\\work\\last.prj", e->ProList);
    settings.put("Project", "C:\\work\\last.prj");
    settings.put("Last", "1");
    if (c.bytes && !*c.bytes) drives.dd.writeLines(named, e->ProList);
    if (c.bytes && *c.bytes) drives.put(named, c.bytes);
    const std::string before = c.bytes ? drives.dd.readBytes(named) : "";
    e->StartProject = named;
    start();

    const bool loaded = !*c.error;
    EXPECT_EQ(e->ProjectLoaded(), loaded);
    EXPECT_EQ(e->ProjectPath, loaded ? named : "NO PROJECT LOADED");
    EXPECT_EQ(e->StatusBar.panel(0).text, e->ProjectPath);
    EXPECT_EQ(drives.dd.fileExists("C:\\texassource\\ide.bat"), loaded);
    if (!loaded) {
        EXPECT_FALSE(e->ProjEditPan.visible()); // no editor for a project that is not there
    }
    ASSERT_EQ(ui.errors.size(), loaded ? 0u : 1u);
    if (!loaded && std::string(c.error) != "*") {
        EXPECT_EQ(ui.errors[0], c.error);
    }
    e->FormClose();
    if (!loaded && c.bytes) {
        EXPECT_EQ(drives.dd.readBytes(named), before); // left for the user to mend
    }
}

INSTANTIATE_TEST_SUITE_P(Shell, StartProject,
                         ::testing::Values(NamedProject{"valid", "", ""},
                                           NamedProject{"missing", nullptr,
                                                        "Cannot open file C:\\work\\named.prj"},
                                           NamedProject{"malformed", "0\r\nnot a project\r\n", "*"}),
                         [](const auto& info) { return std::string(info.param.name); });
