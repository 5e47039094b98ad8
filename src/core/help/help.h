// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's help: its router, the Help menu, the pages' "Help" buttons and F1, the about
// box and the two link labels.
#include <optional>

#include "help/about_box.h"
#include "help/help_router.h"

namespace halyard {

class IdeContext;

// The topic of each page and dialog that has a "Help" button.
namespace HelpTopic {
inline constexpr int Assembler = 1, Compiler = 4, TypeChecking = 4, NewProject = 7, General = 12,
                     Libraries = 22, LinkerMemory = 25, Optimisation = 30, LinkerOutput = 33,
                     ProjectEditor = 36, RunTimeModel = 39, Setup = 40, LinkerSymbols = 43, Tools = 47;
// Topics of windows that have no "Help" button but answer F1.
inline constexpr int CmdBuilder = 50, Editor = 51, IntVectors = 52, BuildPanel = 53, MemoryMap = 54;
} // namespace HelpTopic

// Where no help engine is attached (the headless programs): HTML Help is never available.
class NoHelpEngine : public HelpEngine {
public:
    bool loadHtmlHelp() override { return false; }
    int HtmlHelp(WindowHandle, const std::optional<std::string>&, int, const HtmlHelpData&) override {
        return 0;
    }
    int WinHelp(WindowHandle, const std::string&, int, const HelpData&) override { return 0; }
    std::pair<int, int> cursorPos() override { return {0, 0}; }
};

// Text widths and picture sizes of a plain 8-point font and a 32-pixel icon, until the view
// attaches the real ones.
class FixedAboutMetrics : public AboutMetrics {
public:
    int labelWidth(const std::string& text) override { return static_cast<int>(text.size()) * 6; }
    Size bitmapSize(const std::string&) override { return {32, 32}; }
    Size applicationIcon() override { return {32, 32}; }
    Size builtInLogo() override { return {137, 121}; }
};

class THelp {
    // Declared first: the router may still call the engine while it is destroyed.
    NoHelpEngine noEngine_;
    FixedAboutMetrics fixedMetrics_;

public:
    explicit THelp(IdeContext& e);
    THelp(const THelp&) = delete;
    THelp& operator=(const THelp&) = delete;

    // The view attaches the real engine and metrics; until then help is not available.
    void setEngine(HelpEngine& engine) { Application.engine = &engine; }
    // Before the view goes: back to no engine and fixed metrics.
    void detachView() {
        Application.engine = &noEngine_;
        AboutBox.metrics = &fixedMetrics_;
    }
    void setMetrics(AboutMetrics& metrics) { AboutBox.metrics = &metrics; }

    // The help file that comes with the program (a Windows path), taken at start-up when the
    // installation folder holds none.
    std::string BundledHelpFile;
    HelpApplication Application;
    std::optional<THelpRouter> HelpRouter1;
    TOrlinAboutBox AboutBox;
    TKURL2 web, email;

    // "&Help" of the Help menu and the tool button: the help file's contents.
    void Help3Click();
    // A "Help" button or F1 on a page: the topic with that number.
    void Contexthelp(int helpContext);
    // Shift+F1 on a page: the topic's popup text at the mouse cursor.
    void ContextPopup(int helpContext);
    void About2Click();
    void emailOrlin1Click() { email.OpenLink(); }
    void OrlinontheWeb1Click() { web.OpenLink(); }

private:
    IdeContext& e_;
};

} // namespace halyard
