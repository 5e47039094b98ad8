// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

#include "gui_fixture.h"
#include "qt_ui.h"

using namespace halyard;

namespace {

struct ToolsGui : test::GuiFixture {
    void SetUp() override {
        for (const char* dir : {"C:\\texassource", "C:\\CL370", "C:\\Halyard"})
            drives.dd.createDir(dir);
        model.InitStateDefaults();
        model.ProjectListBox.setItems({"C:\\work\\main.c"});
        window.show();
    }
    QTabWidget* tabs(const char* name) { return window.findChild<QTabWidget*>(name); }
    template <class W> W* on(QWidget* parent, const char* name) {
        auto* w = parent->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(QAbstractButton* b) {
        ASSERT_NE(b, nullptr);
        b->click();
    }
    // "Browse" of the user tools, with the file chosen and the Name Tool dialog confirmed.
    void addUserTool(QWidget* page, const std::string& file, const std::string& params) {
        drives.put(file, "");
        ui.files.push_back(file);
        ui.dialogs.push_back([params](ModalDialog& d) {
            static_cast<TNTDlg&>(d).Params.setText(params);
            return Answer::Ok;
        });
        click(on<QPushButton>(page, "UToolBtn"));
    }
    QStringList menuTexts(const MenuItem& top) {
        QStringList texts;
        for (QAction* a : window.actionFor(top)->menu()->actions())
            texts << (a->isSeparator() ? QString("-") : a->text());
        return texts;
    }
};

} // namespace

TEST_F(ToolsGui, ToolsPageAddsUserToolsAndAcceptBuildsTheToolsMenu) {
    window.actionFor(model.menu.ConfigureTools1)->trigger();
    auto* options = tabs("OptionsTabs");
    ASSERT_FALSE(options->isHidden());
    QWidget* page = options->currentWidget();
    EXPECT_EQ(page->objectName(), "Programmer");
    for (const char* b :
         {"PToolBtn", "PtoolRemove", "UToolBtn", "RemoveBtn", "EditTools", "Accept", "Cancel", "Help"})
        EXPECT_NE(page->findChild<QPushButton*>(b), nullptr) << b;

    addUserTool(page, "C:\\Bin\\view.com", "");
    addUserTool(page, "C:\\Bin\\conv.exe", "-x");
    auto* list = on<QListWidget>(page, "UserToolsList");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "conv");

    click(on<QPushButton>(page, "Accept"));
    click(on<QPushButton>(page, "Accept"));
    EXPECT_EQ(menuTexts(model.menu.Tools1), (QStringList{"Configure Tools", "-", "view", "conv"}));
    window.actionFor(model.menu.Tools1)->menu()->actions().last()->trigger();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].parameters, "-x");
    EXPECT_EQ(launcher.calls[0].directory, "C:\\Bin\\");

    list->setCurrentRow(0);
    click(on<QPushButton>(page, "RemoveBtn"));
    EXPECT_EQ(menuTexts(model.menu.Tools1), (QStringList{"Configure Tools", "-", "conv"}));
}

TEST_F(ToolsGui, ProgrammingToolChosenInTheSelectorNamesTheProgramMenu) {
    EXPECT_FALSE(window.actionFor(model.toolBar.ProgramDevice)->isEnabled());
    model.tools.addProgTool("burn", "C:\\Tools\\burn.exe");
    model.tools.addProgTool("zap", "C:\\Tools\\zap.exe");
    window.actionFor(model.menu.Options2)->trigger();
    auto* selector = on<QComboBox>(tabs("OptionsTabs"), "ProgToolsList");
    ASSERT_EQ(selector->count(), 2);
    selector->setCurrentIndex(1);
    emit selector->activated(1);
    click(on<QPushButton>(tabs("OptionsTabs")->currentWidget(), "OK"));
    EXPECT_EQ(window.actionFor(model.menu.Prgm)->text(), "zap");
    EXPECT_TRUE(window.actionFor(model.toolBar.ProgramDevice)->isEnabled());
    EXPECT_EQ(model.ProgToolPath, "C:\\Tools\\zap.exe");
}

TEST_F(ToolsGui, NameToolDialogEditsTheModelAndClosesWithItsButton) {
    gui::QtUi qtUi(drives.dd, &window);
    TNTDlg dlg;
    dlg.exitBtn.setCaption("Add");
    dlg.PName.setText("burn");
    QString title, exitText;
    QRect frame;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        title = d->windowTitle();
        frame = d->geometry();
        exitText = d->findChild<QPushButton*>("exitBtn")->text();
        auto* name = d->findChild<QLineEdit*>("PName");
        name->setText("Burner");
        emit name->textEdited("Burner");
        d->findChild<QPushButton*>("exitBtn")->click();
    });
    EXPECT_EQ(qtUi.execute(dlg), Answer::Ok);
    EXPECT_EQ(title, "Name Tool");
    // Centred on the screen, not with its corner at the centre.
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((frame.center() - middle).manhattanLength(), 10);
    EXPECT_EQ(exitText, "Add");
    EXPECT_EQ(dlg.PName.text(), "Burner");
}

TEST_F(ToolsGui, LibraryPagesBuildTheSwitchesOnEveryOk) {
    auto* lib = tabs("LibaryGenOps");
    ASSERT_NE(lib, nullptr);
    EXPECT_TRUE(lib->isHidden());
    QStringList pages;
    for (int i = 0; i < lib->count(); ++i)
        pages << lib->tabText(i);
    EXPECT_EQ(pages, (QStringList{"Libarary Specific", "General", "Files", "Model"}));
    EXPECT_TRUE(window.actionFor(model.menu.Build1)->isEnabled());

    const char* oks[] = {"LibOkSpec", "LibOkGen", "LibOkFiles", "LibOkModel"};
    for (int i = 0; i < 4; ++i) {
        window.actionFor(model.toolBar.LibraryOptionsBtn)->trigger();
        ASSERT_FALSE(lib->isHidden());
        lib->setCurrentIndex(i);
        QWidget* page = lib->currentWidget();
        for (const char* b : {"Cancel", oks[i]})
            EXPECT_NE(page->findChild<QPushButton*>(b), nullptr) << i << b;
        EXPECT_EQ(page->findChildren<QPushButton*>().size(), i == 2 ? 5 : 3) << i;
        if (i == 0) click(on<QCheckBox>(page, "Verbose"));
        if (i == 2) {
            ui.files.push_back(std::string("C:\\src\\mine.src"));
            click(on<QPushButton>(page, "LibSrcBrowse"));
            EXPECT_EQ(on<QLineEdit>(page, "Source")->text(), "C:\\src\\mine.src");
        }
        click(on<QPushButton>(page, oks[i]));
        EXPECT_TRUE(lib->isHidden());
        EXPECT_EQ(model.LibrarySwitches, "--v -ms ") << i; // "Small Memory model" starts checked
    }
}
