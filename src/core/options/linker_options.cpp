// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/linker_options.h"

#include "base/paths.h"
#include "batch/ide_bat.h"
#include "project/project_lines.h"
#include "shell/ide_context.h"

namespace halyard {

namespace {

using Box = CheckBox OptionSet::*;

LinkerSwitch when(const char* name, Box box, const char* text) {
    return {name, [box, text](const OptionSet& o, const std::string&) {
                return (o.*box).checked() ? std::string(text) : std::string();
            }};
}

// A switch, an edit's text and one blank.
template <class E> LinkerSwitch valued(const char* name, Box box, const char* prefix, E OptionSet::*edit) {
    return {name, [box, prefix, edit](const OptionSet& o, const std::string&) {
                return (o.*box).checked() ? prefix + (o.*edit).text() + " " : std::string();
            }};
}

} // namespace

const std::vector<LinkerSwitch>& linkerSwitches() {
    static const std::vector<LinkerSwitch> rows = {
        when("Quiet", &OptionSet::Quiet, "-q "),
        when("IFS", &OptionSet::IFS, "-n "),
        valued("IUS", &OptionSet::IUS, "-u ", &OptionSet::UnResolvedSym),
        valued("DEP", &OptionSet::DEP, "-e ", &OptionSet::EntryPoint),
        valued("SSS", &OptionSet::SSS, " -sstack ", &OptionSet::SoftStack),
        valued("HSS", &OptionSet::HSS, " -hstack ", &OptionSet::HardStack),
        valued("DHS", &OptionSet::DHS, " -heap ", &OptionSet::Heap),
        {"UN",
         [](const OptionSet& o, const std::string& objectFile) {
             return o.UN.checked() ? " -o " + objectFile + " " : std::string();
         }},
        when("AOP", &OptionSet::AOP, " -a "),
        when("GS", &OptionSet::GS, "-h "),
        when("RO", &OptionSet::RO, "-r "),
        when("SS", &OptionSet::SS, "-s "),
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
        valued("GM", &OptionSet::GM, "-m ", &OptionSet::MapFile),
        when("FRL", &OptionSet::FRL, "-x "),
        valued("SF", &OptionSet::SF, "-f ", &OptionSet::Fill),
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
