// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "base/error.h"
#include "help/help_router.h"

using namespace halyard;

namespace {

// Records every engine call as one line of text.
class RecordingEngine : public HelpEngine {
public:
    std::vector<std::string> calls;
    std::vector<HHPopup> popups;
    bool available = true;
    int answer = 1;
    std::pair<int, int> cursor{300, 400};

    bool loadHtmlHelp() override { return available; }
    int HtmlHelp(WindowHandle owner, const std::optional<std::string>& file, int command,
                 const HtmlHelpData& data) override {
        std::string line = "HtmlHelp " + std::to_string(owner) + " " + file.value_or("-") + " " +
                           std::to_string(command) + " " + std::to_string(data.number);
        if (!data.keyword.empty()) line += " " + data.keyword;
        if (data.popup) {
            popups.push_back(*data.popup);
            line += " at " + std::to_string(data.popup->x) + "," + std::to_string(data.popup->y);
        }
        calls.push_back(line);
        return answer;
    }
    int WinHelp(WindowHandle owner, const std::string& file, int command, const HelpData& data) override {
        calls.push_back("WinHelp " + std::to_string(owner) + " " + file + " " + std::to_string(command) +
                        " " + std::to_string(data.number));
        return answer;
    }
    std::pair<int, int> cursorPos() override { return cursor; }
};

struct Router : ::testing::Test {
    std::string helpFile = "C:\\Halyard\\halyard.chm";
    RecordingEngine engine;
    HelpApplication app{helpFile, engine};
    std::optional<THelpRouter> router;
    void SetUp() override {
        router.emplace(app);
        router->setHelpType(htHTMLhelp);
    }
    bool send(int command, std::intptr_t number = 0, const std::string& keyword = {}) {
        return app.HelpCommand(command, {number, keyword});
    }
};

} // namespace

