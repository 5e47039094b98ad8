// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Help routing: every help request of the application (the Help menu, the pages' "Help" buttons,
// F1) reaches the application's help hook; the router installs itself there and sends each request
// to the compiled-HTML help engine or to the older WinHelp engine, with the right file and owner.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace halyard {

// WinHelp command codes, as the application passes them in.
inline constexpr int HELP_CONTEXT = 1, HELP_QUIT = 2, HELP_CONTENTS = 3, HELP_CONTEXTPOPUP = 8,
                     HELP_FINDER = 11, HELP_SETPOPUP_POS = 13, HELP_TAB = 15, HELP_KEY = 257,
                     HELP_PARTIALKEY = 261;
// HTML Help commands the router sends.
inline constexpr int HH_DISPLAY_TOC = 1, HH_DISPLAY_INDEX = 2, HH_DISPLAY_TEXT_POPUP = 14,
                     HH_HELP_CONTEXT = 15, HH_CLOSE_ALL = 18;

// An opaque window handle; 0 means no window.
using WindowHandle = std::uintptr_t;

// The data word of a help command: a number for most commands, a keyword for HELP_KEY and
// HELP_PARTIALKEY.
struct HelpData {
    std::intptr_t number = 0;
    std::string keyword;
};

// The popup description handed to the HTML Help engine, filled the way the engine expects.
struct HHPopup {
    int cbStruct = 52;
    int hinst = 0;
    unsigned idString = 0;           // the topic number when no text is given
    std::optional<std::string> text; // the text of a text popup
    int x = 0, y = 0;                // screen position
    int clrForeground = -1, clrBackground = -1;
    int marginLeft = -1, marginTop = -1, marginRight = -1, marginBottom = -1;
    std::string font = "MS Sans Serif, 8";
};

struct HtmlHelpData {
    std::uintptr_t number = 0;
    std::string keyword;
    std::optional<HHPopup> popup;
};

// The help engines as the router calls them. The real one reads .chm files and shows them in a
// help window; tests record the calls.
class HelpEngine {
public:
    virtual ~HelpEngine() = default;
    // Loads the HTML Help engine when it is not loaded yet; true when it can take requests. A load
    // that failed is tried again on the next call.
    virtual bool loadHtmlHelp() = 0;
    // file: nothing for commands that name no file (closing every help window, text popups).
    virtual int HtmlHelp(WindowHandle owner, const std::optional<std::string>& file, int command,
                         const HtmlHelpData& data) = 0;
    virtual int WinHelp(WindowHandle owner, const std::string& file, int command, const HelpData& data) = 0;
    // The mouse cursor's screen position.
    virtual std::pair<int, int> cursorPos() = 0;
};

// (command, data, call-help flag) -> handled; the form of the application's help hook.
using HelpHook = std::function<bool(int, const HelpData&, bool&)>;

struct HelpForm {
    WindowHandle window = 0;
    std::string helpFile;
};

class THelpRouter;

// The application's side of help: its help file, its window, its help hook and its own handling
// of a request that no hook took.
class HelpApplication {
public:
    HelpApplication(std::string& helpFile, HelpEngine& engine) : HelpFile(helpFile), engine(&engine) {}
    std::string& HelpFile;
    HelpEngine* engine;
    WindowHandle window = 1;
    HelpHook OnHelp;
    // The active form, when there is one.
    std::function<std::optional<HelpForm>()> activeForm;
    // The router installed as the hook; at most one exists per application.
    THelpRouter* router = nullptr;

    bool HelpCommand(int command, const HelpData& data);
    bool HelpContext(int topic) { return HelpCommand(HELP_CONTEXT, {topic, {}}); }
};

enum THelpType { htWinhelp, htHTMLhelp, htMixedMode };
enum TShowType { stDefault, stMain, stPopup };

class THelpRouter {
public:
    // Throws halyard::Error when the application has a router already.
    explicit THelpRouter(HelpApplication& app);
    ~THelpRouter();
    THelpRouter(const THelpRouter&) = delete;
    THelpRouter& operator=(const THelpRouter&) = delete;

    THelpType HelpType() const { return helpType_; }
    void setHelpType(THelpType type);
    TShowType ShowType = stDefault;
    std::string Helpfile;
    std::string CHMPopupTopics = "CSHelp.txt";
    HelpHook OnHelp;
    bool ValidateID = false;

    bool RouteHelp(int command, const HelpData& data, bool& callHelp);
    std::pair<WindowHandle, std::string> GetHelpTarget();
    bool ShowPopup(int x, int y, unsigned topic, const std::optional<std::string>& text);
    bool HtmlHelpAvailable();
    HelpForm ActiveHelpForm();

private:
    int htmlHelp(WindowHandle owner, const std::optional<std::string>& file, int command,
                 const HtmlHelpData& data);
    HelpApplication& app_;
    HelpHook previous_;
    THelpType helpType_ = htWinhelp;
    int popupX_ = 0, popupY_ = 0;
};

// "C:\a\help.chm" -> "C:\a\help.hlp"; a name without an extension gets one.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

} // namespace halyard
