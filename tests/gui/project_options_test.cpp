// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "shell/main_window.h"
#include "support/fakes.h"

using namespace halyard;

namespace {

struct ProjectGui : test::GuiFixture {

    void SetUp() override {
        for (const char* dir : {"C:\\texassource", "C:\\CL370", "C:\\Halyard"})
            drives.dd.createDir(dir);
        model.InitStateDefaults();
        model.ProjectPath = "C:\\Halyard\\demo.prj";
        model.startupDone = true;
        window.show();
    }

    template <class W> W* find(const char* parent, const char* name) {
        auto* p = window.findChild<QWidget*>(parent);
        EXPECT_NE(p, nullptr) << parent;
        auto* w = p ? p->findChild<W*>(name) : nullptr;
        EXPECT_NE(w, nullptr) << parent << "/" << name;
        return w;
    }
    // The first button of that name on the page currently shown.
    QPushButton* pageButton(const char* tabs, const char* name) {
        auto* t = window.findChild<QTabWidget*>(tabs);
        return t->currentWidget()->findChild<QPushButton*>(name);
    }
    void click(QAbstractButton* b) {
        ASSERT_NE(b, nullptr);
        b->click();
    }
    // Typed as keys, so the edit reports a user edit.
    static void type(QWidget* w, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }
    // A mouse click on a list row, as the user makes it.
    static void clickRow(QListWidget* list, int row) {
        const QPointF at = list->visualItemRect(list->item(row)).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &press);
        QApplication::sendEvent(list->viewport(), &release);
    }
};

} // namespace

TEST_F(ProjectGui, OptionPagesCarryTheirCaptionsAndOpenFromTheMenu) {
    auto* tabs = window.findChild<QTabWidget*>("OptionsTabs");
    ASSERT_NE(tabs, nullptr);
    QStringList pages;
    for (int i = 0; i < tabs->count(); ++i)
        pages << tabs->tabText(i);
    EXPECT_EQ(pages, (QStringList{"Compiler", "General", "Tools", "Type Checking", "Assembler",
                                  "Run Time Model", "Optomisation"}));
    EXPECT_TRUE(tabs->isHidden());
    window.actionFor(model.menu.Proccessor1)->trigger();
    EXPECT_FALSE(tabs->isHidden());
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(find<QCheckBox>("OptionsTabs", "SpecObjLoc")->text(), "Put OBJ files in Compiler Folder");
    EXPECT_EQ(find<QCheckBox>("OptionsTabs", "PRASS")->text(), "Place return adddress on Software stack");
    EXPECT_EQ(find<QGroupBox>("OptionsTabs", "FormatBox")->title(), "Memory Format");
    EXPECT_NE(tabs->widget(2)->findChild<QPushButton*>("Accept"), nullptr);
    EXPECT_EQ(tabs->widget(2)->findChild<QPushButton*>("SetDefaults"), nullptr);
    for (int i : {0, 1, 3, 4, 5, 6})
        for (const char* b : {"OK", "Cancel", "SetDefaults", "Help"})
            EXPECT_NE(tabs->widget(i)->findChild<QPushButton*>(b), nullptr) << i << b;
    click(pageButton("OptionsTabs", "Cancel"));
    EXPECT_TRUE(tabs->isHidden());
}

TEST_F(ProjectGui, CheckBoxClickChangesTheSwitchTextAfterOk) {
    window.actionFor(model.menu.CompilerOptions)->trigger();
    auto* quiet = find<QCheckBox>("OptionsTabs", "QM");
    EXPECT_EQ(quiet->text(), "Quite Mode");
    click(quiet);
    EXPECT_TRUE(model.opts.QM.checked());
    click(pageButton("OptionsTabs", "OK"));
    EXPECT_EQ(model.CompilerCmdLine, "-q -g -ms ");
    EXPECT_EQ(window.statusPanel(3)->text(), "-q -g -ms ");
    EXPECT_TRUE(window.findChild<QTabWidget*>("OptionsTabs")->isHidden());
}

TEST_F(ProjectGui, SmallFormatDisablesNonReAndLargeEnablesIt) {
    window.actionFor(model.menu.Proccessor1)->trigger();
    auto* format = find<QGroupBox>("OptionsTabs", "FormatBox");
    auto radios = format->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    auto* nonRe = find<QCheckBox>("OptionsTabs", "NonRe");
    click(radios[1]); // "Large"
    EXPECT_TRUE(nonRe->isEnabled());
    EXPECT_EQ(nonRe->toolTip(), "Generate Non Re-Entrant code");
    click(radios[0]); // "Small"
    EXPECT_FALSE(nonRe->isEnabled());
    EXPECT_TRUE(nonRe->isChecked());
    EXPECT_EQ(nonRe->toolTip(), "Code is always Non Re-Entrant in Small Model");
}

