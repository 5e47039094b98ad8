// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "base/ports.h"

namespace halyard::gui {

// The settings store on QSettings: the registry key Software\Orlin\Halyard on Windows, the user's
// config file on Linux. Every value is written as a string.
class QtSettingsStore : public SettingsStore {
public:
    Value read(const std::string& name) override;
    bool write(const std::string& name, const std::string& text) override;
};

} // namespace halyard::gui
