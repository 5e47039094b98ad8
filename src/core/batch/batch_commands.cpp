// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in commands: ECHO, SET, CD and drive changes, PAUSE, TYPE, DEL, MD.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "base/error.h"
#include "base/paths.h"
#include "batch/batch_internals.h"

namespace halyard {

using namespace batch_detail;
namespace fs = std::filesystem;

void BatchInterpreter::echoCmd(const std::string& rest, const Fds& fds) {
    const std::string text = rest.empty() ? std::string() : rest.substr(1);
    if (rest.empty() || (isBlank(rest[0]) && trim(text).empty())) {
        write(fds.out, echo_ ? "ECHO is on.\n" : "ECHO is off.\n");
        return;
    }
    if (isBlank(rest[0])) {
        const std::string t = trim(text);
        if (SameText(t, "OFF") || SameText(t, "ON")) {
            echo_ = SameText(t, "ON");
            return;
        }
    }
    write(fds.out, text + "\n");
}

void BatchInterpreter::setCmd(const std::string& rest, const Fds& fds) {
    std::string r = ltrim(rest);
    if (r.empty()) {
        std::string list;
        for (const auto& [key, entry] : vars_)
            list += entry.first + "=" + entry.second + "\n";
        write(fds.out, list);
        return;
    }
    if (startsWithWord(r, "/P")) {
        r = ltrim(r.substr(2));
        const size_t eq = r.find('=');
        if (eq == std::string::npos || eq == 0) return fail(fds, SyntaxError, 1);
        write(fds.out, unquote(r.substr(eq + 1)));
        const std::string line = readLine(fds.in, limits_.maxLine);
        if (line.empty())
            errorLevel_ = 1;
        else
            setVariable(r.substr(0, eq), line);
        return;
    }
    if (r[0] == '"') {
        const size_t last = r.rfind('"');
        r = last == 0 ? r.substr(1) : r.substr(1, last - 1);
    }
    const size_t eq = r.find('=');
    if (eq == std::string::npos) {
        const std::string prefix = UpperCase(TrimRight(r));
        std::string list;
        for (const auto& [key, entry] : vars_)
            if (key.rfind(prefix, 0) == 0) list += entry.first + "=" + entry.second + "\n";
        if (list.empty()) return fail(fds, "Environment variable " + TrimRight(r) + " not defined", 1);
        write(fds.out, list);
        return;
    }
    if (eq == 0) return fail(fds, SyntaxError, 1);
    setVariable(r.substr(0, eq), r.substr(eq + 1));
}

void BatchInterpreter::cdCmd(const std::string& rest, const Fds& fds) {
    std::string r = trim(rest);
    bool switchDrive = false;
    if (startsWithWord(r, "/D")) {
        switchDrive = true;
        r = trim(r.substr(2));
    }
    std::string path;
    for (char c : r)
        if (c != '"') path += c;
    path = TrimRight(path);
    const char current =
        static_cast<char>(std::toupper(static_cast<unsigned char>(dd_.currentDirectory()[0])));
    if (path.empty()) {
        write(fds.out, dd_.currentDirectory() + "\n");
        return;
    }
    const bool hasDrive =
        path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    const char drive =
        hasDrive ? static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))) : current;
    const auto remembered = driveDirs_.find(drive);
    const std::string driveDir =
        remembered != driveDirs_.end() ? remembered->second : std::string(1, drive) + ":\\";
    if (hasDrive && path.size() == 2) {
        write(fds.out, driveDir + "\n");
        return;
    }
    // "D:sub" is relative to D:'s own current folder, not to the current drive's.
    if (hasDrive && drive != current && path[2] != '\\' && path[2] != '/')
        path = AddTrailingBackslash(driveDir) + path.substr(2);
    if (!dd_.dirExists(path)) return fail(fds, "The system cannot find the path specified.", 1);
    const std::string abs = dd_.absolute(path);
    driveDirs_[drive] = abs;
    if (drive == current || switchDrive) dd_.setCurrentDirectory(abs);
}

