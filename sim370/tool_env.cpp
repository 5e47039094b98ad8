// SPDX-License-Identifier: GPL-3.0-or-later
#include "tool_env.h"

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include "base/paths.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;

std::vector<std::string> SplitList(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text + separator) {
        if (c != separator) {
            cur += c;
            continue;
        }
        const auto first = cur.find_first_not_of(" \t");
        if (first != std::string::npos) out.push_back(TrimRight(cur.substr(first)));
        cur.clear();
    }
    return out;
}

ToolEnv::ToolEnv(fs::path root, const std::string& cDirList)
    : dd(std::move(root)), cDir(SplitList(cDirList, ';')) {
    dd.ensureCreated();
    // The mapping reads the host's current folder when it is built; a fresh mapping needs it again.
    dd = DosDevices(dd.root());
}

ToolEnv ToolEnv::fromProcess() {
    const char* c = std::getenv("C_DIR");
    return ToolEnv(DosDevices::defaultRoot(), c ? c : "");
}

fs::path ToolEnv::host(const std::string& path) const {
    const std::string p = TrimRight(path);
    std::error_code ec;
    if (!p.empty() && p[0] == '/' && fs::exists(p, ec)) return fs::path(p);
    return dd.toHost(p);
}

fs::path ToolEnv::find(const std::string& name, const std::vector<std::string>& dirs) const {
    std::vector<std::string> all = dirs;
    all.insert(all.end(), cDir.begin(), cDir.end());
    std::error_code ec;
    for (const auto& d : all) {
        const fs::path candidate = host(AddTrailingBackslash(d) + name);
        if (fs::is_regular_file(candidate, ec)) return candidate;
    }
    return {};
}

#ifdef _WIN32
bool HostProgramAvailable(const std::string& name) {
    char found[MAX_PATH];
    return SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, found, nullptr) > 0;
}

ProcessResult RunProcess(const std::vector<std::string>& argv) {
    ProcessResult result;
    std::string line;
    for (const auto& a : argv) {
        if (!line.empty()) line += ' ';
        if (a.find_first_of(" \t\"") == std::string::npos && !a.empty()) {
            line += a;
            continue;
        }
        line += '"';
        for (size_t i = 0, slashes = 0; i <= a.size(); ++i) {
            if (i < a.size() && a[i] == '\\') {
                ++slashes;
                continue;
            }
            // Backslashes double before a quote (and before the closing one), else stay as they are.
            const bool quote = i == a.size() || a[i] == '"';
            line.append(quote ? slashes * 2 : slashes, '\\');
            slashes = 0;
            if (i < a.size()) line += a[i] == '"' ? std::string("\\\"") : std::string(1, a[i]);
        }
        line += '"';
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        result.output = "cannot start " + argv[0];
        return result;
    }
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n > 0)
        result.output.append(buf, n);
    CloseHandle(readEnd);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.exitCode = static_cast<int>(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return result;
}
#else
bool HostProgramAvailable(const std::string& name) {
    const char* path = std::getenv("PATH");
    for (const auto& dir : SplitList(path ? path : "", ':'))
        if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
}

ProcessResult RunProcess(const std::vector<std::string>& argv) {
    ProcessResult result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        result.output = "cannot start " + argv[0];
        return result;
    }
    char buf[4096];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
        result.output.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

#endif

} // namespace halyard::sim370
