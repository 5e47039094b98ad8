// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The option controls: they are the project's options. The project file is written from them and
// read back into them, and the switch texts are built from them. Each control starts in its window
// default (the state before any "Set Defaults"); the rules that keep dependent controls consistent
// live with the compiler and linker option models, which wire the click handlers.
#include <string>

#include "base/controls.h"

namespace halyard {

// A boolean as the project file and the settings hold it: "1" or "0". Reading is lenient: any line
// holding a "1" anywhere is true ("10", "01"), anything else false.
inline std::string FlagText(bool on) {
    return on ? "1" : "0";
}
inline bool FlagValue(const std::string& line) {
    return line.find('1') != std::string::npos;
}

// The hints of `NonRe`, which tell the user why it is greyed out in the small model.
inline constexpr const char* NonReHintLarge = "Generate Non Re-Entrant code";
inline constexpr const char* NonReHintSmall = "Code is always Non Re-Entrant in Small Model";

struct OptionSet {
    OptionSet();

    // ---- Options window `OptionsTabs` ----
    // "Compiler": group "Compiler Options" and group "Paser Options".
    CheckBox EL, DB, IL, KA, QM, CO;
    CheckBox KR, PPL, PPO, SW;
    // "General": processor, memory format and the general build choices.
    ComboBox ProcType;
    RadioGroup FormatBox;
    CheckBox SpecObjLoc, DisplayCommand, Lastproject, SendToFile, ShowOnEnd, ShowBatch;
    // "Type Checking".
    CheckBox RPC, RPCC;
    // "Assembler".
    CheckBox AALD, ALL, OSAS, KLAS, ICRI;
    // "Run Time Model".
    CheckBox AAV, SEROS, PRASS, PTOHS, SIXBIT, PEO, LRV, SSCP, NO8BIT, SIXBITINT;
    // "Optomisation".
    CheckBox SetOpt;
    Edit Optlevel;
    UpDown OLevel{0, 3};
    CheckBox NonRe;
    CheckBox EnableL3Osize;
    Edit L3OSize;
    CheckBox UFlo;
    ComboBox FilelevelOpto;
    CheckBox DoOptoInfo;
    ComboBox OptoInfo;
    CheckBox Allowinline;

    // ---- Linker options window `LinkerOptions` ----
    // "Memory".
    CheckBox SF;
    MaskEdit Fill{"AAAAh "};
    CheckBox IFS, DHS;
    MaskEdit Heap{"AAAAh"};
    CheckBox HSS;
    MaskEdit HardStack{"AAAAh"};
    CheckBox SSS;
    MaskEdit SoftStack{"AAAAh"};
    RadioGroup Init;
    // "Output": the two "Set" buttons and their labels are plain controls (caption, shown, enabled).
    CheckBox UN;
    Edit OutputFile;
    Control outlab, SetOP;
    CheckBox AOP, RO, GM;
    Edit MapFile;
    Control maplab, SetMap;
    CheckBox Quiet, FRL;
    // "Symbols".
    CheckBox GS, SS, IUS;
    Edit UnResolvedSym;
    CheckBox DEP;
    Edit EntryPoint;
};

} // namespace halyard
