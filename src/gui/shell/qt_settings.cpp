// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt_settings.h"

#include <QSettings>

#include "binders.h"

namespace halyard::gui {

SettingsStore::Value QtSettingsStore::read(const std::string& name) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Orlin", "Halyard");
    if (!s.contains(qs(name))) return {};
    const QVariant v = s.value(qs(name));
    if (v.typeId() != QMetaType::QString) return {true, false, {}};
    return {true, true, ss(v.toString())};
}

bool QtSettingsStore::write(const std::string& name, const std::string& text) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Orlin", "Halyard");
    s.setValue(qs(name), qs(text));
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace halyard::gui
