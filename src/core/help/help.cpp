// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help.h"

#include "shell/ide_context.h"

namespace halyard {

THelp::THelp(IdeContext& e) : Application(e.HelpFile, noEngine_), AboutBox(e.ui, e.dd, fixedMetrics_), e_(e) {
    HelpRouter1.emplace(Application);
    HelpRouter1->setHelpType(htHTMLhelp);
    AboutBox.applicationTitle = IdeContext::Title;
    AboutBox.TextLeft = 20;
    AboutBox.TextCentered = true;
    AboutBox.Height = 150;
    AboutBox.Width = 130;
    web.Choose = TKURL2::ltURL;
    web.URLorEMAIL = "https://www.orlin.example.com/";
    email.Choose = TKURL2::ltEMAIL;
    email.URLorEMAIL = "support@orlin.example.com";

    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.Help3, [this] { Help3Click(); });
    on(e.toolBar.HelpBtn, [this] { Help3Click(); });
    on(e.menu.About2, [this] { About2Click(); });
    on(e.menu.emailOrlin1, [this] { emailOrlin1Click(); });
    on(e.menu.OrlinontheWeb1, [this] { OrlinontheWeb1Click(); });
}

void THelp::Help3Click() {
    Application.HelpCommand(HELP_FINDER, {});
}

void THelp::Contexthelp(int helpContext) {
    Application.HelpContext(helpContext);
}

void THelp::ContextPopup(int helpContext) {
    Application.HelpCommand(HELP_CONTEXTPOPUP, {helpContext, {}});
}

void THelp::About2Click() {
    AboutBox.ShowAbout();
}

} // namespace halyard
