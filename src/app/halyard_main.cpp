// halyard: the desktop IDE.
#include <QApplication>

#include "base/dos_devices.h"
#include "build/launcher.h"
#include "qt_ui.h"
#include "shell/main_window.h"
#include "shell/qt_settings.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // No display name: the platform would append it to every window's exact caption.
    QApplication::setApplicationName("Halyard");
    QApplication::setOrganizationName("Orlin");

    halyard::DosDevices dd(halyard::DosDevices::defaultRoot());
    dd.ensureCreated();
    halyard::gui::QtUi ui(dd);
    halyard::gui::QtSettingsStore settings;
    halyard::ShellLauncher launcher(dd);
    halyard::Clock clock;
    halyard::TEmbedded model({ui, settings, launcher, dd, clock});
    halyard::gui::MainWindow window(model);
    ui.setOwner(&window);
    window.show();
    return app.exec();
}
