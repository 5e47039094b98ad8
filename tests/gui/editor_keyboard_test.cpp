// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QShortcutEvent>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <gtest/gtest.h>

#include "editor/code_ed_window.h"
#include "editor/syntax_colours.h"
#include "gui_fixture.h"
#include "shortcuts.h"

using namespace halyard;

namespace {

struct KeyboardGui : test::GuiFixture {
    KeyboardGui() {
        window.show();
        QApplication::setActiveWindow(&window);
        settle();
    }
    static void settle() {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
    gui::CodeEdWindow* active() const {
        QMdiSubWindow* s = window.mdiArea()->activeSubWindow();
        return s ? qobject_cast<gui::CodeEdWindow*>(s->widget()) : nullptr;
    }
    gui::CodeEdWindow* open(const std::string& path, const std::string& bytes) {
        drives.put(path, bytes);
        ui.files = {path};
        window.actionFor(model.menu.OpenFile)->trigger();
        settle();
        gui::CodeEdWindow* view = active();
        if (view) view->CodeEditor()->setFocus();
        return view;
    }
    // The colour the editor paints at a character, as the colouring left it.
    static QColor colourAt(QPlainTextEdit* edit, int position) {
        const QTextBlock block = edit->document()->findBlock(position);
        for (const QTextLayout::FormatRange& r : block.layout()->formats())
            if (position - block.position() >= r.start && position - block.position() < r.start + r.length)
                return r.format.foreground().color();
        return {};
    }
};

TEST(Shortcuts, EveryKeyBelongsToOneCommandAndTheUsualCommandsHaveOne) {
    QList<QKeySequence> seen = gui::reservedKeys();
    for (const gui::ShortcutRow& row : gui::shortcutTable())
        for (const QKeySequence& key : gui::shortcutKeys(row.command)) {
            EXPECT_FALSE(seen.contains(key))
                << key.toString().toStdString() << " given twice, again to " << row.name;
            seen << key;
        }
    using gui::Shortcut;
    for (Shortcut s :
         {Shortcut::Open, Shortcut::Save, Shortcut::SaveAll, Shortcut::Print, Shortcut::Find,
          Shortcut::FindNext, Shortcut::Replace, Shortcut::Undo, Shortcut::Redo, Shortcut::Cut,
          Shortcut::Copy, Shortcut::Paste, Shortcut::SelectAll, Shortcut::CloseWindow, Shortcut::NextWindow})
        EXPECT_FALSE(gui::shortcutKeys(s).isEmpty()) << int(s);
    EXPECT_EQ(gui::shortcutKeys(Shortcut::GoToLine), QList<QKeySequence>{QKeySequence("Ctrl+G")});
}

// An active editor window takes the Project menu's place in the menu bar; the build keys still
// reach Build All and Make.
TEST_F(KeyboardGui, TheBuildKeysWorkFromAnEditorWindow) {
    gui::CodeEdWindow* view = open("C:\\src\\main.c", "int a;\r\n");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(gui::shortcutKeys(gui::Shortcut::BuildAll),
              (QList<QKeySequence>{QKeySequence(Qt::Key_F9), QKeySequence("Ctrl+B")}));
    for (const QKeySequence& key : gui::shortcutKeys(gui::Shortcut::BuildAll)) {
        ui.shown.clear();
        QTest::keySequence(view->CodeEditor(), key);
        settle();
        EXPECT_EQ(ui.shown, std::vector<std::string>{"Cant Compile,  No Project loaded"})
            << key.toString().toStdString();
    }
    // Make writes ide.bat from the options, and an empty source list stops it with a message.
    ui.shown.clear();
    QTest::keySequence(view->CodeEditor(), gui::shortcutKeys(gui::Shortcut::Make).value(0));
    settle();
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown.back(), "Number of Source Files is outside allowed Limits");
}

// "Keep editor windows open while building": a build saves the changed windows and leaves them
// where the user was; without it every build closes them.
TEST_F(KeyboardGui, ABuildKeepsTheEditorWindowsOpenWithCaretAndScrollWhenSetUpSo) {
    std::string text;
    for (int i = 1; i <= 200; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    gui::CodeEdWindow* view = open("C:\\src\\long.c", text);
    ASSERT_NE(view, nullptr);
    auto* editor = view->CodeEditor();
    QTextCursor c = editor->textCursor();
    c.setPosition(editor->document()->findBlockByNumber(150).position());
    editor->setTextCursor(c);
    editor->ensureCursorVisible();
    QTest::keyClicks(editor, "x");
    settle();
    const int caret = editor->textCursor().position();
    const int scroll = editor->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    model.KeepEditorsOpen.setChecked(true);
    model.menu.Make.click();
    settle();
    ASSERT_EQ(active(), view);
    EXPECT_EQ(drives.dd.readLines("C:\\src\\long.c")[150], "xline 151");
    EXPECT_FALSE(view->model()->modified());
    EXPECT_EQ(editor->textCursor().position(), caret);
    EXPECT_EQ(editor->verticalScrollBar()->value(), scroll);

    model.KeepEditorsOpen.setChecked(false);
    model.menu.Make.click();
    settle();
    EXPECT_TRUE(window.mdiArea()->subWindowList().isEmpty());
}

// Every key sequence any action or shortcut of Halyard's windows holds, pressed as the user presses
// it: Qt's own shortcut map decides which commands it reaches. The shortcut events are caught before
// any command runs, so a key that reaches two commands at once (Qt's "Ambiguous shortcut overload",
// after which neither runs) is seen without anything being done.
class ShortcutProbe : public QObject {
public:
    ShortcutProbe() { qApp->installEventFilter(this); }
    ~ShortcutProbe() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Shortcut) return false;
        ambiguous = ambiguous || static_cast<QShortcutEvent*>(event)->isAmbiguous();
        return true;
    }
    // The keys that reach more than one command with the focus where it is now.
    QStringList clashes(QWidget* top) {
        QList<QKeySequence> keys;
        for (QAction* a : top->findChildren<QAction*>())
            keys << a->shortcuts();
        for (QShortcut* s : top->findChildren<QShortcut*>())
            keys << s->keys();
        QStringList out;
        for (const QKeySequence& key : keys) {
            if (key.isEmpty() || key.count() != 1 || out.contains(key.toString())) continue;
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : top;
            ambiguous = false;
            QTest::keyClick(target, key[0].key(), key[0].keyboardModifiers());
            if (ambiguous) out << key.toString();
        }
        return out;
    }

private:
    bool ambiguous = false;
};

