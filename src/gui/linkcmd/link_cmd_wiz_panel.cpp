#include <QLabel>
#include <QTabWidget>

#include "binders.h"
#include "panels.h"
#include "shell/embedded.h"

namespace halyard::gui {

QWidget* createLinkCmdWiz(TEmbedded& e, QWidget* parent) {
    auto* tabs = new QTabWidget(parent);
    for (const auto& p : e.LinkCmdWiz.pages)
        tabs->addTab(new QLabel(QString::fromStdString(p), tabs), QString::fromStdString(p));
    bindPages(tabs, e.LinkCmdWiz);
    return tabs;
}

} // namespace halyard::gui
