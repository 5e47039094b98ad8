// SPDX-License-Identifier: GPL-3.0-or-later
// halyard: the desktop IDE.
#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QIcon>
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>

#include "base/dos_devices.h"
#include "halyard_version.h"
#include "launch/launcher.h"
#include "qt_ui.h"
#include "shell/main_window.h"
#include "shell/qt_settings.h"

namespace {

constexpr const char* Usage = "usage: halyard [--help] [--version] [PROJECT]\n";

void help() {
    std::cout << Usage
              << "\n"
                 "Halyard, the desktop IDE for the TMS370 C compiler tool chain 5.30.\n"
                 "\n"
                 "PROJECT (a *.prj file) is opened at start-up in place of the last project.\n"
                 "It is a Windows path (C:\\Halyard\\demo\\demo.prj, through the drive mapping)\n"
                 "or a host path.\n"
                 "\n"
                 "  -h, --help     show this help and exit\n"
                 "      --version  show the version and exit\n"
                 "\n"
                 "The toolkit's own options (-platform NAME, -style NAME, ...) are taken too.\n"
                 "Without a display, start it under a virtual one: xvfb-run -a halyard\n"
                 "See halyard(1), halyard-build(1), halyard-batch(1) and halyard-sample(1).\n";
}

// The toolkit ends the program with abort() when it cannot open a display, after a hint that a
// reinstall may help. While it starts, its messages are held back: a fatal one becomes a message
// that says what to do and exit code 1; otherwise they are printed once it has started.
QStringList heldMessages;

void startupMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages << text;
        return;
    }
    const QString reason = heldMessages.isEmpty() ? text.section('\n', 0, 0) : heldMessages.first();
    std::cerr << "halyard: cannot open a display (" << reason.trimmed().toStdString()
              << ").\nHalyard needs one; without a desktop, start it under a virtual display:\n"
                 "    xvfb-run -a halyard\n";
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            help();
            return 0;
        }
        if (a == "--version") {
            std::cout << "halyard " << HALYARD_VERSION << "\n" HALYARD_VERSION_NOTICE;
            return 0;
        }
    }

    const QtMessageHandler defaultHandler = qInstallMessageHandler(startupMessage);
    QApplication app(argc, argv); // takes its own options out of argv
    qInstallMessageHandler(defaultHandler);
    for (const QString& text : std::exchange(heldMessages, {}))
        qWarning().noquote() << text;
    std::string project;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.starts_with('-') || !project.empty()) {
            std::cerr << "halyard: unexpected argument '" << a << "'\n" << Usage;
            return 2;
        }
        project = a;
    }

    // No display name: the platform would append it to every window's exact caption.
    QApplication::setApplicationName("Halyard");
    QApplication::setOrganizationName("Orlin");
    QApplication::setApplicationVersion(HALYARD_VERSION);
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(HALYARD_APP_ID);

    halyard::DosDevices dd(halyard::DosDevices::defaultRoot());
    dd.ensureCreated();
    halyard::gui::QtUi ui(dd);
    halyard::gui::QtSettingsStore settings;
    halyard::ShellLauncher launcher(dd);
    halyard::Clock clock;
    halyard::TEmbedded model({ui, settings, launcher, dd, clock});
    if (!project.empty()) model.StartProject = dd.fromCommandLine(project);
    ui.fallbackFolder = [&model] { return model.HomeFolder(); };
    // No program file names the about box's version: it is Halyard's own.
    model.help.AboutBox.Version = std::string("Version ") + HALYARD_VERSION;
    // The help file that comes with the program: beside it in a build tree, in its data folder
    // once installed.
    const QString bin = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {bin + "/halyard.chm", bin + "/../share/halyard/halyard.chm"}) {
        if (QFileInfo(candidate).isFile()) {
            model.help.BundledHelpFile = dd.toWindows(QFileInfo(candidate).canonicalFilePath().toStdString());
            break;
        }
    }
    halyard::gui::MainWindow window(model);
    // The application icon in every size that was drawn for it (none when the build had no SVG renderer).
    QIcon icon;
    for (QDirIterator it(":/appicon", QDirIterator::Subdirectories); it.hasNext();)
        icon.addFile(it.next());
    if (icon.isNull()) icon = QIcon::fromTheme(HALYARD_APP_ID);
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
    ui.setOwner(&window);
    window.show();
    const int code = app.exec();
    // A run stopped on the way out still gets its KILL if it ignored TERM.
    halyard::FinishStoppedChildren();
    return code;
}
