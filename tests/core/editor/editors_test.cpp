// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor_fixture.h"

namespace halyard::test {
namespace {

TEST_F(EditorTest, OpenFileByTagPicksTheFileAndShowsTheWindowMenu) {
    t.put("C:\\tmp\\ide.bat", "@echo off\r\n");
    t.put("C:\\Outputfile.txt", "main.c 3: error[1]\r\n");
    t.put("C:\\work\\x.c", "x\r\n");
    e.CompilerOutputFile = "C:\\Outputfile.txt";
    int cascades = 0;
    e.Cascade1Click = [&] { ++cascades; };
    struct Case {
        MenuItem* sender;
        std::string compSourceDir;
        std::optional<std::string> chosen;
        std::string caption, fileName;
    } cases[] = {
        {&e.menu.EditBatch, "C:\\tmp", {}, "ide.bat", "C:\\tmp\\ide.bat"},
        {&e.menu.EditBatch, "C:\\tmp\\", {}, "ide.bat", "C:\\tmp\\ide.bat"},
        {&e.menu.ViewCompilerOP, "", {}, "Outputfile.txt", "C:\\Outputfile.txt"},
        {&e.menu.OpenFile, "", "C:\\work\\x.c", "x.c", "C:\\work\\x.c"},
        {&e.toolBar.OpenFileBtn, "", "C:\\work\\x.c", "x.c", "C:\\work\\x.c"},
    };
    for (const auto& c : cases) {
        e.menu.Window1.setVisible(false);
        e.CompSourceDir = c.compSourceDir;
        ui.files = {c.chosen};
        const int before = ed.count();
        c.sender->click();
        ASSERT_EQ(ed.count(), before + 1);
        EXPECT_EQ(ed.child(0).caption(), c.caption);
        EXPECT_EQ(ed.child(0).FileName, c.fileName);
        EXPECT_TRUE(e.menu.Window1.visible());
    }
    EXPECT_EQ(cascades, 5);
    EXPECT_TRUE(ui.errors.empty());
    ASSERT_EQ(ui.fileDialogs.size(), 2u);
    EXPECT_EQ(ui.fileDialogs[0].title, "Halyard   Load File");
    // The classic four first, then the sources the editor is also used for.
    EXPECT_EQ(ui.fileDialogs[0].filter,
              "C Source|*.C|C Header|*.H|Dos Batch Files|*.BAT|Compiler O/P Files [*.txt]|*.TXT|"
              "Assembler Source [*.asm]|*.asm|Linker Command Files [*.cmd]|*.cmd|Any File [*.*]|*.*");
    EXPECT_EQ(ui.fileDialogs[0].initialDir, e.CompilerDir);
}

TEST_F(EditorTest, OpenFileCancelledLeavesNoWindowButShowsTheWindowMenu) {
    t.dd.createDir("C:\\projects");
    e.projEdit.setDirectory("C:\\projects");
    t.put("C:\\a.c", "a");
    ed.LoadFile("C:\\a.c", 1);
    e.menu.OpenFile.click(); // the dialog is cancelled
    EXPECT_EQ(ed.count(), 1);
    EXPECT_EQ(ed.child(0).caption(), "a.c");
    EXPECT_TRUE(e.menu.Window1.visible());
    EXPECT_EQ(ui.fileDialogs.at(0).initialDir, "C:\\projects");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(EditorTest, NewFileMakesAnActiveEmptyWindowAndNothingElse) {
    std::vector<TCodeEd*> opened;
    ed.observeOpened([&](TCodeEd& w) { opened.push_back(&w); });
    int cascades = 0;
    e.Cascade1Click = [&] { ++cascades; };
    for (MenuItem* sender : {&e.menu.NewFile1, &e.toolBar.NewFileBtn, &e.menu.Edit1})
        sender->click();
    ASSERT_EQ(ed.count(), 3);
    EXPECT_EQ(opened, (std::vector<TCodeEd*>{&ed.child(2), &ed.child(1), &ed.child(0)}));
    EXPECT_EQ(ed.child(0).StatusBar.panel(0).text, "Line:   1   Col:   1");
    EXPECT_EQ(ed.child(0).FileName, "");
    EXPECT_FALSE(e.menu.Window1.visible());
    EXPECT_EQ(cascades, 0);
}

// Saving runs from the highest child index (the window longest out of use) down to the active one.
TEST_F(EditorTest, SaveAllGoesFromTheHighestChildIndexAndStopsAtAFailure) {
    t.put("C:\\one.c", "1");
    t.put("C:\\two.c", "2");
    TCodeEd& one = *ed.LoadFile("C:\\one.c", 1);
    TCodeEd& fresh = ed.NewFile1Click();
    TCodeEd& two = *ed.LoadFile("C:\\two.c", 1);
    ed.activate(one); // order now: one, two, fresh
    for (TCodeEd* w : {&one, &fresh, &two})
        w->userEdit(0, 0, u"+");
    ui.files = {"C:\\fresh.c"};
    ed.SaveEdtorFiles();
    EXPECT_EQ(read("C:\\fresh.c"), "+\r\n");
    EXPECT_EQ(read("C:\\one.c"), "+1\r\n");
    EXPECT_EQ(read("C:\\two.c"), "+2\r\n");
    EXPECT_EQ(ui.fileDialogs.size(), 1u);

    // A window that cannot be written ends the walk; the ones after it are not saved.
    two.FileName = "C:\\missing\\two.c";
    for (TCodeEd* w : {&one, &fresh, &two})
        w->userEdit(0, 0, u"!");
    EXPECT_FALSE(e.run([&] { ed.SaveEdtorFiles(); }));
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Cannot create file C:\\missing\\two.c"});
    EXPECT_EQ(read("C:\\fresh.c"), "!+\r\n");
    EXPECT_EQ(read("C:\\one.c"), "+1\r\n");
    EXPECT_TRUE(one.modified());
}

TEST_F(EditorTest, CloseAllHidesTheWindowMenuAndKeepsWindowsTheUserKeeps) {
    t.put("C:\\a.c", "a");
    TCodeEd& a = *ed.LoadFile("C:\\a.c", 1);
    TCodeEd& b = ed.NewFile1Click();
    ed.NewFile1Click();
    a.userEdit(0, 0, u"x");
    b.userEdit(0, 0, u"y");
    e.menu.Window1.setVisible(true);
    // Cancel keeps every window open, the one answered "No" before it too, with its edits.
    ui.answers = {Answer::No, Answer::Cancel};
    EXPECT_FALSE(ed.CloseEditorFiles());
    EXPECT_FALSE(e.menu.Window1.visible());
    EXPECT_EQ(ui.shown, (std::vector<std::string>{"Save changes to C:\\a.c?", "Save changes to ?"}));
    EXPECT_EQ(ed.count(), 3);
    EXPECT_TRUE(a.modified());
    EXPECT_EQ(read("C:\\a.c"), "a");
    // A "Yes" given before the Cancel has saved its file all the same.
    ui.answers = {Answer::Yes, Answer::Cancel};
    EXPECT_FALSE(ed.CloseEditorFiles());
    EXPECT_EQ(ed.count(), 3);
    EXPECT_EQ(read("C:\\a.c"), "xa\r\n");

    // A window whose save fails on the way stays open with its edits; the error is shown.
    b.FileName = "C:\\missing\\b.c";
    ui.answers = {Answer::Yes};
    EXPECT_FALSE(ed.CloseEditorFiles());
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Cannot create file C:\\missing\\b.c"});
    EXPECT_EQ(ed.count(), 1);
    EXPECT_TRUE(b.modified());

    b.FileName = "C:\\b.c";
    ui.answers = {Answer::Yes};
    EXPECT_TRUE(ed.CloseEditorFiles());
    EXPECT_EQ(ed.count(), 0);
    EXPECT_EQ(read("C:\\b.c"), "y\r\n");
}

TEST_F(EditorTest, ClosedWindowsTellTheirViewBeforeTheyGo) {
    TCodeEd& w = ed.NewFile1Click();
    bool closed = false;
    w.observe([&](TCodeEd::Change c) { closed = closed || (c == TCodeEd::Change::Closed && w.closed()); });
    EXPECT_TRUE(w.Close1Click());
    EXPECT_TRUE(closed);
}

TEST_F(EditorTest, CopyFileToCopiesIntoFoldersUnderTheSourceName) {
    t.put("C:\\out\\prog.out", std::string("\x7f"
                                           "ELF\0\1",
                                           6));
    t.dd.createDir("C:\\backup");
    struct Case {
        std::string source, destination, written, error;
    } cases[] = {
        {"C:\\out\\prog.out ", "C:\\backup", "C:\\backup\\prog.out", ""},
        {"C:\\out\\prog.out", "C:\\backup\\", "C:\\backup\\prog.out", ""},
        {"C:\\out\\prog.out", "C:\\backup\\renamed.obj", "C:\\backup\\renamed.obj", ""},
        {"C:\\out\\gone.out", "C:\\backup", "", "Cannot open file C:\\out\\gone.out"},
        {"C:\\out\\prog.out", "C:\\nowhere\\x.out", "", "Cannot create file C:\\nowhere\\x.out"},
    };
    for (const auto& c : cases) {
        ui.errors.clear();
        const bool ok = e.run([&] { ed.CopyFileTo(c.source, c.destination); });
        EXPECT_EQ(ok, c.error.empty());
        if (!c.error.empty())
            EXPECT_EQ(ui.errors, std::vector<std::string>{c.error});
        else
            EXPECT_EQ(read(c.written), std::string("\x7f"
                                                   "ELF\0\1",
                                                   6));
    }
}

TEST_F(EditorTest, SaveObjectFileOffersTheOutputFileAndCopiesItWhenConfirmed) {
    t.put("C:\\texassource\\unnamed.out", "obj");
    t.dd.createDir("C:\\floppy");
    e.ObjectFile = "C:\\texassource\\unnamed.out ";
    ui.files = {std::nullopt, "C:\\floppy"};
    e.menu.SaveObjectFile1.click(); // cancelled: nothing happens
    EXPECT_FALSE(t.dd.fileExists("C:\\floppy\\unnamed.out"));
    e.menu.SaveObjectFile1.click();
    EXPECT_EQ(read("C:\\floppy\\unnamed.out"), "obj");
    const FileDialog& d = ui.fileDialogs.at(0);
    EXPECT_EQ(d.title, "Save Output File");
    EXPECT_EQ(d.filter, "Object File [*.obj]|*.obj|Output File [*.out]|*.out|Any File [*.*]|*.*");
    EXPECT_EQ(d.initialDir, "a:\\");
    EXPECT_EQ(d.fileName, "unnamed.out ");
    EXPECT_EQ(d.defaultExt, "*.obj");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(EditorTest, PrintHandsTheWindowTextToThePrintDialog) {
    TCodeEd& w = window(u"line 1\nline \u00e9");
    ed.PrintClick(w);
    ASSERT_EQ(ui.printed.size(), 1u);
    EXPECT_EQ(ui.printed[0].title, "Code Editor");
    EXPECT_EQ(ui.printed[0].text, "line 1\nline \xc3\xa9");
    EXPECT_EQ(ui.printed[0].font, (FontSpec{"Arial", 10, true}));
}

} // namespace
} // namespace halyard::test
