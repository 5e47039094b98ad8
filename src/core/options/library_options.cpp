// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/library_options.h"

namespace halyard {

LibraryOptions::LibraryOptions() {
    Source.setText("rts.src");
    Verbose.setCaption("Verbose");
    NoHeaders.setCaption("Do not use source headers");
    UseSource.setCaption("Use and retain source headers");
    ExtractSource.setCaption("Extract 'C' source");
    Overwrite.setCaption("Overwrite");
    SuppressHeaders.setCaption("Suppress Header information");
    Debug.setCaption("Symbolic Debug");
    C8.setCaption("TSM370C8 Code");
    KandR.setCaption("K + R Compliant");
    SuppressWarns.setCaption("Suppress warnings");
    Trigraph.setCaption("Enable Trigraph expansion");
    SmallMem.setCaption("Small Memory model");
    Asumealias.setCaption("Assume Alised variables");
    CheckBox2.setCaption("Place locals in static");
    CheckBox3.setCaption("Place return Addr on Stack");
    CheckBox4.setCaption("Place temp on Hardware stack");
    CheckBox5.setCaption("Generate Prolog/ Epilog In Line");
    SmallMem.setChecked(true); // the window's own state before the settings are read
}

} // namespace halyard
