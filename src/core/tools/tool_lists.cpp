// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tool_lists.h"

#include <algorithm>
#include <set>

#include "base/paths.h"

namespace halyard {

int ToolLists::findProgTool(const std::string& path) const {
    for (size_t i = 0; i < ProgToolPaths.size(); ++i)
        if (SameText(ProgToolPaths[i], path)) return static_cast<int>(i);
    return -1;
}

int ToolLists::addProgTool(const std::string& name, const std::string& path) {
    if (path.empty() || findProgTool(path) >= 0) return -1;
    std::vector<std::string> names = ProgToolsList.items();
    auto at =
        std::upper_bound(names.begin(), names.end(), name,
                         [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    const auto index = at - names.begin();
    names.insert(at, name);
    ProgToolPaths.insert(ProgToolPaths.begin() + index, path);
    ProgToolsList.setItems(std::move(names));
    return static_cast<int>(index);
}

void ToolLists::addProgTools(const std::vector<std::pair<std::string, std::string>>& tools) {
    std::vector<std::pair<std::string, std::string>> all;
    std::set<std::string> paths;
    const auto& names = ProgToolsList.items();
    for (size_t i = 0; i < names.size() && i < ProgToolPaths.size(); ++i) {
        all.emplace_back(names[i], ProgToolPaths[i]);
        paths.insert(LowerCase(ProgToolPaths[i]));
    }
    for (const auto& [name, path] : tools)
        if (!path.empty() && paths.insert(LowerCase(path)).second) all.emplace_back(name, path);
    // A stable sort keeps equal names in the order they came, as inserting each after its equals does.
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return CompareText(a.first, b.first) < 0; });
    std::vector<std::string> sortedNames;
    ProgToolPaths.clear();
    for (auto& [name, path] : all) {
        sortedNames.push_back(std::move(name));
        ProgToolPaths.push_back(std::move(path));
    }
    ProgToolsList.setItems(std::move(sortedNames));
}

void ToolLists::removeProgTool(int index) {
    std::vector<std::string> names = ProgToolsList.items();
    names.erase(names.begin() + index);
    ProgToolPaths.erase(ProgToolPaths.begin() + index);
    ProgToolsList.setItems(std::move(names));
}

void ToolLists::addUserTool(const std::string& name, const std::string& path, const std::string& params) {
    UserToolsList.add(name);
    UserToolPaths.push_back(path);
    UserToolParams.push_back(params);
}

void ToolLists::removeUserTool(int index) {
    UserToolsList.removeAt(index);
    UserToolPaths.erase(UserToolPaths.begin() + index);
    UserToolParams.erase(UserToolParams.begin() + index);
}

void ToolLists::clear() {
    ProgToolsList.clear();
    UserToolsList.clear();
    ProgToolPaths.clear();
    UserToolPaths.clear();
    UserToolParams.clear();
}

} // namespace halyard
