// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's aids with the real widgets: the gutter, the marks of a failed build, the
// current line and bracket marks, Enter's indentation and their switches in Setup.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include "editor/code_aids_view.h"
#include "sample_project.h"

using namespace halyard;

namespace {

using CodeAids = test::SampleProject;

TEST_F(CodeAids, TheGutterNumbersTheLinesAndMarksTheFailedBuildsMessages) {
    const std::string main = MainC;
    const std::string good = breakMainC();
    build();
    dd.writeBytes(main, good);

    gui::CodeEdWindow* view = open(main);
    ASSERT_TRUE(view);
    QApplication::processEvents();
    QWidget* gutter = view->findChild<QWidget*>("LineGutter");
    ASSERT_TRUE(gutter);
    EXPECT_TRUE(gutter->isVisible());
    const QFontMetrics fm(view->CodeEditor()->font());
    EXPECT_GE(gutter->width(), fm.horizontalAdvance("99"));
    const auto& marks = view->aids()->marks();
    ASSERT_EQ(marks.count(15), 1u);
    EXPECT_TRUE(marks.at(15).error);
    EXPECT_TRUE(marks.at(15).text.contains("expected ';'")) << marks.at(15).text.toStdString();
    ASSERT_EQ(marks.count(10), 1u); // the warning
    EXPECT_FALSE(marks.at(10).error);
    // They move with the text; Undo back to the loaded text also takes the modified mark away.
    QTextCursor(view->CodeEditor()->document()).insertText("\n\n");
    EXPECT_EQ(marks.count(17) + marks.count(12), 2u);
    EXPECT_TRUE(view->model()->modified());
    view->CodeEditor()->undo();
    EXPECT_EQ(marks.count(15) + marks.count(10), 2u);
    EXPECT_FALSE(view->model()->modified());
    EXPECT_FALSE(view->isWindowModified());
    // Another file of the project carries none of them.
    gui::CodeEdWindow* timer = open("C:\\Halyard\\demo\\timer.c");
    ASSERT_TRUE(timer && timer != view);
    EXPECT_TRUE(timer->aids()->marks().empty());
    view->subWindow()->setFocus();
    window.mdiArea()->setActiveSubWindow(view->subWindow());
    view->subWindow()->showMaximized();
    QApplication::processEvents();
    shoot("editor-gutter.png");

    // A new run clears them.
    ASSERT_TRUE(model.editors.CloseEditorFiles());
    build();
    view = open(main);
    QApplication::processEvents();
    EXPECT_TRUE(view->aids()->marks().empty());
}

TEST_F(CodeAids, EnterKeepsTheIndentationBracketsAreMarkedAndSetupSwitchesItOff) {
    gui::CodeEdWindow* view = open("C:\\Halyard\\demo\\main.c");
    ASSERT_TRUE(view);
    QPlainTextEdit* edit = view->CodeEditor();
    edit->setFocus();
    const std::u16string& text = view->model()->text();
    const size_t call = text.find(u"leds_show(pattern);");
    ASSERT_NE(call, std::u16string::npos);
    QTextCursor c = edit->textCursor();
    c.setPosition(static_cast<int>(call + 9)); // before "(pattern)"
    edit->setTextCursor(c);
    QApplication::processEvents();
    auto marked = [&] {
        std::vector<int> at;
        for (const auto& s : edit->extraSelections())
            if (!s.format.property(QTextFormat::FullWidthSelection).toBool())
                at.push_back(s.cursor.selectionStart());
        return at;
    };
    EXPECT_EQ(marked(), (std::vector<int>{int(call + 9), int(call + 17)}));
    ASSERT_EQ(edit->extraSelections().size(), 3); // and the current line

    // Enter after the statement: the new line starts where the statement did.
    c.setPosition(static_cast<int>(call + 19));
    edit->setTextCursor(c);
    const QString indent = c.block().text().left(c.block().text().indexOf('l'));
    ASSERT_FALSE(indent.isEmpty());
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(edit->textCursor().block().text(), indent + "x");
    EXPECT_EQ(view->model()->text(), edit->toPlainText().toStdU16String()) << "the model has the same text";

    // Off in Setup: no marks, no gutter, Enter starts at the margin.
    for (CheckBox* box : model.editorAids.all())
        box->setChecked(false);
    QApplication::processEvents();
    EXPECT_FALSE(view->findChild<QWidget*>("LineGutter")->isVisible());
    EXPECT_TRUE(edit->extraSelections().isEmpty());
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->textCursor().block().text(), "");
    // And they are kept like the other settings.
    model.SaveSettings();
    EXPECT_EQ(settings.values["Line Numbers"].text, "0");
}

} // namespace
