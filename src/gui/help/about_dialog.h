// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about dialog and the window system's side of its sizes.
#include "base/dos_devices.h"
#include "help/about_box.h"

namespace halyard::gui {

class QtAboutMetrics : public AboutMetrics {
public:
    explicit QtAboutMetrics(const DosDevices& dd) : dd_(dd) {}
    int labelWidth(const std::string& text) override;
    Size bitmapSize(const std::string& windowsPath) override;
    Size applicationIcon() override { return {32, 32}; }
    Size builtInLogo() override { return {137, 121}; }
    int titleBarWidth(const std::string& caption) override;

private:
    const DosDevices& dd_;
};

// Registers the Qt window of TAbout.
void registerHelpDialogs(const DosDevices& dd);

} // namespace halyard::gui
