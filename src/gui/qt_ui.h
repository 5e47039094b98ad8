// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Ui port in Qt: message boxes, file dialogs and the core's modal dialogs.
#include <QString>
#include <functional>

#include "base/dos_devices.h"
#include "base/ports.h"

class QDialog;
class QDialogButtonBox;
class QWidget;

namespace halyard::gui {

class QtUi : public Ui {
public:
    QtUi(DosDevices& dd, QWidget* owner = nullptr) : dd(dd), owner(owner) {}
    void setOwner(QWidget* w) { owner = w; }
    // Where a file dialog opens when its own folder lies on a drive that is not mapped.
    std::function<std::string()> fallbackFolder;

    Answer message(MsgKind kind, const std::string& text, const std::vector<Answer>& buttons) override;
    void showError(const std::string& text) override;
    std::optional<std::string> openFile(const FileDialog& dialog) override;
    std::optional<std::string> saveFile(const FileDialog& dialog) override;
    std::optional<std::string> chooseDirectory(const std::string& title, const std::string& start) override;
    Answer execute(ModalDialog& dialog) override;
    std::optional<FontSpec> chooseFont(const FontSpec& current, int minSize, int maxSize) override;
    Answer print(const PrintJob& job) override;
    void printerSetup() override;

    // Each view registers the Qt window of its core dialogs by kind().
    using DialogRunner = std::function<Answer(ModalDialog&, QWidget* owner)>;
    static void registerDialog(const std::string& kind, DialogRunner runner);

private:
    std::string dialogStart(const FileDialog& d) const;
    DosDevices& dd;
    QWidget* owner;
};

// "Project|*.prj" -> "Project (*.prj)".
QString qtFilter(const std::string& filter);
// A default extension given the classic way ("*.obj", ".obj") as the bare suffix Qt appends.
QString qtSuffix(const std::string& defaultExt);
// OK (accepts), Cancel (rejects) and Help for a modal dialog; Help (and F1) show help topic `topic`.
QDialogButtonBox* okCancelHelp(QDialog& dialog, int topic);
// Puts a window, about to be shown, in the middle of its screen.
void centreOnScreen(QWidget& window);
// Shows a dialog in the middle of the screen rather than over its owner.
int execCentred(QDialog& dialog);

// "\r" in the system's messages is a line break.
QString messageText(const std::string& text);

} // namespace halyard::gui
