// SPDX-License-Identifier: GPL-3.0-or-later
#include "drive_file_dialog.h"

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>

#include "base/dos_devices.h"
#include "base/paths.h"
#include "binders.h"

namespace halyard::gui {

namespace {
// "C:\x", "c:/x", "C:" or anything with a backslash, which no host file name of ours holds.
bool isWindowsPath(const std::string& text) {
    const bool drive =
        text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
    return drive || text.find('\\') != std::string::npos;
}
} // namespace

DriveFileDialog::DriveFileDialog(DosDevices& dd, Mode mode, const QString& title, const std::string& start,
                                 QWidget* owner, const std::string& fallback)
    : QFileDialog(owner, title), dd_(dd), mode_(mode) {
#ifndef _WIN32
    setOption(QFileDialog::DontUseNativeDialog); // the desktop's own dialog knows no drive letters
#endif
    if (mode == Mode::Save) setAcceptMode(QFileDialog::AcceptSave);
    if (mode == Mode::Directory) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
    }
    QList<QUrl> side;
    const auto drives = dd_.letterFolders();
    for (const auto& folder : drives)
        side << QUrl::fromLocalFile(qs(folder.string()));
    side << QUrl::fromLocalFile(QDir::homePath());
    setSidebarUrls(side);
    if (start.empty()) return;
    std::string folder = dd_.absolute(start), file;
    if (mode != Mode::Directory && !dd_.dirExists(folder)) {
        file = ExtractFileName(folder);
        folder = ExtractFileDir(folder);
    }
    // A folder that is not there yet opens at the nearest one that is; an unmapped drive (the
    // floppy A: of old) in the fallback folder, else on the first drive.
    for (int up = 0; !dd_.dirExists(folder) && up < 64; ++up)
        folder = ExtractFileDir(RemoveTrailingBackslash(folder));
    if (!dd_.dirExists(folder) && !fallback.empty()) folder = dd_.absolute(fallback);
    if (dd_.dirExists(folder))
        setDirectory(qs(dd_.toLetterPath(folder).string()));
    else if (!drives.empty())
        setDirectory(qs(drives.front().string()));
    if (!file.empty()) selectFile(qs(file));
}

std::optional<std::string> DriveFileDialog::choose() {
    typed_.reset();
    if (exec() != QDialog::Accepted) return std::nullopt;
    if (typed_) return typed_;
    const QStringList files = selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return dd_.toWindows(ss(files.first()));
}

// Qt would read a typed Windows path as a host file name in the current folder; here it names a
// file or folder through the drive mapping, in any letter case, like everywhere else in Halyard.
void DriveFileDialog::accept() {
    auto* edit = findChild<QLineEdit*>("fileNameEdit");
    const std::string text = edit ? ss(edit->text().trimmed()) : std::string();
    if (!isWindowsPath(text)) {
        QFileDialog::accept();
        return;
    }
    std::string path = text;
    const bool drive = std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
    if (!drive) {
        const std::string here = dd_.toWindows(ss(directory().absolutePath()));
        path = IsPathSeparator(text[0]) ? here.substr(0, 2) + text : AddTrailingBackslash(here) + text;
    }
    path = dd_.absolute(path);
    const bool folder = dd_.dirExists(path);
    if (folder && mode_ != Mode::Directory) {
        setDirectory(qs(dd_.toLetterPath(path).string()));
        edit->clear();
        return;
    }
    const bool found = mode_ == Mode::Open        ? dd_.fileExists(path)
                       : mode_ == Mode::Directory ? folder
                                                  : dd_.dirExists(ExtractFileDir(path));
    if (!found) {
        QMessageBox::warning(
            this, windowTitle(),
            tr("%1\nFile not found.\nPlease verify the correct file name was given.").arg(qs(text)));
        return;
    }
    if (mode_ == Mode::Save && !defaultSuffix().isEmpty() &&
        ExtractFileName(path).find('.') == std::string::npos)
        path += "." + ss(defaultSuffix());
    if (mode_ == Mode::Save && dd_.fileExists(path) && !testOption(QFileDialog::DontConfirmOverwrite) &&
        QMessageBox::warning(this, windowTitle(),
                             tr("%1 already exists.\nDo you want to replace it?").arg(qs(text)),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    typed_ = dd_.toWindows(dd_.toHost(path));
    QDialog::accept();
}

} // namespace halyard::gui
