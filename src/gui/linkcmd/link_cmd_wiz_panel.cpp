// The command-file builder: four pages over the main window's work area, each closed by its own
// "OK" and "Cancel". Both only hide the builder; what was entered stays for the next "Construct".
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "binders.h"
#include "panels.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

struct PageButtons {
    const char* cancel;
    const char* ok;
};

// Object names are the builder's control names, so tests and the pages' later contents find them.
constexpr PageButtons Buttons[] = {
    {"Button49", "Button50"}, // LIBRARIES
    {"Button37", "Button38"}, // MEMORY
    {"Button80", "Button81"}, // SEC TIONS
    {"Button43", "Button44"}, // BUILD
};
constexpr const char* PageNames[] = {"TabSheet12", "TabSheet10", "TabSheet20", "BuildTab"};

QWidget* page(TEmbedded& e, QTabWidget* tabs, int index) {
    auto* w = new QWidget(tabs);
    w->setObjectName(PageNames[index]);
    auto* layout = new QVBoxLayout(w);
    if (index == 3) {
        for (CheckBox* box : {&e.linkCmd.Include, &e.linkCmd.ClearCLine}) {
            auto* check = new QCheckBox(w);
            bind(check, *box);
            layout->addWidget(check);
        }
    }
    layout->addStretch(1);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), w);
    ok->setObjectName(Buttons[index].ok);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), w);
    cancel->setObjectName(Buttons[index].cancel);
    QObject::connect(ok, &QPushButton::clicked, w, [&e] { e.run([&e] { e.cmdFile.CloseLnkCmdWiz(); }); });
    QObject::connect(cancel, &QPushButton::clicked, w, [&e] { e.run([&e] { e.cmdFile.Button42Click(); }); });
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    return w;
}

} // namespace

QWidget* createLinkCmdWiz(TEmbedded& e, QWidget* parent) {
    auto* tabs = new QTabWidget(parent);
    tabs->setObjectName("LinkCmdWiz");
    for (int i = 0; i < static_cast<int>(e.LinkCmdWiz.pages.size()); ++i)
        tabs->addTab(page(e, tabs, i), qs(e.LinkCmdWiz.pages[static_cast<size_t>(i)]));
    bindPages(tabs, e.LinkCmdWiz);
    return tabs;
}

} // namespace halyard::gui
