// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <gtest/gtest.h>

#include "editor/code_ed_window.h"
#include "editor/code_text.h"
#include "editor/editor_dialogs.h"
#include "gui_fixture.h"
#include "shell/main_window.h"
#include "support/fakes.h"

using namespace halyard;

namespace {

struct EditorGui : test::GuiFixture {

    EditorGui() {
        window.show();
        settle();
    }
    static void settle() {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
    QStringList menuBar() const {
        QStringList out;
        for (QAction* a : window.menuBar()->actions())
            out << a->text();
        return out;
    }
    QList<gui::CodeEdWindow*> views() const {
        QList<gui::CodeEdWindow*> out;
        for (QMdiSubWindow* s : window.mdiArea()->subWindowList())
            if (auto* v = qobject_cast<gui::CodeEdWindow*>(s->widget())) out << v;
        return out;
    }
    gui::CodeEdWindow* active() const {
        QMdiSubWindow* s = window.mdiArea()->activeSubWindow();
        return s ? qobject_cast<gui::CodeEdWindow*>(s->widget()) : nullptr;
    }
    static void type(QWidget* w, const QString& text) {
        for (QChar c : text) {
            const int key = c == '\n' ? int(Qt::Key_Return) : int(c.unicode());
            const QString t = c == '\n' ? QString("\r") : QString(c);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, t);
            QApplication::sendEvent(w, &press);
        }
    }
    static void clickAt(QPlainTextEdit* edit, int position) {
        QTextCursor c(edit->document());
        c.setPosition(position);
        const QPoint at = edit->cursorRect(c).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, edit->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, edit->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(edit->viewport(), &press);
        QApplication::sendEvent(edit->viewport(), &release);
    }
};

const QStringList MainMenus{"&File", "Project", "&Edit Batch",  "Options", "Int Vectors", "Libraries",
                            "Tools", "Program", "Command File", "Window",  "&Help"};

TEST_F(EditorGui, AnActiveEditorMergesItsMenusAndClosingItRestoresTheMainOnes) {
    model.menu.NewFile1.click();
    settle();
    ASSERT_EQ(views().size(), 1);
    gui::CodeEdWindow* view = active();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), "Code Editor[*]"); // the frame's modified mark, shown while modified
    EXPECT_EQ(view->size(), QSize(492, 250));
    EXPECT_EQ(menuBar(), (QStringList{"&File", "&Edit Batch", "&Edit", "Search", "Options", "Int Vectors",
                                      "Libraries", "Tools", "Program", "Command File", "Window", "&Help"}));
    QStringList items;
    for (QMenu* m : view->menus())
        for (QAction* a : m->actions())
            items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, (QStringList{"&Open File",
                                  "&New File",
                                  "Close File",
                                  "&Save File",
                                  "Save File &As",
                                  "-",
                                  "Save Object File",
                                  "-",
                                  "S&ave All",
                                  "&Close All",
                                  "-",
                                  "Print Setup",
                                  "&Print",
                                  "-",
                                  "&Exit",
                                  "&Undo",
                                  "&Redo",
                                  "-",
                                  "&Cut",
                                  "C&opy",
                                  "&Paste",
                                  "&Delete",
                                  "-",
                                  "&Select All",
                                  "-",
                                  "Set &Font",
                                  "Find",
                                  "Replace",
                                  "Find Error",
                                  "Go to Line",
                                  "Find in Files",
                                  "Find References",
                                  "Go to Definition",
                                  "Back",
                                  "Complete Name"}));
    EXPECT_EQ(window.menuBar()->actions().at(0), view->menus()[0]->menuAction());

    view->menus()[0]->actions().at(2)->trigger(); // Close File: unmodified, no question
    settle();
    EXPECT_TRUE(views().isEmpty());
    EXPECT_EQ(model.editors.count(), 0);
    EXPECT_EQ(menuBar(), MainMenus);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(EditorGui, OpeningAFileShowsItsNameFontAndLineCountAndTheWindowMenu) {
    drives.put("C:\\src\\main.c", "int a;\r\nint b;\r\n");
    ui.files = {"C:\\src\\main.c"};
    window.actionFor(model.menu.OpenFile)->trigger();
    settle();
    gui::CodeEdWindow* view = active();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->windowTitle(), "main.c[*]");
    EXPECT_EQ(view->CodeEditor()->toPlainText(), "int a;\nint b;");
    EXPECT_EQ(view->CodeEditor()->font().family(), "MS Sans Serif");
    EXPECT_EQ(view->CodeEditor()->font().pointSize(), 8);
    EXPECT_EQ(view->statusPanel(1)->text(), "2");
    EXPECT_EQ(view->CodeEditor()->textCursor().position(), 1);
    EXPECT_TRUE(window.actionFor(model.menu.Window1)->isVisible());
    const int widths[] = {120, 50, 130, 30, 50, 50};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(view->statusPanel(i)->width(), widths[i]);
    EXPECT_GE(view->statusPanel(5)->width(), widths[5]);

    model.menu.NewFile1.click();
    settle();
    EXPECT_EQ(active()->CodeEditor()->font().family(), "Arial");
    EXPECT_TRUE(active()->CodeEditor()->font().bold());
    EXPECT_EQ(active()->CodeEditor()->font().pointSize(), 10);
}

