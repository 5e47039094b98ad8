// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMainWindow>
#include <map>
#include <memory>
#include <vector>

#include "shell/embedded.h"

class QMdiArea;
class QLabel;
class QDockWidget;

namespace halyard::gui {

class QtHelpEngine;
class QtAboutMetrics;
void registerShellDialogs();

// The main window: menus, tool bar, status panels, the shown-and-hidden panels and the MDI area
// for editor windows, all bound to TEmbedded.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(TEmbedded& model);
    ~MainWindow() override;
    TEmbedded& model() { return model_; }
    QMdiArea* mdiArea() const { return mdi_; }
    QAction* actionFor(const MenuItem& item) const;
    QLabel* statusPanel(int i) const { return panels_.at(i); }
    QtHelpEngine& helpEngine() const { return *helpEngine_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void buildPanels();
    void driveTimer(Timer& timer);
    void activated();
    void arrangeIcons();
    // A page shown in a small window takes the room it needs from the docks around it.
    void fitPage(QWidget* scroll);
    void attachHelp();

    TEmbedded& model_;
    QMdiArea* mdi_ = nullptr;
    std::vector<QWidget*> pageScrolls_;
    bool symbolsStepAside_ = false;
    std::vector<QLabel*> panels_;
    std::map<const MenuItem*, QAction*> actions_;
    std::unique_ptr<QtHelpEngine> helpEngine_;
    std::unique_ptr<QtAboutMetrics> aboutMetrics_;
};

} // namespace halyard::gui
