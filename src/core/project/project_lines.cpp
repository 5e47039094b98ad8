// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/project_lines.h"

#include "base/error.h"
#include "shell/ide_context.h"

namespace halyard {

namespace {
template <class... F> struct Overload : F... { using F::operator()...; };
template <class... F> Overload(F...) -> Overload<F...>;

void checkIndex(int index, size_t count) {
    if (index < -1 || index >= static_cast<int>(count)) throw Error(ListIndexOutOfBounds(index));
}
} // namespace

std::vector<ProjectLine> projectLines(IdeContext& e) {
    constexpr auto K = ProjectLine::Defaults::Kept;
    constexpr auto L = ProjectLine::Defaults::Linker;
    constexpr auto C = ProjectLine::Defaults::Compiler;
    auto& o = e.opts;
    return {
        {"UN", &o.UN, L, "0", "Use project name:", 10},                                    // 0
        {"AOP", &o.AOP, L, "1", "Absolute Output:", 12},                                   // 1
        {"GS", &o.GS, L, "0", "Global Symbols Static:", 3},                                // 2
        {"RO", &o.RO, L, "0", "Relocatable O/P:", 10},                                     // 3
        {"SS", &o.SS, L, "0", "Strip Symbol Table:", 7},                                   // 4
        {"Init", &o.Init, L, "0", "ROM Initalisation:", 9},                                // 5
        {"EL", &o.EL, C, "1", "Enable Linker:", 14},                                       // 6
        {"QM", &o.QM, C, "0", "Quiet Mode:", 17},                                          // 7
        {"DB", &o.DB, C, "1", "Include  Debuging Info:", 0},                               // 8
        {"KA", &o.KA, C, "0", "Keep Assembler:", 11},                                      // 9
        {"IL", &o.IL, C, "0", "Interlink:", 23},                                           // 10
        {"CO", &o.CO, C, "0", "Compile Only:", 15},                                        // 11
        {"GM", &o.GM, L, "0", "Generate Map file:", 8},                                    // 12
        {"KR", &o.KR, C, "0", "K & R compatible:", 9},                                     // 13
        {"PPL", &o.PPL, C, "0", "Preprcess Listing:", 9},                                  // 14
        {"PPO", &o.PPO, C, "0", "Preprocess Only:", 10},                                   // 15
        {"SW", &o.SW, C, "0", "Suppress warnings:", 6},                                    // 16
        {"Allowinline", &o.Allowinline, C, "1", "Allow Inlining:", 15},                    // 17
        {"RPC", &o.RPC, C, "0", "Relax Pro Checking:", 4},                                 // 18
        {"RPCC", &o.RPCC, C, "0", "Relax Ptr comb  Chk:", 3},                              // 19
        {"AAV", &o.AAV, C, "0", "Assume aliased Vars:", 3},                                // 20
        {"SEROS", &o.SEROS, C, "0", "SOE on Stack:", 13},                                  // 21
        {"PRASS", &o.PRASS, C, "0", "Stack Rtn Addr:", 11},                                // 22
        {"PTOHS", &o.PTOHS, C, "0", "Temps on Stack:", 10},                                // 23
        {"SIXBIT", &o.SIXBIT, C, "0", "16 Bit arithmatic:", 11},                           // 24
        {"PEO", &o.PEO, C, "0", "Prolog / Epilog:", 12},                                   // 25
        {"LRV", &o.LRV, C, "0", "List Register use:", 10},                                 // 26
        {"SSCP", &o.SSCP, C, "0", "Set Struct Copy Pram:", 2},                             // 27
        {"NO8BIT", &o.NO8BIT, C, "0", "No 8 bit LIV's:", 15},                              // 28
        {"SIXBITINT", &o.SIXBITINT, C, "0", "Teat INTs as 16 Bit:", 5},                    // 29
        {"AALD", &o.AALD, C, "0", "Allow Absolutes:", 11},                                 // 30
        {"ALL", &o.ALL, C, "0", "Assembly listing:", 11},                                  // 31
        {"OSAS", &o.OSAS, C, "0", "Old style Addr Mode:", 4},                              // 32
        {"KLAS", &o.KLAS, C, "0", "Keep Labels as Sybls:", 2},                             // 33
        {"ICRI", &o.ICRI, C, "0", "Include cross refs:", 8},                               // 34
        {"ProcType", &o.ProcType, C, "0", "Processor Type: ", 11},                         // 35
        {"FormatBox", &o.FormatBox, C, "0", "Memory Model:", 12},                          // 36
        {"UseintVectors", &e.menu.UseintVectors, C, "0", "Use Int Vectors:", 11},          // 37
        {"Quiet", &o.Quiet, L, "0", "Linker Quiet:", 16},                                  // 38
        {"IFS", &o.IFS, L, "0", "IFS:", 29},                                               // 39
        {"IUS", &o.IUS, L, "0", "Include Unres syms:", 4},                                 // 40
        {"UnResolvedSym", &o.UnResolvedSym, L, "", "Value:", 26},                          // 41
        {"DEP", &o.DEP, L, "0", "Define Entry Point:", 7},                                 // 42
        {"EntryPoint", &o.EntryPoint, L, "", "Value:", 26},                                // 43
        {"SSS", &o.SSS, L, "0", "Software stack:", 12},                                    // 44
        {"SoftStack", &o.SoftStack, L, "0200h", "Value:", 26},                             // 45
        {"HSS", &o.HSS, L, "0", "Hardware Stack:", 10},                                    // 46
        {"HardStack", &o.HardStack, L, "0020h", "Value:", 26},                             // 47
        {"DHS", &o.DHS, L, "0", "Heap:", 26},                                              // 48
        {"Heap", &o.Heap, L, "0200h", "Value:", 26},                                       // 49
        {"SF", &o.SF, K, nullptr, "Specify Fill Value   ......", 0},                       // 50
        {"FRL", &o.FRL, K, nullptr, "Force reading Librarys", 0},                          // 51
        {"Fill", &o.Fill, L, "0000h ", "Fill Value.....................", 0},              // 52
        {"SetOpt", &o.SetOpt, K, nullptr, "Optomise intermediate..", 0},                   // 53
        {"NonRe", &o.NonRe, K, nullptr, "Non Re-Entrent code .", 0},                       // 54
        {"EnableL3Osize", &o.EnableL3Osize, K, nullptr, "Level 3 Optomisation.", 0},       // 55
        {"UFlo", &o.UFlo, K, nullptr, "File level Optomisation", 0},                       // 56
        {"DoOptoInfo", &o.DoOptoInfo, K, nullptr, "Produce Info File.........", 0},        // 57
        {"OLevel", &o.OLevel, C, "2", "Optomisation Level ....", 0},                       // 58
        {"L3OSize", &o.L3OSize, K, nullptr, "L3 Optomize Size .......", 0},                // 59
        {"FilelevelOpto", &o.FilelevelOpto, C, "2", "File Level Value  .......", 0},       // 60
        {"OptoInfo", &o.OptoInfo, C, "0", "Information level.........", 0},                // 61
        {"CompilerCmdLine", &e.CompilerCmdLine, C, "-v0 -ms -g", ".Compiler Cmd Line", 0}, // 62
        {"LinkerCmdLine", &e.LinkerCmdLine, K, nullptr, ".Linker Cmd Line", 0},            // 63
        {"CmdFilePath", &e.CmdFilePath, K, nullptr, ".Linker Cmd File", 0},                // 64
        {"ObjectFile", &e.ObjectFile, K, nullptr, ".Object File", 0},                      // 65
    };
}

std::string lineText(const ProjectLine& row) {
    return std::visit(Overload{
                          [](CheckBox* c) { return FlagText(c->checked()); },
                          [](MenuItem* m) { return FlagText(m->checked()); },
                          [](RadioGroup* r) { return std::to_string(r->itemIndex()); },
                          [](ComboBox* c) { return std::to_string(c->itemIndex()); },
                          [](UpDown* u) { return std::to_string(u->position()); },
                          [](Edit* ed) { return ed->text(); },
                          [](std::string* s) { return *s; },
                      },
                      row.target);
}

void checkLine(const ProjectLine& row, const std::string& line) {
    std::visit(Overload{
                   [&](RadioGroup* r) { checkIndex(StrToInt(line), r->items.size()); },
                   [&](ComboBox* c) { checkIndex(StrToInt(line), c->items().size()); },
                   [&](UpDown*) { StrToInt(line); }, [](auto*) {}, // flags and texts take any line
               },
               row.target);
}

void applyLine(const ProjectLine& row, const std::string& line) {
    std::visit(Overload{
                   [&](CheckBox* c) { c->setChecked(FlagValue(line)); },
                   [&](MenuItem* m) { m->setChecked(FlagValue(line)); },
                   [&](RadioGroup* r) { r->setItemIndex(StrToInt(line)); },
                   [&](ComboBox* c) { c->setItemIndex(StrToInt(line)); },
                   [&](UpDown* u) { u->setPosition(StrToInt(line)); },
                   [&](Edit* ed) { ed->setText(line); },
                   [&](std::string* s) { *s = line; },
               },
               row.target);
}

void applyDefaults(const std::vector<ProjectLine>& rows, ProjectLine::Defaults which) {
    for (const auto& row : rows)
        if (row.defaults == which && row.reset) applyLine(row, row.reset);
}

std::vector<std::string> summaryTitles(const std::vector<ProjectLine>& rows) {
    std::vector<std::string> titles;
    for (const auto& row : rows)
        titles.push_back(std::string(static_cast<size_t>(row.pad), ' ') + row.title);
    titles.push_back("SOURCE FILES.........");
    titles.insert(titles.end(), 19, ".");
    return titles;
}

} // namespace halyard
