// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the editor windows: an MDI child for every window the model opens, the
// menu merge while an editor window is active, and the open windows listed under "Window".
#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

#include "editor/code_ed_window.h"
#include "panels.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

class MenuMerge : public QObject {
public:
    MenuMerge(TEmbedded& e, QMdiArea* area, QMainWindow* window) : QObject(area), bar_(window->menuBar()) {
        auto find = [this](const MenuItem& item) -> QAction* {
            for (QAction* a : bar_->actions())
                if (a->text().toStdString() == item.caption()) return a;
            return nullptr;
        };
        file_ = find(e.menu.File1);
        project_ = find(e.menu.Project1);
        editBatch_ = find(e.menu.EditBatch);
        options_ = find(e.menu.Options1);
        if (QAction* w = find(e.menu.Window1)) windowMenu_ = w->menu();
        if (windowMenu_) connect(windowMenu_, &QMenu::aboutToShow, this, [this, area] { listWindows(area); });
    }

    // The active editor's File menu takes the place of "&File" and "Project"; its "&Edit" and
    // "Search" stand between "&Edit Batch" and "Options". nullptr shows the main window's own menus.
    void merge(CodeEdWindow* window) {
        if (window == merged_ && (window != nullptr) == mainHidden_) return;
        if (merged_)
            for (QMenu* m : merged_->menus())
                bar_->removeAction(m->menuAction());
        merged_ = window;
        if (!file_ || !project_ || !editBatch_ || !options_) return;
        if (window) {
            if (!mainHidden_) {
                bar_->removeAction(file_);
                bar_->removeAction(project_);
                mainHidden_ = true;
            }
            const auto& menus = window->menus();
            bar_->insertAction(editBatch_, menus[0]->menuAction());
            bar_->insertAction(options_, menus[1]->menuAction());
            bar_->insertAction(options_, menus[2]->menuAction());
        } else if (mainHidden_) {
            bar_->insertAction(editBatch_, file_);
            bar_->insertAction(editBatch_, project_);
            mainHidden_ = false;
        }
    }

    // Follows the frame's active child (a closed window's menus went with it).
    void sync(QMdiArea* area) {
        QMdiSubWindow* sub = area->activeSubWindow();
        auto* view = sub ? qobject_cast<CodeEdWindow*>(sub->widget()) : nullptr;
        merge(view && view->model() ? view : nullptr);
    }

private:
    void listWindows(QMdiArea* area) {
        for (QAction* a : listed_) {
            windowMenu_->removeAction(a);
            a->deleteLater();
        }
        listed_.clear();
        const auto windows = area->subWindowList();
        if (!windows.isEmpty()) listed_.push_back(windowMenu_->addSeparator());
        int n = 0;
        for (QMdiSubWindow* sub : windows) {
            QString title = sub->windowTitle(); // with the frame's modified mark
            title.replace("[*]", sub->isWindowModified() ? "*" : "");
            QAction* a = windowMenu_->addAction(QString("&%1 %2").arg(++n).arg(title));
            a->setCheckable(true);
            a->setChecked(sub == area->activeSubWindow());
            QPointer<QMdiSubWindow> guard(sub);
            connect(a, &QAction::triggered, area, [area, guard] {
                if (guard) area->setActiveSubWindow(guard);
            });
            listed_.push_back(a);
        }
    }

    QMenuBar* bar_;
    QPointer<QAction> file_, project_, editBatch_, options_;
    QPointer<QMenu> windowMenu_;
    QPointer<CodeEdWindow> merged_;
    bool mainHidden_ = false;
    std::vector<QAction*> listed_;
};

} // namespace

void attachEditors(TEmbedded& e, QMdiArea* area, QMainWindow* window) {
    auto* merge = new MenuMerge(e, area, window);
    QObject::connect(area, &QMdiArea::subWindowActivated, merge, [&e, merge](QMdiSubWindow* sub) {
        auto* view = sub ? qobject_cast<CodeEdWindow*>(sub->widget()) : nullptr;
        if (view && !view->model()) view = nullptr;
        if (view) e.editors.activate(*view->model());
        merge->merge(view);
    });
    e.editors.observeOpened([&e, area, merge, window](TCodeEd& model) {
        auto* view = new CodeEdWindow(e, model);
        // The main window's search commands also in the editor's Search menu: the same actions, so
        // their keys stay one command each.
        for (const char* name : {"FindInFiles", "FindReferences", "GoToDefinition", "GoBack", "CompleteName"})
            if (auto* a = window->findChild<QAction*>(name)) view->menus()[2]->addAction(a);
        QMdiSubWindow* sub = area->addSubWindow(view);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        // The frame's own menu holds the close keys as well; with two commands on one key Qt runs
        // neither. Close File, which asks the same question, keeps them.
        if (QMenu* frame = sub->systemMenu())
            for (QAction* a : frame->actions())
                a->setShortcuts({});
        QObject::connect(view, &QObject::destroyed, merge, [merge, area] {
            QTimer::singleShot(0, merge, [merge, area] { merge->sync(area); });
        });
        sub->show();
        // The frame sizes itself by the editor's size hint; the client area is the window's own size.
        if (!sub->isMaximized()) {
            if (QLayout* layout = sub->layout()) layout->activate();
            sub->resize(sub->size() + CodeEdWindow::initialClientSize() - view->size());
        }
        area->setActiveSubWindow(sub);
    });
}

} // namespace halyard::gui
