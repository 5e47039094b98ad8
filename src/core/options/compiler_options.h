// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Compiler options: the cl370 switch table, the options-accept step, "Set Defaults" and the rules
// that keep the dependent controls of the options window consistent.
#include <functional>
#include <string>
#include <vector>

namespace halyard {

class IdeContext;
class IdeBat;
class LinkerOptionsModel;
struct OptionSet;

// One row of the compiler switch table: the text it adds to the switch text in the current state
// (empty when its condition does not hold).
struct CompilerSwitch {
    const char* control;
    std::function<std::string(const OptionSet&)> text;
};

// Rows 1 to 34 in the order their texts are concatenated.
const std::vector<CompilerSwitch>& compilerSwitches();
// The concatenation of every row's text, as the options-accept step builds `CompilerCmdLine`.
std::string BuildCompilerSwitches(const OptionSet& o);

class CompilerOptions {
public:
    CompilerOptions(IdeContext& e, LinkerOptionsModel& linker, IdeBat& batch);

    // Rebuilds CompilerCmdLine, LinkSwitch, ObjectFile and LinkerCmdLine from the controls.
    void OptionsOK2Click();
    void SetDefsClick();
    // "OK" and "Accept" on every page: the batch generation, which begins with the accept step.
    void OKClick();

    // Dependency rules; each runs whenever its trigger changes.
    void FormatBoxClick();
    void SetOptClick();
    void OptlevelChange();
    void EnableL3OsizeClick();
    void UFloClick();
    void DoOptoInfoClick();

    void CompilerOptionsClick(); // shows the window on "Compiler"
    void Proccessor1Click();     // shows the window on "General"
    void CancelOptions2Click();  // hides it; nothing is reverted
    void TMS370V5301Click();

    static constexpr int CompilerTab = 0, GeneralTab = 1;

private:
    IdeContext& e;
    LinkerOptionsModel& linker;
    IdeBat& batch;
};

} // namespace halyard