TEST_F(ProjectGui, OptimisationLevelUpDownDrivesTheLevelThreeChoices) {
    auto* tabs = window.findChild<QTabWidget*>("OptionsTabs");
    window.actionFor(model.menu.CompilerOptions)->trigger();
    tabs->setCurrentIndex(6);
    auto* setOpt = find<QCheckBox>("OptionsTabs", "SetOpt");
    auto* level = find<QLineEdit>("OptionsTabs", "Optlevel");
    auto* up = find<QAbstractButton>("OptionsTabs", "OLevelUp");
    auto* l3 = find<QCheckBox>("OptionsTabs", "EnableL3Osize");
    EXPECT_FALSE(level->isEnabled());
    click(setOpt);
    EXPECT_TRUE(level->isEnabled());
    EXPECT_EQ(level->text(), "2");
    EXPECT_FALSE(l3->isEnabled());
    click(up);
    click(up); // no wrap-around past 3
    EXPECT_EQ(level->text(), "3");
    EXPECT_TRUE(l3->isEnabled());
    // The arrow keys in the edit step the level as the buttons do.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(level, &down);
    EXPECT_EQ(level->text(), "2");
    EXPECT_FALSE(l3->isEnabled());
    QKeyEvent upKey(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(level, &upKey);
    EXPECT_EQ(level->text(), "3");
    EXPECT_TRUE(l3->isEnabled());
    auto* size = find<QLineEdit>("OptionsTabs", "L3OSize");
    EXPECT_TRUE(size->isHidden());
    click(l3);
    EXPECT_FALSE(size->isHidden());
    click(pageButton("OptionsTabs", "OK"));
    EXPECT_EQ(model.CompilerCmdLine, "-g -ms -o3 -oi0 ");
}

TEST_F(ProjectGui, LinkerSetDefaultsThenOkGivesTheDefaultLinkerText) {
    window.actionFor(model.menu.LinkerOptions1)->trigger();
    auto* tabs = window.findChild<QTabWidget*>("LinkerOptions");
    ASSERT_NE(tabs, nullptr);
    EXPECT_FALSE(tabs->isHidden());
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "Output");
    click(pageButton("LinkerOptions", "SetDefaults"));
    auto* heap = find<QLineEdit>("LinkerOptions", "Heap");
    EXPECT_EQ(heap->text(), "0200h");
    EXPECT_FALSE(heap->isEnabled());
    click(pageButton("LinkerOptions", "OK"));
    EXPECT_EQ(model.LinkerCmdLine, "-z  -a -c ");
    EXPECT_TRUE(tabs->isHidden());

    window.actionFor(model.menu.LinkerOptions1)->trigger();
    tabs->setCurrentIndex(0);
    click(find<QCheckBox>("LinkerOptions", "DHS"));
    EXPECT_TRUE(heap->isEnabled());
    EXPECT_FALSE(heap->isHidden());
    heap->setFocus();
    heap->setCursorPosition(0);
    type(heap, "0300");
    EXPECT_EQ(model.opts.Heap.text(), "0300h");
    click(pageButton("LinkerOptions", "OK"));
    EXPECT_EQ(model.LinkerCmdLine, "-z  -heap 0300h  -a -c ");
}

TEST_F(ProjectGui, MaskedValueEditTakesOnlyAFullValue) {
    window.actionFor(model.menu.LinkerOptions1)->trigger();
    window.findChild<QTabWidget*>("LinkerOptions")->setCurrentIndex(0);
    click(find<QCheckBox>("LinkerOptions", "DHS"));
    auto* heap = find<QLineEdit>("LinkerOptions", "Heap");
    heap->setFocus();
    heap->selectAll();
    type(heap, "03"); // half a value: the model keeps the last full one, the user types on
    EXPECT_EQ(model.opts.Heap.text(), "0200h");
    type(heap, "A0");
    EXPECT_EQ(model.opts.Heap.text(), "03A0h");
    EXPECT_EQ(heap->text(), "03A0h");
    heap->selectAll();
    type(heap, "1");
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(heap, &out); // leaving an unfinished value takes the edit back
    EXPECT_EQ(heap->text(), "03A0h");
    auto* fill = find<QLineEdit>("LinkerOptions", "Fill");
    fill->setFocus();
    fill->setCursorPosition(0);
    type(fill, "FF");
    EXPECT_EQ(model.opts.Fill.text(), "FF00h ");
    click(pageButton("LinkerOptions", "OK"));
    EXPECT_EQ(model.LinkerCmdLine, "-z  -heap 03A0h  -a ");
}

