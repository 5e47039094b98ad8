// SPDX-License-Identifier: GPL-3.0-or-later
// The project editor panel `ProjEditPan`, the project summary `DisplayPanel` and the "New Project"
// dialog.
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "binders.h"
#include "page_kit.h"
#include "panels.h"
#include "qt_ui.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {

Answer runNewProject(ModalDialog& model, QWidget* owner) {
    auto& m = dynamic_cast<TNewProjPan&>(model);
    QDialog dialog(owner);
    dialog.setObjectName("TNewProjPan");
    dialog.setWindowTitle("New Project");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("Enter Name for New Project", &dialog));
    auto* name = new QLineEdit(&dialog);
    name->setObjectName("projname");
    bind(name, m.projname);
    layout->addWidget(name);
    layout->addWidget(okCancelHelp(dialog, HelpTopic::NewProject));
    dialog.adjustSize();
    return execCentred(dialog) == QDialog::Accepted ? Answer::Ok : Answer::Cancel;
}

// The directory as ScrDir shows it: the drive stays, and the folders next to it give way to "..."
// when the whole path is wider than the label, so the current folder's own name stays readable.
QString shortenedDirectory(const QString& dir, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(dir) <= width) return dir;
    const QString head = dir.left(3); // "C:\"
    QString tail = dir.mid(3);
    while (!tail.isEmpty() && metrics.horizontalAdvance(head + "..." + tail) > width)
        tail.remove(0, 1);
    return head + "..." + tail;
}

QToolButton* speedButton(TEmbedded& e, const char* name, const QString& text, const QString& tip,
                         std::function<void()> handler, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    QObject::connect(b, &QToolButton::clicked, b, [&e, handler] { e.run(handler); });
    return b;
}

// The directory list: the folders above the current one, the current one, then its subfolders; a
// double click or Enter moves there.
QListWidget* directoryList(TEmbedded& e, QWidget* parent) {
    auto& pe = e.projEdit;
    auto* list = new QListWidget(parent);
    list->setObjectName("DirBox");
    follow(list, pe.DirBox, [list, &pe] {
        QSignalBlocker block(list);
        list->clear();
        const std::string dir = pe.DirBox.directory();
        if (dir.empty()) return;
        // "C:\a\b" -> "C:\", "C:\a", "C:\a\b"
        std::string path = dir.substr(0, 3);
        int depth = 0;
        auto add = [list](const std::string& text, const std::string& target, int indent) {
            auto* item = new QListWidgetItem(QString(indent * 2, ' ') + qs(text), list);
            item->setData(Qt::UserRole, qs(target));
            return item;
        };
        add(path, path, depth++);
        size_t at = 3;
        while (at < dir.size()) {
            const size_t end = dir.find('\\', at);
            const std::string name = dir.substr(at, end == std::string::npos ? std::string::npos : end - at);
            path = (path.size() > 3 ? path + "\\" : path) + name;
            add(name, path, depth++);
            if (end == std::string::npos) break;
            at = end + 1;
        }
        list->setCurrentRow(list->count() - 1);
        for (const auto& sub : pe.DirBox.subdirectories())
            add(sub, (dir.size() > 3 ? dir + "\\" : dir) + sub, depth);
    });
    QObject::connect(list, &QListWidget::itemActivated, list, [&e](QListWidgetItem* item) {
        const std::string target = ss(item->data(Qt::UserRole).toString());
        e.run([&e, target] { e.projEdit.setDirectory(target); });
    });
    return list;
}

} // namespace

