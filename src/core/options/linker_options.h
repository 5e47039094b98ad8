// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Linker options: the sixteen linker switch entries, their concatenation behind a prefix, "Set
// Defaults" and the handlers that show a value edit while its check box is checked.
#include <array>
#include <functional>
#include <string>
#include <vector>

namespace halyard {

class IdeContext;
class IdeBat;
struct OptionSet;

inline constexpr size_t LinkerSwitchCount = 16;
inline constexpr size_t LinkerSwitchMax = 255; // each entry is cut here
using LinkerSwitchArray = std::array<std::string, LinkerSwitchCount>;

struct LinkerSwitches {
    std::string text;       // the prefix followed by entries 1 to 16
    LinkerSwitchArray list; // entry n at list[n - 1]; the command-file builder relies on the positions
};

// One entry of the linker switch table: its text in the current state, given `ObjectFile`.
struct LinkerSwitch {
    const char* control;
    std::function<std::string(const OptionSet&, const std::string& objectFile)> text;
};
const std::vector<LinkerSwitch>& linkerSwitches();

class LinkerOptionsModel {
public:
    LinkerOptionsModel(IdeContext& e, IdeBat& batch);

    // Fills `LinkerSwitchList` from the controls, `ObjectFile` and the current map file text, and
    // returns the prefix followed by the sixteen entries.
    LinkerSwitches BuildLinkerSwitches(const std::string& prefix);
    LinkerSwitchArray LinkerSwitchList; // the entries of the last call

    void setLinkerDefs();
    void UNClick();
    void GMClick();
    void Setoutputfile(); // both "Set" buttons
    void LinkerOptions1Click();
    void cancelLinkerOps();
    void OKClick(); // the batch generation, which begins with the options-accept step

    static constexpr int MemoryTab = 0, OutputTab = 1, SymbolsTab = 2;

private:
    IdeContext& e;
    IdeBat& batch;
};

} // namespace halyard