TEST_F(ProjectGui, ProjectEditorAddsTheClickedFileAndTheSummaryShowsIt) {
    drives.put("C:\\work\\main.c", "");
    drives.put("C:\\work\\io.h", "");
    model.ProjectListBox.setItems({"C:\\work\\io.h"});
    window.actionFor(model.menu.EditProject)->trigger();
    auto* panel = window.findChild<QWidget*>("ProjEditPan");
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isHidden());
    auto* files = find<QListWidget>("ProjEditPan", "SourceListBox");
    ASSERT_EQ(files->count(), 2);
    EXPECT_EQ(find<QLabel>("ProjEditPan", "ScrDir")->toolTip(), "C:\\work");
    click(find<QPushButton>("ProjEditPan", "Button1")); // nothing selected: the mask
    clickRow(files, 1);
    click(find<QPushButton>("ProjEditPan", "Button1"));
    auto* project = find<QListWidget>("ProjEditPan", "ProjectListBox");
    ASSERT_EQ(project->count(), 3);
    EXPECT_EQ(project->item(2)->text(), "C:\\work\\main.c");
    EXPECT_EQ(project->item(1)->text(), "C:\\work\\*.c;*.h");
    // The arrow keys select as a click does, so Add takes the highlighted file.
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(files, &up);
    EXPECT_EQ(QString::fromStdString(model.projEdit.Trans.text()), files->item(0)->text());
    // A folder wider than the label keeps its drive and its own name, with "..." between them.
    const std::string deep = "C:\\work\\" + std::string(120, 'd') + "\\" + std::string(120, 'e') + "\\leaf";
    drives.dd.createDirs(deep);
    model.projEdit.setDirectory(deep);
    const QString shown = find<QLabel>("ProjEditPan", "ScrDir")->text();
    EXPECT_TRUE(shown.startsWith("C:\\...")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("\\leaf")) << shown.toStdString();
    EXPECT_LT(shown.size(), static_cast<int>(deep.size()));

    click(find<QPushButton>("ProjEditPan", "Button4"));
    EXPECT_TRUE(panel->isHidden());

    window.actionFor(model.menu.UpdateallProjectoptions1)->trigger();
    window.actionFor(model.menu.DisplayProjectList)->trigger();
    auto* dock = window.findChild<QDockWidget*>("DisplayPanel");
    ASSERT_NE(dock, nullptr);
    EXPECT_TRUE(dock->isVisible());
    auto* memo = dock->findChild<QPlainTextEdit*>("Memo2");
    ASSERT_NE(memo, nullptr);
    const QStringList rows = memo->toPlainText().split('\n');
    ASSERT_EQ(rows.size(), 66 + 1 + 3 + 3);
    EXPECT_EQ(rows[66], "SOURCE FILES.........");
    EXPECT_EQ(rows.last(), "C:\\work\\main.c");
}

TEST_F(ProjectGui, EnterInTheDirectoryListMovesToTheHighlightedFolder) {
    drives.dd.createDirs("C:\\work\\src");
    model.ProjectListBox.setItems({"C:\\work\\io.h"});
    window.actionFor(model.menu.EditProject)->trigger();
    auto* dirs = find<QListWidget>("ProjEditPan", "DirBox");
    ASSERT_NE(dirs, nullptr);
    const auto rows = dirs->findItems("src", Qt::MatchEndsWith);
    ASSERT_EQ(rows.size(), 1);
    dirs->setCurrentItem(rows[0]);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dirs, &enter);
    EXPECT_EQ(model.projEdit.DirBox.directory(), "C:\\work\\src");
}

TEST_F(ProjectGui, PageControlsShareOnePlaceAndTheOneShownLastIsInFront) {
    auto* options = window.findChild<QWidget*>("OptionsTabs");
    auto* linker = window.findChild<QWidget*>("LinkerOptions");
    ASSERT_TRUE(options && linker);
    window.actionFor(model.menu.LinkerOptions1)->trigger();
    window.actionFor(model.menu.CompilerOptions)->trigger(); // leaves the linker pages shown
    QApplication::processEvents();
    ASSERT_FALSE(options->isHidden());
    ASSERT_FALSE(linker->isHidden());
    EXPECT_EQ(options->geometry().topLeft(), linker->geometry().topLeft());
    const auto order = options->parentWidget()->children();
    EXPECT_GT(order.indexOf(options), order.indexOf(linker)); // later sibling: drawn on top
}
