// SPDX-License-Identifier: GPL-3.0-or-later
// The command-file builder: four pages over the main window's work area, each closed by its own
// "OK" and "Cancel". Both only hide the builder; what was entered stays for the next "Construct".
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "binders.h"
#include "help/context_help.h"
#include "help/help.h"
#include "panels.h"
#include "project/page_kit.h"
#include "qt_ui.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

struct PageButtons {
    const char* cancel;
    const char* ok;
};

// Object names are the builder's control names, so tests find them.
constexpr PageButtons Buttons[] = {
    {"Button49", "Button50"}, // LIBRARIES
    {"Button37", "Button38"}, // MEMORY
    {"Button80", "Button81"}, // SEC TIONS
    {"Button43", "Button44"}, // BUILD
};
constexpr const char* PageNames[] = {"TabSheet12", "TabSheet10", "TabSheet20", "BuildTab"};

// The builder's masked fields keep blanks in unfilled places ("RAM     : ", "     10h"), so the
// model gets the text as shown, blanks included, and is written back only when it differs.
QLineEdit* maskedEdit(MaskEdit& model, const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    bindState(edit, model);
    // Optional letters or digits ("a"), optional characters ("c"), everything else a literal.
    QString mask;
    for (char ch : model.mask())
        mask += ch == 'a' ? QString("n") : ch == 'c' ? QString("x") : QString("\\") + QChar(ch);
    edit->setInputMask(mask);
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [&model, edit] { model.setText(ss(edit->displayText())); });
    follow(edit, model, [edit, &model] {
        if (ss(edit->displayText()) == model.text()) return;
        QSignalBlocker block(edit);
        edit->setText(qs(model.text()));
    });
    const int chars = static_cast<int>(model.text().size()) + 2;
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(chars, QChar('W'))));
    return edit;
}

// A multi-line text whose model holds CR LF line ends.
QPlainTextEdit* memo(Edit& model, const char* name, QWidget* parent) {
    auto* text = new QPlainTextEdit(parent);
    text->setObjectName(name);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    bindState(text, model);
    follow(text, model, [text, &model] {
        const QString shown = qs(model.text()).replace("\r\n", "\n");
        if (text->toPlainText() == shown) return;
        QSignalBlocker block(text);
        text->setPlainText(shown);
    });
    QObject::connect(text, &QPlainTextEdit::textChanged, text,
                     [text, &model] { model.setText(ss(text->toPlainText().replace("\n", "\r\n"))); });
    return text;
}

// An editable combo box: the typed text is the model's text, a choice from the list its index.
QComboBox* editableCombo(ComboBox& model, const char* name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    bind(combo, model);
    follow(combo, model, [combo, &model] {
        if (ss(combo->currentText()) == model.text()) return;
        QSignalBlocker block(combo);
        combo->setEditText(qs(model.text()));
    });
    QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo,
                     [combo, &model] { model.setText(ss(combo->currentText())); });
    return combo;
}

QComboBox* combo(ComboBox& model, const char* name, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    bind(c, model);
    return c;
}

QListWidget* list(ListBox& model, const char* name, QWidget* parent) {
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    bind(l, model);
    return l;
}

// The Delete key in a list runs its "Remove".
class DeleteKey : public QObject {
public:
    DeleteKey(QListWidget* list, std::function<void()> remove) : QObject(list), remove_(std::move(remove)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Delete)
            return false;
        remove_();
        return true;
    }

private:
    std::function<void()> remove_;
};

// "Remove" takes the selected line; the Delete key in the list does the same.
QPushButton* removeButton(TEmbedded& e, QListWidget* l, const char* name, void (CmdBuilder::*remove)(),
                          QWidget* parent) {
    auto handler = [&e, remove] { (e.cmdBuild.*remove)(); };
    l->installEventFilter(new DeleteKey(l, [&e, handler] { e.run(handler); }));
    return commandButton(e, "Remove", name, handler, parent);
}

