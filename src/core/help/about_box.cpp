// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/about_box.h"

#include "base/error.h"

namespace halyard {

void TOrlinAboutBox::Prepare(TAbout& dlg) {
    if (Title.empty()) Title = applicationTitle;
    dlg.Caption = Caption;
    dlg.GetVersion.setFileName(Filename);
    if (Author.empty()) Author = AuthorLine;
    const auto& found = dlg.GetVersion.VersionStrings();
    // The third value found is normally the file version.
    dlg.WVersion.text = found.size() > 2 ? "Version " + found[2] : Version;
    dlg.WTitle.text = Title;
    dlg.WCopyright.text = Copyright;
    dlg.WAuthor.text = Author;

    AboutMetrics::Size logo = metrics->builtInLogo();
    if (!DefaultIcon) {
        if (!IconFile.empty()) {
            logo = metrics->bitmapSize(IconFile);
            dlg.Logo.source = TAbout::LogoSource::File;
            dlg.Logo.file = IconFile;
        } else {
            logo = metrics->applicationIcon();
            dlg.Logo.source = TAbout::LogoSource::ApplicationIcon;
        }
    }
    dlg.Logo.width = logo.width;
    dlg.Logo.height = logo.height;

    if (logo.width >= Width) Width = logo.width + 8;
    if (Width < 120) Width = 120;
    // A title bar too narrow for its title shows only its first letter.
    if (const int title = metrics->titleBarWidth(Caption); Width < title) Width = title;
    if (Height < logo.height + 150) Height = logo.height + 150;
    dlg.OkButton.top = logo.height + 90;
    dlg.Height = Height;
    dlg.Width = Width;

    for (TAbout::Label* label : {&dlg.WTitle, &dlg.WAuthor, &dlg.WCopyright, &dlg.WVersion})
        label->left = TextCentered ? dlg.Width / 2 - metrics->labelWidth(label->text) / 2 : TextLeft;
    dlg.Logo.left = dlg.Width / 2 - logo.width / 2;
    dlg.OkButton.width = dlg.Width - 60;
    dlg.OkButton.left = dlg.Width / 2 - dlg.OkButton.width / 2;
}

bool TOrlinAboutBox::ShowAbout() {
    TAbout dlg(dd_);
    Prepare(dlg);
    return ui_.execute(dlg) == Answer::Ok;
}

} // namespace halyard