TEST_F(Router, EachCommandReachesTheEngineForEachHelpType) {
    const std::string chm = "C:\\Halyard\\halyard.chm", hlp = "C:\\Halyard\\halyard.hlp";
    struct Case {
        THelpType type;
        int command;
        std::intptr_t number;
        std::string keyword, expected;
    } cases[] = {
        {htHTMLhelp, HELP_CONTEXT, 47, "", "HtmlHelp 1 " + chm + " 15 47"},
        {htHTMLhelp, HELP_QUIT, 0, "", "HtmlHelp 1 - 18 0"},
        {htHTMLhelp, HELP_CONTENTS, 0, "", "HtmlHelp 1 " + chm + " 1 0"},
        {htHTMLhelp, HELP_FINDER, 0, "", "HtmlHelp 1 " + chm + " 1 0"},
        {htHTMLhelp, HELP_TAB, 0, "", "HtmlHelp 1 " + chm + " 1 0"},
        {htHTMLhelp, HELP_TAB, 1, "", "HtmlHelp 1 " + chm + " 2 0"},
        {htHTMLhelp, HELP_KEY, 0, "linker", "HtmlHelp 1 " + chm + " 2 0 linker"},
        {htHTMLhelp, HELP_PARTIALKEY, 0, "lin", "HtmlHelp 1 " + chm + " 2 0 lin"},
        {htHTMLhelp, HELP_CONTEXTPOPUP, 12, "", "HtmlHelp 1 " + chm + "::/CSHelp.txt 14 0 at 300,400"},
        {htHTMLhelp, HELP_SETPOPUP_POS, 0, "", ""},
        {htHTMLhelp, 99, 0, "", ""},
        {htWinhelp, HELP_CONTEXT, 47, "", "WinHelp 1 " + hlp + " 1 47"},
        {htWinhelp, HELP_CONTEXTPOPUP, 12, "", "WinHelp 1 " + hlp + " 8 12"},
        {htMixedMode, HELP_CONTEXT, 47, "", "HtmlHelp 1 " + chm + " 15 47"},
        {htMixedMode, HELP_CONTEXTPOPUP, 12, "", "WinHelp 1 " + hlp + " 8 12"},
        {htMixedMode, HELP_SETPOPUP_POS, 5, "", "WinHelp 1 " + hlp + " 13 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " command " + std::to_string(c.command));
        engine.calls.clear();
        router->setHelpType(c.type);
        send(c.command, c.number, c.keyword);
        EXPECT_EQ(engine.calls, c.expected.empty() ? std::vector<std::string>{} : std::vector{c.expected});
    }
}

TEST_F(Router, ResultsTellWhetherTheEngineTookTheRequest) {
    engine.answer = 0;
    EXPECT_FALSE(send(HELP_CONTEXT, 47));
    EXPECT_FALSE(send(99));
    EXPECT_TRUE(send(HELP_CONTEXTPOPUP, 12)); // a popup always counts as shown
    engine.answer = 1;
    EXPECT_TRUE(send(HELP_CONTEXT, 47));
    router->setHelpType(htWinhelp);
    router->ShowType = stMain;
    engine.calls.clear();
    EXPECT_TRUE(send(HELP_SETPOPUP_POS, 5)); // becomes command 0: nothing to call, yet handled
    EXPECT_TRUE(engine.calls.empty());
}

TEST_F(Router, APopupShowsAtTheRequestedPositionOnceThenAtTheCursor) {
    // x -10 and y 20 as two signed 16-bit halves.
    send(HELP_SETPOPUP_POS, (20 << 16) | 0xFFF6);
    send(HELP_CONTEXTPOPUP, 4);
    send(HELP_CONTEXTPOPUP, 4);
    ASSERT_EQ(engine.popups.size(), 2u);
    EXPECT_EQ(std::make_pair(engine.popups[0].x, engine.popups[0].y), std::make_pair(-10, 20));
    EXPECT_EQ(std::make_pair(engine.popups[1].x, engine.popups[1].y), std::make_pair(300, 400));
    const HHPopup& p = engine.popups[0];
    EXPECT_EQ(p.cbStruct, 52);
    EXPECT_EQ(p.idString, 4u);
    EXPECT_FALSE(p.text);
    EXPECT_EQ(p.font, "MS Sans Serif, 8");
    EXPECT_EQ(p.clrForeground, -1);
    EXPECT_EQ(p.marginBottom, -1);
}

TEST_F(Router, ShowMainTurnsAPopupIntoATopic) {
    router->ShowType = stMain;
    send(HELP_CONTEXTPOPUP, 30);
    EXPECT_EQ(engine.calls, std::vector<std::string>{"HtmlHelp 1 C:\\Halyard\\halyard.chm 15 30"});
}

TEST_F(Router, TextPopupsNameNoFileAndTopicPopupsTheirTopicsFile) {
    router->CHMPopupTopics.clear();
    router->ShowPopup(5, 6, 0, std::string("Some text"));
    router->ShowPopup(5, 6, 9, std::nullopt);
    EXPECT_EQ(engine.calls,
              (std::vector<std::string>{"HtmlHelp 1 - 14 0 at 5,6",
                                        "HtmlHelp 1 C:\\Halyard\\halyard.chm::/CSHelp.txt 14 0 at 5,6"}));
    EXPECT_EQ(engine.popups[0].text, "Some text");
    EXPECT_EQ(engine.popups[0].idString, 0u);
    EXPECT_EQ(router->CHMPopupTopics, "CSHelp.txt");
}

TEST_F(Router, TheHelpFileComesFromTheRouterThenTheActiveFormThenTheApplication) {
    helpFile = "C:\\Halyard\\main";
    EXPECT_EQ(router->GetHelpTarget(), std::make_pair(WindowHandle(1), std::string("C:\\Halyard\\main")));
    app.activeForm = [] { return HelpForm{7, "C:\\own.chm"}; };
    EXPECT_EQ(router->GetHelpTarget(), std::make_pair(WindowHandle(7), std::string("C:\\own.chm")));
    app.activeForm = [] { return HelpForm{0, "C:\\own.chm"}; }; // a form without a window has no say
    EXPECT_EQ(router->GetHelpTarget().second, "C:\\Halyard\\main");
    router->Helpfile = "D:\\other.chm";
    EXPECT_EQ(router->GetHelpTarget(), std::make_pair(WindowHandle(1), std::string("D:\\other.chm")));
    send(HELP_CONTEXT, 1);
    EXPECT_EQ(engine.calls.back(), "HtmlHelp 1 D:\\other.chm 15 1");
}

TEST_F(Router, HooksComeFirstAndAnEngineWithoutHtmlHelpLeavesTheRequestToTheApplication) {
    std::vector<std::string> asked;
    router->OnHelp = [&](int command, const HelpData&, bool& callHelp) {
        asked.push_back("router " + std::to_string(command));
        callHelp = command != HELP_QUIT;
        return true;
    };
    EXPECT_TRUE(send(HELP_QUIT));
    EXPECT_TRUE(engine.calls.empty());
    engine.available = false;
    send(HELP_CONTEXT, 47);
    // The application's own handling: WinHelp with its help file as it is.
    EXPECT_EQ(engine.calls, std::vector<std::string>{"WinHelp 1 C:\\Halyard\\halyard.chm 1 47"});
    EXPECT_EQ(asked, (std::vector<std::string>{"router 2", "router 1"}));
}

TEST_F(Router, OnlyOneRouterAtATimeAndDestroyingOnePutsTheOldHookBack) {
    router.reset();
    std::vector<int> seen;
    app.OnHelp = [&](int command, const HelpData&, bool& callHelp) {
        seen.push_back(command);
        callHelp = false;
        return true;
    };
    router.emplace(app);
    try {
        THelpRouter second(app);
        FAIL() << "a second router was created";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Multiple instances of THelpRouter are not allowed");
    }
    send(HELP_CONTEXT, 1); // the saved hook is asked first and takes it
    EXPECT_TRUE(engine.calls.empty());
    helpFile.clear();
    router.reset(); // with no help file the help windows are closed on the way out
    send(HELP_CONTEXT, 2);
    EXPECT_EQ(seen, (std::vector<int>{HELP_CONTEXT, HELP_QUIT, HELP_CONTEXT}));
    EXPECT_NO_THROW(router.emplace(app));
    router.reset(); // while the hook it calls on the way out still lives
}

TEST(ChangeFileExt, ReplacesOnlyTheFileNamesExtension) {
    const std::pair<const char*, const char*> cases[] = {{"C:\\a\\help.chm", "C:\\a\\help.hlp"},
                                                         {"C:\\a.b\\help", "C:\\a.b\\help.hlp"},
                                                         {"help", "help.hlp"},
                                                         {"C:help.x.chm", "C:help.x.hlp"}};
    for (auto [in, out] : cases)
        EXPECT_EQ(ChangeFileExt(in, ".hlp"), out) << in;
}
