#include <QLabel>
#include <QTabWidget>

#include "binders.h"
#include "panels.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {
QWidget* pages(Panel& panel, QWidget* parent) {
    auto* tabs = new QTabWidget(parent);
    for (const auto& p : panel.pages) tabs->addTab(new QLabel(QString::fromStdString(p), tabs), QString::fromStdString(p));
    bindPages(tabs, panel);
    return tabs;
}
} // namespace

QWidget* createOptionsTabs(TEmbedded& e, QWidget* parent) { return pages(e.OptionsTabs, parent); }
QWidget* createLinkerOptions(TEmbedded& e, QWidget* parent) { return pages(e.LinkerOptions, parent); }
QWidget* createProjEditPan(TEmbedded& e, QWidget* parent) {
    auto* w = new QLabel("Project", parent);
    bindState(w, e.ProjEditPan);
    return w;
}
QWidget* createDisplayPanel(TEmbedded& e, QWidget* parent) {
    auto* w = new QLabel("", parent);
    bindState(w, e.DisplayPanel);
    return w;
}

} // namespace halyard::gui
