// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One binder per control kind: model changes are pushed into the widget with its signals blocked,
// and only user signals (clicked, activated, textEdited) reach the model, so a programmatic change
// can never echo back.
#include <QString>

#include "base/controls.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace halyard::gui {

void bindState(QWidget* widget, Control& control); // enabled + visible (+ tool tip from the hint)
void bind(QCheckBox* box, CheckBox& model);
void bind(QComboBox* combo, ComboBox& model);
void bind(QLineEdit* edit, Edit& model);
void bind(QSpinBox* spin, UpDown& model);
void bind(QListWidget* list, ListBox& model);
void bind(QAction* action, MenuItem& model);
QGroupBox* radioGroup(RadioGroup& model, QWidget* parent);
void bindPages(QTabWidget* tabs, Panel& model);

// A status bar panel of the given width; the last one reaches to the bar's right edge, as the
// classic status bar draws its last panel.
void sizeStatusPanel(QLabel* panel, int width, bool last);

QString qs(const std::string& text);
std::string ss(const QString& text);

} // namespace halyard::gui
