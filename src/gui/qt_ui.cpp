// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_ui.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <map>

#include "base/paths.h"
#include "binders.h"
#include "drive_file_dialog.h"
#include "editor/editor_dialogs.h"
#include "help/context_help.h"
#include "shell/embedded.h"

namespace halyard::gui {

namespace {
std::map<std::string, QtUi::DialogRunner>& registry() {
    static std::map<std::string, QtUi::DialogRunner> r;
    return r;
}

QMessageBox::StandardButton toQt(Answer a) {
    switch (a) {
    case Answer::Ok:
        return QMessageBox::Ok;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    case Answer::Abort:
        return QMessageBox::Abort;
    case Answer::Retry:
        return QMessageBox::Retry;
    case Answer::Ignore:
        return QMessageBox::Ignore;
    default:
        return QMessageBox::NoButton;
    }
}

Answer fromQt(int b) {
    switch (b) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Ignore:
        return Answer::Ignore;
    default:
        return Answer::Cancel;
    }
}
} // namespace

QString qtFilter(const std::string& filter) {
    const QStringList parts = qs(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.join(";;");
}

QString qtSuffix(const std::string& defaultExt) {
    QString suffix = qs(defaultExt);
    while (suffix.startsWith('*') || suffix.startsWith('.'))
        suffix.remove(0, 1);
    return suffix;
}

QDialogButtonBox* okCancelHelp(QDialog& dialog, int topic) {
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, &dialog);
    setHelpTopic(&dialog, topic);
    QObject::connect(buttons, &QDialogButtonBox::helpRequested, &dialog, [topic] { requestHelp(topic); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

void centreOnScreen(QWidget& window) {
    // Before its first showing a window has no size of its own yet: the size it will show with
    // comes from its layout, unless it was given one.
    if (!window.testAttribute(Qt::WA_Resized)) window.adjustSize();
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(), window.size());
    frame.moveCenter(area.center());
    window.move(std::max(area.left(), frame.left()), std::max(area.top(), frame.top()));
}

int execCentred(QDialog& dialog) {
    centreOnScreen(dialog);
    return dialog.exec();
}

QString messageText(const std::string& text) {
    return qs(text).replace("\r\n", "\n").replace('\r', '\n');
}

void QtUi::registerDialog(const std::string& kind, DialogRunner runner) {
    registry()[kind] = std::move(runner);
}

Answer QtUi::message(MsgKind kind, const std::string& text, const std::vector<Answer>& buttons) {
    QMessageBox box(owner);
    box.setWindowTitle(qs(TEmbedded::Title));
    box.setText(messageText(text));
    box.setIcon(kind == MsgKind::Information ? QMessageBox::Information
                : kind == MsgKind::Warning   ? QMessageBox::Warning
                : kind == MsgKind::Error     ? QMessageBox::Critical
                                             : QMessageBox::Question);
    QMessageBox::StandardButtons set;
    for (Answer a : buttons)
        set |= toQt(a);
    box.setStandardButtons(set ? set : QMessageBox::Ok);
    return fromQt(box.exec());
}

void QtUi::showError(const std::string& text) {
    message(MsgKind::Error, text, {Answer::Ok});
}

std::optional<FontSpec> QtUi::chooseFont(const FontSpec& current, int minSize, int maxSize) {
    return runFontDialog(current, minSize, maxSize, owner);
}

Answer QtUi::print(const PrintJob& job) {
    return runPrintDialog(job, owner);
}

void QtUi::printerSetup() {
    runPrinterSetup(owner);
}

// Where a file dialog opens: at its proposed name, which without a folder of its own lies in the
// dialog's initial folder; else at that folder.
std::string QtUi::dialogStart(const FileDialog& d) const {
    std::string proposed = d.fileName;
    if (!proposed.empty() && ExtractFileDir(proposed).empty() && !d.initialDir.empty())
        proposed = AddTrailingBackslash(d.initialDir) + proposed;
    return proposed.empty() ? d.initialDir : proposed;
}

std::optional<std::string> QtUi::openFile(const FileDialog& d) {
    DriveFileDialog dialog(dd, DriveFileDialog::Mode::Open, qs(d.title), dialogStart(d), owner,
                           fallbackFolder ? fallbackFolder() : std::string());
    if (!d.filter.empty()) dialog.setNameFilters(qtFilter(d.filter).split(";;"));
    return dialog.choose();
}

std::optional<std::string> QtUi::saveFile(const FileDialog& d) {
    DriveFileDialog dialog(dd, DriveFileDialog::Mode::Save, qs(d.title), dialogStart(d), owner,
                           fallbackFolder ? fallbackFolder() : std::string());
    if (!d.filter.empty()) dialog.setNameFilters(qtFilter(d.filter).split(";;"));
    if (const QString suffix = qtSuffix(d.defaultExt); !suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    return dialog.choose();
}

std::optional<std::string> QtUi::chooseDirectory(const std::string& title, const std::string& start) {
    DriveFileDialog dialog(dd, DriveFileDialog::Mode::Directory, qs(title), start, owner,
                           fallbackFolder ? fallbackFolder() : std::string());
    return dialog.choose();
}

Answer QtUi::execute(ModalDialog& dialog) {
    auto it = registry().find(dialog.kind());
    if (it == registry().end()) return Answer::Cancel;
    return it->second(dialog, owner);
}

} // namespace halyard::gui
