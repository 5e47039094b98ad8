// SPDX-License-Identifier: GPL-3.0-or-later
// Editor windows and the files behind them, with the real timers, dialogs and file watcher.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>

#include "sample_project.h"

using namespace halyard;

namespace {

struct EditorFiles : test::SampleProject {};

// Open File while the start-up is still to come: its timer fires while the file dialog is open,
// and the project it opens closes every editor window. The chosen file still opens, in a window
// of its own, and Halyard goes on.
TEST_F(EditorFiles, OpenFileWhileTheStartUpIsDueOpensTheChosenFile) {
    model.startupDone = false;
    model.StartProject = "C:\\Halyard\\demo\\demo.prj";
    gui::QtUi files{dd, &window};
    ui.realFiles = &files;
    model.starttimer.setEnabled(true); // the real timer, as after the first activation
    bool answered = false;
    // Answered after the start-up timer's interval: the timer has fired while the dialog was open.
    QTimer::singleShot(model.starttimer.interval + 500, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(MainC);
        QMetaObject::invokeMethod(dialog, "accept");
        answered = true;
    });
    window.actionFor(model.menu.OpenFile)->trigger();
    ASSERT_TRUE(answered);
    gui::CodeEdWindow* view = active();
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->model(), nullptr);
    EXPECT_EQ(view->model()->FileName, MainC);
    EXPECT_EQ(view->CodeEditor()->toPlainText().toStdString().find("last = ticks;") != std::string::npos,
              true);
    ASSERT_TRUE(until([&] { return model.startupDone; }));
    EXPECT_TRUE(model.ProjectLoaded());
    EXPECT_TRUE(ui.errors.empty()) << ui.errors.front();
    ui.realFiles = nullptr;
}

// A window without changes of its own follows its file when another program changes it; one with
// changes asks before its save writes over the other change.
TEST_F(EditorFiles, AnotherProgramsChangeIsFollowedOrAskedAbout) {
    gui::CodeEdWindow* view = open(MainC);
    ASSERT_NE(view, nullptr);
    const std::string good = dd.readBytes(MainC);
    const std::filesystem::path host = dd.toHost(MainC);
    {
        std::ofstream out(host, std::ios::binary | std::ios::trunc); // rewritten in place
        out << "/* theirs */\r\n" << good;
    }
    ASSERT_TRUE(until([&] { return view->CodeEditor()->toPlainText().startsWith("/* theirs */\n"); }));
    EXPECT_FALSE(view->model()->modified());

    view->CodeEditor()->moveCursor(QTextCursor::End);
    view->CodeEditor()->insertPlainText("/* mine */");
    dd.writeBytes(MainC, "/* replaced */\r\n"); // replaced by a rename, as editors save
    QApplication::processEvents();
    EXPECT_TRUE(view->CodeEditor()->toPlainText().endsWith("/* mine */")); // the user's changes stay
    ui.answers = {Answer::Cancel};
    ui.shown.clear();
    view->menus()[0]->actions().at(3)->trigger(); // Save File
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_NE(ui.shown[0].find("was changed on disk"), std::string::npos);
    EXPECT_EQ(dd.readBytes(MainC), "/* replaced */\r\n");
    EXPECT_TRUE(view->model()->modified());
    dd.writeBytes(MainC, good);
}

} // namespace