QWidget* createProjEditPan(TEmbedded& e, QWidget* parent) {
    QtUi::registerDialog(TNewProjPan::Kind, runNewProject);
    auto& pe = e.projEdit;
    auto* panel = new QFrame(parent);
    panel->setObjectName("ProjEditPan");
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bindState(panel, e.ProjEditPan);
    auto* outer = new QVBoxLayout(panel);

    auto* title = new QHBoxLayout;
    auto* heading = label(pe.Label49, "Label49", panel);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    title->addWidget(heading);
    title->addWidget(label(pe.Label50, "Label50", panel));
    title->addStretch(1);
    outer->addLayout(title);

    auto* grid = new QGridLayout;
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(label(pe.DirLabel, "DirLabel", panel));
    auto* scrDir = new QLabel(panel);
    scrDir->setObjectName("ScrDir");
    scrDir->setMinimumWidth(120);
    follow(scrDir, pe.ScrDir, [scrDir, &pe] {
        const QString full = qs(pe.ScrDir.caption());
        scrDir->setToolTip(full);
        scrDir->setText(
            shortenedDirectory(full, QFontMetrics(scrDir->font()), std::max(120, scrDir->width())));
    });
    dirRow->addWidget(scrDir, 1);
    grid->addLayout(dirRow, 0, 0);
    auto* drives = new QComboBox(panel);
    drives->setObjectName("DriveComboBox1");
    bind(drives, pe.DriveComboBox1);
    grid->addWidget(drives, 1, 0);
    grid->addWidget(directoryList(e, panel), 2, 0, 3, 1);

    grid->addWidget(label(pe.SourceLabel, "SourceLabel", panel), 0, 1);
    auto* files = new QListWidget(panel);
    files->setObjectName("SourceListBox");
    bind(files, pe.SourceListBox);
    grid->addWidget(files, 1, 1, 4, 1);
    auto* trans = lineEdit(pe.Trans, "Trans", panel);
    trans->setVisible(false);

    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(speedButton(
        e, "SpeedButton1", ">", "Add", [&pe] { pe.AddClick(); }, panel));
    arrows->addWidget(speedButton(
        e, "SpeedButton2", "<", "Remove", [&pe] { pe.RemoveClick(); }, panel));
    arrows->addWidget(speedButton(
        e, "SpeedButton3", ">>", "Add all", [&pe] { pe.SpeedButton3Click(); }, panel));
    arrows->addWidget(speedButton(
        e, "SpeedButton4", "<<", "Remove all", [&pe] { pe.SpeedButton4Click(); }, panel));
    arrows->addStretch(1);
    grid->addLayout(arrows, 1, 2, 4, 1);

    grid->addWidget(label(pe.ProjectName, "ProjectName", panel), 0, 3);
    auto* project = new QListWidget(panel);
    project->setObjectName("ProjectListBox");
    bind(project, e.ProjectListBox);
    grid->addWidget(project, 1, 3, 4, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 3);
    outer->addLayout(grid, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(commandButton(
        e, "Add", "Button1", [&pe] { pe.AddClick(); }, panel));
    buttons->addWidget(commandButton(
        e, "Remove", "Button2", [&pe] { pe.RemoveClick(); }, panel));
    buttons->addWidget(commandButton(
        e, "OK", "Button3", [&pe] { pe.Button3Click(); }, panel));
    buttons->addWidget(commandButton(
        e, "Cancel", "Button4", [&pe] { pe.Button4Click(); }, panel));
    auto* help = helpButton(e, panel, HelpTopic::ProjectEditor);
    help->setObjectName("Button59");
    buttons->addWidget(help);
    outer->addLayout(buttons);
    return panel;
}

QWidget* createDisplayPanel(TEmbedded& e, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName("DisplayPanelContents");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* memo = new QPlainTextEdit(panel);
    memo->setObjectName("Memo2");
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont fixed("Monospace");
    fixed.setStyleHint(QFont::TypeWriter);
    memo->setFont(fixed);
    layout->addWidget(memo);
    auto& m = e.summary.Memo2;
    follow(memo, m, [memo, &m] {
        QStringList rows;
        for (const auto& line : m.lines())
            rows << qs(line);
        memo->setPlainText(rows.join('\n'));
    });
    return panel;
}

} // namespace halyard::gui
