// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
// The panels that each subsystem shows inside the main window, made by the subsystem's own view.
class QWidget;
class QMdiArea;
class QMainWindow;
class QMenu;

namespace halyard {
class TEmbedded;
}

namespace halyard::gui {

QWidget* createOptionsTabs(TEmbedded& e, QWidget* parent);
QWidget* createLinkerOptions(TEmbedded& e, QWidget* parent);
QWidget* createProjEditPan(TEmbedded& e, QWidget* parent);
QWidget* createDisplayPanel(TEmbedded& e, QWidget* parent);
QWidget* createLinkCmdWiz(TEmbedded& e, QWidget* parent);
QWidget* createLibaryGenOps(TEmbedded& e, QWidget* parent);
// The contents of the options window's "Tools" page.
QWidget* createToolsPage(TEmbedded& e, QWidget* parent);
// Keeps the user-tool entries of the "Tools" menu in step with the model's list.
void attachToolsMenu(TEmbedded& e, QMenu* menu);
// Shows an MDI child for every editor window the model opens and merges its menus.
void attachEditors(TEmbedded& e, QMdiArea* area, QMainWindow* window);
// The Build panel at the bottom of the main window, and its commands in the Project menu.
void attachBuildPanel(TEmbedded& e, QMainWindow* window, QMdiArea* area);
// The Find in Files panel beside the Build panel, and its command (action "FindInFiles").
void attachFindInFiles(TEmbedded& e, QMainWindow* window, QMdiArea* area);
// Go to Definition, Back, the Symbols dock and completion, over the project's symbol index.
void attachCodeNavigation(TEmbedded& e, QMainWindow* window, QMdiArea* area);
// Opens the definition of a name through the symbol index; false when it knows none. Without
// ctags the user is told what is missing (and true comes back: nothing more to say).
bool openDefinition(QMainWindow* window, const std::string& name);
// True while the symbol index is being made or brought up to date.
bool symbolIndexBusy(QMainWindow* window);
// The memory map window (Project › Memory Map, a click on a range of the Build panel's table) and
// the status bar's note of what the last link changed.
void attachMemoryMap(TEmbedded& e, QMainWindow* window, QMdiArea* area);

} // namespace halyard::gui
