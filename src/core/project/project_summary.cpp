// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/project_summary.h"

#include "project/project_lines.h"
#include "shell/ide_context.h"

namespace halyard {

void Memo::setLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    changed();
}

ProjectSummary::ProjectSummary(IdeContext& e) : optiontitles(summaryTitles(projectLines(e))), e(e) {
    e.menu.DisplayProjectList.checkable = true;
    auto show = [this, &e] { e.run([this] { DisplayProjectListClick(); }); };
    e.menu.DisplayProjectList.onClick = show;
    e.toolBar.DisplayListBtn.onClick = show;
}

std::vector<std::string> ProjectSummary::rows() const {
    auto title = [this](size_t i) { return i < optiontitles.size() ? optiontitles[i] : std::string(); };
    const auto& lines = e.ProList;
    std::vector<std::string> out;
    for (size_t i = 0; i < lines.size() && i < static_cast<size_t>(ProjectHeaderLines); ++i)
        out.push_back(title(i) + "   " + lines[i]);
    if (lines.size() > static_cast<size_t>(ProjectHeaderLines)) {
        out.push_back("SOURCE FILES.........");
        // Source line k wears title k + 1: the first nineteen get ".", the later ones nothing.
        for (size_t k = ProjectHeaderLines; k < lines.size(); ++k)
            out.push_back(title(k + 1) + "   " + lines[k]);
    }
    for (const auto& entry : e.ProjectListBox.items())
        out.push_back(entry);
    return out;
}

void ProjectSummary::DisplayProjectListClick() {
    auto& item = e.menu.DisplayProjectList;
    item.setChecked(!item.checked());
    e.DisplayPanel.setVisible(item.checked());
    Memo2.setLines(rows());
}

} // namespace halyard
