// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt windows of the directory dialogs.
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "binders.h"
#include "help/context_help.h"
#include "help/help.h"
#include "qt_ui.h"
#include "shell/dir_setup.h"
#include "shell/main_window.h"

namespace halyard::gui {

namespace {

Answer runDirWarning(ModalDialog& model, QWidget* owner) {
    auto& m = static_cast<TDirWarningDlg&>(model);
    QDialog dlg(owner);
    dlg.setObjectName("TDirWarningDlg");
    setHelpTopic(&dlg, HelpTopic::Setup);
    dlg.setWindowTitle("Warning");
    auto* layout = new QVBoxLayout(&dlg);
    QFont bold = dlg.font();
    bold.setBold(true);
    auto* head = new QLabel("Local System files Directory ", &dlg);
    head->setFont(bold);
    auto* name = new QLabel(qs(m.DirName), &dlg);
    name->setObjectName("DirName");
    auto* tail = new QLabel("does not exist, Click Browse to select another Directory", &dlg);
    tail->setFont(bold);
    layout->addWidget(head);
    layout->addWidget(name);
    layout->addWidget(tail);
    auto* buttons = new QDialogButtonBox(&dlg);
    Answer result = Answer::Cancel;
    auto add = [&](const char* caption, Answer a) {
        auto* b = buttons->addButton(caption, QDialogButtonBox::ActionRole);
        if (a != Answer::None)
            QObject::connect(b, &QPushButton::clicked, &dlg, [&dlg, &result, a] {
                result = a;
                dlg.done(0);
            });
    };
    add("Create It", Answer::Ok);
    add("Browse", Answer::Yes);
    add("Cancel", Answer::Cancel);
    add("Help", Answer::None);
    layout->addWidget(buttons);
    dlg.exec();
    return result;
}

// A path in the width it is given, cut in the middle, the whole of it in the tool tip.
class PathLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setPath(const QString& path) {
        path_ = path;
        setToolTip(path);
        refit();
    }
    QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        refit();
    }

private:
    void refit() { setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, contentsRect().width())); }
    QString path_;
};

Answer runDirsetup(ModalDialog& model, QWidget* owner) {
    auto& m = static_cast<TDirsetup&>(model);
    QDialog dlg(owner);
    dlg.setObjectName("TDirsetup");
    dlg.setWindowTitle("Halyard Setup");
    auto* layout = new QVBoxLayout(&dlg);
    auto* group = new QGroupBox("File locations", &dlg);
    auto* grid = new QGridLayout(group);
    struct Row {
        const char* label;
        Edit& edit;
        const char* name;
        int tag;
    } rows[] = {
        {"Working Drive", m.WkDrive, "WkDrive", 1},      {"Compiler Temp Dir", m.SourceDir, "SourceDir", 2},
        {"Header File Location", m.System, "System", 3}, {"Project file", m.ProjectFile, "ProjectFile", 0},
        {"Programming Tool", m.Stratos, "Stratos", 0},   {"TMS370 Files ", m.TMS370, "TMS370", 5},
    };
    int r = 0;
    for (auto& row : rows) {
        grid->addWidget(new QLabel(row.label, group), r, 0);
        auto* edit = new QLineEdit(group);
        edit->setObjectName(row.name);
        bind(edit, row.edit);
        grid->addWidget(edit, r, 1);
        // Under the field, the host folder it maps to, kept in step with the text.
        auto* host = new PathLabel(group);
        host->setObjectName(QString(row.name) + "Host");
        QFont small = host->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        host->setFont(small);
        host->setForegroundRole(QPalette::PlaceholderText);
        // What runs the tool chain is a sentence, not a path: it wraps on a line of its own, where
        // cutting its middle out as a long path's would lose what it says.
        QLabel* kind = nullptr;
        if (row.tag == 5) {
            kind = new QLabel(group);
            kind->setObjectName(QString(row.name) + "Kind");
            kind->setFont(small);
            kind->setForegroundRole(QPalette::PlaceholderText);
            kind->setWordWrap(true);
        }
        auto showHost = [&m, host, kind, &field = row.edit] {
            const QString text = qs(m.HostFolder(field.text()));
            host->setPath(text);
            host->setVisible(!text.isEmpty());
            if (!kind) return;
            kind->setText(qs(m.ToolChainKind(field.text())));
            kind->setVisible(!kind->text().isEmpty());
        };
        showHost();
        row.edit.observe(showHost);
        grid->addWidget(host, r + 1, 1);
        if (kind) grid->addWidget(kind, r + 2, 1);
        if (row.tag) {
            auto* browse = new QToolButton(group);
            browse->setText("...");
            const int tag = row.tag;
            QObject::connect(browse, &QToolButton::clicked, &dlg, [&m, tag] { m.BrowseBtnClick(tag); });
            grid->addWidget(browse, r, 2);
        }
        r += kind ? 3 : 2;
    }
    layout->addWidget(group);
    // Everything about editor windows in one group, what builds do with them first.
    auto* aids = new QGroupBox("Editor windows", &dlg);
    aids->setObjectName("EditorAids");
    // In two columns: the dialog stays low enough for an 800x600 screen with its buttons in sight.
    auto* aidsLayout = new QGridLayout(aids);
    auto* keep = new QCheckBox(aids);
    keep->setObjectName("KeepEditors");
    bind(keep, m.KeepEditors);
    aidsLayout->addWidget(keep, 0, 0, 1, 2);
    const char* names[] = {"LineNumbers", "CurrentLine",  "MatchBrackets",
                           "KeepIndent",  "MessageMarks", "CompleteWhileTyping"};
    int n = 0;
    for (CheckBox* c : m.Aids.all()) {
        auto* box = new QCheckBox(aids);
        box->setObjectName(names[n++]);
        bind(box, *c);
        aidsLayout->addWidget(box, 1 + (n - 1) / 2, (n - 1) % 2);
    }
    layout->addWidget(aids);
    // What runs the tool chain's Windows and DOS programs.
    auto* runners = new QLabel(qs(TDirsetup::ForeignRunners()), &dlg);
    runners->setObjectName("ForeignRunners");
    runners->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(runners);
    auto* buttons = okCancelHelp(dlg, HelpTopic::Setup);
    auto* defaults = buttons->addButton("Defaults", QDialogButtonBox::ResetRole);
    QObject::connect(defaults, &QPushButton::clicked, &dlg, [&m] { m.DefaultsClick(); });
    layout->addWidget(buttons);
    dlg.setFixedSize(dlg.sizeHint().expandedTo(QSize(460, 0)));
    return execCentred(dlg) == QDialog::Accepted ? Answer::Ok : Answer::Cancel;
}

} // namespace

void registerShellDialogs() {
    QtUi::registerDialog(TDirWarningDlg::Kind, runDirWarning);
    QtUi::registerDialog(TDirsetup::Kind, runDirsetup);
}

} // namespace halyard::gui
