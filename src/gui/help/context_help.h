// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Context help in the Qt layer: each page or dialog carries its help topic, its "Help" button shows
// it, F1 shows the topic of the page that has the focus and Shift+F1 its popup text.
#include <functional>

class QObject;
class QWidget;

namespace halyard {
class TEmbedded;
}

namespace halyard::gui {

// The topic that F1 shows while the focus is inside `w`.
void setHelpTopic(QWidget* w, int topic);
// The topic of the page or dialog around `w`; 0 when there is none.
int helpTopicOf(const QWidget* w);
// Shows a topic through the main window's help; does nothing while no main window listens.
void requestHelp(int topic);
// Routes F1, Shift+F1 and requestHelp() to the model's help for as long as `owner` lives.
void installContextHelp(TEmbedded& e, QObject* owner);

} // namespace halyard::gui
