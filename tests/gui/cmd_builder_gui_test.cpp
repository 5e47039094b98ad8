// SPDX-License-Identifier: GPL-3.0-or-later
// The command-file builder driven through its real widgets, from the first library to the build
// that links through the saved file.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "qt_ui.h"

using namespace halyard;

namespace {

struct BuilderGui : test::GuiFixture {
    QTabWidget* tabs = nullptr;
    gui::QtUi qtUi{drives.dd, &window};

    void SetUp() override {
        for (const char* dir : {"C:\\texassource", "C:\\CL370", "C:\\work"})
            drives.dd.createDir(dir);
        window.show();
        window.actionFor(model.menu.Construct1)->trigger();
        tabs = window.findChild<QTabWidget*>("LinkCmdWiz");
        ASSERT_NE(tabs, nullptr);
    }
    template <class W = QWidget> W* on(int page, const char* name) {
        tabs->setCurrentIndex(page);
        auto* w = tabs->widget(page)->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Typed as keys from the start of the field, as the user overwrites a masked edit's places.
    static void type(QWidget* w, const QString& text) {
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setCursorPosition(0);
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }
    static void choose(QComboBox* combo, const QString& text) {
        ASSERT_NE(combo, nullptr);
        const int at = combo->findText(text);
        ASSERT_GE(at, 0) << text.toStdString();
        combo->setCurrentIndex(at);
        emit combo->activated(at);
    }
    static void clickRow(QListWidget* list, int row) {
        const QPointF at = list->visualItemRect(list->item(row)).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &press);
    }
    // The real placement dialog, worked as the user works it, then closed with OK.
    void placeIn(const char* region) {
        ui.dialogs.push_back([this, region](ModalDialog& d) {
            QTimer::singleShot(0, [region] {
                QWidget* dlg = QApplication::activeModalWidget();
                ASSERT_NE(dlg, nullptr);
                EXPECT_EQ(dlg->windowTitle(), "Sections Editor");
                const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
                // Its fixed-size layout settles a few pixels on showing; its corner was at the middle.
                EXPECT_LE((dlg->geometry().center() - middle).manhattanLength(), 10);
                choose(dlg->findChild<QComboBox*>("MemoryType"), "Named");
                EXPECT_TRUE(dlg->findChild<QWidget*>("NamedMemoryPan")->isVisible());
                choose(dlg->findChild<QComboBox*>("Memory"), region);
                dlg->findChild<QPushButton*>("Button47")->click();
                dlg->findChild<QPushButton*>("Button1")->click();
            });
            return qtUi.execute(d);
        });
    }
    void memory(const QString& name, const char* attrs, const QString& origin, const QString& length) {
        type(on<QLineEdit>(1, "NameBox"), name);
        for (const char* box : {"R", "W", "X", "I"}) {
            auto* check = on<QCheckBox>(1, box);
            if (check->isChecked() != (std::string(attrs).find(box) != std::string::npos)) check->click();
        }
        type(on<QLineEdit>(1, "Origin"), origin);
        type(on<QLineEdit>(1, "MemLength"), length);
        on<QPushButton>(1, "AddMem")->click();
    }
    void section(const QString& name) {
        auto* names = on<QComboBox>(2, "SectionNames");
        names->lineEdit()->clear();
        type(names->lineEdit(), name);
        on<QToolButton>(2, "SpeedButton5")->click();
        on<QPushButton>(2, "SetUpLoad")->click();
        on<QPushButton>(2, "addBtn")->click();
    }
};

TEST_F(BuilderGui, AWholeCommandFileMadeSavedAndUsedByTheBuild) {
    ui.files = {"C:\\lib\\mylib.lib"};
    on<QPushButton>(0, "AdLib")->click();
    EXPECT_EQ(on<QListWidget>(0, "ObjectLibs")->item(0)->text(), "-l mylib.lib");

    memory("ROM", "RX", "8000", "7FE0");
    memory("RAM", "RW", "0100", "0F00");
    auto* mems = on<QListWidget>(1, "MemList");
    ASSERT_EQ(mems->count(), 2);
    EXPECT_EQ(mems->item(1)->text(), "    RAM     :  (RW)  origin = 0100h length = 0F00h ");

    placeIn("ROM");
    section("text");
    placeIn("RAM");
    section("bss");
    EXPECT_EQ(on<QLineEdit>(2, "ParamLine")->text(), ".bss:   > RAM");
    EXPECT_EQ(on<QListWidget>(2, "SectionList")->count(), 2);

    model.opts.AOP.setChecked(false);
    model.opts.Quiet.setChecked(true);
    model.opts.Init.setItemIndex(0);
    model.opts.GM.setChecked(true);
    model.opts.MapFile.setText("test.map");
    auto* clear = on<QCheckBox>(3, "ClearCLine");
    EXPECT_FALSE(clear->isEnabled());
    on<QCheckBox>(3, "Include")->click();
    EXPECT_TRUE(clear->isEnabled());
    on<QPushButton>(3, "BuildCommand")->click();
    const std::string expected =
        "/*********** Halyard Linker Commnad file ******/\r\n-l mylib.lib\r\n\r\n-q \r\n-c \r\n"
        "-m test.map \r\n\r\n\r\n\r\nMEMORY\r\n{\r\n"
        "    ROM     :  (RX)  origin = 8000h length = 7FE0h \r\n"
        "    RAM     :  (RW)  origin = 0100h length = 0F00h \r\n\r\n}\r\n\r\n\r\n\r\n"
        "SECTIONS\r\n{\r\n    .text:   > ROM\r\n    .bss:   > RAM\r\n\r\n}\r\n";
    EXPECT_EQ(model.linkCmd.Command.text(), expected);
    EXPECT_EQ(on<QPlainTextEdit>(3, "Command")->toPlainText().count('\n'), 24);

    on<QPushButton>(3, "CheckCommand")->click();
    EXPECT_EQ(ui.shown, std::vector<std::string>{"The command file has no errors or warnings."});

    auto options = on<QWidget>(3, "SaveOptions")->findChildren<QRadioButton*>();
    ASSERT_EQ(options.size(), 3);
    options[2]->click();
    ui.files = {"C:\\work\\out.cmd"};
    on<QPushButton>(3, "saveCMD")->click();
    EXPECT_EQ(drives.dd.readBytes("C:\\work\\out.cmd"), expected);
    EXPECT_EQ(model.CmdFilePath, "C:\\work\\out.cmd");
    EXPECT_EQ(window.actionFor(model.menu.OpenCommand)->text(), "&Edit out.cmd");

    drives.put("C:\\work\\main.c", "int main(void) { return 0; }\n");
    model.ProjectPath = "C:\\work\\demo.prj";
    model.startupDone = true;
    model.ProjectListBox.setItems({"C:\\work\\main.c"});
    model.opts.EL.setChecked(true);
    drives.put("C:\\texassource\\mylib.lib", "");
    window.actionFor(model.menu.Compile1)->trigger();
    ASSERT_EQ(launcher.calls.size(), 1u) << testing::PrintToString(ui.shown);
    const std::string batch = drives.dd.readBytes("C:\\texassource\\ide.bat");
    EXPECT_NE(batch.find(" -z C:\\work\\out.cmd "), std::string::npos) << batch;

    // Delete in the MEMORY list takes the line and its region in the placement dialog.
    clickRow(mems, 0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(mems, &del);
    ASSERT_EQ(mems->count(), 1);
    EXPECT_EQ(model.cmdBuild.SectionsEdit.Memory.items(), std::vector<std::string>{"RAM"});
}

// Typed into the MEMORY page's fields: an origin from A000h up is written as a number, and the length
// takes a fifth place for a range of the whole 64K.
TEST_F(BuilderGui, HighOriginsAndALengthOf10000hAreWrittenAsTheLinkerReadsThem) {
    memory("TOP", "R", "F000", "1000");
    memory("ALL", "", "0000", "10000");
    auto* mems = on<QListWidget>(1, "MemList");
    ASSERT_EQ(mems->count(), 2);
    EXPECT_EQ(mems->item(0)->text(), "    TOP     :  (R)  origin = 0F000h length = 1000h ");
    EXPECT_EQ(mems->item(1)->text(), "    ALL     :  origin = 0000h length = 10000h ");
}

// A page change disables Insert and Replace; a click on the list enables them again, also on the
// entry that is current already (the list's row does not change) and when it holds one entry only.
TEST_F(BuilderGui, AClickOnTheSectionListEnablesInsertAndReplace) {
    model.linkCmd.SectionList.setItems({"    .text:   > ROM"});
    auto* list = on<QListWidget>(2, "SectionList");
    auto* insert = on<QPushButton>(2, "InsertBtn");
    auto* replace = on<QPushButton>(2, "ReplaceBtn");
    auto click = [list] {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    };
    click();
    EXPECT_EQ(list->currentRow(), 0);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        tabs->setCurrentIndex(1);
        tabs->setCurrentIndex(2);
        EXPECT_FALSE(insert->isEnabled());
        EXPECT_FALSE(replace->isEnabled());
        click();
        EXPECT_TRUE(insert->isEnabled());
        EXPECT_TRUE(replace->isEnabled());
    }
}

} // namespace
