// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/about_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "base/error.h"
#include "binders.h"
#include "qt_ui.h"

namespace halyard::gui {

int QtAboutMetrics::labelWidth(const std::string& text) {
    return QFontMetrics(QApplication::font()).horizontalAdvance(qs(text));
}

int QtAboutMetrics::titleBarWidth(const std::string& caption) {
    // An empty caption shows the application's name. Window managers draw titles in a bold font
    // a little larger than the application's and put an icon and three buttons beside it.
    const QString title = caption.empty() ? QGuiApplication::applicationDisplayName() : qs(caption);
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    return QFontMetrics(font).horizontalAdvance(title) + 4 * 28 + 32;
}

AboutMetrics::Size QtAboutMetrics::bitmapSize(const std::string& windowsPath) {
    const QImage image(QString::fromStdString(dd_.toHost(windowsPath).string()));
    if (image.isNull()) throw Error(CannotOpenFile(windowsPath));
    return {image.width(), image.height()};
}

void registerHelpDialogs(const DosDevices& dd) {
    QtUi::registerDialog(TAbout::Kind, [&dd](ModalDialog& model, QWidget* owner) {
        auto& m = static_cast<TAbout&>(model);
        QDialog dlg(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
        dlg.setObjectName("TAbout");
        dlg.setWindowTitle(qs(m.Caption));
        dlg.setFixedSize(m.Width, m.Height);
        for (auto [label, name] : {std::pair{&m.WTitle, "WTitle"}, std::pair{&m.WCopyright, "WCopyright"},
                                   std::pair{&m.WAuthor, "WAuthor"}, std::pair{&m.WVersion, "WVersion"}}) {
            auto* l = new QLabel(qs(label->text), &dlg);
            l->setObjectName(name);
            l->adjustSize();
            l->move(label->left, label->top);
        }
        auto* logo = new QLabel(&dlg);
        logo->setObjectName("Logo");
        logo->setAttribute(Qt::WA_TranslucentBackground);
        QPixmap picture;
        switch (m.Logo.source) {
        case TAbout::LogoSource::File:
            picture = QPixmap(QString::fromStdString(dd.toHost(m.Logo.file).string()));
            break;
        case TAbout::LogoSource::ApplicationIcon:
            picture = QApplication::windowIcon().pixmap(32, 32);
            break;
        case TAbout::LogoSource::BuiltIn:
            picture = QApplication::windowIcon().pixmap(121, 121);
            break;
        }
        logo->setPixmap(picture);
        logo->setAlignment(Qt::AlignCenter);
        logo->setGeometry(m.Logo.left, m.Logo.top, m.Logo.width, m.Logo.height);
        auto* ok = new QPushButton("OK", &dlg);
        ok->setObjectName("OkButton");
        ok->setDefault(true);
        ok->setGeometry(m.OkButton.left, m.OkButton.top, m.OkButton.width, m.OkButton.height);
        QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
        return execCentred(dlg) == QDialog::Accepted ? Answer::Ok : Answer::Cancel;
    });
}

} // namespace halyard::gui
