// SPDX-License-Identifier: GPL-3.0-or-later
// Find in Files with the real panel on the sample project.
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

#include "sample_project.h"

using namespace halyard;

namespace {

using FindInFilesGui = test::SampleProject;

TEST_F(FindInFilesGui, CtrlShiftFOnAWordListsEveryUseAndOpensItsLine) {
    gui::CodeEdWindow* view = open("C:\\Halyard\\demo\\main.c");
    ASSERT_TRUE(view);
    QPlainTextEdit* edit = view->CodeEditor();
    edit->setFocus();
    QTextCursor c = edit->textCursor();
    c.setPosition(static_cast<int>(view->model()->text().find(u"leds_show(pattern)") + 3));
    edit->setTextCursor(c);
    QTest::keyClick(edit, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::processEvents();
    auto* dock = window.findChild<QDockWidget*>("FindInFilesDock");
    ASSERT_TRUE(dock && dock->isVisible());
    auto* what = window.findChild<QComboBox*>("FindWhat");
    EXPECT_EQ(what->currentText(), "leds_show") << "the word at the caret";
    QTest::keyClick(what, Qt::Key_Return);
    auto* stop = window.findChild<QPushButton*>("FindStop");
    ASSERT_TRUE(until([&] { return !stop->isEnabled(); }));

    auto* hits = window.findChild<QTreeWidget*>("FindResults");
    std::vector<std::pair<std::string, int>> found;
    for (int i = 0; i < hits->topLevelItemCount(); ++i)
        found.emplace_back(hits->topLevelItem(i)->text(0).toStdString(),
                           hits->topLevelItem(i)->text(1).toInt());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::pair<std::string, int>>{{"C:\\Halyard\\demo\\demo.h", 14},
                                                               {"C:\\Halyard\\demo\\leds.c", 10},
                                                               {"C:\\Halyard\\demo\\main.c", 14},
                                                               {"C:\\Halyard\\demo\\main.c", 20}}));
    EXPECT_TRUE(window.findChild<QLabel*>("FindTotals")->text().contains(": 4 matches"));
    shoot("find-in-files.png");

    // Enter on a hit opens its file at the line.
    for (int i = 0; i < hits->topLevelItemCount(); ++i)
        if (hits->topLevelItem(i)->text(0).endsWith("leds.c")) hits->setCurrentItem(hits->topLevelItem(i));
    hits->setFocus();
    emit hits->itemActivated(hits->currentItem(), 0);
    QApplication::processEvents();
    gui::CodeEdWindow* leds = active();
    ASSERT_TRUE(leds && leds->model());
    EXPECT_EQ(leds->model()->caption(), "leds.c");
    EXPECT_EQ(leds->model()->lineOf(leds->model()->selStart()), 9u);

    // Shift+F12 lists the uses of the name at the caret, as a whole word.
    QTextCursor at = leds->CodeEditor()->textCursor();
    at.setPosition(static_cast<int>(leds->model()->text().find(u"leds_show") + 2));
    leds->CodeEditor()->setTextCursor(at);
    leds->CodeEditor()->setFocus();
    QTest::keyClick(leds->CodeEditor(), Qt::Key_F12, Qt::ShiftModifier);
    ASSERT_TRUE(until([&] { return !stop->isEnabled() && hits->topLevelItemCount() > 0; }));
    EXPECT_EQ(hits->topLevelItemCount(), 4);
    EXPECT_TRUE(window.findChild<QCheckBox*>("FindWord")->isChecked());

    // A regular expression that is none says so and starts nothing.
    what->setEditText("leds_(");
    window.findChild<QCheckBox*>("FindRegex")->setChecked(true);
    window.findChild<QPushButton*>("FindStart")->click();
    EXPECT_TRUE(window.findChild<QLabel*>("FindTotals")->text().contains("is not a regular expression"));
}

// A pipe among the project's entries and links that loop in a searched folder: the search walks and
// reads on its worker, ends on its own, and says what it left.
TEST_F(FindInFilesGui, PipesAndLoopingLinksNeitherHangNorMultiplyTheSearch) {
    const std::filesystem::path demo = dd.toHost("C:\\Halyard\\demo");
    ASSERT_EQ(::mkfifo((demo / "pipe.c").c_str(), 0600), 0);
    std::filesystem::create_directory_symlink(".", demo / "a");
    std::filesystem::create_directory_symlink(".", demo / "b");
    model.ProjectListBox.add("C:\\Halyard\\demo\\pipe.c");
    auto* what = window.findChild<QComboBox*>("FindWhat");
    auto* stop = window.findChild<QPushButton*>("FindStop");
    auto* hits = window.findChild<QTreeWidget*>("FindResults");
    auto* totals = window.findChild<QLabel*>("FindTotals");
    what->setEditText("leds_show");
    window.findChild<QPushButton*>("FindStart")->click();
    ASSERT_TRUE(until([&] { return !stop->isEnabled(); }));
    EXPECT_EQ(hits->topLevelItemCount(), 4);
    EXPECT_TRUE(totals->text().contains(": 4 matches, 1 unreadable")) << totals->text().toStdString();

    window.findChild<QComboBox*>("FindScope")->setCurrentIndex(2);
    window.findChild<QLineEdit*>("FindFolder")->setText("C:\\Halyard");
    window.findChild<QPushButton*>("FindStart")->click();
    ASSERT_TRUE(until([&] { return !stop->isEnabled(); }));
    EXPECT_EQ(hits->topLevelItemCount(), 4) << "each file once, not once per way round the loop";
}

} // namespace