// A state-steered button of the page (its enabled state is the model's).
QPushButton* stepButton(MenuItem& model, const char* name, QWidget* parent) {
    QPushButton* b = button(model, name, parent);
    QObject::connect(b, &QPushButton::clicked, b, [&model] { model.click(); });
    return b;
}

// A picture button with a tool tip saying what it does.
QToolButton* pictureButton(QStyle::StandardPixmap pixmap, const QString& tip, const char* name,
                           QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(parent->style()->standardIcon(pixmap));
    b->setToolTip(tip);
    return b;
}

template <class Handler> void onClick(TEmbedded& e, QAbstractButton* b, Handler h) {
    QObject::connect(b, &QAbstractButton::clicked, b, [&e, h] { e.run([&e, h] { (e.cmdBuild.*h)(); }); });
}

QWidget* librariesPage(TEmbedded& e, QWidget* w) {
    LinkCmdControls& c = e.linkCmd;
    auto* layout = new QVBoxLayout(w);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Select Object Libaries", w));
    auto* add = commandButton(
        e, "Add", "AdLib", [&e] { e.cmdBuild.AddLibClick(); }, w);
    row->addWidget(add);
    auto* libs = list(c.ObjectLibs, "ObjectLibs", w);
    row->addWidget(removeButton(e, libs, "RemoveLib", &CmdBuilder::RemoveLib, w));
    row->addStretch(1);
    layout->addLayout(row);
    layout->addWidget(libs, 1);
    layout->addWidget(checkBox(c.CheckBox6, "CheckBox6", w));
    auto* note = new QLabel("NOTE: Library specifiers must always be the first entry in the command File", w);
    note->setWordWrap(true);
    layout->addWidget(note);
    return w;
}

QWidget* memoryPage(TEmbedded& e, QWidget* w) {
    LinkCmdControls& c = e.linkCmd;
    auto* layout = new QVBoxLayout(w);
    auto* title = new QLabel("MEMORY directives", w);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    auto* row = new QHBoxLayout;
    auto* fields = new QGridLayout;
    struct Field {
        const char* label;
        MaskEdit& edit;
        const char* name;
    } rows[] = {{"Name", c.NameBox, "NameBox"},
                {"Origin", c.Origin, "Origin"},
                {"Length", c.MemLength, "MemLength"},
                {"Fill", c.FillBox, "FillBox"}};
    int col = 0;
    for (auto& f : rows) {
        fields->addWidget(new QLabel(f.label, w), 0, col);
        fields->addWidget(maskedEdit(f.edit, f.name, w), 1, col);
        ++col;
    }
    row->addLayout(fields);
    auto* attrs = new QGroupBox("Attributes", w);
    auto* attrRow = new QHBoxLayout(attrs);
    for (auto [box, name] : {std::pair{&c.R, "R"}, {&c.W, "W"}, {&c.X, "X"}, {&c.I, "I"}})
        attrRow->addWidget(checkBox(*box, name, attrs));
    row->addWidget(attrs);
    auto* mems = list(c.MemList, "MemList", w);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(commandButton(
        e, "Add", "AddMem", [&e] { e.cmdBuild.AddMemClick(); }, w));
    buttons->addWidget(removeButton(e, mems, "RemoveMem", &CmdBuilder::RemoveMem, w));
    row->addLayout(buttons);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addWidget(mems, 1);
    return w;
}

