// SPDX-License-Identifier: GPL-3.0-or-later
// The options window `OptionsTabs` and the linker options window `LinkerOptions`: every option
// control as a real widget bound to its model control.
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "binders.h"
#include "panels.h"
#include "project/page_kit.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

// A page: its contents on top, its buttons in a row at the bottom.
struct Page {
    QWidget* widget;
    QVBoxLayout* body;
    QHBoxLayout* buttons;
};

Page page(QTabWidget* tabs, const char* name, const QString& caption) {
    auto* w = new QWidget(tabs);
    w->setObjectName(name);
    auto* outer = new QVBoxLayout(w);
    auto* body = new QVBoxLayout;
    outer->addLayout(body, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    outer->addLayout(buttons);
    tabs->addTab(w, caption);
    return {w, body, buttons};
}

QComboBox* combo(ComboBox& model, const char* name, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    bind(c, model);
    return c;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* r = new QHBoxLayout;
    for (QWidget* w : widgets)
        r->addWidget(w);
    r->addStretch(1);
    return r;
}

// The up and down arrow keys in the level edit step the up-down, as its buttons do.
class ArrowKeysStep : public QObject {
public:
    ArrowKeysStep(QObject* parent, std::function<void(int)> step) : QObject(parent), step_(std::move(step)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
        step_(key == Qt::Key_Up ? 1 : -1);
        return true;
    }

private:
    std::function<void(int)> step_;
};

// The optimisation level: the edit `Optlevel` with the up-down `OLevel` beside it (0 to 3).
QWidget* levelControl(TEmbedded& e, QWidget* parent) {
    auto& o = e.opts;
    auto* box = new QWidget(parent);
    box->setObjectName("OLevel");
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* edit = lineEdit(o.Optlevel, "Optlevel", box);
    edit->setMaximumWidth(40);
    layout->addWidget(edit);
    auto* up = new QToolButton(box);
    up->setObjectName("OLevelUp");
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(box);
    down->setObjectName("OLevelDown");
    down->setArrowType(Qt::DownArrow);
    layout->addWidget(up);
    layout->addWidget(down);
    auto step = [&e](int by) {
        e.run([&e, by] { e.opts.OLevel.setPosition(e.opts.OLevel.position() + by); });
    };
    QObject::connect(up, &QToolButton::clicked, box, [step] { step(1); });
    QObject::connect(down, &QToolButton::clicked, box, [step] { step(-1); });
    edit->installEventFilter(new ArrowKeysStep(edit, step));
    follow(box, o.OLevel, [up, down, &o] {
        up->setEnabled(o.OLevel.enabled());
        down->setEnabled(o.OLevel.enabled());
    });
    return box;
}

void optionButtons(TEmbedded& e, Page& p, int topic, bool tools = false) {
    auto* ok = commandButton(
        e, tools ? "Accept" : "OK", tools ? "Accept" : "OK", [&e] { e.compiler.OKClick(); }, p.widget);
    ok->setDefault(true);
    p.buttons->addWidget(ok);
    p.buttons->addWidget(commandButton(
        e, "Cancel", "Cancel", [&e] { e.compiler.CancelOptions2Click(); }, p.widget));
    if (!tools)
        p.buttons->addWidget(commandButton(
            e, "Set Defaults", "SetDefaults", [&e] { e.compiler.SetDefsClick(); }, p.widget));
    p.buttons->addWidget(helpButton(e, p.widget, topic));
}

void linkerButtons(TEmbedded& e, Page& p, int topic) {
    p.buttons->addWidget(commandButton(
        e, "Set Defaults", "SetDefaults", [&e] { e.linker.setLinkerDefs(); }, p.widget));
    p.buttons->addWidget(commandButton(
        e, "Cancel", "Cancel", [&e] { e.linker.cancelLinkerOps(); }, p.widget));
    auto* ok = commandButton(
        e, "OK", "OK", [&e] { e.linker.OKClick(); }, p.widget);
    ok->setDefault(true);
    p.buttons->addWidget(ok);
    p.buttons->addWidget(helpButton(e, p.widget, topic));
}

// "Command line Linker Options", in bold on every linker page.
void linkerTitle(Page& p) {
    auto* title = new QLabel("Command line Linker Options", p.widget);
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    p.body->addWidget(title);
}

} // namespace