TEST_F(EditorGui, ABinaryFileOpensNoWindowAndSaysWhy) {
    drives.put("C:\\src\\demo.out", std::string("\x7f"
                                                "ELF\0\0",
                                                6));
    ui.files = {"C:\\src\\demo.out"};
    window.actionFor(model.menu.OpenFile)->trigger();
    settle();
    EXPECT_TRUE(views().isEmpty());
    EXPECT_EQ(ui.errors,
              std::vector<std::string>{"Cannot open file C:\\src\\demo.out\rIt is not a text file."});
}

TEST_F(EditorGui, ClickingOnACompilerMessageShowsItsFileAndNumber) {
    drives.put("C:\\Outputfile.txt", "cl370 output\r\nmain.c 27: message\r\n");
    model.CompilerOutputFile = "C:\\Outputfile.txt";
    window.actionFor(model.menu.ViewCompilerOP)->trigger();
    settle();
    gui::CodeEdWindow* view = active();
    ASSERT_NE(view, nullptr);
    clickAt(view->CodeEditor(), 16);
    EXPECT_EQ(view->statusPanel(0)->text(), "Line:   2   Col:   4");
    EXPECT_EQ(view->statusPanel(2)->text(), "main.c");
    EXPECT_EQ(view->statusPanel(4)->text(), "27");
}

TEST_F(EditorGui, TypingReachesTheModelAndTheCloseQuestionCanKeepTheWindow) {
    model.menu.NewFile1.click();
    settle();
    gui::CodeEdWindow* view = active();
    type(view->CodeEditor(), "ab\ncd");
    ASSERT_NE(view->model(), nullptr);
    EXPECT_EQ(view->model()->text(), u"ab\ncd");
    EXPECT_TRUE(view->model()->modified());
    EXPECT_EQ(view->statusPanel(0)->text(), "Line:   2   Col:   3");

    ui.answers = {Answer::Cancel};
    view->subWindow()->close();
    settle();
    EXPECT_EQ(ui.shown, std::vector<std::string>{"Save changes to ?"});
    ASSERT_EQ(views().size(), 1);

    // Closing the main window asks again: "Cancel" keeps Halyard open with its Window menu.
    model.menu.Window1.setVisible(true);
    ui.answers = {Answer::Cancel};
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(model.menu.Window1.visible());
    ASSERT_EQ(views().size(), 1);
    // "No" lets Halyard close.
    ui.answers = {Answer::No};
    EXPECT_TRUE(window.close());
    settle();
    EXPECT_TRUE(views().isEmpty());
}

TEST_F(EditorGui, TheEditorsExitClosesHalyardThroughTheMainWindowsOwnClose) {
    model.menu.NewFile1.click();
    settle();
    gui::CodeEdWindow* view = active();
    type(view->CodeEditor(), "x");
    QAction* exit = nullptr;
    for (QAction* a : view->menus()[0]->actions())
        if (a->text() == "&Exit") exit = a;
    ASSERT_NE(exit, nullptr);

    ui.answers = {Answer::Cancel};
    exit->trigger();
    settle();
    EXPECT_EQ(ui.shown, std::vector<std::string>{"Save changes to ?"});
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(views().size(), 1);
    EXPECT_EQ(settings.values.count("Drive"), 0u);

    ui.answers = {Answer::No};
    exit->trigger();
    settle();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(settings.values["Drive"].text, "C:\\"); // the closing steps ran
}

