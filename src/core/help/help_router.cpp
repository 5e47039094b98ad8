// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_router.h"

#include "base/error.h"

namespace halyard {

bool HelpApplication::HelpCommand(int command, const HelpData& data) {
    bool callHelp = true;
    bool result = false;
    if (OnHelp) result = OnHelp(command, data, callHelp);
    // The application's own handling: WinHelp with its help file.
    if (callHelp && !HelpFile.empty()) result = engine->WinHelp(window, HelpFile, command, data) != 0;
    return result;
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const auto dot = path.find_last_of(".\\:");
    if (dot != std::string::npos && path[dot] == '.') return path.substr(0, dot) + ext;
    return path + ext;
}

THelpRouter::THelpRouter(HelpApplication& app) : app_(app) {
    if (app_.router) throw Error("Multiple instances of THelpRouter are not allowed");
    previous_ = std::move(app_.OnHelp);
    app_.OnHelp = [this](int command, const HelpData& data, bool& callHelp) {
        return RouteHelp(command, data, callHelp);
    };
    app_.router = this;
}

THelpRouter::~THelpRouter() {
    // Closes the help windows that are still open while the hook is still ours.
    if (app_.window != 0 && app_.HelpFile.empty()) app_.HelpCommand(HELP_QUIT, {});
    app_.OnHelp = std::move(previous_);
    app_.router = nullptr;
}

void THelpRouter::setHelpType(THelpType type) {
    helpType_ = type;
    if (type == htHTMLhelp || type == htMixedMode) HtmlHelpAvailable();
}

bool THelpRouter::HtmlHelpAvailable() {
    try {
        return app_.engine->loadHtmlHelp();
    } catch (const std::exception&) {
        return false;
    }
}

HelpForm THelpRouter::ActiveHelpForm() {
    if (app_.activeForm)
        if (auto form = app_.activeForm()) return *form;
    return {app_.window, {}};
}

std::pair<WindowHandle, std::string> THelpRouter::GetHelpTarget() {
    std::pair<WindowHandle, std::string> target{app_.window, app_.HelpFile};
    const HelpForm form = ActiveHelpForm();
    if (form.window != 0 && !form.helpFile.empty()) target = {form.window, form.helpFile};
    if (!Helpfile.empty()) target = {app_.window, Helpfile};
    return target;
}

int THelpRouter::htmlHelp(WindowHandle owner, const std::optional<std::string>& file, int command,
                          const HtmlHelpData& data) {
    return app_.engine->HtmlHelp(owner, file, command, data);
}

bool THelpRouter::RouteHelp(int command, const HelpData& data, bool& callHelp) {
    bool result = false;
    if (OnHelp) result = OnHelp(command, data, callHelp);
    if (callHelp && previous_) result = previous_(command, data, callHelp);
    if (!callHelp) return result;
    if (ShowType == stMain) {
        if (command == HELP_CONTEXTPOPUP)
            command = HELP_CONTEXT;
        else if (command == HELP_SETPOPUP_POS)
            command = 0;
    }
    auto [owner, file] = GetHelpTarget();
    const bool html = helpType_ == htHTMLhelp || (helpType_ == htMixedMode && command != HELP_CONTEXTPOPUP &&
                                                  command != HELP_SETPOPUP_POS);
    if (!html) {
        result = command == 0 || app_.engine->WinHelp(owner, ChangeFileExt(file, ".hlp"), command, data) != 0;
        callHelp = false;
        return result;
    }
    if (!HtmlHelpAvailable()) return result;
    file = ChangeFileExt(file, ".chm");
    const auto number = static_cast<std::uintptr_t>(data.number);
    int answer = 0;
    switch (command) {
    case HELP_CONTEXT:
        answer = htmlHelp(owner, file, HH_HELP_CONTEXT, {number, {}, {}});
        break;
    case HELP_QUIT:
        answer = htmlHelp(owner, std::nullopt, HH_CLOSE_ALL, {});
        break;
    case HELP_CONTENTS:
    case HELP_FINDER:
        answer = htmlHelp(owner, file, HH_DISPLAY_TOC, {});
        break;
    case HELP_CONTEXTPOPUP: {
        if (popupX_ == 0 && popupY_ == 0) std::tie(popupX_, popupY_) = app_.engine->cursorPos();
        ShowPopup(popupX_, popupY_, static_cast<unsigned>(data.number), std::nullopt);
        popupX_ = popupY_ = 0;
        callHelp = false;
        return true;
    }
    case HELP_SETPOPUP_POS:
        // Two signed 16-bit halves: x low, y high.
        popupX_ = static_cast<std::int16_t>(number & 0xFFFF);
        popupY_ = static_cast<std::int16_t>((number >> 16) & 0xFFFF);
        break;
    case HELP_TAB:
        answer = htmlHelp(owner, file, data.number != 0 ? HH_DISPLAY_INDEX : HH_DISPLAY_TOC, {});
        break;
    case HELP_KEY:
    case HELP_PARTIALKEY:
        answer = htmlHelp(owner, file, HH_DISPLAY_INDEX, {0, data.keyword, {}});
        break;
    default:
        break;
    }
    callHelp = false;
    return answer != 0;
}

bool THelpRouter::ShowPopup(int x, int y, unsigned topic, const std::optional<std::string>& text) {
    if (!HtmlHelpAvailable()) return false;
    HHPopup popup;
    popup.idString = text ? 0 : topic;
    popup.text = text;
    popup.x = x;
    popup.y = y;
    int answer;
    if (popup.idString != 0) {
        if (CHMPopupTopics.empty()) CHMPopupTopics = "CSHelp.txt";
        auto [owner, file] = GetHelpTarget();
        answer = htmlHelp(owner, ChangeFileExt(file, ".chm") + "::/" + CHMPopupTopics, HH_DISPLAY_TEXT_POPUP,
                          {0, {}, popup});
    } else {
        answer = htmlHelp(ActiveHelpForm().window, std::nullopt, HH_DISPLAY_TEXT_POPUP, {0, {}, popup});
    }
    return answer != 0;
}

} // namespace halyard
