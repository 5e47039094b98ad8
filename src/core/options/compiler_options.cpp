// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/compiler_options.h"

#include "batch/ide_bat.h"
#include "options/linker_options.h"
#include "project/project_lines.h"
#include "shell/ide_context.h"

namespace halyard {

namespace {

using Box = CheckBox OptionSet::*;

CompilerSwitch when(const char* name, Box box, const char* text) {
    return {name, [box, text](const OptionSet& o) {
                return (o.*box).checked() ? std::string(text) : std::string();
            }};
}

CompilerSwitch unless(const char* name, Box box, const char* text) {
    return {name, [box, text](const OptionSet& o) {
                return (o.*box).checked() ? std::string() : std::string(text);
            }};
}

// A switch followed by a value and one blank.
CompilerSwitch valued(const char* name, Box box, const char* prefix,
                      std::function<std::string(const OptionSet&)> value) {
    return {name, [box, prefix, value](const OptionSet& o) {
                return (o.*box).checked() ? prefix + value(o) + " " : std::string();
            }};
}

// Leading and trailing blanks and control characters removed, as the output name is taken.
std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

// The text without its last four characters (a path's ".prj").
std::string stem(const std::string& s) {
    return s.size() > 4 ? s.substr(0, s.size() - 4) : std::string();
}

} // namespace

const std::vector<CompilerSwitch>& compilerSwitches() {
    static const std::vector<CompilerSwitch> rows = {
        {"ProcType", [](const OptionSet& o) { return o.ProcType.itemIndex() == 1 ? "-c8 " : ""; }},
        when("QM", &OptionSet::QM, "-q "),
        when("DB", &OptionSet::DB, "-g "),
        when("KA", &OptionSet::KA, "-k "),
        when("IL", &OptionSet::IL, "-s "),
        when("CO", &OptionSet::CO, "-n "),
        {"FormatBox", [](const OptionSet& o) { return o.FormatBox.itemIndex() == 0 ? "-ms " : ""; }},
        when("KR", &OptionSet::KR, "-pk "),
        when("PPL", &OptionSet::PPL, "-pl "),
        when("PPO", &OptionSet::PPO, "-po "),
        when("SW", &OptionSet::SW, "-pw "),
        unless("Allowinline", &OptionSet::Allowinline, "-x0 "),
        when("RPC", &OptionSet::RPC, "-tf "),
        when("RPCC", &OptionSet::RPCC, "-tp "),
        when("AAV", &OptionSet::AAV, "-ma "),
        when("SEROS", &OptionSet::SEROS, "-mc "),
        when("PRASS", &OptionSet::PRASS, "-mh "),
        when("PTOHS", &OptionSet::PTOHS, "-mk "),
        when("SIXBIT", &OptionSet::SIXBIT, "-mn "),
        when("PEO", &OptionSet::PEO, "-mp "),
        when("LRV", &OptionSet::LRV, "-mr "),
        when("SSCP", &OptionSet::SSCP, "-mtnn "), // "nn" is emitted as it stands
        when("NO8BIT", &OptionSet::NO8BIT, "-mu "),
        when("SIXBITINT", &OptionSet::SIXBITINT, "-mw "),
        when("AALD", &OptionSet::AALD, "-aa "),
        when("ALL", &OptionSet::ALL, "-al "),
        when("OSAS", &OptionSet::OSAS, "-ao "),
        when("KLAS", &OptionSet::KLAS, "-as "),
        when("ICRI", &OptionSet::ICRI, "-ax "),
        valued("SetOpt", &OptionSet::SetOpt, "-o", [](const OptionSet& o) { return o.Optlevel.text(); }),
        {"NonRe", [](const OptionSet& o) { return o.NonRe.checked() && o.NonRe.enabled() ? "-oe " : ""; }},
        valued("EnableL3Osize", &OptionSet::EnableL3Osize, "-oi",
               [](const OptionSet& o) { return o.L3OSize.text(); }),
        valued("UFlo", &OptionSet::UFlo, "-ol",
               [](const OptionSet& o) { return std::to_string(o.FilelevelOpto.itemIndex()); }),
        valued("DoOptoInfo", &OptionSet::DoOptoInfo, "-on",
               [](const OptionSet& o) { return std::to_string(o.OptoInfo.itemIndex()); }),
    };
    return rows;
}

std::string BuildCompilerSwitches(const OptionSet& o) {
    std::string text;
    for (const auto& row : compilerSwitches())
        text += row.text(o);
    return text;
}

CompilerOptions::CompilerOptions(IdeContext& e, LinkerOptionsModel& linker, IdeBat& batch)
    : e(e), linker(linker), batch(batch) {
    auto& o = e.opts;
    o.FormatBox.onClick = [this] { FormatBoxClick(); };
    o.SetOpt.onClick = [this] { SetOptClick(); };
    o.Optlevel.onChange = [this] { OptlevelChange(); };
    o.EnableL3Osize.onClick = [this] { EnableL3OsizeClick(); };
    o.UFlo.onClick = [this] { UFloClick(); };
    o.DoOptoInfo.onClick = [this] { DoOptoInfoClick(); };

    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.CompilerOptions, [this] { CompilerOptionsClick(); });
    on(e.toolBar.CompilerOptionsBtn, [this] { CompilerOptionsClick(); });
    on(e.menu.Proccessor1, [this] { Proccessor1Click(); });
    on(e.menu.TMS370V5301, [this] { TMS370V5301Click(); });
}

