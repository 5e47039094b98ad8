// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about box: `TOrlinAboutBox` fills and sizes the about dialog `TAbout` and shows it; `TKURL2`
// is a link label that opens a web address or starts an e-mail message.
#include <functional>
#include <string>

#include "base/controls.h"
#include "base/ports.h"
#include "help/version_info.h"

namespace halyard {

// What only the window system knows: how wide a label's text is and how big the logo pictures are.
class AboutMetrics {
public:
    struct Size {
        int width = 0, height = 0;
    };
    virtual ~AboutMetrics() = default;
    virtual int labelWidth(const std::string& text) = 0;
    // Throws halyard::Error when the bitmap file cannot be loaded.
    virtual Size bitmapSize(const std::string& windowsPath) = 0;
    virtual Size applicationIcon() = 0;
    virtual Size builtInLogo() = 0;
    // The width a window needs for its title bar to show `caption` whole (with the title bar's
    // buttons); 0 where windows have no title bar to fit.
    virtual int titleBarWidth(const std::string& /*caption*/) { return 0; }
};

// The about dialog: every control with its position, as ShowAbout leaves it.
class TAbout : public ModalDialog {
public:
    static constexpr const char* Kind = "TAbout";
    const char* kind() const override { return Kind; }
    explicit TAbout(const DosDevices& dd) : GetVersion(dd) {}

    enum class LogoSource { BuiltIn, ApplicationIcon, File };
    struct Label {
        std::string text;
        int left, top;
    };
    std::string Caption = "About";
    int Width = 180, Height = 254;
    Label WTitle{"Application Title", 32, 15}, WCopyright{"", 32, 30}, WAuthor{"", 32, 45},
        WVersion{"WVersion", 32, 60};
    struct {
        LogoSource source = LogoSource::BuiltIn;
        std::string file; // with LogoSource::File
        int left = 8, top = 80, width = 137, height = 121;
    } Logo;
    struct {
        int left = 40, top = 218, width = 97, height = 25;
    } OkButton;
    TGetVersionInfoFromFile GetVersion;
};

class TOrlinAboutBox {
public:
    TOrlinAboutBox(Ui& ui, const DosDevices& dd, AboutMetrics& metrics)
        : metrics(&metrics), ui_(ui), dd_(dd) {}
    AboutMetrics* metrics;
    static constexpr const char* AuthorLine = "by Orlin";

    std::string Title, Version, Copyright = "(c) Orlin", Author;
    int TextLeft = 20;
    bool TextCentered = true;
    std::string Caption;
    int Height = 250, Width = 230;
    int Top = 0, Left = 0; // stored only: the dialog is centred on the screen
    std::string Filename, IconFile;
    bool DefaultIcon = false;
    std::string applicationTitle = "Halyard";

    // Builds the dialog and shows it modally; true when it was closed with OK.
    bool ShowAbout();
    // Builds and sizes the dialog without showing it.
    void Prepare(TAbout& dlg);

private:
    Ui& ui_;
    const DosDevices& dd_;
};

class TKURL2 {
public:
    enum LinkType { ltURL, ltEMAIL };
    std::string URLorEMAIL = "https://example.org/";
    LinkType Choose = ltURL;
    bool ShowHint = true;
    std::string Hint = "Put here the Hint for your site link!";
    // Opens an address with the desktop's handler; set by the view.
    std::function<void(const std::string&)> open;

    // The address handed to the desktop: "mailto:" comes before an e-mail address.
    std::string target() const { return Choose == ltEMAIL ? "mailto:" + URLorEMAIL : URLorEMAIL; }
    void OpenLink() const {
        if (open) open(target());
    }
};

} // namespace halyard
