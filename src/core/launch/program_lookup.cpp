// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/program_lookup.h"

#include "base/paths.h"
#include "launch/foreign_program.h"
#include "launch/process.h"

namespace halyard {

namespace {

bool endsWithText(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

bool hasFolder(const std::string& name) {
    return name.find_first_of("\\/:") != std::string::npos;
}

} // namespace

bool IsBatchFileName(const std::string& name) {
    const std::string n = TrimRight(name);
    return endsWithText(n, ".bat") || endsWithText(n, ".cmd");
}

std::vector<std::string> SplitWindowsPath(const std::string& value) {
    std::vector<std::string> dirs;
    std::string cur;
    bool quoted = false;
    auto flush = [&] {
        size_t b = cur.find_first_not_of(" \t");
        size_t e = cur.find_last_not_of(" \t");
        if (b != std::string::npos) dirs.push_back(cur.substr(b, e - b + 1));
        cur.clear();
    };
    for (char c : value) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ';' && !quoted)
            flush();
        else
            cur += c;
    }
    flush();
    return dirs;
}

FoundProgram FindProgram(const DosDevices& dd, const std::string& name, const std::vector<std::string>& dirs,
                         bool acceptDocuments) {
    const std::string bare = TrimRight(name);
    if (bare.empty()) return {};
    const std::string fileName = ExtractFileName(bare);
    const bool hasExtension = fileName.find('.') != std::string::npos;
    static const char* const extensions[] = {".COM", ".EXE", ".BAT", ".CMD"};

    auto tryIn = [&](const std::string& dir) -> FoundProgram {
        const std::string base = dir.empty() ? bare : AddTrailingBackslash(dir) + bare;
        std::vector<std::string> candidates;
        if (hasExtension) candidates.push_back(base);
        for (const char* ext : extensions)
            candidates.push_back(base + ext);
        if (!hasExtension) candidates.push_back(base);
        // "cl370.exe" in a batch written for Windows reaches the native stand-in "cl370".
        if (endsWithText(base, ".exe") || endsWithText(base, ".com"))
            candidates.push_back(base.substr(0, base.size() - 4));
        for (size_t i = 0; i < candidates.size(); ++i) {
            const std::string& c = candidates[i];
            if (!dd.fileExists(c)) continue;
            FoundProgram found{FoundProgram::None, dd.absolute(c), dd.toHost(c)};
            if (IsBatchFileName(c))
                found.kind = FoundProgram::Batch;
            else if (const auto foreign = ForeignKindOf(found.host, c); foreign != FoundProgram::None) {
                // Messages name the file as it is called on disk, not as the extension was tried.
                found.kind = foreign;
                found.winPath =
                    AddTrailingBackslash(ExtractFileDir(found.winPath)) + found.host.filename().string();
            } else if (IsExecutableFile(found.host.string()))
                found.kind = FoundProgram::Native;
            else if (acceptDocuments && hasExtension && i == 0)
                found.kind = FoundProgram::Document;
            else
                continue;
            return found;
        }
        return {};
    };

    if (hasFolder(bare)) return tryIn("");
    for (const auto& dir : dirs) {
        if (!dd.dirExists(dir)) continue;
        if (auto found = tryIn(dir); found.kind != FoundProgram::None) return found;
    }
    return {};
}

std::string ToolChainProgramOf(const std::string& name) {
    std::string file = LowerCase(ExtractFileName(TrimRight(name)));
    for (const char* ext : {".com", ".exe", ".bat", ".cmd"})
        if (endsWithText(file, ext)) {
            file.resize(file.size() - 4);
            break;
        }
    for (const char* tool : ToolChainPrograms)
        if (file == tool) return file;
    return {};
}

ToolChainImpostor FindToolChainImpostor(const DosDevices& dd, const std::string& name,
                                        const std::vector<std::string>& dirs,
                                        const std::string& toolChainDir) {
    if (ToolChainProgramOf(name).empty()) return {};
    const std::string home = UpperCase(RemoveTrailingBackslash(dd.absolute(toolChainDir)));
    std::error_code ec;
    const std::filesystem::path homeHost = dd.toHost(toolChainDir);
    auto isHome = [&](const std::string& dir) {
        return UpperCase(RemoveTrailingBackslash(dd.absolute(dir))) == home ||
               std::filesystem::equivalent(dd.toHost(dir), homeHost, ec);
    };
    std::vector<std::string> before;
    const std::string bare = TrimRight(name);
    if (hasFolder(bare)) {
        const std::string named = ExtractFileDir(dd.absolute(bare));
        if (!isHome(named)) before.push_back(named);
    }
    for (const auto& dir : dirs) {
        if (isHome(dir)) break;
        before.push_back(dir);
    }
    for (const auto& dir : before) {
        if (!dd.dirExists(dir)) continue;
        for (const char* tool : ToolChainPrograms)
            if (const FoundProgram found = FindProgram(dd, tool, {dir}); found.kind != FoundProgram::None)
                // Named as it is called on disk, not as the extension was tried.
                return {AddTrailingBackslash(ExtractFileDir(found.winPath)) + found.host.filename().string(),
                        tool};
    }
    return {};
}

std::string ImpostorText(const ToolChainImpostor& impostor) {
    return impostor.winPath + " is not the tool chain's " + impostor.program + "; remove it or rename it";
}

} // namespace halyard
