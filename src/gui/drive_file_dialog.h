// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file dialog that speaks the drive mapping: the mapped drives ("C:", "Z:", ...) in its side
// bar, opening in a Windows folder, a typed Windows path taken as such (in any letter case), and a
// Windows path handed back.
#include <QFileDialog>
#include <optional>
#include <string>

namespace halyard {
class DosDevices;
}

namespace halyard::gui {

class DriveFileDialog : public QFileDialog {
public:
    enum class Mode { Open, Save, Directory };
    // `start` is a Windows path: a folder, or a file to propose.
    // A start on a drive that is not mapped opens in `fallback` (a Windows folder) instead, or on
    // the first drive, never in the list of drive links itself.
    DriveFileDialog(DosDevices& dd, Mode mode, const QString& title, const std::string& start, QWidget* owner,
                    const std::string& fallback = {});
    // Shows the dialog; the chosen path as a Windows path, none when cancelled.
    std::optional<std::string> choose();

    void accept() override;

private:
    DosDevices& dd_;
    Mode mode_;
    std::optional<std::string> typed_;
};

} // namespace halyard::gui
