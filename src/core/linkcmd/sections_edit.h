// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The builder's two dialogs: the placement dialog (load or run placement of an output section),
// made once and reused so that its fields keep what the user last entered, and the input-section
// name dialog, made for each use.
#include <string>

#include "base/controls.h"
#include "base/ports.h"

namespace halyard {

class TSectionsEdit : public ModalDialog {
public:
    explicit TSectionsEdit(Ui& ui);
    const char* kind() const override { return "TSectionsEdit"; }

    enum Type { None, Bound, Named };
    enum Align { NoAlign, Allignment, Blocking };

    Control ParTypeLab;
    ComboBox MemoryType;
    Control Bmlab;
    MaskEdit BoundMemory{"aaaah"};
    Control NamedMemoryPan;
    ComboBox Memory; // the region names of the MEMORY page, in its order
    ComboBox Alignment;
    Control BLab;
    MaskEdit Value{"aaaah"};
    Edit Page;
    UpDown PageUD{0, 3};
    Edit output;

    void MemoryTypeChange();
    void AlignmentChange();
    void Button47Click(); // Apply

private:
    Ui& ui;
};

class TIPSectionName : public ModalDialog {
public:
    explicit TIPSectionName(Ui& ui);
    const char* kind() const override { return "TIPSectionName"; }

    ComboBox Clist;
    void FormActivate();
    void Button3Click(); // Add

private:
    Ui& ui;
};

// A decimal number as the fill fields are read: leading blanks allowed, anything else that is not
// a whole decimal number (a hex letter, an inner or trailing blank) counts as 0.
long long DecimalOrZero(const std::string& text);
// A hexadecimal field as the fill fields are read: leading blanks allowed, then hexadecimal digits
// up to the end; anything else (an inner or trailing blank, a letter past F) counts as 0.
unsigned long long HexOrZero(const std::string& text);
// A field's hexadecimal constant in the form the linker reads as a number: one that begins with a
// letter ("F000h") is read as a symbol, so it gets a leading 0 ("0F000h"); blanks are kept.
std::string LinkerHex(const std::string& field);

} // namespace halyard
