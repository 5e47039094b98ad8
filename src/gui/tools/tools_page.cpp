// SPDX-License-Identifier: GPL-3.0-or-later
// The "Tools" options page, the Name Tool dialog and the user-tool entries of the "Tools" menu.
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>
#include <tuple>

#include "binders.h"
#include "help/context_help.h"
#include "help/help.h"
#include "panels.h"
#include "project/page_kit.h"
#include "qt_ui.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

Answer runNameTool(ModalDialog& model, QWidget* owner) {
    auto& m = static_cast<TNTDlg&>(model);
    QDialog dlg(owner);
    dlg.setObjectName("TNTDlg");
    setHelpTopic(&dlg, HelpTopic::Tools);
    dlg.setWindowTitle("Name Tool");
    auto* layout = new QVBoxLayout(&dlg);
    auto* grid = new QGridLayout;
    int row = 0;
    for (auto [caption, edit, name] : {std::tuple<const char*, Edit*, const char*>{"Path", &m.Path, "Path"},
                                       {"Display", &m.PName, "PName"},
                                       {"Parameters", &m.Params, "Params"}}) {
        grid->addWidget(new QLabel(caption, &dlg), row, 0);
        auto* line = lineEdit(*edit, name, &dlg);
        line->setMinimumWidth(360);
        grid->addWidget(line, row++, 1);
    }
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* exit = new QPushButton(qs(m.exitBtn.caption()), &dlg);
    exit->setObjectName("exitBtn");
    exit->setDefault(true);
    auto* cancel = new QPushButton(qs(m.Button2.caption()), &dlg);
    cancel->setObjectName("Button2");
    auto* help = new QPushButton(qs(m.Button3.caption()), &dlg);
    help->setObjectName("Button3");
    help->setEnabled(false); // this dialog has no help topic
    QObject::connect(exit, &QPushButton::clicked, &dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dlg, &QDialog::reject);
    for (auto* b : {exit, cancel, help})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    return execCentred(dlg) == QDialog::Accepted ? Answer::Ok : Answer::Cancel;
}

QPushButton* toolButton(TEmbedded& e, const char* caption, const char* name, std::function<void()> handler,
                        QWidget* parent) {
    auto* b = commandButton(e, caption, name, std::move(handler), parent);
    b->setMinimumWidth(90);
    return b;
}

} // namespace

QWidget* createToolsPage(TEmbedded& e, QWidget* parent) {
    QtUi::registerDialog(TNTDlg::Kind, runNameTool);
    auto& t = e.tools;
    auto& m = e.toolMenus;
    auto* page = new QWidget(parent);
    page->setObjectName("ToolsPageContents");
    auto* grid = new QGridLayout(page);

    auto* label47 = new QLabel("Programming Tool (Select)", page);
    label47->setObjectName("Label47");
    grid->addWidget(label47, 0, 0);
    auto* progTools = new QComboBox(page);
    progTools->setObjectName("ProgToolsList");
    progTools->setMinimumWidth(260);
    bind(progTools, t.ProgToolsList);
    grid->addWidget(progTools, 1, 0);
    auto* progButtons = new QHBoxLayout;
    progButtons->addWidget(toolButton(
        e, "Browse", "PToolBtn", [&m] { m.PToolBtnClick(true); }, page));
    progButtons->addWidget(toolButton(
        e, "Remove", "PtoolRemove", [&m] { m.PtoolRemoveClick(true); }, page));
    progButtons->addStretch(1);
    grid->addLayout(progButtons, 1, 1);

    auto* label48 = new QLabel("User Tools", page);
    label48->setObjectName("Label48");
    grid->addWidget(label48, 2, 0);
    auto* userTools = new QListWidget(page);
    userTools->setObjectName("UserToolsList");
    userTools->setMinimumSize(260, 90);
    bind(userTools, t.UserToolsList);
    grid->addWidget(userTools, 3, 0);
    auto* userButtons = new QVBoxLayout;
    userButtons->addWidget(toolButton(
        e, "Browse", "UToolBtn", [&m] { m.PToolBtnClick(false); }, page));
    userButtons->addWidget(toolButton(
        e, "Remove", "RemoveBtn", [&m] { m.PtoolRemoveClick(false); }, page));
    userButtons->addWidget(toolButton(
        e, "Edit Tools", "EditTools", [&m] { m.EditToolsClick(); }, page));
    userButtons->addStretch(1);
    grid->addLayout(userButtons, 3, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(4, 1);
    return page;
}

void attachToolsMenu(TEmbedded& e, QMenu* menu) {
    auto& entries = e.toolMenus.UserToolEntries;
    auto shown = std::make_shared<std::vector<QPointer<QAction>>>();
    follow(menu, entries, [menu, &entries, shown] {
        for (auto& a : *shown)
            delete a.data();
        shown->clear();
        for (const auto& item : entries.items()) {
            QAction* a = menu->addAction(qs(item->caption()));
            bind(a, *item);
            shown->push_back(a);
        }
    });
}

} // namespace halyard::gui
