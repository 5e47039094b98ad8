// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
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

} // namespace halyard::gui
