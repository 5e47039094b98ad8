// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include "drive_file_dialog.h"
#include "gui_fixture.h"
#include "qt_ui.h"
#include "shell/dir_setup.h"

using namespace halyard;
using gui::DriveFileDialog;

namespace {

struct DriveDialogs : test::GuiFixture {
    DriveDialogs() {
        drives.put("C:\\texassource\\lnk.cmd", "MEMORY\r\n");
        drives.put("C:\\texassource\\sub\\main.c", "int a;\r\n");
    }
    // Types into the dialog's file name field and presses Enter; a message box it raises is noted
    // and closed, and a dialog still open then is cancelled.
    std::optional<std::string> typeInto(DriveFileDialog& dialog, const QString& text, QString* message) {
        // Each timer goes with the dialog: one left over must not fire into a later test.
        QTimer::singleShot(0, &dialog, [&] {
            auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(edit, nullptr);
            edit->setText(text);
            // Tied to the dialog: one closed by its Return leaves them pending for a later test.
            QTimer::singleShot(0, &dialog, [message] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    *message = box->text();
                    box->reject();
                }
            });
            QTimer::singleShot(0, &dialog, [&] {
                if (dialog.isVisible()) dialog.reject();
            });
            QTest::keyClick(edit, Qt::Key_Return);
        });
        return dialog.choose();
    }
};

TEST_F(DriveDialogs, TypedWindowsPathsAreTakenInAnyCaseAndComeBackAsWindowsPaths) {
    using Mode = DriveFileDialog::Mode;
    struct Row {
        Mode mode;
        const char* start;
        const char* typed;
        std::optional<std::string> chosen;
        const char* message;
    } rows[] = {
        {Mode::Open, "d:\\texassource\\Clnk.cmd", "c:\\TEXASSOURCE\\lnk.cmd", "C:\\texassource\\lnk.cmd", ""},
        {Mode::Open, "C:\\texassource", "C:/TexasSource/LNK.CMD", "C:\\texassource\\lnk.cmd", ""},
        {Mode::Open, "C:\\texassource", "sub\\MAIN.C", "C:\\texassource\\sub\\main.c", ""},
        {Mode::Open, "C:\\texassource", "c:\\texassource\\none.cmd", std::nullopt, "File not found"},
        {Mode::Open, "C:\\texassource", "q:\\lnk.cmd", std::nullopt, "File not found"},
        {Mode::Save, "C:\\texassource", "C:\\TEXASSOURCE\\new", "C:\\texassource\\new.cmd", ""},
        {Mode::Save, "C:\\texassource", "c:\\texassource\\LNK.cmd", std::nullopt, "already exists"},
        {Mode::Directory, "C:\\", "c:\\TEXASSOURCE\\SUB", "C:\\texassource\\sub", ""},
    };
    for (const Row& r : rows) {
        DriveFileDialog dialog(drives.dd, r.mode, "Open Linker CMD file", r.start, nullptr);
        dialog.setDefaultSuffix("cmd");
        QString message;
        EXPECT_EQ(typeInto(dialog, r.typed, &message), r.chosen) << r.typed;
        EXPECT_TRUE(message.contains(r.message)) << r.typed << ": " << message.toStdString();
    }
}