TEST_F(KeyboardGui, NoKeyReachesTwoCommandsWhereverTheFocusIs) {
    window.actionFor(model.menu.Construct1)->trigger(); // the command-file builder's page
    model.buildOutput.BuildPanel.setVisible(true);
    settle();
    ShortcutProbe probe;
    EXPECT_EQ(probe.clashes(&window), QStringList()) << "no editor window open";

    gui::CodeEdWindow* first = open("C:\\src\\a.c", "a\r\n");
    gui::CodeEdWindow* second = open("C:\\src\\b.c", "b\r\n");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(active(), second);
    EXPECT_EQ(probe.clashes(&window), QStringList()) << "in the text of the second of two editor windows";
    if (auto* panel = window.findChild<QWidget*>("BuildPanel")) {
        if (auto* list = panel->findChild<QListView*>("BuildOutputList")) list->setFocus();
        settle();
        EXPECT_EQ(probe.clashes(&window), QStringList()) << "in the Build panel";
        auto* list = panel->findChild<QListView*>("BuildOutputList");
        ASSERT_NE(list, nullptr);
        QApplication::clipboard()->setText("before");
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        EXPECT_NE(QApplication::clipboard()->text(), "before") << "Ctrl+C still copies the panel's lines";
    }
}

// The close keys, as pressed: each closes the active editor window and only that one.
TEST_F(KeyboardGui, CtrlWAndCtrlF4CloseTheActiveEditorWindow) {
    for (const QKeySequence& key : gui::shortcutKeys(gui::Shortcut::CloseWindow)) {
        SCOPED_TRACE(key.toString().toStdString());
        gui::CodeEdWindow* first = open("C:\\src\\a.c", "a\r\n");
        gui::CodeEdWindow* second = open("C:\\src\\b.c", "b\r\n");
        ASSERT_NE(first, nullptr);
        ASSERT_EQ(active(), second);
        const int before = static_cast<int>(window.mdiArea()->subWindowList().size());
        QPointer<gui::CodeEdWindow> closed(second);
        QTest::keyClick(second->CodeEditor(), key[0].key(), key[0].keyboardModifiers());
        settle();
        EXPECT_TRUE(closed.isNull());
        EXPECT_EQ(window.mdiArea()->subWindowList().size(), before - 1);
        ASSERT_TRUE(model.editors.CloseEditorFiles());
        settle();
    }
    EXPECT_TRUE(gui::shortcutKeys(gui::Shortcut::CloseWindow).contains(QKeySequence("Ctrl+W")));
}

