// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small builders shared by the option pages and the project editor: widgets made from model
// controls, bound, named after the control, and laid out in the pages' usual shapes.
#include <QString>
#include <functional>
#include <initializer_list>

#include "base/controls.h"

class QBoxLayout;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace halyard {
class TEmbedded;
}

namespace halyard::gui {

QCheckBox* checkBox(CheckBox& model, const char* name, QWidget* parent);
QLineEdit* lineEdit(Edit& model, const char* name, QWidget* parent);
// A label or button that shows a plain control's caption, enabled and shown state.
QLabel* label(Control& model, const char* name, QWidget* parent);
QPushButton* button(Control& model, const char* name, QWidget* parent);
// A titled group of check boxes, one under the other.
QGroupBox* checkGroup(const QString& title, std::initializer_list<std::pair<CheckBox*, const char*>> boxes,
                      QWidget* parent);
// A push button that runs `handler` as one command of the main window (errors go to the error box).
QPushButton* commandButton(TEmbedded& e, const QString& caption, const char* name,
                           std::function<void()> handler, QWidget* parent);
// The "Help" button of a page or panel: shows help topic `topic`, which F1 on `page` shows too.
QPushButton* helpButton(TEmbedded& e, QWidget* page, int topic);
// Calls `sync` now and whenever the control changes, for as long as `widget` lives.
void follow(QWidget* widget, Control& model, std::function<void()> sync);

} // namespace halyard::gui
