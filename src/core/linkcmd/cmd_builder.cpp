// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkcmd/cmd_builder.h"

#include <algorithm>

#include "base/paths.h"
#include "base/text_file.h"
#include "linkcmd/cmd_check.h"
#include "linkcmd/cmd_file_mode.h"
#include "options/linker_options.h"
#include "shell/ide_context.h"

namespace halyard {

namespace {

constexpr const char* ReservedWords[] = {"align",  "attr",   "block",    "copy",  "dsect",  "f",
                                         "fill",   "group",  "l",        "len",   "length", "load",
                                         "memory", "noload", "o",        "org",   "origin", "page",
                                         "range",  "run",    "sections", "spare", "type",   "union"};

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

} // namespace

CmdBuilder::CmdBuilder(IdeContext& e, LinkerOptionsModel& linker, CmdFileMode& cmdFile)
    : SectionsEdit(e.ui), e(e), linker(linker), cmdFile(cmdFile), c(e.linkCmd) {
    c.Include.onClick = [this] { IncludeClick(); };
    c.SectionList.onClick = [this] { SectionListClick(); };
    auto on = [this](MenuItem& item, void (CmdBuilder::*handler)()) {
        item.onClick = [this, handler] { this->e.run([this, handler] { (this->*handler)(); }); };
    };
    on(c.addBtn, &CmdBuilder::Addsec);
    on(c.InsertBtn, &CmdBuilder::InsertClick);
    on(c.ReplaceBtn, &CmdBuilder::ReplaceBtnClick);
    on(c.CreateIPSec, &CmdBuilder::CreateIPSecClick);
    on(c.SelectFiles, &CmdBuilder::SelectFilesClick);
    on(c.AbortIpsection, &CmdBuilder::AbortIpsectionClick);
    on(c.AddIPSection, &CmdBuilder::AddIPSectionClick);
}

// ---- LIBRARIES and MEMORY ----

void CmdBuilder::AddLibClick() {
    const auto chosen = e.ui.openFile(SelectLib);
    if (!chosen) return;
    const std::string name = c.CheckBox6.checked() ? *chosen : ExtractFileName(*chosen);
    // Unquoted, "C:\my libs\rts.lib" is two names to the linker (and to the check before a build);
    // quoted, both read it whole.
    c.ObjectLibs.add("-l " + (name.find(' ') != std::string::npos ? "\"" + name + "\"" : name));
}

void CmdBuilder::AddMemClick() {
    std::string attrs;
    for (CheckBox* box : {&c.R, &c.W, &c.X, &c.I})
        if (box->checked()) attrs += box->caption();
    // A blank inside a number makes two words of it: the places left empty are left out.
    auto number = [](std::string text) {
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        return LinkerHex(text);
    };
    std::string line = "    " + c.NameBox.text() + (attrs.empty() ? "" : " (" + attrs + ") ") +
                       " origin = " + number(c.Origin.text()) + " " +
                       "length = " + number(c.MemLength.text()) + " ";
    const std::string fill = c.FillBox.text();
    if (HexOrZero(fill.substr(0, fill.size() - 1)) > 0) line += "fill = " + LinkerHex(fill);
    c.MemList.add(line);
    SectionsEdit.Memory.addItem(Trim(c.NameBox.text().substr(0, 8)));
}

// ---- Output sections ----

bool CmdBuilder::SectionNameCheck() {
    const std::string& name = c.SectionNames.text();
    if (!name.empty() && c.ParamLine.text().find(name) != std::string::npos) return true;
    e.ui.inform("No Section Name defined");
    return false;
}

bool CmdBuilder::IsReservedWord() {
    const std::string name = Trim(c.SectionNames.text());
    const std::string lower = LowerCase(name);
    for (const char* word : ReservedWords)
        if (lower == word) {
            e.ui.inform(name + " Is a Reserved Word");
            c.SectionNames.clear();
            return true;
        }
    return false;
}

void CmdBuilder::SpeedButton5Click() {
    if (Trim(c.SectionNames.text()).empty()) {
        e.ui.inform("No Section Name defined");
        return;
    }
    c.ParamLine.setText("." + c.SectionNames.text() + ": ");
}

void CmdBuilder::NewNameClick() {
    const std::string name = c.SectionNames.text();
    c.SectionNames.addItem(name);
    c.SectionNames.setText(name);
}

// The caller resets the type and alignment without their change operations; everything else in
// the dialog stays as the user left it.
bool CmdBuilder::placement(const char* caption, const std::string& joint) {
    if (!SectionNameCheck() || IsReservedWord()) return false;
    TSectionsEdit& d = SectionsEdit;
    d.ParTypeLab.setCaption(caption);
    d.Alignment.setItemIndex(TSectionsEdit::NoAlign);
    d.MemoryType.setItemIndex(TSectionsEdit::None);
    d.Bmlab.setVisible(false);
    d.BoundMemory.setVisible(false);
    d.NamedMemoryPan.setVisible(false);
    if (e.ui.execute(d) != Answer::Ok) return false;
    c.ParamLine.setText(c.ParamLine.text() + joint + d.output.text());
    c.addBtn.setEnabled(true);
    return true;
}

void CmdBuilder::SetuploadClick() {
    placement("Select Load Parameters", " ");
}

void CmdBuilder::SetUpRunParsClick() {
    placement("Select Run Parameters", " run = ");
}

void CmdBuilder::AddTypeClick() {
    if (!SectionNameCheck() || IsReservedWord()) return;
    if (c.SectionType.itemIndex() > 0)
        c.ParamLine.setText(c.ParamLine.text() + ", type = " + c.SectionType.text());
}

void CmdBuilder::AddFillClick() {
    if (!SectionNameCheck() || IsReservedWord()) return;
    const std::string fill = c.SectionFill.text();
    if (HexOrZero(fill.substr(0, fill.size() - 1)) != 0)
        c.ParamLine.setText(c.ParamLine.text() + ", fill =" + LinkerHex(fill));
}

void CmdBuilder::Addsec() {
    std::string all;
    for (const auto& entry : c.SectionList.items())
        all += entry + "\r\n";
    const std::string& name = c.SectionNames.text();
    if (!name.empty() && all.find(name) != std::string::npos) {
        e.ui.inform("A section with this name already exists");
        return;
    }
    if (c.ParamLine.text().empty()) {
        e.ui.inform("Nothing to Add");
        return;
    }
    if (c.SectionList.itemIndex() < 0) c.SectionList.add("    " + c.ParamLine.text());
}

void CmdBuilder::InsertClick() {
    const int at = c.SectionList.itemIndex();
    if (at < 0) return;
    auto items = c.SectionList.items();
    items.insert(items.begin() + at, "    " + c.ParamLine.text());
    c.SectionList.setItems(std::move(items));
    c.SectionList.setItemIndex(at);
}

void CmdBuilder::ReplaceBtnClick() {
    const int at = c.SectionList.itemIndex();
    if (at < 0) return;
    auto items = c.SectionList.items();
    items[static_cast<size_t>(at)] = "    " + c.ParamLine.text();
    c.SectionList.setItems(std::move(items));
    c.SectionList.setItemIndex(at);
}

void CmdBuilder::EditPLineClick() {
    const int at = c.SectionList.itemIndex();
    if (at < 0) {
        e.ui.inform("Nothing selected");
        return;
    }
    c.ParamLine.setText(c.SectionList.items()[static_cast<size_t>(at)]);
}

void CmdBuilder::SectionListClick() {
    const bool any = c.SectionList.count() > 0;
    c.InsertBtn.setEnabled(any);
    c.ReplaceBtn.setEnabled(any);
}

void CmdBuilder::Button30Click() {
    auto lines = inputLines();
    for (const std::string& l :
         {std::string(), std::string(".intvecs : load = 07FECh  /*Interrupt Vectors*/"), std::string("  {"),
          "   " + AddTrailingBackslash(e.CompSourceDir) + "intvecs.obj(.intvecs)",
          std::string("   endvec =.; "), std::string("  }")})
        lines.push_back(l);
    setInputLines(lines);
    c.addBtn.setEnabled(false);
    c.AddIPSection.setEnabled(true);
}

// ---- Input sections ----

std::vector<std::string> CmdBuilder::inputLines() const {
    return SplitTextLines(c.InputSections.text());
}

void CmdBuilder::setInputLines(const std::vector<std::string>& lines) {
    c.InputSections.setText(JoinTextLines(lines));
}

void CmdBuilder::CreateIPSecClick() {
    if (!SectionNameCheck()) return;
    c.AbortIpsection.setEnabled(true);
    c.addBtn.setEnabled(false);
    auto lines = inputLines();
    for (const std::string& l : {c.ParamLine.text(), std::string("{"), std::string(), std::string("}")})
        lines.push_back(l);
    setInputLines(lines);
    c.SelectFiles.setEnabled(true);
}

void CmdBuilder::SelectFilesClick() {
    const auto chosen = e.ui.openFile(Openobj);
    if (!chosen) return;
    c.AddIPSection.setEnabled(true);
    std::string names;
    if (e.ui.message(MsgKind::Information, "Do you want to specify a section within this file",
                     {Answer::Yes, Answer::No}) == Answer::Yes) {
        TIPSectionName dlg(e.ui);
        if (e.ui.execute(dlg) == Answer::Ok)
            for (const auto& n : dlg.Clist.items())
                names += (names.empty() ? "" : ",") + n;
    }
    const std::string line = "    " + *chosen + "(" + names + ")";
    auto lines = inputLines();
    // A text the user has cut down below one block gets the file line appended.
    if (lines.size() < 2)
        lines.push_back(line);
    else
        lines[lines.size() - 2] = line;
    setInputLines(lines);
}

void CmdBuilder::AddIPSectionClick() {
    for (const auto& l : inputLines())
        c.SectionList.add(l);
    c.addBtn.setEnabled(true);
    c.AddIPSection.setEnabled(false);
}

void CmdBuilder::AbortIpsectionClick() {
    c.addBtn.setEnabled(true);
    c.InputSections.setText("");
    c.SelectFiles.setEnabled(false);
    c.AddIPSection.setEnabled(false);
}

// ---- BUILD ----

void CmdBuilder::IncludeClick() {
    c.ClearCLine.setEnabled(c.Include.checked());
}

void CmdBuilder::BuildCommandClick() {
    std::vector<std::string> out = {"/*********** Halyard Linker Commnad file ******/"};
    for (const auto& lib : c.ObjectLibs.items())
        out.push_back(lib);
    out.emplace_back();
    LinkerSwitchArray list = linker.BuildLinkerSwitches("").list;
    const bool clear = c.ClearCLine.checked() && c.ClearCLine.enabled();
    if (c.Include.checked())
        for (auto& entry : list) {
            if (entry.empty()) continue;
            out.push_back(entry);
            if (c.ClearCLine.checked()) entry.clear();
        }
    if (clear) ClearLinkerOptions();
    out.insert(out.end(), 3, "");
    if (c.MemList.count() > 0) {
        out.insert(out.end(), {"MEMORY", "{"});
        out.insert(out.end(), c.MemList.items().begin(), c.MemList.items().end());
        out.insert(out.end(), {"", "}", "", "", ""});
    }
    if (c.SectionList.count() > 0) {
        out.insert(out.end(), {"SECTIONS", "{"});
        out.insert(out.end(), c.SectionList.items().begin(), c.SectionList.items().end());
        out.insert(out.end(), {"", "}"});
    }
    c.Command.setText(JoinTextLines(out));
}

void CmdBuilder::ClearLinkerOptions() {
    OptionSet& o = e.opts;
    for (CheckBox* box :
         {&o.Quiet, &o.IFS, &o.IUS, &o.DEP, &o.SSS, &o.HSS, &o.DHS, &o.UN, &o.AOP, &o.GS, &o.RO, &o.SS})
        box->setChecked(false);
    o.Init.setItemIndex(2);
    for (CheckBox* box : {&o.GM, &o.FRL, &o.SF})
        box->setChecked(false);
    e.ui.inform("Linker command line parameters have been cleared");
}

void CmdBuilder::saveCMDClick() {
    const auto chosen = e.ui.saveFile(Savecmddlg);
    if (!chosen) return;
    e.dd.writeGeneratedBytes(*chosen, c.Command.text());
    const int option = c.SaveOptions.itemIndex();
    if (option == 1 || option == 2) e.CmdFilePath = *chosen;
    if (option == 2) {
        cmdFile.UserDefClick();
        cmdFile.ShowCmdFileName();
    }
}

void CmdBuilder::CheckClick() {
    const auto found = linkcmd::CheckCommandFile(c.Command.text(), "Command", e.dd, e.CompSourceDir);
    if (found.empty()) {
        e.ui.inform("The command file has no errors or warnings.");
        return;
    }
    std::string text;
    for (const auto& m : found)
        text += (text.empty() ? "" : "\r") + linkcmd::FormatCheckMessage(m);
    e.ui.warn(text);
}

bool CmdBuilder::removeSelected(ListBox& list) {
    const int at = list.itemIndex();
    if (at < 0 || at >= list.count()) {
        e.ui.inform("Nothing selected");
        return false;
    }
    list.removeAt(at);
    return true;
}

void CmdBuilder::RemoveLib() {
    removeSelected(c.ObjectLibs);
}

void CmdBuilder::RemoveMem() {
    const int at = c.MemList.itemIndex();
    if (!removeSelected(c.MemList)) return;
    ComboBox& regions = SectionsEdit.Memory;
    if (at >= static_cast<int>(regions.items().size())) return;
    auto names = regions.items();
    names.erase(names.begin() + at);
    const std::string current = regions.text();
    const int was = regions.itemIndex();
    regions.setItems(std::move(names));
    if (was >= 0 && was != at) regions.setText(current);
}

void CmdBuilder::RemoveSection() {
    removeSelected(c.SectionList);
}

} // namespace halyard