TEST_F(EditorGui, FindErrorAndTheReplaceDialogWorkOnTheShownText) {
    model.menu.NewFile1.click();
    settle();
    gui::CodeEdWindow* view = active();
    type(view->CodeEditor(), "x ERROR[1]\ny error[2] z");
    view->CodeEditor()->moveCursor(QTextCursor::Start);
    QAction* findError = view->menus()[2]->actions().at(2);
    findError->trigger();
    findError->trigger();
    findError->trigger();
    EXPECT_EQ(view->CodeEditor()->textCursor().selectionStart(), 13);
    EXPECT_EQ(view->CodeEditor()->textCursor().selectedText(), "error[");

    view->menus()[2]->actions().at(1)->trigger(); // Replace
    gui::FindReplaceDialog* replace = view->ReplaceDialog();
    EXPECT_TRUE(replace->isVisible());
    view->CodeEditor()->moveCursor(QTextCursor::Start);
    replace->findEdit()->setText("y ");
    replace->findNextButton()->click(); // its own find text, not the find dialog's
    EXPECT_EQ(view->CodeEditor()->textCursor().selectionStart(), 11);
    // Its Find Next ignores letter case, as every search does unless asked.
    EXPECT_FALSE(replace->matchCaseBox()->isChecked());
    view->CodeEditor()->moveCursor(QTextCursor::Start);
    replace->findEdit()->setText("Error");
    replace->findNextButton()->click();
    EXPECT_EQ(view->CodeEditor()->textCursor().selectedText(), "ERROR");
    replace->replaceEdit()->setText("Y-");
    replace->findEdit()->setText("ERROR");
    replace->replaceAllButton()->click();
    EXPECT_EQ(view->CodeEditor()->toPlainText(), "x Y-[1]\ny error[2] z");
    EXPECT_EQ(view->model()->text(), view->CodeEditor()->toPlainText().toStdU16String());
}

// Replace All replaces every occurrence, in the whole text whatever the caret, says how many, and
// one Undo takes them all back; the dialogs' "Match case" and "Whole word" decide what occurs.
TEST_F(EditorGui, ReplaceAllReplacesEveryOccurrenceAsOneUndoStep) {
    model.menu.NewFile1.click();
    settle();
    gui::CodeEdWindow* view = active();
    const QString text = "int a; print(x);\nINT b; int c;";
    type(view->CodeEditor(), text);
    view->CodeEditor()->moveCursor(QTextCursor::End); // the caret after every occurrence
    view->menus()[2]->actions().at(1)->trigger();     // Replace
    gui::FindReplaceDialog* replace = view->ReplaceDialog();
    EXPECT_FALSE(replace->wholeWordBox()->isChecked());
    replace->findEdit()->setText("int");
    replace->replaceEdit()->setText("long");
    replace->wholeWordBox()->click();
    ui.shown.clear();
    replace->replaceAllButton()->click();
    EXPECT_EQ(view->CodeEditor()->toPlainText(), "long a; print(x);\nINT b; long c;");
    EXPECT_EQ(ui.shown, std::vector<std::string>{"Replaced 2 occurrences of \"int\""});
    EXPECT_EQ(view->model()->text(), view->CodeEditor()->toPlainText().toStdU16String());

    view->CodeEditor()->undo();
    EXPECT_EQ(view->CodeEditor()->toPlainText(), text);
    EXPECT_EQ(view->model()->text(), text.toStdU16String());

    // Replace keeps to letter case, also when "Match case" is off for Find Next.
    replace->wholeWordBox()->click();
    replace->replaceAllButton()->click();
    EXPECT_EQ(view->CodeEditor()->toPlainText(), "long a; prlong(x);\nINT b; long c;");

    // The Find dialog ignores case unless asked.
    view->CodeEditor()->moveCursor(QTextCursor::Start);
    view->menus()[2]->actions().at(0)->trigger(); // Find
    gui::FindReplaceDialog* find = view->FindDialog();
    EXPECT_FALSE(find->matchCaseBox()->isChecked());
    find->findEdit()->setText("LONG");
    find->findNextButton()->click();
    EXPECT_EQ(view->CodeEditor()->textCursor().selectionStart(), 0);
    find->matchCaseBox()->click();
    view->CodeEditor()->moveCursor(QTextCursor::Start);
    find->findNextButton()->click();
    EXPECT_FALSE(view->CodeEditor()->textCursor().hasSelection());
}