QWidget* createOptionsTabs(TEmbedded& e, QWidget* parent) {
    auto& o = e.opts;
    auto* tabs = new QTabWidget(parent);
    tabs->setObjectName("OptionsTabs");

    auto compiler = page(tabs, "CompilerTab", "Compiler");
    auto* groups = new QHBoxLayout;
    groups->addWidget(
        checkGroup("Compiler Options",
                   {{&o.EL, "EL"}, {&o.DB, "DB"}, {&o.IL, "IL"}, {&o.KA, "KA"}, {&o.QM, "QM"}, {&o.CO, "CO"}},
                   compiler.widget));
    groups->addWidget(checkGroup(
        "Paser Options", {{&o.KR, "KR"}, {&o.PPL, "PPL"}, {&o.PPO, "PPO"}, {&o.SW, "SW"}}, compiler.widget));
    compiler.body->addLayout(groups);
    compiler.body->addStretch(1);
    optionButtons(e, compiler, HelpTopic::Compiler);

    auto general = page(tabs, "General", "General");
    general.body->addLayout(
        row({new QLabel("Select Processor", general.widget), combo(o.ProcType, "ProcType", general.widget)}));
    auto* format = radioGroup(o.FormatBox, general.widget);
    format->setObjectName("FormatBox");
    general.body->addWidget(format);
    for (auto [box, name] : {std::pair<CheckBox*, const char*>{&o.SpecObjLoc, "SpecObjLoc"},
                             {&o.DisplayCommand, "DisplayCommand"},
                             {&o.Lastproject, "Lastproject"},
                             {&o.SendToFile, "SendToFile"},
                             {&o.ShowOnEnd, "ShowOnEnd"},
                             {&o.ShowBatch, "ShowBatch"}})
        general.body->addWidget(checkBox(*box, name, general.widget));
    general.body->addStretch(1);
    optionButtons(e, general, HelpTopic::General);

    // The tools page's contents belong to the tools; the page and its buttons are here.
    auto tools = page(tabs, "Programmer", "Tools");
    tools.body->addWidget(createToolsPage(e, tools.widget), 1);
    optionButtons(e, tools, HelpTopic::Tools, true);

    auto typing = page(tabs, "TabSheet1", "Type Checking");
    typing.body->addWidget(checkGroup("Type checking", {{&o.RPC, "RPC"}, {&o.RPCC, "RPCC"}}, typing.widget));
    typing.body->addStretch(1);
    optionButtons(e, typing, HelpTopic::TypeChecking);

    auto assembler = page(tabs, "TabSheet2", "Assembler");
    assembler.body->addWidget(checkGroup(
        "Assembler",
        {{&o.AALD, "AALD"}, {&o.ALL, "ALL"}, {&o.OSAS, "OSAS"}, {&o.KLAS, "KLAS"}, {&o.ICRI, "ICRI"}},
        assembler.widget));
    assembler.body->addStretch(1);
    optionButtons(e, assembler, HelpTopic::Assembler);

    auto runtime = page(tabs, "TabSheet3", "Run Time Model");
    auto* grid = new QGridLayout;
    int n = 0;
    for (auto [box, name] : {std::pair<CheckBox*, const char*>{&o.AAV, "AAV"},
                             {&o.SEROS, "SEROS"},
                             {&o.PRASS, "PRASS"},
                             {&o.PTOHS, "PTOHS"},
                             {&o.SIXBIT, "SIXBIT"},
                             {&o.PEO, "PEO"},
                             {&o.LRV, "LRV"},
                             {&o.SSCP, "SSCP"},
                             {&o.NO8BIT, "NO8BIT"},
                             {&o.SIXBITINT, "SIXBITINT"}}) {
        grid->addWidget(checkBox(*box, name, runtime.widget), n % 5, n / 5);
        ++n;
    }
    runtime.body->addLayout(grid);
    runtime.body->addStretch(1);
    optionButtons(e, runtime, HelpTopic::RunTimeModel);

    auto opto = page(tabs, "OptomisationTab", "Optomisation");
    auto* w = opto.widget;
    opto.body->addLayout(row({checkBox(o.SetOpt, "SetOpt", w), levelControl(e, w)}));
    opto.body->addLayout(row({checkBox(o.NonRe, "NonRe", w)}));
    opto.body->addLayout(
        row({checkBox(o.EnableL3Osize, "EnableL3Osize", w), lineEdit(o.L3OSize, "L3OSize", w)}));
    opto.body->addLayout(row({checkBox(o.DoOptoInfo, "DoOptoInfo", w), combo(o.OptoInfo, "OptoInfo", w)}));
    opto.body->addLayout(row({checkBox(o.UFlo, "UFlo", w), combo(o.FilelevelOpto, "FilelevelOpto", w)}));
    opto.body->addLayout(row({checkBox(o.Allowinline, "Allowinline", w)}));
    opto.body->addStretch(1);
    optionButtons(e, opto, HelpTopic::Optimisation);

    bindPages(tabs, e.OptionsTabs);
    return tabs;
}