void BatchInterpreter::changeDrive(char letter, const Fds& fds) {
    const std::string root = std::string(1, letter) + ":\\";
    if (!dd_.dirExists(root)) return fail(fds, "The system cannot find the drive specified.", 1);
    const auto it = driveDirs_.find(letter);
    const std::string dir = it != driveDirs_.end() && dd_.dirExists(it->second) ? it->second : root;
    dd_.setCurrentDirectory(dir);
    driveDirs_[letter] = dd_.currentDirectory();
}

void BatchInterpreter::pauseCmd(const Fds& fds) {
    write(fds.out, "Press any key to continue . . . ");
    char c;
    if (::isatty(fds.in)) {
        termios saved;
        if (::tcgetattr(fds.in, &saved) == 0) {
            termios raw = saved;
            raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            ::tcsetattr(fds.in, TCSANOW, &raw);
            ssize_t n = ::read(fds.in, &c, 1);
            (void)n;
            ::tcsetattr(fds.in, TCSANOW, &saved);
        }
    } else {
        // No terminal: take one character if one is there; at the end of the input go on.
        ssize_t n = ::read(fds.in, &c, 1);
        (void)n;
    }
    write(fds.out, "\n");
}

void BatchInterpreter::typeCmd(const std::string& rest, const Fds& fds) {
    const auto names = SplitBatchArguments(rest);
    if (names.empty()) return fail(fds, SyntaxError, 1);
    for (const auto& n : names) {
        const std::string name = unquote(n);
        if (!dd_.fileExists(name)) {
            fail(fds, "The system cannot find the file specified.", 1);
            continue;
        }
        try {
            const std::string bytes = dd_.readBytes(name);
            writeAll(fds.out, bytes.data(), bytes.size());
        } catch (const Error& e) {
            fail(fds, e.what(), 1);
        }
    }
}

void BatchInterpreter::delCmd(const std::string& rest, const Fds& fds) {
    bool any = false, quiet = false;
    const auto words = SplitBatchArguments(rest);
    for (const auto& n : words)
        quiet |= SameText(n, "/Q");
    for (const auto& n : words) {
        if (n[0] == '/') continue;
        any = true;
        const std::string abs = dd_.absolute(unquote(n));
        // Every file of a folder goes only when the user says so, as with the command processor;
        // without an answer (a hidden batch reads no input) nothing is deleted.
        const std::string mask = ExtractFileName(abs);
        if (!quiet && (mask == "*" || mask == "*.*")) {
            write(fds.out, AddTrailingBackslash(ExtractFileDir(abs)) + "*, Are you sure (Y/N)? ");
            const std::string answer = trim(readLine(fds.in));
            if (answer.empty() || std::toupper(static_cast<unsigned char>(answer[0])) != 'Y') continue;
        }
        std::vector<std::string> victims;
        if (hasWildcard(abs)) {
            for (const auto& f : dd_.listFiles(ExtractFileDir(abs), ExtractFileName(abs)))
                victims.push_back(AddTrailingBackslash(ExtractFileDir(abs)) + f);
        } else if (dd_.fileExists(abs)) {
            victims.push_back(abs);
        }
        if (victims.empty()) {
            write(fds.err, "Could Not Find " + abs + "\n");
            continue;
        }
        for (const auto& v : victims) {
            std::error_code ec;
            if (!fs::remove(dd_.toHost(v), ec) || ec) fail(fds, "Access is denied.", 1);
        }
    }
    if (!any) fail(fds, SyntaxError, 1);
}

void BatchInterpreter::mdCmd(const std::string& rest, const Fds& fds) {
    const auto names = SplitBatchArguments(rest);
    if (names.empty()) return fail(fds, SyntaxError, 1);
    for (const auto& n : names) {
        const std::string name = unquote(n);
        if (dd_.dirExists(name) || dd_.fileExists(name)) {
            fail(fds, "A subdirectory or file " + name + " already exists.", 1);
            continue;
        }
        // A drive that is not mapped has no folders; creating them would map it by accident.
        if (!dd_.dirExists(dd_.absolute(name).substr(0, 3))) {
            fail(fds, "The system cannot find the path specified.", 1);
            continue;
        }
        try {
            dd_.createDirs(name);
        } catch (const std::exception& e) {
            fail(fds, e.what(), 1);
        }
    }
}

} // namespace halyard
