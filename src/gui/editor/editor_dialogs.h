// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor's dialogs in Qt: its modeless find and replace dialogs, and the font, print and
// printer set-up dialogs behind the Ui port.
#include <QDialog>
#include <functional>

#include "base/ports.h"
#include "editor/code_ed.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace halyard::gui {

// Modeless. Find Next runs `onFindNext` with the dialog's own find text and options; the replace
// variant adds a replace text and the Replace / Replace All buttons. "Match case" starts unchecked in
// both; it rules Find Next, while Replace and Replace All always respect letter case.
class FindReplaceDialog : public QDialog {
    Q_OBJECT
public:
    using Options = TCodeEd::SearchOptions;
    FindReplaceDialog(bool replace, QWidget* parent);
    QLineEdit* findEdit() const { return find_; }
    QLineEdit* replaceEdit() const { return replace_; }
    QCheckBox* matchCaseBox() const { return matchCase_; }
    QCheckBox* wholeWordBox() const { return wholeWord_; }
    QPushButton* findNextButton() const { return findNext_; }
    QPushButton* replaceButton() const { return replaceOne_; }
    QPushButton* replaceAllButton() const { return replaceAll_; }
    Options options() const;

    std::function<void(const QString& find, Options)> onFindNext;
    std::function<void(const QString&find, const QString&with, Options)> onReplace, onReplaceAll;

private:
    QLineEdit* find_ = nullptr;
    QLineEdit* replace_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* wholeWord_ = nullptr;
    QPushButton* findNext_ = nullptr;
    QPushButton* replaceOne_ = nullptr;
    QPushButton* replaceAll_ = nullptr;
};

QFont toQFont(const FontSpec& spec);
std::optional<FontSpec> runFontDialog(const FontSpec& current, int minSize, int maxSize, QWidget* owner);
Answer runPrintDialog(const PrintJob& job, QWidget* owner);
void runPrinterSetup(QWidget* owner);

} // namespace halyard::gui
