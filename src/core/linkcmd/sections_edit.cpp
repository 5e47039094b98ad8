// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkcmd/sections_edit.h"

#include <cctype>

#include "base/paths.h"

namespace halyard {

long long DecimalOrZero(const std::string& text) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
    if (i == text.size()) return 0;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
        v = v * 10 + (text[i] - '0');
        if (v > 0xFFFFFFFFLL) return 0;
    }
    return negative ? -v : v;
}

unsigned long long HexOrZero(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return 0;
    unsigned long long v = 0;
    for (size_t i = first; i < text.size(); ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return 0;
        v = v * 16 +
            static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(text[i]))
                                      ? text[i] - '0'
                                      : std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 10);
        if (v > 0xFFFFFFFFULL) return 0;
    }
    return v;
}

std::string LinkerHex(const std::string& field) {
    const size_t first = field.find_first_not_of(' ');
    if (first == std::string::npos || !std::isalpha(static_cast<unsigned char>(field[first]))) return field;
    // Only a number written in hexadecimal digits: a symbol the user typed stays a symbol.
    std::string digits = field.substr(first);
    if (!digits.empty() && (digits.back() == 'h' || digits.back() == 'H')) digits.pop_back();
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ' ') return field;
    return field.substr(0, first) + "0" + field.substr(first);
}

TSectionsEdit::TSectionsEdit(Ui& ui) : ui(ui) {
    ParTypeLab.setCaption("Select Load Parameters");
    MemoryType.setItems({"None", "Bound", "Named"});
    MemoryType.setItemIndex(None);
    MemoryType.onChange = [this] { MemoryTypeChange(); };
    BoundMemory.setText("0000");
    Alignment.setItems({"None", "Allignment", "Blocking"});
    Alignment.setItemIndex(NoAlign);
    Alignment.onChange = [this] { AlignmentChange(); };
    Value.setText("0000");
    PageUD.associate(&Page);
    for (Control* c :
         {&Bmlab, &static_cast<Control&>(BoundMemory), &NamedMemoryPan, &BLab, &static_cast<Control&>(Value)})
        c->setVisible(false);
}

void TSectionsEdit::MemoryTypeChange() {
    output.setText("");
    switch (MemoryType.itemIndex()) {
    case None:
        Bmlab.setVisible(false);
        BoundMemory.setVisible(false);
        break;
    case Bound:
        Bmlab.setVisible(true);
        BoundMemory.setVisible(true);
        NamedMemoryPan.setVisible(false);
        break;
    case Named:
        NamedMemoryPan.setVisible(true);
        break;
    }
}

void TSectionsEdit::AlignmentChange() {
    const bool on = Alignment.itemIndex() == Allignment || Alignment.itemIndex() == Blocking;
    Value.setVisible(on);
    BLab.setVisible(on);
}

void TSectionsEdit::Button47Click() {
    std::string text;
    if (MemoryType.itemIndex() == Bound) {
        text = "> " + LinkerHex(BoundMemory.text());
    } else if (MemoryType.itemIndex() == Named) {
        if (Memory.items().empty()) {
            ui.inform("No memory regions sre defined");
        } else if (Memory.itemIndex() < 0) {
            ui.inform("No memory region selected");
        } else {
            text = " > " + Memory.text();
            if (Alignment.itemIndex() == Allignment) text += " align(" + LinkerHex(Value.text()) + ")";
            if (Alignment.itemIndex() == Blocking) text += " block(" + LinkerHex(Value.text()) + ")";
        }
    }
    output.setText(text);
    if (DecimalOrZero(Page.text()) != 0) output.setText(output.text() + " PAGE" + Page.text());
}

TIPSectionName::TIPSectionName(Ui& ui) : ui(ui) {}

void TIPSectionName::FormActivate() {
    Clist.clear();
}

void TIPSectionName::Button3Click() {
    for (const auto& name : Clist.items())
        if (SameText(name, Clist.text())) {
            ui.inform("This section name is already in the list");
            return;
        }
    const std::string name = Clist.text();
    Clist.addItem(name);
    Clist.setText(name);
}

} // namespace halyard