QWidget* sectionsPage(TEmbedded& e, QWidget* w) {
    LinkCmdControls& c = e.linkCmd;
    auto* layout = new QVBoxLayout(w);

    auto* out = new QGroupBox("Output Sections", w);
    auto* grid = new QGridLayout(out);
    grid->addWidget(new QLabel("Name", out), 0, 0);
    auto* names = editableCombo(c.SectionNames, "SectionNames", out);
    names->setMinimumWidth(140);
    grid->addWidget(names, 0, 1);
    auto* nameBtn =
        pictureButton(QStyle::SP_ArrowRight, "Start the parameter line with this name", "SpeedButton5", out);
    onClick(e, nameBtn, &CmdBuilder::SpeedButton5Click);
    grid->addWidget(nameBtn, 0, 2);
    auto* newName = commandButton(
        e, "New", "NewName", [&e] { e.cmdBuild.NewNameClick(); }, out);
    grid->addWidget(newName, 0, 3);
    auto* load = commandButton(
        e, "Load Pars", "SetUpLoad", [&e] { e.cmdBuild.SetuploadClick(); }, out);
    auto* run = commandButton(
        e, "Run Pars", "SetUpRunPars", [&e] { e.cmdBuild.SetUpRunParsClick(); }, out);
    grid->addWidget(load, 0, 4);
    grid->addWidget(run, 0, 5);

    grid->addWidget(new QLabel("Type", out), 1, 0);
    grid->addWidget(combo(c.SectionType, "SectionType", out), 1, 1);
    auto* typeBtn = pictureButton(QStyle::SP_ArrowRight, "Add the section type", "AddType", out);
    onClick(e, typeBtn, &CmdBuilder::AddTypeClick);
    grid->addWidget(typeBtn, 1, 2);
    grid->addWidget(new QLabel("Fill", out), 1, 3);
    grid->addWidget(maskedEdit(c.SectionFill, "SectionFill", out), 1, 4);
    auto* fillBtn = pictureButton(QStyle::SP_ArrowRight, "Add the fill value", "AddFill", out);
    onClick(e, fillBtn, &CmdBuilder::AddFillClick);
    grid->addWidget(fillBtn, 1, 5, Qt::AlignLeft);

    auto* param = lineEdit(c.ParamLine, "ParamLine", out);
    param->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    grid->addWidget(param, 2, 0, 1, 7);
    auto* edit = commandButton(
        e, "Edit", "BitBtn5", [&e] { e.cmdBuild.EditPLineClick(); }, out);
    grid->addWidget(edit, 2, 7);

    auto* sections = list(c.SectionList, "SectionList", out);
    auto* actions = new QHBoxLayout;
    actions->addWidget(stepButton(c.addBtn, "addBtn", out));
    actions->addWidget(stepButton(c.InsertBtn, "InsertBtn", out));
    actions->addWidget(stepButton(c.ReplaceBtn, "ReplaceBtn", out));
    actions->addWidget(removeButton(e, sections, "RemoveSection", &CmdBuilder::RemoveSection, out));
    actions->addStretch(1);
    actions->addWidget(commandButton(
        e, "Interupt Vectors", "Button30", [&e] { e.cmdBuild.Button30Click(); }, out));
    grid->addLayout(actions, 3, 0, 1, 8);
    // Three lines at least: on a small screen the page's buttons stay in sight, the lists scroll.
    const int threeLines = sections->fontMetrics().lineSpacing() * 3 + 2 * sections->frameWidth() + 4;
    sections->setMinimumHeight(threeLines);
    grid->addWidget(sections, 4, 0, 1, 8);
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(4, 1);
    layout->addWidget(out, 3);

    auto* in = new QGroupBox("Input Sections", w);
    auto* inLayout = new QHBoxLayout(in);
    auto* steps = new QVBoxLayout;
    steps->addWidget(stepButton(c.CreateIPSec, "CreateIPSec", in));
    // The picture buttons beside Select Files: two rows keep the page low enough for a small screen.
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(stepButton(c.SelectFiles, "SelectFiles", in));
    for (auto [model, pixmap, tip, name] :
         {std::tuple{&c.AbortIpsection, QStyle::SP_DialogCancelButton, "Abort: empty the input sections",
                     "AbortIpsection"},
          std::tuple{&c.AddIPSection, QStyle::SP_ArrowUp, "Add the input sections to the section list",
                     "AddIPSection"}}) {
        auto* b = pictureButton(pixmap, tip, name, in);
        bindState(b, *model);
        MenuItem* m = model;
        QObject::connect(b, &QToolButton::clicked, b, [m] { m->click(); });
        pictures->addWidget(b);
    }
    pictures->addStretch(1);
    steps->addLayout(pictures);
    steps->addStretch(1);
    inLayout->addLayout(steps);
    auto* inputs = memo(c.InputSections, "InputSections", in);
    inputs->setMinimumHeight(threeLines);
    inLayout->addWidget(inputs, 1);
    layout->addWidget(in, 2);
    return w;
}

