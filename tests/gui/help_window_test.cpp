// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "gui_fixture.h"
#include "help/about_dialog.h"
#include "help/help_window.h"
#include "qt_ui.h"
#include "support/crafted_chm.h"

using namespace halyard;

namespace {

std::string helpFileBytes() {
    std::ifstream in(std::string(HALYARD_SOURCE_DIR) + "/help/halyard.chm", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct HelpGui : test::GuiFixture {
    void SetUp() override { drives.put("C:\\Halyard\\halyard.chm", helpFileBytes()); }
    gui::HelpWindow* help() { return window.helpEngine().window(); }
    QString shownTopic() { return help() ? help()->topic()->source().path() : QString(); }
    void pressHelpOn(const char* page) {
        auto* p = window.findChild<QWidget*>(page);
        ASSERT_NE(p, nullptr) << page;
        auto* b = p->findChild<QPushButton*>("Help");
        ASSERT_NE(b, nullptr) << page;
        ASSERT_TRUE(b->isEnabled());
        b->click();
    }
    // F1 as pressed in `w`: the main window active and the focus in `w`.
    void f1(QWidget* w) {
        QApplication::setActiveWindow(&window);
        w->setFocus(Qt::OtherFocusReason);
        key(w, Qt::Key_F1);
    }
    void key(QWidget* w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(w, &press);
    }
};

} // namespace

TEST_F(HelpGui, EachPagesHelpButtonShowsItsTopic) {
    const std::pair<const char*, const char*> pages[] = {{"Programmer", "/tools.htm"},
                                                         {"CompilerTab", "/compiler.htm"},
                                                         {"TabSheet1", "/compiler.htm"},
                                                         {"TabSheet2", "/assembler.htm"},
                                                         {"General", "/general.htm"},
                                                         {"TabSheet3", "/run_time_model.htm"},
                                                         {"OptomisationTab", "/optimisation.htm"},
                                                         {"TabSheet8", "/linker_memory.htm"},
                                                         {"GenLinker", "/linker_output.htm"},
                                                         {"TabSheet9", "/linker_symbols.htm"}};
    for (auto [page, topic] : pages) {
        pressHelpOn(page);
        EXPECT_EQ(shownTopic(), topic) << page;
    }
    ASSERT_NE(help(), nullptr);
    EXPECT_TRUE(help()->isVisible());
    EXPECT_EQ(help()->windowTitle(), "Halyard Help");
    EXPECT_TRUE(help()->topic()->toPlainText().contains("Symbols")); // the topic's text, not an error page
    EXPECT_TRUE(ui.shown.empty());
    // Back and forward walk the topics shown.
    help()->topic()->backward();
    EXPECT_EQ(shownTopic(), "/linker_output.htm");
    help()->topic()->forward();
    EXPECT_EQ(shownTopic(), "/linker_symbols.htm");
}

TEST_F(HelpGui, TheHelpMenuOpensTheContentsAndTheirPagesShowWithImages) {
    window.actionFor(model.menu.Help3)->trigger();
    ASSERT_NE(help(), nullptr);
    EXPECT_EQ(shownTopic(), "/overview.htm");
    QTreeWidget* contents = help()->contents();
    ASSERT_GT(contents->topLevelItemCount(), 4);
    EXPECT_EQ(contents->topLevelItem(0)->text(0), "Halyard overview");
    const QVariant image =
        help()->topic()->loadResource(QTextDocument::ImageResource, QUrl("images/halyard.png"));
    EXPECT_FALSE(image.value<QImage>().isNull());
    // A link between topics stays in the help window.
    emit help()->topic()->anchorClicked(QUrl("setup.htm"));
    EXPECT_EQ(shownTopic(), "/setup.htm");
}

TEST_F(HelpGui, TheIndexFollowsTheTypedKeyword) {
    window.actionFor(model.menu.Help3)->trigger();
    ASSERT_NE(help(), nullptr);
    QLineEdit* edit = help()->indexEdit();
    edit->setText("hea");
    emit edit->textEdited("hea");
    ASSERT_NE(help()->index()->currentItem(), nullptr);
    EXPECT_EQ(help()->index()->currentItem()->text(), "Header files");
    emit edit->returnPressed();
    EXPECT_EQ(shownTopic(), "/setup.htm");
}

TEST_F(HelpGui, F1ShowsTheFocusedPagesTopicAndShiftF1ItsPopup) {
    window.show();
    window.actionFor(model.menu.CompilerOptions)->trigger();
    auto* page = window.findChild<QWidget*>("TabSheet2");
    ASSERT_NE(page, nullptr);
    auto* tabs = window.findChild<QTabWidget*>("OptionsTabs");
    ASSERT_NE(tabs, nullptr);
    tabs->setCurrentWidget(page);
    QWidget* inside = page->findChild<QPushButton*>("OK");
    key(inside, Qt::Key_F1);
    EXPECT_EQ(shownTopic(), "/assembler.htm");
    key(inside, Qt::Key_F1, Qt::ShiftModifier);
    QLabel* popup = window.helpEngine().popup();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->text().startsWith("Assembler:")) << popup->text().toStdString();
}

TEST_F(HelpGui, F1InTheMemoryMapWindowShowsItsOwnTopic) {
    window.show();
    window.findChild<QAction*>("MemoryMap1")->trigger();
    auto* view = window.findChild<QWidget*>("MemoryMap");
    ASSERT_NE(view, nullptr);
    QApplication::setActiveWindow(view);
    key(view, Qt::Key_F1);
    EXPECT_EQ(shownTopic(), "/memory_map.htm");
    if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
        help()->grab().save(QString(dir) + "/help-memory-map.png");
}

// The summary popup holds every key and click of the program while it is open: it must close on
// Escape and on a click, and give the keys back to the main window.
TEST_F(HelpGui, TheSummaryPopupClosesOnEscapeAndOnAClick) {
    window.show();
    window.actionFor(model.menu.CompilerOptions)->trigger();
    QWidget* box = window.findChild<QWidget*>("TabSheet2")->findChild<QPushButton*>("OK");
    ASSERT_NE(box, nullptr);
    key(box, Qt::Key_F1, Qt::ShiftModifier);
    QLabel* popup = window.helpEngine().popup();
    ASSERT_NE(popup, nullptr);
    ASSERT_TRUE(popup->isVisible());
    key(popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    key(box, Qt::Key_F1, Qt::ShiftModifier);
    ASSERT_TRUE(popup->isVisible());
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(-20, -20), popup->mapToGlobal(QPointF(-20, -20)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(popup, &click);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The main window takes keys again: F1 shows the page's topic.
    f1(box);
    EXPECT_EQ(shownTopic(), "/assembler.htm");
}

// F1 with the focus on a page control's tab bar shows the topic of the page in front, on every page.
TEST_F(HelpGui, F1OnAPageControlsTabBarShowsThePagesTopic) {
    window.show();
    window.actionFor(model.menu.Help3)->trigger();
    const QString overview = shownTopic();
    for (auto* tabs : window.findChildren<QTabWidget*>()) {
        if (tabs->objectName().isEmpty()) continue;
        tabs->show();
        for (int i = 0; i < tabs->count(); ++i) {
            // A click on the tab, then F1 where the keys go.
            QApplication::setActiveWindow(&window);
            window.setFocus();
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(i).center());
            ASSERT_EQ(tabs->currentIndex(), i);
            QWidget* focus = QApplication::focusWidget();
            key(focus ? focus : &window, Qt::Key_F1);
            EXPECT_NE(shownTopic().toStdString(), overview.toStdString())
                << tabs->objectName().toStdString() << " page " << i << " " << tabs->tabText(i).toStdString();
        }
    }
}

TEST_F(HelpGui, AMissingHelpFileOrATopicItLacksIsReportedByName) {
    model.run([&] { model.help.Contexthelp(99); });
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], "Help topic 99 is not in the help file C:\\Halyard\\halyard.chm.");
    model.HelpFile = "C:\\Halyard\\gone.chm";
    model.run([&] { model.help.Help3Click(); });
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1],
              "Cannot open the help file C:\\Halyard\\gone.chm\rIt is missing or is no compiled help file.");
    model.help.HelpRouter1->setHelpType(htMixedMode);
    model.run([&] { model.help.ContextPopup(4); });
    EXPECT_EQ(ui.shown.back(), "Cannot show help from C:\\Halyard\\gone.hlp:\rWinHelp files (.hlp) are not "
                               "supported on this platform.");
}

