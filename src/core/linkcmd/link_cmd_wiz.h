// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The linker command file builder's controls, page by page. Their contents live as long as the
// main window and are never stored, except the two check boxes of the BUILD page (settings).
#include "base/controls.h"

namespace halyard {

struct LinkCmdControls {
    LinkCmdControls();

    // "LIBRARIES": one "-l " line per library.
    ListBox ObjectLibs;
    CheckBox CheckBox6; // with it, new library lines carry the library's full path

    // "MEMORY": the fields keep their blanks and fixed characters in their texts.
    // A length has five places: a range may take the whole 64K (10000h).
    MaskEdit NameBox{"cccccccc: "}, Origin{"aaaah"}, MemLength{"aaaaah"}, FillBox{"aaaaaaah"};
    CheckBox R, W, X, I;
    ListBox MemList;

    // "SEC TIONS", output sections.
    ComboBox SectionNames;
    Edit ParamLine;
    ListBox SectionList;
    ComboBox SectionType;
    MaskEdit SectionFill{"aaaaaaaah"};
    // The buttons that put the parameter line into the section list.
    MenuItem addBtn, InsertBtn, ReplaceBtn;

    // "SEC TIONS", input sections; the text holds CR LF ended lines.
    Edit InputSections;
    MenuItem CreateIPSec, SelectFiles, AbortIpsection, AddIPSection;

    // "BUILD": the command file as CR LF ended lines.
    Edit Command;
    CheckBox Include, ClearCLine;
    RadioGroup SaveOptions;
};

} // namespace halyard