TEST_F(KeyboardGui, CtrlSSavesTheActiveWindowAndTheModifiedMarkFollows) {
    gui::CodeEdWindow* view = open("C:\\src\\main.c", "int a;\r\n");
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->subWindow()->isWindowModified());
    QTest::keyClicks(view->CodeEditor(), "x");
    EXPECT_TRUE(view->subWindow()->isWindowModified());

    QTest::keyClick(view->CodeEditor(), Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_EQ(drives.dd.readBytes("C:\\src\\main.c"), "ixnt a;\r\n");
    EXPECT_FALSE(view->model()->modified());
    EXPECT_FALSE(view->subWindow()->isWindowModified());
    EXPECT_EQ(view->windowTitle(), "main.c[*]");
}

TEST_F(KeyboardGui, CtrlGThenTenPutsTheCaretOnLineTen) {
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    gui::CodeEdWindow* view = open("C:\\src\\lines.txt", text);
    ASSERT_NE(view, nullptr);
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        asked = true;
        auto* spin = dialog->findChild<QSpinBox*>();
        ASSERT_NE(spin, nullptr);
        QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(spin, "10");
        QTest::keyClick(spin, Qt::Key_Return);
    });
    QTest::keyClick(view->CodeEditor(), Qt::Key_G, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(asked);
    EXPECT_EQ(view->statusPanel(0)->text(), "Line:  10   Col:   1");
    EXPECT_EQ(view->CodeEditor()->textCursor().blockNumber(), 9);
    EXPECT_EQ(view->CodeEditor()->textCursor().positionInBlock(), 0);
}

