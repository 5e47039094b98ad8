// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/option_set.h"

namespace halyard {

namespace {
void caption(Control& c, const char* text) {
    c.setCaption(text);
}
} // namespace

OptionSet::OptionSet() {
    caption(EL, "Enable Linker");
    caption(DB, "Debugging");
    caption(IL, "Source InterList");
    caption(KA, "Keep Assembler");
    caption(QM, "Quite Mode");
    caption(CO, "Compile Only");
    caption(KR, "K+R Compatable");
    caption(PPL, "Pre proccesor List");
    caption(PPO, "Pre Process only");
    caption(SW, "Suppress warnings");
    EL.setChecked(true);
    DB.setChecked(true);

    ProcType.setItems({"TMS370", "TMS370C8"});
    ProcType.setItemIndex(0);
    caption(FormatBox, "Memory Format");
    FormatBox.items = {"Small", "Large"};
    FormatBox.setItemIndex(0);
    caption(SpecObjLoc, "Put OBJ files in Compiler Folder");
    caption(DisplayCommand, "Display Command Line");
    caption(Lastproject, "Re Load Last Active project");
    caption(SendToFile, "Send Output to File");
    caption(ShowOnEnd, "Show O/P file on Compiler finish");
    caption(ShowBatch, "Show Batch Execution");

    caption(RPC, "Relax prototype checking");
    caption(RPCC, "Relax pointer combiation Checks");

    caption(AALD, "Allow absolute listing directives");
    caption(ALL, "Assembly language listing");
    caption(OSAS, "Old style address syntax");
    caption(KLAS, "Keep Labels as Symbols");
    caption(ICRI, "Include cross reference Info");

    caption(AAV, "Assume Alised Variables");
    caption(SEROS, "Save on entry regs on stack");
    caption(PRASS, "Place return adddress on Software stack");
    caption(PTOHS, "Place Temp values onhardware Stack");
    caption(SIXBIT, "16 Bit arithmatic");
    caption(PEO, "generate Prolog / Epilog online");
    caption(LRV, "List register Use");
    caption(SSCP, "Set structure copy parameter");
    caption(NO8BIT, "No 8 Bit Induction loop variables");
    caption(SIXBITINT, "Treat INT's as 16 Bit");

    // The optimisation page opens in the state its own rules give with optimisation off, level 2 and
    // the small model: the level, the level-3 choices and "Non Re-Entrant" are greyed out, the last
    // one checked, as the small model always makes it.
    caption(SetOpt, "Optomise intermediate file");
    OLevel.associate(&Optlevel);
    OLevel.setPosition(2);
    OLevel.setEnabled(false);
    Optlevel.setEnabled(false);
    caption(NonRe, "Generate Non Re-Entrant code");
    NonRe.setChecked(true);
    NonRe.setEnabled(false);
    NonRe.setHint(NonReHintSmall);
    caption(EnableL3Osize, "Level 3 Optomisation size");
    L3OSize.setText("0");
    caption(UFlo, "Use file level Optomisation");
    FilelevelOpto.setItems({"Same as Standard Library", "Only defined functions", "Default"});
    FilelevelOpto.setItemIndex(2);
    caption(DoOptoInfo, "Produce Information file");
    OptoInfo.setItems({"None", "Normal", "Verbose"});
    OptoInfo.setItemIndex(0);
    for (CheckBox* b : {&EnableL3Osize, &UFlo, &DoOptoInfo})
        b->setEnabled(false);
    for (Control* c : std::initializer_list<Control*>{&L3OSize, &FilelevelOpto, &OptoInfo})
        c->setVisible(false);
    caption(Allowinline, "In line Functions");
    Allowinline.setChecked(true);

    caption(SF, "Specify Fill Value");
    Fill.setText("0000");
    caption(IFS, "Ignore Fill specifiers");
    caption(DHS, "Define Heap size");
    Heap.setText("0200");
    caption(HSS, "Define Hardware Stack");
    HardStack.setText("0020");
    caption(SSS, "Define Software Stack Size");
    SoftStack.setText("0200");
    caption(Init, "'C' Initalisation");
    Init.items = {"ROM", "RAM", "NONE"};

    caption(UN, "Specify Output file name ");
    OutputFile.setText("OutputFile");
    caption(outlab, "Enter filename without path or extension");
    caption(SetOP, "Set");
    caption(AOP, "Absolute Output");
    AOP.setChecked(true);
    caption(RO, "Relocatable Output");
    caption(GM, "Generate map file");
    caption(maplab, "Enter filename without path or extension");
    caption(SetMap, "Set");
    caption(Quiet, "Quiet Mode");
    caption(FRL, "Force reading libararys");

    caption(GS, "Global symbols static");
    caption(SS, "Strip symbol table");
    caption(IUS, "Introduce Unresolved Symbol");
    UnResolvedSym.setText("UnResolvedSym");
    caption(DEP, "Define Entry Point");
    EntryPoint.setText("EntryPoint");
}

} // namespace halyard
