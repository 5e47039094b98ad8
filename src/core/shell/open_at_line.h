// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening a file found by a search at one of its lines: the editor window that shows it already is
// brought to the front, else a new one opens; the line is selected.
#include <string>

namespace halyard {

class TEmbedded;
class TCodeEd;

// path: a Windows path; line: 1-based. nullptr when the file could not be opened (the editor
// windows have said why).
TCodeEd* OpenAtLine(TEmbedded& e, const std::string& path, int line);

} // namespace halyard
