// SPDX-License-Identifier: GPL-3.0-or-later
// The library options window `LibaryGenOps`: four pages of mk370 choices over the main window's
// work area. Every "OK" turns them into the switch text; "Cancel" only hides the window.
#include <array>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "binders.h"
#include "panels.h"
#include "project/page_kit.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

enum class Order { OkHelpCancel, HelpCancelOk };

QWidget* libraryPage(TEmbedded& e, QTabWidget* tabs, const char* name, const QString& caption, QLayout* body,
                     const char* okName, const char* helpName, Order order) {
    auto* w = new QWidget(tabs);
    w->setObjectName(name);
    auto* layout = new QVBoxLayout(w);
    layout->addLayout(body);
    layout->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto& lib = e.libBuilder;
    auto* ok = commandButton(
        e, "OK", okName, [&lib] { lib.LibOkSpecClick(); }, w);
    ok->setDefault(true);
    auto* help = helpButton(e, w, HelpTopic::Libraries);
    help->setObjectName(helpName);
    auto* cancel = commandButton(
        e, "Cancel", "Cancel", [&lib] { lib.CancelLibOps(); }, w);
    // An array, not an initializer_list: the list's elements would end with the conditional expression.
    const std::array<QPushButton*, 3> buttons =
        order == Order::OkHelpCancel ? std::array{ok, help, cancel} : std::array{help, cancel, ok};
    for (QPushButton* b : buttons)
        row->addWidget(b);
    layout->addLayout(row);
    tabs->addTab(w, caption);
    return w;
}

QVBoxLayout* boxes(std::initializer_list<std::pair<CheckBox*, const char*>> list, QWidget* parent) {
    auto* layout = new QVBoxLayout;
    for (auto [box, name] : list)
        layout->addWidget(checkBox(*box, name, parent));
    return layout;
}

} // namespace

QWidget* createLibaryGenOps(TEmbedded& e, QWidget* parent) {
    auto& l = e.lib;
    auto& b = e.libBuilder;
    auto* tabs = new QTabWidget(parent);
    tabs->setObjectName("LibaryGenOps");

    libraryPage(e, tabs, "LibSpecTab", "Libarary Specific",
                boxes({{&l.Verbose, "Verbose"},
                       {&l.NoHeaders, "NoHeaders"},
                       {&l.UseSource, "UseSource"},
                       {&l.ExtractSource, "ExtractSource"},
                       {&l.Overwrite, "Overwrite"},
                       {&l.SuppressHeaders, "SuppressHeaders"}},
                      tabs),
                "LibOkSpec", "Button15", Order::OkHelpCancel);
    libraryPage(e, tabs, "LibGenTab", "General",
                boxes({{&l.Debug, "Debug"},
                       {&l.C8, "C8"},
                       {&l.KandR, "KandR"},
                       {&l.SuppressWarns, "SuppressWarns"},
                       {&l.Trigraph, "Trigraph"}},
                      tabs),
                "LibOkGen", "Button17", Order::HelpCancelOk);

    auto* files = new QGridLayout;
    auto fileRow = [&](int row, const char* caption, Edit& edit, const char* editName, const char* browseName,
                       void (LibraryBuilder::*browse)()) {
        files->addWidget(new QLabel(caption, tabs), row, 0);
        auto* line = lineEdit(edit, editName, tabs);
        line->setMinimumWidth(360);
        files->addWidget(line, row, 1);
        files->addWidget(commandButton(
                             e, "Browse", browseName, [&b, browse] { (b.*browse)(); }, tabs),
                         row, 2);
    };
    fileRow(0, "Source", l.Source, "Source", "LibSrcBrowse", &LibraryBuilder::LibSrcBrowseClick);
    fileRow(1, "Library", l.Lib, "Lib", "Button21", &LibraryBuilder::Button21Click);
    files->setColumnStretch(3, 1);
    libraryPage(e, tabs, "LibFileTab", "Files", files, "LibOkFiles", "Button22", Order::HelpCancelOk);

    libraryPage(e, tabs, "LibModelTab", "Model",
                boxes({{&l.Asumealias, "Asumealias"},
                       {&l.CheckBox2, "CheckBox2"},
                       {&l.CheckBox3, "CheckBox3"},
                       {&l.CheckBox4, "CheckBox4"},
                       {&l.CheckBox5, "CheckBox5"},
                       {&l.SmallMem, "SmallMem"}},
                      tabs),
                "LibOkModel", "Button27", Order::HelpCancelOk);

    bindPages(tabs, e.LibaryGenOps);
    return tabs;
}

} // namespace halyard::gui
