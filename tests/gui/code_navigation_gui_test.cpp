// SPDX-License-Identifier: GPL-3.0-or-later
// Go to Definition, Back, the Symbols dock and completion with the real widgets and the real ctags
// on the sample project.
#include <QAbstractItemView>
#include <QCompleter>
#include <QDockWidget>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

#include "sample_project.h"
#include "search/symbol_index.h"

using namespace halyard;

namespace {

struct CodeNavigationGui : test::SampleProject {
    void SetUp() override {
        if (SymbolIndex::FindCtags().empty()) GTEST_SKIP() << SymbolIndex::MissingCtagsText;
        SampleProject::SetUp();
    }
    QTreeWidget* symbols() const { return window.findChild<QTreeWidget*>("SymbolList"); }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < symbols()->topLevelItemCount(); ++i)
            names << symbols()->topLevelItem(i)->text(0);
        return names;
    }
    void caretAt(gui::CodeEdWindow* view, const std::u16string& text, size_t offset = 0) {
        QTextCursor c = view->CodeEditor()->textCursor();
        c.setPosition(static_cast<int>(view->model()->text().find(text) + offset));
        view->CodeEditor()->setTextCursor(c);
    }
};

TEST_F(CodeNavigationGui, F12OpensTheDefinitionAndAltLeftComesBack) {
    gui::CodeEdWindow* main = open("C:\\Halyard\\demo\\main.c");
    ASSERT_TRUE(main);
    ASSERT_TRUE(until([&] { return listed().contains("main"); })) << "the Symbols dock lists main.c's main";
    EXPECT_TRUE(listed().contains("pattern"));

    QPlainTextEdit* edit = main->CodeEditor();
    edit->setFocus();
    caretAt(main, u"timer_elapsed(last)", 4);
    const size_t from = main->model()->selStart();
    QTest::keyClick(edit, Qt::Key_F12);
    QApplication::processEvents();
    gui::CodeEdWindow* timer = active();
    ASSERT_TRUE(timer && timer->model());
    EXPECT_EQ(timer->model()->caption(), "timer.c");
    EXPECT_EQ(timer->model()->lineOf(timer->model()->selStart()), 20u);
    EXPECT_EQ(timer->model()->selLength(), std::string("timer_elapsed").size());
    EXPECT_TRUE(listed().contains("timer_elapsed")) << "the dock follows the active window";

    QTest::keyClick(timer->CodeEditor(), Qt::Key_Left, Qt::AltModifier);
    QApplication::processEvents();
    ASSERT_EQ(active(), main);
    EXPECT_EQ(main->model()->selStart(), from);

    // Ctrl+click on a name goes there as well.
    caretAt(main, u"leds_init();", 0);
    const QPoint name = edit->cursorRect().center() + QPoint(8, 0);
    caretAt(main, u"banner", 0);
    QTest::mouseClick(edit->viewport(), Qt::LeftButton, Qt::ControlModifier, name);
    ASSERT_TRUE(
        until([&] { return active() && active()->model() && active()->model()->caption() == "leds.c"; }));
    QTest::keyClick(active()->CodeEditor(), Qt::Key_Left, Qt::AltModifier);
    QApplication::processEvents();
    ASSERT_EQ(active(), main);

    // The dock's filter and order; a click goes to the line.
    auto* filter = window.findChild<QLineEdit*>("SymbolFilter");
    filter->setText("pat");
    EXPECT_EQ(listed(), QStringList{"pattern"});
    emit symbols()->itemClicked(symbols()->topLevelItem(0), 0);
    EXPECT_EQ(main->model()->lineOf(main->model()->selStart()), 5u);
    filter->clear();
    window.findChild<QDockWidget*>("SymbolsDock")->raise();
    shoot("symbols-dock.png");
}

// A window that gets its file after it became the active one (as Open File's window did, made
// before its dialog) fills the dock at once; the names are shown whole, with a tool tip.
TEST_F(CodeNavigationGui, TheSymbolsDockFollowsAFileLoadedIntoTheActiveWindow) {
    ASSERT_TRUE(open("C:\\Halyard\\demo\\main.c"));
    ASSERT_TRUE(until([&] { return listed().contains("main"); }));
    TCodeEd& header = model.editors.NewFile1Click();
    QApplication::processEvents();
    ASSERT_TRUE(until([&] { return listed().isEmpty(); }));
    model.run([&] { header.LoadFile("C:\\Halyard\\demo\\demo.h", 1); });
    ASSERT_TRUE(until([&] { return listed().contains("DPORT_DIR"); }));
    EXPECT_TRUE(listed().contains("DPORT_DATA"));
    const QFontMetrics metrics(symbols()->font());
    EXPECT_GE(symbols()->columnWidth(0), metrics.horizontalAdvance("DPORT_DATA"));
    EXPECT_EQ(symbols()->topLevelItem(0)->toolTip(0).isEmpty(), false);
}

TEST_F(CodeNavigationGui, CtrlSpaceOffersTheProjectsNamesAndEnterTakesOne) {
    gui::CodeEdWindow* main = open("C:\\Halyard\\demo\\main.c");
    ASSERT_TRUE(main);
    ASSERT_TRUE(until([&] { return listed().contains("main"); }));
    QPlainTextEdit* edit = main->CodeEditor();
    edit->setFocus();
    caretAt(main, u"        leds_show(pattern);", 27);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "leds_");
    QTest::keyClick(edit, Qt::Key_Space, Qt::ControlModifier);
    QApplication::processEvents();
    auto* completer = window.findChild<QCompleter*>("NameCompleter");
    ASSERT_TRUE(completer);
    QAbstractItemView* list = completer->popup();
    ASSERT_TRUE(list->isVisible());
    QStringList offered;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        offered << list->model()->index(i, 0).data().toString();
    ASSERT_FALSE(offered.isEmpty());
    EXPECT_TRUE(offered.filter("leds_show  function  leds.c:10").size() == 1)
        << offered.join("|").toStdString();
    EXPECT_TRUE(offered.filter(QRegularExpression("^leds_init ")).size() == 1);
    if (const char* dir = std::getenv("HALYARD_SCREENSHOTS")) {
        QPixmap shot = window.grab();
        QPainter p(&shot);
        p.drawPixmap(window.mapFromGlobal(list->mapToGlobal(QPoint(0, 0))), list->grab());
        p.end();
        shot.save(QString(dir) + "/completion.png");
    }
    for (int i = 0; i < list->model()->rowCount(); ++i)
        if (offered[i].startsWith("leds_show ")) list->setCurrentIndex(list->model()->index(i, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(edit->textCursor().block().text().trimmed(), "leds_show");
}

} // namespace