TEST_F(HelpGui, ADamagedHelpFileIsReportedAndHalyardCarriesOn) {
    test::CraftedChm crafted;
    crafted.files = {{"/a.htm", "<html>a</html>"}, {"/big.htm", "x", 0, 6'300'000'000}};
    drives.put("C:\\Halyard\\halyard.chm", crafted.bytes());
    window.actionFor(model.menu.Help3)->trigger();
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], "The help file C:\\Halyard\\halyard.chm is damaged and cannot be shown:\r"
                           "the file /big.htm inside it lies past its end.");
    EXPECT_FALSE(window.helpEngine().reader()->running());
    pressHelpOn("Programmer");
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1], ui.shown[0]);
    // A sound file in its place is read again.
    drives.put("C:\\Halyard\\halyard.chm", helpFileBytes());
    pressHelpOn("Programmer");
    EXPECT_EQ(shownTopic(), "/tools.htm");
    EXPECT_EQ(ui.shown.size(), 2u);
    // The reader runs while the window is open.
    EXPECT_TRUE(window.helpEngine().reader()->running());
    help()->close();
    EXPECT_FALSE(window.helpEngine().reader()->running());
}

TEST_F(HelpGui, PagesLoadNothingFromOutsideTheHelpFileAndLinksOutAskFirst) {
    window.actionFor(model.menu.Help3)->trigger();
    ASSERT_NE(help(), nullptr);
    gui::TopicBrowser* topic = help()->topic();
    // Asked through the document, as a page's <img> or <link> is: on no answer from the browser it
    // would read a local file itself.
    const auto secret = drives.put("C:\\secret.txt", "secret");
    for (int type :
         {QTextDocument::HtmlResource, QTextDocument::ImageResource, QTextDocument::StyleSheetResource}) {
        const QVariant got =
            topic->document()->resource(type, QUrl::fromLocalFile(QString::fromStdString(secret.string())));
        EXPECT_FALSE(got.toString().contains("secret") || got.toByteArray().contains("secret")) << type;
    }
    ui.answers = {Answer::No};
    emit topic->anchorClicked(QUrl("https://example.org/"));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], "Open https://example.org/ outside Halyard?\rThe link comes from the help file.");
    emit topic->anchorClicked(QUrl("file:///usr/bin/xterm"));
    EXPECT_EQ(ui.shown.size(), 1u); // not followed, not even asked
    EXPECT_EQ(shownTopic(), "/overview.htm");
}

