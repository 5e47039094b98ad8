// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project file's line table: one row per positional line (0 to 65) naming the control or state
// string it holds, its reset value, which "Set Defaults" resets it, and its summary title. The same
// rows write the file, read it back, reset the defaults and title the project summary, so an option
// is added in one place.
#include <string>
#include <variant>
#include <vector>

#include "base/controls.h"

namespace halyard {

class IdeContext;

inline constexpr int OptionLines = 62;        // lines 0 to 61: the option controls
inline constexpr int ProjectHeaderLines = 66; // plus the four state strings; the sources follow

struct ProjectLine {
    enum class Defaults { Kept, Linker, Compiler };

    const char* name; // the control's or state string's own name
    // Check boxes and the check-marked menu entry as "1"/"0"; radio groups and combo boxes as the
    // item index; the up-down as its position; edits and state strings as their text.
    std::variant<CheckBox*, MenuItem*, RadioGroup*, ComboBox*, UpDown*, Edit*, std::string*> target;
    Defaults defaults; // whose "Set Defaults" resets the line (Kept: neither)
    const char* reset; // the line's text after the project defaults; nullptr when kept
    const char* title; // the project summary's title, without its pad
    int pad;           // blanks in front of the title
};

// The 66 rows in line order; row i describes line i.
std::vector<ProjectLine> projectLines(IdeContext& e);

// The line's text from its control.
std::string lineText(const ProjectLine& row);
// Throws the error that applying the line would raise ("'%s' is not a valid integer value",
// "List index out of bounds (%d)"), so a whole file can be checked before any control changes.
void checkLine(const ProjectLine& row, const std::string& line);
// Sets the control from the line; the control's click handlers run as for a user change.
void applyLine(const ProjectLine& row, const std::string& line);

// The summary titles in line order, each with its pad: the rows' titles, then
// "SOURCE FILES........." and nineteen "." for the first source lines.
std::vector<std::string> summaryTitles(const std::vector<ProjectLine>& rows);

// Resets every line whose defaults belong to `which`, in line order, with their click handlers.
void applyDefaults(const std::vector<ProjectLine>& rows, ProjectLine::Defaults which);

} // namespace halyard