TEST_F(KeyboardGui, UndoAndRedoReachTheModel) {
    gui::CodeEdWindow* view = open("C:\\src\\main.c", "int a;\r\n");
    ASSERT_NE(view, nullptr);
    QMenu* edit = view->menus()[1];
    QAction* undo = edit->actions().at(0);
    QAction* redo = edit->actions().at(1);
    EXPECT_FALSE(undo->isEnabled());
    QTest::keyClicks(view->CodeEditor(), "yz");
    EXPECT_TRUE(undo->isEnabled());
    undo->trigger();
    EXPECT_EQ(view->model()->text(), u"int a;");
    EXPECT_TRUE(redo->isEnabled());
    QTest::keyClick(view->CodeEditor(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view->model()->text(), u"iyznt a;");
}

TEST_F(KeyboardGui, CtrlTabMovesToTheNextEditorWindow) {
    gui::CodeEdWindow* first = open("C:\\src\\a.c", "a\r\n");
    gui::CodeEdWindow* second = open("C:\\src\\b.c", "b\r\n");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(active(), second);
    QTest::keyClick(second->CodeEditor(), Qt::Key_Tab, Qt::ControlModifier);
    settle();
    EXPECT_EQ(active(), first);
    EXPECT_EQ(second->model()->text(), u"b"); // no tab typed into the text
}

TEST_F(KeyboardGui, FilesAreColouredByTheirLanguageAndColoursFollowEditsAcrossLines) {
    struct Row {
        const char* path;
        const char* bytes;
        int position;
        Token kind;
    } rows[] = {
        {"C:\\src\\main.c", "int main(void)\r\n{ return 0; } /* x */\r\n", 2, Token::Type},
        {"C:\\src\\main.c", "int main(void)\r\n{ return 0; } /* x */\r\n", 17, Token::Keyword},
        {"C:\\src\\main.c", "int main(void)\r\n{ return 0; } /* x */\r\n", 30, Token::Comment},
        {"C:\\texassource\\intvecs.asm", "        .word _c_int00 ; reset\r\n", 9, Token::Directive},
        {"C:\\TexasSource\\lnk.cmd", "MEMORY\r\n{ ROM : origin = 2000h }\r\n", 15, Token::Keyword},
        {"C:\\texassource\\ide.bat", "REM build\r\n", 5, Token::Comment},
    };
    for (const Row& r : rows) {
        gui::CodeEdWindow* view = open(r.path, r.bytes);
        ASSERT_NE(view, nullptr) << r.path;
        EXPECT_EQ(colourAt(view->CodeEditor(), r.position), gui::SyntaxColours::colour(r.kind, false))
            << r.path << " at " << r.position;
    }

    // Opening a comment on the first line colours the lines below it.
    gui::CodeEdWindow* view = open("C:\\src\\two.c", "int a;\r\nint b;\r\n");
    ASSERT_NE(view, nullptr);
    QTextCursor c = view->CodeEditor()->textCursor();
    c.setPosition(0);
    view->CodeEditor()->setTextCursor(c);
    QTest::keyClicks(view->CodeEditor(), "/*");
    EXPECT_EQ(colourAt(view->CodeEditor(), 10), gui::SyntaxColours::colour(Token::Comment, false));
    EXPECT_EQ(view->model()->text(), u"/*int a;\nint b;");
}

// "/*" at the top of a long file: the lines on screen turn to comment at once, the rest follow from
// the event loop, and a key typed meanwhile is taken; taking the comment back leaves no stray colour.
TEST_F(KeyboardGui, ACommentOpenedAtTheTopRecoloursTheRestWithoutHoldingUpTyping) {
    std::string bytes;
    for (int i = 0; i < 60'000; ++i)
        bytes += "int a" + std::to_string(i) + " = 1; // n\r\n";
    gui::CodeEdWindow* view = open("C:\\src\\long.c", bytes);
    ASSERT_NE(view, nullptr);
    QPlainTextEdit* edit = view->CodeEditor();
    // Inside the last line's "int" (the file's last line end leaves an empty block after it).
    auto last = [edit] { return edit->document()->lastBlock().previous().position() + 1; };
    const QColor comment = gui::SyntaxColours::colour(Token::Comment, false);
    const QColor type = gui::SyntaxColours::colour(Token::Type, false);
    QTextCursor c = edit->textCursor();
    c.setPosition(0);
    edit->setTextCursor(c);
    edit->ensureCursorVisible();
    QTest::keyClicks(edit, "/*");
    EXPECT_EQ(colourAt(edit, 12), comment) << "the second line, on screen";
    EXPECT_NE(colourAt(edit, last()), comment) << "not all 60,000 lines at once";
    QTest::keyClicks(edit, "x");
    for (int i = 0; i < 1000 && colourAt(edit, last()) != comment; ++i)
        QApplication::processEvents();
    EXPECT_EQ(colourAt(edit, last()), comment);
    EXPECT_EQ(view->model()->text().substr(0, 8), u"/*xint a");

    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (int i = 0; i < 1000 && colourAt(edit, last()) != type; ++i)
        QApplication::processEvents();
    EXPECT_EQ(colourAt(edit, last()), type);
    EXPECT_EQ(colourAt(edit, 0), type);
}

TEST_F(KeyboardGui, StatusPanelsCarryTheirWholeTextAsToolTip) {
    const std::string created = "Created C:\\texassource\\demo.out";
    model.StatusBar.setText(3, created);
    for (int i = 0; i < model.StatusBar.count(); ++i)
        EXPECT_EQ(window.statusPanel(i)->toolTip().toStdString(), model.StatusBar.panel(i).text) << i;
    EXPECT_EQ(window.statusPanel(3)->toolTip().toStdString(), created);

    gui::CodeEdWindow* view = open("C:\\src\\out.txt", "a_rather_long_file_name.c 27: message\r\n");
    ASSERT_NE(view, nullptr);
    QTest::keyClick(view->CodeEditor(), Qt::Key_Right);
    EXPECT_EQ(view->statusPanel(2)->toolTip(), "a_rather_long_file_name.c");
    EXPECT_EQ(view->statusPanel(0)->toolTip(), "Line:   1   Col:   3");
}

} // namespace
