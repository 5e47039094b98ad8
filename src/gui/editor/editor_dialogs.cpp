#include "editor/editor_dialogs.h"

#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
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
        if (onFindNext) onFindNext(find_->text());
    });
    // Replace All does what Replace does: one press, the first occurrence.
    for (QPushButton* b : {replaceOne_, replaceAll_})
        if (b)
            connect(b, &QPushButton::clicked, this, [this] {
                if (onReplace) onReplace(find_->text(), replace_->text());
            });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
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

std::optional<FontSpec> runFontDialog(const FontSpec& current, int minSize, int maxSize, QWidget* owner) {
    QFontDialog dialog(toQFont(current), owner);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
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
