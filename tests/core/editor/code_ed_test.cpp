// SPDX-License-Identifier: GPL-3.0-or-later
#include <random>

#include <csignal>
#include <sys/resource.h>

#include "editor_fixture.h"

namespace halyard::test {
namespace {

using Sel = std::pair<size_t, size_t>;
Sel sel(const TCodeEd& w) {
    return {w.selStart(), w.selLength()};
}

TEST_F(EditorTest, FindErrorWalksTheMessagesIgnoringCaseAndStaysOnTheLast) {
    TCodeEd& w = window(u"x.c 1: ok\nx.c 2: ERROR[12] bad\nx.c 3: Error[7] worse\n");
    const size_t first = w.text().find(u"ERROR["), second = w.text().find(u"Error[");
    w.FindError1Click();
    EXPECT_EQ(sel(w), Sel(first, 6));
    w.FindError1Click();
    EXPECT_EQ(sel(w), Sel(second, 6));
    w.FindError1Click();
    EXPECT_EQ(sel(w), Sel(second, 6));
    EXPECT_TRUE(ui.shown.empty()); // not found is silent
}

TEST_F(EditorTest, FindSearchesForwardFromTheEndOfTheSelectionWithoutWrapping) {
    struct Case {
        Sel before;
        std::u16string what;
        Sel after;
    } cases[] = {
        {{0, 0}, u"ab", {0, 2}},            // at the caret
        {{0, 2}, u"AB", {5, 2}},            // the selected occurrence is skipped
        {{1, 0}, u"aB", {5, 2}},            // inside an occurrence
        {{6, 0}, u"ab", {6, 0}},            // nothing after: no wrap, nothing changes
        {{0, 0}, u"", {0, 0}},              // empty search text
        {{0, 0}, u"\u00e9t\u00c9", {8, 3}}, // letters of the code page fold too
    };
    for (const auto& c : cases) {
        TCodeEd& w = window(u"ab.. ab \u00c9T\u00e9");
        w.select(c.before.first, c.before.second);
        w.Find(c.what);
        EXPECT_EQ(sel(w), c.after) << ToUtf8(c.what);
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(EditorTest, ReplaceChangesOnlyTheFirstOccurrenceRespectingCase) {
    struct Case {
        std::u16string text;
        size_t caret;
        std::u16string find, with, expected;
        std::vector<std::string> shown;
    } cases[] = {
        {u"int a; int b;", 12, u"int", u"long", u"long a; int b;", {}},
        {u"x x x", 0, u"x", u"yy", u"yy x x", {}},
        {u"ABC abc", 0, u"abc", u"-", u"ABC -", {}},
        {u"ABC", 0, u"abc", u"-", u"ABC", {"Not found \"abc"}},
    };
    for (const auto& c : cases) {
        ui.shown.clear();
        TCodeEd& w = window(c.text, c.caret);
        w.ReplaceDialogReplace(c.find, c.with);
        EXPECT_EQ(ToUtf8(w.text()), ToUtf8(c.expected));
        EXPECT_EQ(ui.shown, c.shown);
        EXPECT_EQ(w.modified(), c.shown.empty());
    }
}

TEST_F(EditorTest, StatusPanelsDescribeTheCaretLine) {
    struct Case {
        std::u16string line;
        size_t col;
        std::string position, file, number;
    } cases[] = {
        {u"main.c 27: message", 3, "Line:   2   Col:   4", "main.c", "27"},
        {u"x.c 5:", 0, "Line:   2   Col:   1", "x.c", "5"},
        {u"abc", 3, "Line:   2   Col:   4", "a", "0"},
        {u"", 0, "Line:   2   Col:   1", "", "0"},
        {u"io.h 123 x", 2, "Line:   2   Col:   3", "io.h", "12"}, // three characters at most
        {u"a.c -5:", 0, "Line:   2   Col:   1", "a.c", "-5"},
        {u"a.c", 1, "Line:   2   Col:   2", "a.c", "0"},
        {u"a.\t5", 0, "Line:   2   Col:   1", "a.\t", "0"}, // only blanks lead a number
    };
    for (const auto& c : cases) {
        TCodeEd& w = window(u"first line\n" + c.line + u"\nlast");
        w.select(11 + c.col, 0);
        EXPECT_EQ(w.StatusBar.panel(0).text, c.position);
        EXPECT_EQ(w.StatusBar.panel(2).text, c.file) << ToUtf8(c.line);
        EXPECT_EQ(w.StatusBar.panel(4).text, c.number) << ToUtf8(c.line);
        EXPECT_EQ(w.StatusBar.panel(3).text, "");
        EXPECT_EQ(w.StatusBar.panel(5).text, "");
    }
    EXPECT_EQ(StatusPosition(1233, 99999), "Line: 1234   Col: 100000");
}

// The line index is kept up to date edit by edit; it must agree with a count from the start.
TEST_F(EditorTest, StatusLineFollowsEditsLikeACountFromTheStart) {
    TCodeEd& w = window(u"a\nbb\n\nccc");
    std::mt19937 rng(7);
    const std::u16string pieces[] = {u"", u"x", u"\n", u"y\nz", u"\n\n", u"long line\n"};
    for (int i = 0; i < 500; ++i) {
        const size_t pos = rng() % (w.text().size() + 1);
        const size_t removed = rng() % 4;
        w.userEdit(pos, removed, pieces[rng() % 6]);
        const size_t caret = rng() % (w.text().size() + 1);
        w.userSelect(caret, 0);
        const std::u16string before = w.text().substr(0, caret);
        const size_t line = static_cast<size_t>(std::count(before.begin(), before.end(), u'\n'));
        const size_t lastBreak = before.rfind(u'\n');
        const size_t col = lastBreak == std::u16string::npos ? caret : caret - lastBreak - 1;
        ASSERT_EQ(w.StatusBar.panel(0).text, StatusPosition(line, col)) << "step " << i;
    }
    EXPECT_TRUE(w.modified());
}

TEST_F(EditorTest, LoadingShowsTheFileInTheDialogFontWithTheLineCountAndCaretAfterTheFirstCharacter) {
    t.put("C:\\src\\main.c", "int x;\r\nint y;\nint z;\r");
    TCodeEd& fresh = ed.NewFile1Click();
    EXPECT_EQ(fresh.caption(), "Code Editor");
    EXPECT_EQ(fresh.font(), (FontSpec{"Arial", 10, true}));
    EXPECT_EQ(fresh.StatusBar.panel(1).text, "lines");

    TCodeEd* w = ed.LoadFile("C:\\src\\main.c", 1);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->caption(), "main.c");
    EXPECT_EQ(w->FileName, "C:\\src\\main.c");
    EXPECT_EQ(w->text(), u"int x;\nint y;\nint z;");
    EXPECT_EQ(w->font(), (FontSpec{"MS Sans Serif", 8}));
    EXPECT_EQ(w->StatusBar.panel(1).text, "3");
    EXPECT_EQ(sel(*w), Sel(1, 0));
    EXPECT_FALSE(w->modified());
    EXPECT_EQ(&ed.child(0), w); // the new window is the active one
}

TEST_F(EditorTest, ANameShorterThanTwoCharactersClosesTheNewWindowSilently) {
    for (const char* name : {"", "x"}) {
        EXPECT_EQ(ed.LoadFile(name, 1), nullptr);
        EXPECT_EQ(ed.count(), 0);
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(EditorTest, AFileThatCannotBeOpenedLeavesAnEmptyWindowThatSaveCreates) {
    EXPECT_FALSE(e.run([&] { ed.LoadFile("C:\\texassource\\ide.bat", 1); }));
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Cannot open file C:\\texassource\\ide.bat"});
    ASSERT_EQ(ed.count(), 1);
    TCodeEd& w = ed.child(0);
    EXPECT_EQ(w.caption(), "Code Editor");
    EXPECT_EQ(w.FileName, "C:\\texassource\\ide.bat");
    t.dd.createDir("C:\\texassource");
    w.userEdit(0, 0, u"echo");
    w.Save1Click();
    EXPECT_EQ(read("C:\\texassource\\ide.bat"), "echo\r\n");
}

TEST_F(EditorTest, AFileWithANulAnywhereIsRefusedSoNoSaveCanCutItShort) {
    const std::string object("\x7f"
                             "ELF\0\0\x01\nabc",
                             10);
    const std::string lateNul = std::string(20000, 'a') + "\r\n" + std::string(1, '\0') + "tail\r\n";
    for (const std::string& bytes : {object, lateNul}) {
        ui.errors.clear();
        t.put("C:\\texassource\\demo.out", bytes);
        EXPECT_FALSE(e.run([&] { ed.LoadFile("C:\\texassource\\demo.out", 1); }));
        EXPECT_EQ(ui.errors, std::vector<std::string>{
                                 "Cannot open file C:\\texassource\\demo.out\rIt is not a text file."});
        EXPECT_EQ(ed.count(), 0);
        ed.SaveEdtorFiles(); // what every build does
        EXPECT_EQ(read("C:\\texassource\\demo.out"), bytes);
    }
}

TEST_F(EditorTest, SavingWritesCrLfLinesAndKeepsEveryByteOfTheCodePage) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n') all += static_cast<char>(b);
    t.put("C:\\bytes.txt", all + "\r\nsecond\n\n");
    TCodeEd& w = *ed.LoadFile("C:\\bytes.txt", 1);
    w.userEdit(w.text().size(), 0, u"\u20ac\u4e2d"); // the euro is in the code page, the other is not
    EXPECT_TRUE(w.modified());
    w.Save1Click();
    EXPECT_FALSE(w.modified());
    EXPECT_EQ(read("C:\\bytes.txt"), all + "\r\nsecond\r\n\x80?\r\n");
}

TEST_F(EditorTest, AFailedSaveKeepsTheOldFileAndTheWindowModified) {
    t.put("C:\\keep.c", "old\r\n");
    TCodeEd& w = *ed.LoadFile("C:\\keep.c", 1);
    w.userEdit(0, 3, std::u16string(64 * 1024, u'n'));
    // A file-size limit makes the write fail part-way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = e.run([&] { w.Save1Click(); });
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Cannot create file C:\\keep.c"});
    EXPECT_EQ(read("C:\\keep.c"), "old\r\n");
    EXPECT_TRUE(w.modified());
    EXPECT_EQ(ed.count(), 1);
}

// A file another program changed since the window read it is never overwritten unasked: Yes writes
// over it, No reads it again into the window, Cancel writes nothing and keeps the window's changes.
TEST_F(EditorTest, SavingOverAFileChangedOnDiskAsksFirst) {
    const std::string asked = "C:\\m.c was changed on disk since it was opened here.\r\r"
                              "Yes: overwrite it with the text of this window\r"
                              "No: load it again from disk (the changes made in this window are lost)\r"
                              "Cancel: write nothing";
    struct Case {
        Answer answer;
        bool saved;
        std::string file;
        std::u16string window;
        bool modified;
    } cases[] = {
        {Answer::Cancel, false, "theirs\r\n", u"xone", true},
        {Answer::Yes, true, "xone\r\n", u"xone", false},
        {Answer::No, true, "theirs\r\n", u"theirs", false},
    };
    for (const auto& c : cases) {
        t.put("C:\\m.c", "one\r\n");
        TCodeEd& w = *ed.LoadFile("C:\\m.c", 1);
        w.userEdit(0, 0, u"x");
        t.put("C:\\m.c", "theirs\r\n");
        ui.shown.clear();
        ui.answers = {c.answer};
        EXPECT_EQ(w.Save1Click(), c.saved);
        EXPECT_EQ(ui.shown, std::vector<std::string>{asked});
        EXPECT_EQ(read("C:\\m.c"), c.file);
        EXPECT_EQ(w.text(), c.window);
        EXPECT_EQ(w.modified(), c.modified);
        // Its own writes are no change on disk: the next save asks nothing; after Cancel it asks again.
        ui.shown.clear();
        ui.answers = {Answer::Yes};
        w.userEdit(0, 0, u"y");
        EXPECT_TRUE(w.Save1Click());
        EXPECT_EQ(ui.shown.size(), c.saved ? 0u : 1u);
        ed.closeWindow(w);
    }
}

TEST_F(EditorTest, CloseQuestionOutcomes) {
    t.put("C:\\a.c", "a\r\n");
    struct Case {
        bool edit;
        Answer answer;
        std::optional<std::string> saveAs; // for the never-saved window
        bool named;
        std::vector<std::string> shown;
        bool closes;
        std::string file; // C:\a.c or the saved-as file afterwards
    } cases[] = {
        {false, Answer::None, {}, true, {}, true, "a\r\n"},
        {true, Answer::Cancel, {}, true, {"Save changes to C:\\a.c?"}, false, "a\r\n"},
        {true, Answer::No, {}, true, {"Save changes to C:\\a.c?"}, true, "a\r\n"},
        {true, Answer::Yes, {}, true, {"Save changes to C:\\a.c?"}, true, "ba\r\n"},
        {true, Answer::Yes, std::nullopt, false, {"Save changes to ?"}, true, ""},
        {true, Answer::Yes, "C:\\new.c", false, {"Save changes to ?"}, true, "b\r\n"},
    };
    for (const auto& c : cases) {
        t.put("C:\\a.c", "a\r\n");
        ui.shown.clear();
        ui.fileDialogs.clear();
        ui.answers = {c.answer};
        ui.files = {c.saveAs};
        TCodeEd& w = c.named ? *ed.LoadFile("C:\\a.c", 1) : ed.NewFile1Click();
        if (c.edit) w.userEdit(0, 0, u"b");
        EXPECT_EQ(w.Close1Click(), c.closes);
        EXPECT_EQ(ui.shown, c.shown);
        EXPECT_EQ(ed.count(), c.closes ? 0 : 1);
        EXPECT_EQ(ui.fileDialogs.size(), c.named ? 0u : 1u);
        if (c.named) {
            EXPECT_EQ(read("C:\\a.c"), c.file);
        } else if (c.saveAs) {
            EXPECT_EQ(read(*c.saveAs), c.file);
        }
        while (ed.count())
            ed.closeWindow(ed.child(0));
    }
}

TEST_F(EditorTest, NewFileSavedOnceUnderANameThenClosesWithoutAQuestion) {
    TCodeEd& w = ed.NewFile1Click();
    w.userEdit(0, 0, u"void main() {}");
    ui.files = {"C:\\prog.c"};
    w.Save1Click();
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_EQ(ui.fileDialogs[0].fileName, "");
    EXPECT_EQ(w.caption(), "prog.c");
    EXPECT_TRUE(w.Close1Click());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(read("C:\\prog.c"), "void main() {}\r\n");
}

// A file shown read-only (a tool named it outside the project) is never written under its name:
// the model's own edits leave it alone and Save asks where the copy goes.
TEST_F(EditorTest, AReadOnlyWindowKeepsItsFileAndSavesOnlyAsACopy) {
    t.put("C:\\etc\\passwd", "root:x:0:0\r\n");
    TCodeEd* w = ed.LoadFile("C:\\etc\\passwd", 1);
    ASSERT_NE(w, nullptr);
    w->setReadOnly(true);
    EXPECT_EQ(w->caption(), "passwd (read-only)");
    w->select(0, 4);
    w->replaceSelection(u"evil");
    w->ReplaceDialogReplace(u"root", u"evil");
    ui.shown.clear();
    EXPECT_EQ(w->ReplaceAllClick(u"root", u"evil", {}), 0u);
    EXPECT_EQ(ui.shown, std::vector<std::string>{"passwd is open read-only.\rNothing was replaced."});
    EXPECT_FALSE(w->modified());
    ui.files = {"C:\\copy.txt"};
    w->Save1Click();
    EXPECT_EQ(read("C:\\etc\\passwd"), "root:x:0:0\r\n");
    EXPECT_EQ(read("C:\\copy.txt"), "root:x:0:0\r\n");
    EXPECT_FALSE(w->readOnly());
    EXPECT_EQ(w->caption(), "copy.txt");
}

TEST_F(EditorTest, SetFontAppliesTheChosenFontToThisWindowAndItsLaterLoads) {
    t.put("C:\\a.c", "a");
    TCodeEd& w = ed.NewFile1Click();
    TCodeEd& other = ed.NewFile1Click();
    const FontSpec courier{"Courier New", 12, false, true};
    ui.fonts = {std::nullopt, courier};
    w.Setfont(); // cancelled
    EXPECT_EQ(w.font(), (FontSpec{"Arial", 10, true}));
    w.Setfont();
    EXPECT_EQ(w.font(), courier);
    w.LoadFile("C:\\a.c", 1);
    EXPECT_EQ(w.font(), courier);
    EXPECT_EQ(other.font(), (FontSpec{"Arial", 10, true}));
}

TEST_F(EditorTest, SelectAllAndModelEditsReachTheView) {
    TCodeEd& w = window(u"abc\ndef");
    std::vector<TCodeEd::Change> seen;
    w.observe([&](TCodeEd::Change c) { seen.push_back(c); });
    w.SelectAll1Click();
    EXPECT_EQ(sel(w), Sel(0, 7));
    w.ReplaceDialogReplace(u"def", u"xy");
    EXPECT_EQ(w.lastEdit().position, 4u);
    EXPECT_EQ(w.lastEdit().removed, 3u);
    EXPECT_EQ(w.lastEdit().inserted, u"xy");
    using C = TCodeEd::Change;
    EXPECT_EQ(seen, (std::vector<C>{C::Selection, C::Selection, C::Modified, C::Edit, C::Selection}));
}

} // namespace
} // namespace halyard::test