// A crafted page once kept the GUI thread busy for minutes (tables nested 40 deep) or took gigabytes
// (pictures of 5600x5600, a page of many megabytes): now each shows a short notice, and the reader
// process does not even send a picture that large.
TEST_F(HelpGui, PagesAndPicturesOverTheLimitsShowANoticeInstead) {
    std::string deep = "<html><body>";
    for (int i = 0; i < 40; ++i)
        deep += "<table><tr><td>";
    deep += "deep</body></html>";
    std::string pictures = "<html><body>";
    for (int i = 0; i < 24; ++i)
        pictures += "<img src=\"blank.png\">";
    pictures += "</body></html>";
    std::string blank("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x15\xe0\0\0\x15\xe0\x08\x06\0\0\0", 29);
    test::CraftedChm crafted;
    crafted.files = {{"/a.htm", "<html>a</html>"},
                     {"/deep.htm", deep},
                     {"/pictures.htm", pictures},
                     {"/blank.png", blank},
                     {"/large.htm", "<html>" + std::string(5u << 20, 'x')}};
    drives.put("C:\\Halyard\\halyard.chm", crafted.bytes());
    window.actionFor(model.menu.Help3)->trigger();
    ASSERT_NE(help(), nullptr);
    gui::TopicBrowser* topic = help()->topic();
    help()->showTopic("/deep.htm");
    EXPECT_EQ(topic->toPlainText(),
              "This page cannot be shown\nThe page is too deep to show (tables nested over 6 deep).");
    help()->showTopic("/large.htm");
    EXPECT_TRUE(topic->toPlainText().contains("The page is too large to show (over 1 MB)."));
    EXPECT_FALSE(window.helpEngine().reader()->read("/blank.png")) << "refused by the reader process";
    help()->showTopic("/pictures.htm");
    EXPECT_EQ(shownTopic(), "/pictures.htm");
    EXPECT_TRUE(window.helpEngine().reader()->running());
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HelpGui, ADeeplyNestedIndexIsIndentedNoFurtherThanTheDeepestLevelShown) {
    std::string hhk;
    for (int i = 0; i < 20000; ++i)
        hhk += "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"k\"></object>";
    test::CraftedChm crafted;
    crafted.files = {{"/a.htm", "<html>a</html>"}, {"/index.hhk", hhk}};
    drives.put("C:\\Halyard\\halyard.chm", crafted.bytes());
    window.actionFor(model.menu.Help3)->trigger();
    ASSERT_NE(help(), nullptr);
    ASSERT_EQ(help()->index()->count(), 20000);
    EXPECT_EQ(help()->index()->item(19999)->text(), QString(4 * SitemapMaxLevel, ' ') + "k");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HelpGui, TheAboutBoxShowsTheTitleAndVersionInItsSizedDialog) {
    QString title, version;
    QSize size;
    QRect frame;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        title = dlg->findChild<QLabel*>("WTitle")->text();
        version = dlg->findChild<QLabel*>("WVersion")->text();
        size = dlg->size();
        frame = dlg->geometry();
        dlg->accept();
    });
    gui::QtUi qtUi(drives.dd, &window);
    gui::QtAboutMetrics metrics(drives.dd);
    TOrlinAboutBox box(qtUi, drives.dd, metrics);
    box.Width = 130;
    box.Height = 150;
    box.Version = "Version 0.1.0";
    EXPECT_TRUE(box.ShowAbout());
    EXPECT_EQ(title, "Halyard");
    EXPECT_EQ(version, "Version 0.1.0");
    // As wide as its title bar needs to show its title (130 pixels showed "H..."), and centred.
    EXPECT_EQ(size, QSize(metrics.titleBarWidth(""), 182));
    EXPECT_GT(size.width(), 130);
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((frame.center() - middle).manhattanLength(), 10) << frame.x() << "," << frame.y();
}