QWidget* createLinkerOptions(TEmbedded& e, QWidget* parent) {
    auto& o = e.opts;
    auto* tabs = new QTabWidget(parent);
    tabs->setObjectName("LinkerOptions");

    auto memory = page(tabs, "TabSheet8", "Memory");
    auto* mw = memory.widget;
    linkerTitle(memory);
    memory.body->addLayout(row({checkBox(o.SF, "SF", mw), lineEdit(o.Fill, "Fill", mw)}));
    memory.body->addLayout(row({checkBox(o.IFS, "IFS", mw)}));
    memory.body->addLayout(row({checkBox(o.DHS, "DHS", mw), lineEdit(o.Heap, "Heap", mw)}));
    memory.body->addLayout(row({checkBox(o.HSS, "HSS", mw), lineEdit(o.HardStack, "HardStack", mw)}));
    memory.body->addLayout(row({checkBox(o.SSS, "SSS", mw), lineEdit(o.SoftStack, "SoftStack", mw)}));
    auto* init = radioGroup(o.Init, mw);
    init->setObjectName("Init");
    memory.body->addWidget(init);
    memory.body->addStretch(1);
    linkerButtons(e, memory, HelpTopic::LinkerMemory);

    auto output = page(tabs, "GenLinker", "Output");
    auto* ow = output.widget;
    linkerTitle(output);
    output.body->addLayout(row({checkBox(o.UN, "UN", ow)}));
    auto* setOP = button(o.SetOP, "SetOP", ow);
    QObject::connect(setOP, &QPushButton::clicked, setOP,
                     [&e] { e.run([&e] { e.linker.Setoutputfile(); }); });
    // Wide enough for a full path: "Set" puts the folder in front of the name.
    auto* outputFile = lineEdit(o.OutputFile, "OutputFile", ow);
    outputFile->setMinimumWidth(320);
    output.body->addLayout(row({label(o.outlab, "outlab", ow), outputFile, setOP}));
    output.body->addLayout(row({checkBox(o.AOP, "AOP", ow)}));
    output.body->addLayout(row({checkBox(o.RO, "RO", ow)}));
    output.body->addLayout(row({checkBox(o.GM, "GM", ow)}));
    auto* setMap = button(o.SetMap, "SetMap", ow);
    QObject::connect(setMap, &QPushButton::clicked, setMap,
                     [&e] { e.run([&e] { e.linker.Setoutputfile(); }); });
    auto* mapFile = lineEdit(o.MapFile, "MapFile", ow);
    mapFile->setMinimumWidth(320);
    output.body->addLayout(row({label(o.maplab, "maplab", ow), mapFile, setMap}));
    output.body->addLayout(row({checkBox(o.Quiet, "Quiet", ow)}));
    output.body->addLayout(row({checkBox(o.FRL, "FRL", ow)}));
    output.body->addStretch(1);
    linkerButtons(e, output, HelpTopic::LinkerOutput);

    auto symbols = page(tabs, "TabSheet9", "Symbols");
    auto* sw = symbols.widget;
    linkerTitle(symbols);
    symbols.body->addLayout(row({checkBox(o.GS, "GS", sw)}));
    symbols.body->addLayout(row({checkBox(o.SS, "SS", sw)}));
    symbols.body->addLayout(
        row({checkBox(o.IUS, "IUS", sw), lineEdit(o.UnResolvedSym, "UnResolvedSym", sw)}));
    symbols.body->addLayout(row({checkBox(o.DEP, "DEP", sw), lineEdit(o.EntryPoint, "EntryPoint", sw)}));
    symbols.body->addStretch(1);
    linkerButtons(e, symbols, HelpTopic::LinkerSymbols);

    bindPages(tabs, e.LinkerOptions);
    return tabs;
}

} // namespace halyard::gui