// The controls above the command text, which gets the page's whole width.
QWidget* buildPage(TEmbedded& e, QWidget* w) {
    LinkCmdControls& c = e.linkCmd;
    auto* layout = new QVBoxLayout(w);
    auto* top = new QHBoxLayout;
    auto* actions = new QVBoxLayout;
    actions->addWidget(commandButton(
        e, "Build", "BuildCommand", [&e] { e.cmdBuild.BuildCommandClick(); }, w));
    actions->addWidget(commandButton(
        e, "Save", "saveCMD", [&e] { e.cmdBuild.saveCMDClick(); }, w));
    auto* check = commandButton(
        e, "Check", "CheckCommand", [&e] { e.cmdBuild.CheckClick(); }, w);
    check->setToolTip("Check the command file for mistakes the linker would refuse");
    actions->addWidget(check);
    actions->addStretch(1);
    top->addLayout(actions);
    QGroupBox* save = radioGroup(c.SaveOptions, w);
    save->setObjectName("SaveOptions");
    top->addWidget(save);
    top->addStretch(1);
    layout->addLayout(top);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(checkBox(c.Include, "Include", w));
    boxes->addWidget(checkBox(c.ClearCLine, "ClearCLine", w));
    boxes->addStretch(1);
    layout->addLayout(boxes);
    layout->addWidget(memo(c.Command, "Command", w), 1);
    return w;
}

QWidget* page(TEmbedded& e, QTabWidget* tabs, int index) {
    auto* outer = new QWidget(tabs);
    outer->setObjectName(PageNames[index]);
    auto* layout = new QVBoxLayout(outer);
    auto* body = new QWidget(outer);
    switch (index) {
    case 0:
        librariesPage(e, body);
        break;
    case 1:
        memoryPage(e, body);
        break;
    case 2:
        sectionsPage(e, body);
        break;
    default:
        buildPage(e, body);
        break;
    }
    layout->addWidget(body, 1);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), outer);
    ok->setObjectName(Buttons[index].ok);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), outer);
    cancel->setObjectName(Buttons[index].cancel);
    QObject::connect(ok, &QPushButton::clicked, outer, [&e] { e.run([&e] { e.cmdFile.CloseLnkCmdWiz(); }); });
    QObject::connect(cancel, &QPushButton::clicked, outer,
                     [&e] { e.run([&e] { e.cmdFile.Button42Click(); }); });
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    return outer;
}