// F1 shows the topic of the window it is pressed in, where no page has a Help button too, and the
// contents follow the topic shown instead of staying on the last one opened from them.
TEST_F(HelpGui, F1InTheBuilderAnEditorAndTheBuildPanelShowsTheirTopicsAndTheContentsFollow) {
    window.show();
    pressHelpOn("Programmer"); // some other topic was open before
    model.menu.Construct1.click();
    auto* builder = window.findChild<QTabWidget*>("LinkCmdWiz");
    ASSERT_NE(builder, nullptr);
    f1(builder->currentWidget());
    EXPECT_EQ(shownTopic(), "/cmdfile_builder.htm");
    ASSERT_NE(help()->contents()->currentItem(), nullptr);
    EXPECT_EQ(help()->contents()->currentItem()->text(0), "The command-file builder");

    drives.put("C:\\src\\main.c", "int a;\r\n");
    model.run([&] { model.editors.LoadFile("C:\\src\\main.c", 1); });
    QApplication::processEvents();
    auto* editor = window.findChild<QWidget*>("CodeEditor");
    ASSERT_NE(editor, nullptr);
    f1(editor);
    EXPECT_EQ(shownTopic(), "/editor.htm");
    EXPECT_EQ(help()->contents()->currentItem()->text(0), "Editor windows and their keys");

    auto* panel = window.findChild<QWidget*>("BuildOutputList");
    ASSERT_NE(panel, nullptr);
    f1(panel);
    EXPECT_EQ(shownTopic(), "/build_panel.htm");
    EXPECT_TRUE(ui.shown.empty());
}
