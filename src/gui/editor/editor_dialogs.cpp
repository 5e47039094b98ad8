// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editor_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

namespace halyard::gui {

FindReplaceDialog::FindReplaceDialog(bool replace, QWidget* parent) : QDialog(parent) {
    setObjectName(replace ? "ReplaceDialog" : "FindDialog");
    setWindowTitle(replace ? tr("Replace") : tr("Find"));
    setModal(false);
    auto* fields = new QFormLayout;
    find_ = new QLineEdit(this);
    fields->addRow(tr("Fi&nd what:"), find_);
    if (replace) {
        replace_ = new QLineEdit(this);
        fields->addRow(tr("Re&place with:"), replace_);
    }
    matchCase_ = new QCheckBox(tr("Match &case"), this);
    matchCase_->setObjectName("MatchCase");
    // Every search ignores letter case unless asked; Replace and Replace All keep the replace
    // dialog's own rule and always match it.
    if (replace)
        matchCase_->setToolTip(tr("Find Next only: Replace and Replace All always match letter case"));
    wholeWord_ = new QCheckBox(tr("&Whole word"), this);
    wholeWord_->setObjectName("WholeWord");
    fields->addRow(matchCase_);
    fields->addRow(wholeWord_);
    auto* buttons = new QVBoxLayout;
    findNext_ = new QPushButton(tr("&Find Next"), this);
    findNext_->setDefault(true);
    buttons->addWidget(findNext_);
    if (replace) {
        replaceOne_ = new QPushButton(tr("&Replace"), this);
        replaceAll_ = new QPushButton(tr("Replace &All"), this);
        buttons->addWidget(replaceOne_);
        buttons->addWidget(replaceAll_);
    }
    auto* cancel = new QPushButton(tr("Cancel"), this);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);

    connect(findNext_, &QPushButton::clicked, this, [this] {
        if (onFindNext) onFindNext(find_->text(), options());
    });
    if (replace) {
        connect(replaceOne_, &QPushButton::clicked, this, [this] {
            if (onReplace) onReplace(find_->text(), replace_->text(), {true, wholeWord_->isChecked()});
        });
        connect(replaceAll_, &QPushButton::clicked, this, [this] {
            if (onReplaceAll) onReplaceAll(find_->text(), replace_->text(), {true, wholeWord_->isChecked()});
        });
    }
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

FindReplaceDialog::Options FindReplaceDialog::options() const {
    return {matchCase_->isChecked(), wholeWord_->isChecked()};
}

QFont toQFont(const FontSpec& spec) {
    QFont f(QString::fromStdString(spec.name));
    f.setPointSize(spec.size > 0 ? spec.size : 8);
    f.setBold(spec.bold);
    f.setItalic(spec.italic);
    f.setUnderline(spec.underline);
    f.setStrikeOut(spec.strikeOut);
    return f;
}

namespace {
// The sixteen basic colours a font dialog's colour list offers.
struct NamedColour {
    const char* name;
    std::uint32_t rgb;
};
constexpr NamedColour BasicColours[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF}};

// Qt's dialog has no colour among its effects: a colour list joins its strike-out and underline boxes.
QComboBox* addColourList(QFontDialog& dialog, std::uint32_t current) {
    auto* colours = new QComboBox(&dialog);
    colours->setObjectName("FontColour");
    auto add = [colours](const QString& name, std::uint32_t rgb) {
        QPixmap swatch(16, 16);
        swatch.fill(QColor::fromRgb(rgb));
        colours->addItem(QIcon(swatch), name, QVariant::fromValue(rgb));
    };
    for (const NamedColour& c : BasicColours)
        add(QFontDialog::tr(c.name), c.rgb);
    int at = colours->findData(QVariant::fromValue(current));
    if (at < 0) {
        add(QFontDialog::tr("Custom"), current); // a colour chosen elsewhere stays as it is
        at = colours->count() - 1;
    }
    colours->setCurrentIndex(at);
    QGroupBox* effects = nullptr;
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>())
        if (box->findChild<QCheckBox*>() && box->layout()) effects = box;
    if (effects) {
        effects->layout()->addWidget(colours);
    } else if (QLayout* layout = dialog.layout()) {
        layout->addWidget(colours);
    }
    return colours;
}
} // namespace

std::optional<FontSpec> runFontDialog(const FontSpec& current, int minSize, int maxSize, QWidget* owner) {
    QFontDialog dialog(toQFont(current), owner);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    QComboBox* colours = addColourList(dialog, current.color);
    // Qt's dialog has no size range of its own: a size outside it is pulled back at once.
    QObject::connect(&dialog, &QFontDialog::currentFontChanged, &dialog,
                     [&dialog, minSize, maxSize](const QFont& f) {
                         const int size = std::clamp(f.pointSize(), minSize, maxSize);
                         if (size != f.pointSize()) {
                             QFont fixed = f;
                             fixed.setPointSize(size);
                             dialog.setCurrentFont(fixed);
                         }
                     });
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QFont f = dialog.selectedFont();
    FontSpec chosen = current;
    chosen.name = f.family().toStdString();
    chosen.size = std::clamp(f.pointSize(), minSize, maxSize);
    chosen.bold = f.bold();
    chosen.italic = f.italic();
    chosen.underline = f.underline();
    chosen.strikeOut = f.strikeOut();
    chosen.color = colours->currentData().value<std::uint32_t>();
    return chosen;
}

namespace {
// One printer for the whole session, so Print uses what Print Setup chose.
QPrinter& printer() {
    static QPrinter p(QPrinter::HighResolution);
    return p;
}
} // namespace

Answer runPrintDialog(const PrintJob& job, QWidget* owner) {
    QPrintDialog dialog(&printer(), owner);
    if (dialog.exec() != QDialog::Accepted) return Answer::Cancel;
    QTextDocument document;
    document.setDefaultFont(toQFont(job.font));
    document.setPlainText(QString::fromUtf8(job.text.data(), static_cast<qsizetype>(job.text.size())));
    printer().setDocName(QString::fromUtf8(job.title.c_str()));
    document.print(&printer());
    return Answer::Ok;
}

void runPrinterSetup(QWidget* owner) {
    QPageSetupDialog dialog(&printer(), owner);
    dialog.exec();
}

} // namespace halyard::gui