Answer runSectionsEdit(ModalDialog& model, QWidget* owner) {
    auto& m = static_cast<TSectionsEdit&>(model);
    QDialog dlg(owner);
    dlg.setObjectName("TSectionsEdit");
    setHelpTopic(&dlg, HelpTopic::CmdBuilder);
    dlg.setWindowTitle("Sections Editor");
    auto* layout = new QVBoxLayout(&dlg);
    QLabel* title = label(m.ParTypeLab, "ParTypeLab", &dlg);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel("Type", &dlg), 0, 0);
    top->addWidget(combo(m.MemoryType, "MemoryType", &dlg), 0, 1);
    auto* bmlab = new QLabel("Location", &dlg);
    bindState(bmlab, m.Bmlab);
    top->addWidget(bmlab, 1, 0);
    top->addWidget(maskedEdit(m.BoundMemory, "BoundMemory", &dlg), 1, 1);
    top->addWidget(new QLabel("Page", &dlg), 0, 2);
    auto* page = new QSpinBox(&dlg);
    page->setObjectName("PageUD");
    bind(page, m.PageUD);
    top->addWidget(page, 0, 3);
    top->setColumnStretch(4, 1);
    layout->addLayout(top);

    auto* named = new QGroupBox(&dlg);
    named->setObjectName("NamedMemoryPan");
    bindState(named, m.NamedMemoryPan);
    auto* grid = new QGridLayout(named);
    auto* namedTitle = new QLabel("Named Memory", named);
    namedTitle->setFont(bold);
    grid->addWidget(namedTitle, 0, 0, 1, 2);
    grid->addWidget(new QLabel("Memory", named), 1, 0);
    grid->addWidget(combo(m.Memory, "Memory", named), 1, 1);
    grid->addWidget(new QLabel("Allignment", named), 2, 0);
    grid->addWidget(combo(m.Alignment, "Alignment", named), 2, 1);
    auto* blab = new QLabel("Boundrys", named);
    bindState(blab, m.BLab);
    grid->addWidget(blab, 3, 0);
    grid->addWidget(maskedEdit(m.Value, "Value", named), 3, 1);
    layout->addWidget(named);

    auto* output = lineEdit(m.output, "output", &dlg);
    output->setMinimumWidth(280);
    layout->addWidget(output);
    auto* buttons = new QHBoxLayout;
    auto* apply = new QPushButton("Apply", &dlg);
    apply->setObjectName("Button47");
    QObject::connect(apply, &QPushButton::clicked, &dlg, [&m] { m.Button47Click(); });
    auto* ok = new QPushButton("OK", &dlg);
    ok->setObjectName("Button1");
    auto* cancel = new QPushButton("Cancel", &dlg);
    cancel->setObjectName("Button48");
    QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dlg, &QDialog::reject);
    buttons->addWidget(apply);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return execCentred(dlg) == QDialog::Accepted ? Answer::Ok : Answer::Cancel;
}

Answer runIPSectionName(ModalDialog& model, QWidget* owner) {
    auto& m = static_cast<TIPSectionName&>(model);
    m.FormActivate();
    QDialog dlg(owner);
    dlg.setObjectName("TIPSectionName");
    setHelpTopic(&dlg, HelpTopic::CmdBuilder);
    dlg.setWindowTitle("Section Name");
    auto* layout = new QVBoxLayout(&dlg);
    auto* row = new QHBoxLayout;
    auto* names = editableCombo(m.Clist, "Clist", &dlg);
    names->setMinimumWidth(180);
    row->addWidget(names, 1);
    auto* add = new QPushButton("Add", &dlg);
    add->setObjectName("Button3");
    QObject::connect(add, &QPushButton::clicked, &dlg, [&m] { m.Button3Click(); });
    row->addWidget(add);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton("OK", &dlg);
    ok->setObjectName("Button1");
    auto* cancel = new QPushButton("Cancel", &dlg);
    cancel->setObjectName("Button2");
    QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dlg, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    return execCentred(dlg) == QDialog::Accepted ? Answer::Ok : Answer::Cancel;
}

} // namespace

QWidget* createLinkCmdWiz(TEmbedded& e, QWidget* parent) {
    QtUi::registerDialog("TSectionsEdit", runSectionsEdit);
    QtUi::registerDialog("TIPSectionName", runIPSectionName);
    auto* tabs = new QTabWidget(parent);
    tabs->setObjectName("LinkCmdWiz");
    setHelpTopic(tabs, HelpTopic::CmdBuilder);
    for (int i = 0; i < static_cast<int>(e.LinkCmdWiz.pages.size()); ++i)
        tabs->addTab(page(e, tabs, i), qs(e.LinkCmdWiz.pages[static_cast<size_t>(i)]));
    bindPages(tabs, e.LinkCmdWiz);
    return tabs;
}

} // namespace halyard::gui
