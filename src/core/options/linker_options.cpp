// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/linker_options.h"

#include "base/paths.h"
#include "batch/ide_bat.h"
#include "project/project_lines.h"
#include "shell/ide_context.h"

namespace halyard {

namespace {

using Box = CheckBox OptionSet::*;

LinkerSwitch linkerIf(const char* name, Box box, const char* text) {
    return {name, [box, text](const OptionSet& o, const std::string&) {
                return (o.*box).checked() ? std::string(text) : std::string();
            }};
}

// A switch, an edit's text and one blank.
template <class E>
LinkerSwitch linkerValued(const char* name, Box box, const char* prefix, E OptionSet::*edit) {
    return {name, [box, prefix, edit](const OptionSet& o, const std::string&) {
                return (o.*box).checked() ? prefix + (o.*edit).text() + " " : std::string();
            }};
}

} // namespace

const std::vector<LinkerSwitch>& linkerSwitches() {
    static const std::vector<LinkerSwitch> rows = {
        linkerIf("Quiet", &OptionSet::Quiet, "-q "),
        linkerIf("IFS", &OptionSet::IFS, "-n "),
        linkerValued("IUS", &OptionSet::IUS, "-u ", &OptionSet::UnResolvedSym),
        linkerValued("DEP", &OptionSet::DEP, "-e ", &OptionSet::EntryPoint),
        linkerValued("SSS", &OptionSet::SSS, " -sstack ", &OptionSet::SoftStack),
        linkerValued("HSS", &OptionSet::HSS, " -hstack ", &OptionSet::HardStack),
        linkerValued("DHS", &OptionSet::DHS, " -heap ", &OptionSet::Heap),
        {"UN",
         [](const OptionSet& o, const std::string& objectFile) {
             return o.UN.checked() ? " -o " + objectFile + " " : std::string();
         }},
        linkerIf("AOP", &OptionSet::AOP, " -a "),
        linkerIf("GS", &OptionSet::GS, "-h "),
        linkerIf("RO", &OptionSet::RO, "-r "),
        linkerIf("SS", &OptionSet::SS, "-s "),
        {"Init",
         [](const OptionSet& o, const std::string&) {
             switch (o.Init.itemIndex()) {
             case 0:
                 return std::string("-c ");
             case 1:
                 return std::string("-cr ");
             default:
                 return std::string(); // "NONE", or nothing chosen yet
             }
         }},
        linkerValued("GM", &OptionSet::GM, "-m ", &OptionSet::MapFile),
        linkerIf("FRL", &OptionSet::FRL, "-x "),
        linkerValued("SF", &OptionSet::SF, "-f ", &OptionSet::Fill),
    };
    return rows;
}

LinkerOptionsModel::LinkerOptionsModel(IdeContext& e, IdeBat& batch) : e(e), batch(batch) {
    auto& o = e.opts;
    // A value check box shows its edit, and makes it editable, exactly while it is checked: after
    // "Set Defaults" greyed the edits out, checking the box again must let the user type a value.
    auto follow = [](CheckBox& box, Edit& edit) {
        box.onClick = [&box, &edit] {
            edit.setVisible(box.checked());
            edit.setEnabled(box.checked());
        };
    };
    follow(o.SF, o.Fill);
    follow(o.DHS, o.Heap);
    follow(o.HSS, o.HardStack);
    follow(o.SSS, o.SoftStack);
    follow(o.IUS, o.UnResolvedSym);
    follow(o.DEP, o.EntryPoint);
    o.UN.onClick = [this] { UNClick(); };
    o.GM.onClick = [this] { GMClick(); };

    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.LinkerOptions1, [this] { LinkerOptions1Click(); });
    on(e.toolBar.LinkerOptionsBtn, [this] { LinkerOptions1Click(); });
}

LinkerSwitches LinkerOptionsModel::BuildLinkerSwitches(const std::string& prefix) {
    LinkerSwitches out;
    const auto& rows = linkerSwitches();
    out.text = prefix;
    for (size_t i = 0; i < rows.size(); ++i) {
        out.list[i] = rows[i].text(e.opts, e.ObjectFile).substr(0, LinkerSwitchMax);
        out.text += out.list[i];
    }
    LinkerSwitchList = out.list;
    return out;
}

void LinkerOptionsModel::setLinkerDefs() {
    auto& o = e.opts;
    applyDefaults(projectLines(e), ProjectLine::Defaults::Linker);
    for (Edit* edit :
         std::initializer_list<Edit*>{&o.UnResolvedSym, &o.EntryPoint, &o.SoftStack, &o.HardStack, &o.Heap})
        edit->setEnabled(false);
    o.UnResolvedSym.setVisible(false);
    o.EntryPoint.setVisible(false);
}

void LinkerOptionsModel::UNClick() {
    auto& o = e.opts;
    const bool on = o.UN.checked();
    o.OutputFile.setEnabled(on);
    o.SetOP.setEnabled(on);
    o.OutputFile.setText(on ? e.ObjectFile : AddTrailingBackslash(e.CompSourceDir) + "a.out");
    o.outlab.setVisible(on);
}

void LinkerOptionsModel::GMClick() {
    auto& o = e.opts;
    for (Control* c : std::initializer_list<Control*>{&o.MapFile, &o.SetMap, &o.maplab})
        c->setVisible(o.GM.checked());
}

void LinkerOptionsModel::Setoutputfile() {
    e.ObjectFile = AddTrailingBackslash(e.CompSourceDir) + e.opts.OutputFile.text() + ".out";
    e.opts.OutputFile.setText(e.ObjectFile);
}

void LinkerOptionsModel::LinkerOptions1Click() {
    e.LinkerOptions.setActivePage(OutputTab);
    e.LinkerOptions.setVisible(true);
    e.LibaryGenOps.setVisible(false);
    e.OptionsTabs.setVisible(false);
    e.LinkCmdWiz.setVisible(false);
}

void LinkerOptionsModel::cancelLinkerOps() {
    e.LinkerOptions.setVisible(false);
}

void LinkerOptionsModel::OKClick() {
    batch.MakeIdeBatClick();
}

} // namespace halyard
