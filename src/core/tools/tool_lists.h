// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The registered programming tools and user tools. Index k of a display list and index k of its
// path (and parameter) lists always describe the same tool.
#include <string>
#include <utility>
#include <vector>

#include "base/controls.h"

namespace halyard {

struct ToolLists {
    ComboBox ProgToolsList; // display names, in case-insensitive name order
    ListBox UserToolsList;  // display names, in insertion order
    std::vector<std::string> ProgToolPaths, UserToolPaths, UserToolParams;

    // Adds a programming tool in name order; refuses (returns -1) a path that is already
    // registered (case-insensitive) or empty, so the two lists stay one tool per index.
    int addProgTool(const std::string& name, const std::string& path);
    // Adds many (name, path) pairs as addProgTool would one by one, in time that grows with their
    // number rather than its square.
    void addProgTools(const std::vector<std::pair<std::string, std::string>>& tools);
    void removeProgTool(int index);
    // Index of the tool with this path (case-insensitive, whole text), or -1.
    int findProgTool(const std::string& path) const;
    void addUserTool(const std::string& name, const std::string& path, const std::string& params);
    void removeUserTool(int index);
    void clear();
};

} // namespace halyard
