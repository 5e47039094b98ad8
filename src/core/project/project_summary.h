// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project summary panel `DisplayPanel`: every project line behind its title, then the source
// list, written into the memo `Memo2` when the user asks for it.
#include <string>
#include <vector>

#include "base/controls.h"

namespace halyard {

class IdeContext;

// A read-only multi-line text control.
class Memo : public Control {
public:
    const std::vector<std::string>& lines() const { return lines_; }
    void setLines(std::vector<std::string> lines);

private:
    std::vector<std::string> lines_;
};

class ProjectSummary {
public:
    explicit ProjectSummary(IdeContext& e);

    Memo Memo2;
    std::vector<std::string> optiontitles; // stored with their leading blanks

    // Shows or hides the panel and rebuilds the summary.
    void DisplayProjectListClick();
    // The summary rows from the project lines and the source list.
    std::vector<std::string> rows() const;

private:
    IdeContext& e;
};

} // namespace halyard