void CompilerOptions::OptionsOK2Click() {
    auto& o = e.opts;
    e.OptionsTabs.setVisible(false);
    e.LinkerOptions.setVisible(false);
    e.CompilerCmdLine.clear();
    e.LinkSwitch.clear();
    if (o.EL.checked()) e.LinkSwitch = "-z ";
    e.CompilerCmdLine = BuildCompilerSwitches(o);
    const std::string projectStem = stem(e.ProjectPath);
    e.ObjectFile = trim(o.OutputFile.text()) + " ";
    o.MapFile.setText(projectStem + ".map ");
    e.LinkerCmdLine = linker.BuildLinkerSwitches(e.LinkSwitch).text;
    // The batch file is written once more from the previous generation's text; the generation
    // that called this step rebuilds and writes it again.
    batch.MakeClick();
    e.UpdateStatusPanels();
}

void CompilerOptions::SetDefsClick() {
    applyDefaults(projectLines(e), ProjectLine::Defaults::Compiler);
    e.opts.ProcType.setText("TMS370");
    e.opts.ProcType.setItemIndex(0);
}

void CompilerOptions::OKClick() {
    batch.MakeIdeBatClick();
}

void CompilerOptions::FormatBoxClick() {
    auto& n = e.opts.NonRe;
    if (e.opts.FormatBox.itemIndex() == 0) {
        n.setHint(NonReHintSmall);
        n.setChecked(true);
        n.setEnabled(false);
    } else if (e.opts.FormatBox.itemIndex() == 1) {
        n.setHint(NonReHintLarge);
        n.setEnabled(true);
    }
}

void CompilerOptions::SetOptClick() {
    auto& o = e.opts;
    if (o.SetOpt.checked()) {
        o.OLevel.setEnabled(true);
        o.Optlevel.setEnabled(true);
    } else {
        o.OLevel.setPosition(2);
        o.OLevel.setEnabled(false);
        o.Optlevel.setEnabled(false);
    }
}

void CompilerOptions::OptlevelChange() {
    auto& o = e.opts;
    // A level typed into the edit moves the up-down, as the up-down reads its position from the
    // edit; any other text leaves the position (and so the rule's outcome) where it was.
    for (int level = o.OLevel.min(); level <= o.OLevel.max(); ++level)
        if (o.Optlevel.text() == std::to_string(level)) o.OLevel.setPosition(level);
    if (o.OLevel.position() == 3) {
        for (CheckBox* b : {&o.EnableL3Osize, &o.UFlo, &o.DoOptoInfo})
            b->setEnabled(true);
        return;
    }
    for (CheckBox* b : {&o.EnableL3Osize, &o.UFlo, &o.DoOptoInfo}) {
        b->setChecked(false);
        b->setEnabled(false);
    }
    o.L3OSize.setVisible(false);
    o.FilelevelOpto.setVisible(false);
    o.OptoInfo.setVisible(false);
}

void CompilerOptions::EnableL3OsizeClick() {
    e.opts.L3OSize.setVisible(e.opts.EnableL3Osize.checked());
}
void CompilerOptions::UFloClick() {
    e.opts.FilelevelOpto.setVisible(e.opts.UFlo.checked());
}
void CompilerOptions::DoOptoInfoClick() {
    e.opts.OptoInfo.setVisible(e.opts.DoOptoInfo.checked());
}

void CompilerOptions::CompilerOptionsClick() {
    e.OptionsTabs.setActivePage(CompilerTab);
    e.OptionsTabs.setVisible(true);
    e.LinkCmdWiz.setVisible(false); // the page controls share one place in the window
}

void CompilerOptions::Proccessor1Click() {
    e.OptionsTabs.setActivePage(GeneralTab);
    e.OptionsTabs.setVisible(true);
    e.LinkCmdWiz.setVisible(false);
}

void CompilerOptions::CancelOptions2Click() {
    e.OptionsTabs.setVisible(false);
}

void CompilerOptions::TMS370V5301Click() {
    e.ui.inform(
        "This version of Halyard is only compatible with version 5.30 of\rthe Texas TMS370 Optomising "
        "\"C\" Compiler");
}

} // namespace halyard