TEST_F(DriveDialogs, TheSideBarListsTheDrivesAndTheDialogOpensInTheWindowsFolder) {
    DriveFileDialog dialog(drives.dd, DriveFileDialog::Mode::Open, "Open", "c:\\TEXASSOURCE\\lnk.cmd ",
                           nullptr);
    QStringList side;
    for (const QUrl& url : dialog.sidebarUrls())
        side << QFileInfo(url.toLocalFile()).fileName();
    EXPECT_EQ(side.mid(0, 2), (QStringList{"C:", "Z:"}));
    EXPECT_TRUE(dialog.directory().absolutePath().endsWith("/letters/C:/texassource"))
        << dialog.directory().absolutePath().toStdString();

    // A folder not there yet opens at its nearest parent; an unmapped drive in the folder given for
    // that (the project's), else on the first drive, never in the folder of drive links itself.
    DriveFileDialog missing(drives.dd, DriveFileDialog::Mode::Save, "Save", "C:\\texassource\\new\\x.obj",
                            nullptr);
    EXPECT_TRUE(missing.directory().absolutePath().endsWith("/letters/C:/texassource"));
    DriveFileDialog unmapped(drives.dd, DriveFileDialog::Mode::Save, "Save", "a:\\x.obj", nullptr);
    EXPECT_TRUE(unmapped.directory().absolutePath().endsWith("/letters/C:"))
        << unmapped.directory().absolutePath().toStdString();
    DriveFileDialog project(drives.dd, DriveFileDialog::Mode::Save, "Save", "a:\\x.obj", nullptr,
                            "C:\\texassource\\sub");
    EXPECT_TRUE(project.directory().absolutePath().endsWith("/letters/C:/texassource/sub"));
}

TEST_F(DriveDialogs, SetupShowsTheHostFolderUnderEachFolderField) {
    gui::QtUi qt(drives.dd);
    TDirsetup setup(qt, &drives.dd);
    setup.SourceDir.setText("C:\\texassource\\");
    setup.TMS370.setText("Q:\\TMS370\\");
    QString source, tms, typed;
    bool workDriveShown = true;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        source = dialog->findChild<QLabel*>("SourceDirHost")->toolTip();
        tms = dialog->findChild<QLabel*>("TMS370Host")->toolTip();
        workDriveShown = dialog->findChild<QLabel*>("WkDriveHost")->isVisible();
        if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
            dialog->grab().save(QString(dir) + "/setup.png");
        auto* edit = dialog->findChild<QLineEdit*>("SourceDir");
        edit->selectAll();
        QTest::keyClicks(edit, "z:\\usr");
        typed = dialog->findChild<QLabel*>("SourceDirHost")->toolTip();
        dialog->close();
    });
    qt.execute(setup);
    EXPECT_EQ(source.toStdString(), (drives.dir / "drive_c" / "texassource").string());
    EXPECT_EQ(tms, "Drive Q: is not mapped");
    EXPECT_FALSE(workDriveShown); // an empty field has no host folder
    EXPECT_EQ(typed, "/usr");
}

// The note on what runs the tool chain stood in the path's label, whose middle is cut to fit: it
// read "C:\\...program: it runs through Wine" with the folder and the program's name gone.
TEST_F(DriveDialogs, SetupShowsTheToolChainNoteWhole) {
    std::string pe(0x100, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    pe[0x3C] = 0x40;
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    drives.dd.createDirs("C:\\a rather long folder name for the tool chain\\of this project\\CL370");
    drives.dd.writeBytes(
        "C:\\a rather long folder name for the tool chain\\of this project\\CL370\\cl370.exe", pe);
    gui::QtUi qt(drives.dd);
    TDirsetup setup(qt, &drives.dd);
    setup.TMS370.setText("C:\\a rather long folder name for the tool chain\\of this project\\CL370\\");
    QString note, host;
    bool whole = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* kind = dialog->findChild<QLabel*>("TMS370Kind");
        ASSERT_NE(kind, nullptr);
        note = kind->text();
        whole = kind->isVisible() && kind->wordWrap();
        host = dialog->findChild<QLabel*>("TMS370Host")->toolTip();
        dialog->close();
    });
    qt.execute(setup);
    EXPECT_EQ(note, "cl370.exe is a Windows program: it runs through Wine");
    EXPECT_TRUE(whole);
    EXPECT_EQ(host.toStdString(), (drives.dir / "drive_c" / "a rather long folder name for the tool chain" /
                                   "of this project" / "CL370")
                                      .string());
}

} // namespace
