// halyard: the desktop IDE.
#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QIcon>
#include <iostream>
#include <string>

#include "base/dos_devices.h"
#include "launch/launcher.h"
#include "halyard_version.h"
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
                 "PROJECT (a *.prj file) is opened at start-up in place of the last project. It is a\n"
                 "Windows path (C:\\Halyard\\demo\\demo.prj, through the drive mapping) or a host path.\n"
                 "\n"
                 "  -h, --help     show this help and exit\n"
                 "      --version  show the version and exit\n"
                 "\n"
                 "The toolkit's own options (-platform NAME, -style NAME, ...) are taken too.\n"
                 "See halyard(1), halyard-build(1) and halyard-batch(1).\n";
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
            std::cout << "halyard " << HALYARD_VERSION << '\n';
            return 0;
        }
    }

    QApplication app(argc, argv); // takes its own options out of argv
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
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
    ui.setOwner(&window);
    window.show();
    return app.exec();
}