TEST_F(EditorGui, ARichTextFileIsShownFormatted) {
    drives.put("C:\\notes.rtf", "{\\rtf1{\\fonttbl{\\f0 Courier New;}}{\\colortbl;\\red255\\green0\\blue0;}"
                                "\\pard\\qc\\b\\fs40 Title\\b0\\par\\pard\\f0\\fs20\\cf1 red\\par}");
    model.editors.LoadFile("C:\\notes.rtf", 1);
    settle();
    QPlainTextEdit* edit = active()->CodeEditor();
    EXPECT_EQ(edit->toPlainText(), "Title\nred");
    QTextCursor c(edit->document());
    c.setPosition(2);
    EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(c.charFormat().fontPointSize(), 20);
    EXPECT_EQ(c.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    c.setPosition(8);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(c.charFormat().fontFamilies().toStringList(), QStringList{"Courier New"});
    EXPECT_FALSE(active()->model()->modified());
}

TEST_F(EditorGui, TypingStopsAtTwoMillionCharactersAndALongerLoadedFileStaysWhole) {
    auto lines = [](size_t size, char c) {
        std::string text(size, c);
        for (size_t i = 79; i < size; i += 80)
            text[i] = '\n';
        return text;
    };
    const std::string full = lines(TCodeEd::MaxLength - 2, 'a');
    const std::string longer = lines(TCodeEd::MaxLength + 10, 'b');
    drives.put("C:\\full.txt", full);
    drives.put("C:\\longer.txt", longer);
    for (const auto& [file, typed, expected] :
         {std::tuple{"C:\\full.txt", "wxyz", full + "wx"}, std::tuple{"C:\\longer.txt", "x", longer}}) {
        model.editors.LoadFile(file, 1);
        settle();
        gui::CodeEdWindow* view = active();
        view->CodeEditor()->moveCursor(QTextCursor::End);
        type(view->CodeEditor(), typed);
        settle();
        EXPECT_EQ(view->model()->text().size(), expected.size()) << file;
        EXPECT_EQ(view->model()->text().substr(expected.size() - 4),
                  FromUtf8(expected.substr(expected.size() - 4)));
        EXPECT_EQ(view->CodeEditor()->document()->characterCount() - 1, static_cast<int>(expected.size()));
        // A refused key is no silent loss: the window's status bar says why.
        auto* bar = view->findChild<QStatusBar*>("StatusBar");
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(bar->currentMessage().contains("at most")) << bar->currentMessage().toStdString();
    }
}

TEST_F(EditorGui, TheFontDialogOffersAColourBesidesStrikeOutAndUnderline) {
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFontDialog*>(w);
            if (!dialog || !dialog->isVisible()) continue;
            if (auto* colours = dialog->findChild<QComboBox*>("FontColour"))
                colours->setCurrentIndex(colours->findText("Red"));
            dialog->accept();
        }
    });
    const auto chosen = gui::runFontDialog(FontSpec{"Arial", 10, true}, 5, 15, &window);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->color, 0xFF0000u);
}

} // namespace

TEST_F(EditorGui, FindAndReplaceTakeTheKeyboardEvenWhenAlreadyOpen) {
    model.menu.NewFile1.click();
    settle();
    gui::CodeEdWindow* view = active();
    for (int item : {0, 1}) {
        QAction* command = view->menus()[2]->actions().at(item);
        command->trigger();
        settle();
        QDialog* dialog = item == 0 ? static_cast<QDialog*>(view->FindDialog()) : view->ReplaceDialog();
        EXPECT_EQ(QApplication::activeWindow(), dialog) << item;
        // The user goes back to the text with the dialog still open, then asks again.
        window.activateWindow();
        settle();
        command->trigger();
        settle();
        EXPECT_EQ(QApplication::activeWindow(), dialog) << item;
        dialog->hide();
    }
}
