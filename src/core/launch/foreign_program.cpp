// SPDX-License-Identifier: GPL-3.0-or-later
#include "launch/foreign_program.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "base/dos_devices.h"
#include "base/paths.h"
#include "base/text_file.h"

namespace halyard {

namespace fs = std::filesystem;

namespace {

bool endsWithText(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

bool hasVariable(const std::vector<std::string>& env, const std::string& name) {
    for (const auto& e : env)
        if (e.size() > name.size() && e[name.size()] == '=' && SameText(e.substr(0, name.size()), name))
            return true;
    return false;
}

void setVariable(std::vector<std::string>& env, const std::string& name, const std::string& value) {
    for (auto& e : env)
        if (e.size() > name.size() && e[name.size()] == '=' && SameText(e.substr(0, name.size()), name)) {
            e = name + "=" + value;
            return;
        }
    env.push_back(name + "=" + value);
}

std::string prefixOf(const DosDevices& dd) {
    std::error_code ec;
    return fs::weakly_canonical(fs::absolute(dd.root(), ec), ec).string();
}

// A path component DOS can name: at most eight characters, a dot and three more, no blanks.
bool dosName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return true;
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    return !base.empty() && base.size() <= 8 && ext.size() <= 3 && ext.find('.') == std::string::npos &&
           name.find_first_of(" +,;=[]") == std::string::npos;
}

// The first component of path that DOS cannot name; empty when there is none.
std::string longComponent(const std::string& path) {
    std::string part;
    for (char c : path + "\\") {
        if (c == '\\' || c == '/' || c == ':') {
            if (!dosName(part)) return part;
            part.clear();
        } else {
            part += c;
        }
    }
    return {};
}

std::string dosRefusal(const std::string& what, const std::string& path, const std::string& part) {
    return what + " " + path +
           " cannot reach a DOS program: DOS sees only names of up to eight characters "
           "and a three-letter extension, and " +
           part + " is longer";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The folder of the DOS run in progress, for the TERM handler, which may not allocate: a fixed
// buffer, filled before DOSBox starts and emptied once the folder is gone. The one piece of global
// state here, because a signal handler can reach nothing else.
char runningDosDir[4096];

void noteRunningDosDir(const std::string& dir) {
    const size_t n = dir.size() < sizeof runningDosDir ? dir.size() : 0;
    dir.copy(runningDosDir, n);
    runningDosDir[n] = '\0';
}

// Only system calls: the files DOSBox and the program were given (DOSBox writes the program's in
// upper case, a host program might not), then the folder.
void removeDosDirAndEnd(int sig) {
    if (runningDosDir[0]) {
        static const char* const names[] = {"RUN.BAT",   "dosbox.conf", "OUT.TXT",
                                            "LEVEL.TXT", "out.txt",     "level.txt"};
        char path[sizeof runningDosDir + 16];
        size_t n = 0;
        for (; runningDosDir[n]; ++n)
            path[n] = runningDosDir[n];
        path[n++] = '/';
        for (const char* name : names) {
            size_t k = 0;
            for (; name[k]; ++k)
                path[n + k] = name[k];
            path[n + k] = '\0';
            ::unlink(path);
        }
        ::rmdir(runningDosDir);
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

std::string wineInf(const std::string& wine) {
    std::error_code ec;
    const fs::path real = fs::canonical(wine, ec);
    for (const fs::path& p : {real.parent_path().parent_path() / "share/wine/wine.inf",
                              real.parent_path().parent_path().parent_path() / "share/wine/wine.inf",
                              fs::path("/usr/share/wine/wine.inf")})
        if (fs::is_regular_file(p, ec)) return p.string();
    return {};
}

} // namespace

FoundProgram::Kind ForeignKindOf(const fs::path& host, const std::string& name) {
    std::ifstream in(host, std::ios::binary);
    unsigned char head[64] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const auto got = static_cast<size_t>(in.gcount());
    if (got >= 2 && head[0] == 'M' && head[1] == 'Z') {
        if (got == sizeof head) {
            const std::uint32_t at =
                head[0x3C] | head[0x3D] << 8 | head[0x3E] << 16 | std::uint32_t(head[0x3F]) << 24;
            char pe[4] = {};
            in.clear();
            in.seekg(at);
            if (in.read(pe, 4) && std::memcmp(pe, "PE\0\0", 4) == 0) return FoundProgram::Windows;
        }
        return FoundProgram::Dos;
    }
    return endsWithText(TrimRight(name), ".com") && got > 0 ? FoundProgram::Dos : FoundProgram::None;
}

std::string FindWine() {
    return FindNamedProgram("HALYARD_WINE", "wine");
}

std::string FindDosBox() {
    return FindNamedProgram("HALYARD_DOSBOX", "dosbox");
}

std::string RunnerVersion(const std::string& runner) {
    if (runner.empty()) return {};
    SpawnSpec spec;
    spec.program = runner;
    spec.argv = {runner, endsWithText(runner, "dosbox") ? "-version" : "--version"};
    spec.env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "PATH=/usr/bin:/bin"};
    if (const char* home = std::getenv("HOME")) spec.env.push_back(std::string("HOME=") + home);
    const Collected run = RunCollecting(spec, std::chrono::seconds(10));
    if (!run.started) return {};
    for (const auto& line : SplitTextLines(run.output)) {
        std::string text = TrimRight(line);
        const size_t comma = text.find(", copyright");
        if (comma != std::string::npos) text.resize(comma);
        if (!text.empty()) return text;
    }
    return {};
}

std::string RunnerNotFoundText(const char* variable, const char* package) {
    // A variable that names nothing runnable is the thing to mend, not the package.
    if (const char* named = std::getenv(variable); named && *named)
        return std::string("(") + variable + " names " + named +
               ", which is not a program that can run here)";
    return std::string("(apt install ") + package + ")";
}

std::string MissingRunnerText(const FoundProgram& found) {
    if (found.kind == FoundProgram::Windows && FindWine().empty())
        return found.winPath + " is a Windows program; Wine is needed to run it " +
               RunnerNotFoundText("HALYARD_WINE", "wine");
    if (found.kind == FoundProgram::Dos && FindDosBox().empty())
        return found.winPath + " is a DOS program; DOSBox is needed to run it " +
               RunnerNotFoundText("HALYARD_DOSBOX", "dosbox");
    return {};
}

void AddWineEnvironment(const DosDevices& dd, std::vector<std::string>& env) {
    setVariable(env, "WINEPREFIX", prefixOf(dd));
    if (!hasVariable(env, "WINEDEBUG")) env.push_back("WINEDEBUG=-all");
    // Without these Wine offers to download .NET and a browser engine on its first run.
    if (!hasVariable(env, "WINEDLLOVERRIDES")) env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
}

ForeignStart PrepareForeignStart(const DosDevices& dd, const FoundProgram& found,
                                 const std::vector<std::string>& args, std::vector<std::string> env,
                                 const std::string& pathWin, const std::string& cwdWin) {
    ForeignStart start;
    if (found.kind == FoundProgram::Windows) {
        const std::string wine = FindWine();
        if (wine.empty()) {
            start.refusal = MissingRunnerText(found);
            return start;
        }
        AddWineEnvironment(dd, env);
        // Only the batch's Windows folders: a host PATH means nothing to Windows programs.
        std::string winePath;
        for (const auto& dir : SplitWindowsPath(pathWin))
            if (dir.size() >= 2 && dir[1] == ':') winePath += (winePath.empty() ? "" : ";") + dir;
        setVariable(env, "WINEPATH", winePath);
        start.spec.program = wine;
        start.spec.argv = {wine, found.winPath};
        start.spec.argv.insert(start.spec.argv.end(), args.begin(), args.end());
        start.spec.env = std::move(env);
        start.spec.replaceEnv = true;
        return start;
    }

    const std::string dosbox = FindDosBox();
    if (dosbox.empty()) {
        start.refusal = MissingRunnerText(found);
        return start;
    }
    // DOSBox keeps its own Z: drive, and its names are all 8.3.
    if (const std::string part = longComponent(found.winPath); !part.empty()) {
        start.refusal = dosRefusal("The program", found.winPath, part);
        return start;
    }
    if (const std::string part = longComponent(cwdWin); !part.empty()) {
        start.refusal = dosRefusal("The working folder", cwdWin, part);
        return start;
    }
    for (const auto& a : args) {
        const bool pathLike = a.find_first_of("\\:") != std::string::npos ||
                              (a.find('.') != std::string::npos && a[0] != '-' && a[0] != '/');
        if (const std::string part = pathLike ? longComponent(a) : ""; !part.empty()) {
            start.refusal = dosRefusal("The argument", a, part);
            return start;
        }
    }
    const std::string drives = dd.drives();
    auto onDos = [&](const std::string& path) {
        return path.size() >= 2 && path[1] == ':' && std::toupper(static_cast<unsigned char>(path[0])) != 'Z';
    };
    if (!onDos(found.winPath) || !onDos(cwdWin)) {
        start.refusal = found.winPath + " is a DOS program; DOSBox reaches drives C: to Y: only, not " +
                        (onDos(found.winPath) ? cwdWin : found.winPath);
        return start;
    }
    char spare = 0; // a letter for the folder of the generated files, unused by the mapping
    for (char l = 'Y'; l >= 'D' && !spare; --l)
        if (drives.find(l) == std::string::npos) spare = l;
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "halyard-dos-XXXXXX").string();
    if (!spare || !::mkdtemp(pattern.data())) {
        start.refusal = "No room to run the DOS program " + found.winPath;
        return start;
    }
    start.dosDir = pattern;
    noteRunningDosDir(start.dosDir);
    const std::string s(1, spare);
    std::string line = found.winPath;
    for (const auto& a : args)
        line += " " + a;
    std::vector<std::string> run{"@echo off", line + " > " + s + ":\\OUT.TXT"};
    // DOS tells only "at least n", and a redirection on an IF line writes its file even when the
    // condition is false: the highest level reached jumps to the line that writes it.
    for (int level = 255; level > 0; --level)
        run.push_back("if errorlevel " + std::to_string(level) + " goto L" + std::to_string(level));
    for (int level = 0; level < 256; ++level) {
        if (level > 0) run.push_back(":L" + std::to_string(level));
        run.push_back("echo " + std::to_string(level) + " > " + s + ":\\LEVEL.TXT");
        run.push_back("goto end");
    }
    run.push_back(":end");
    std::string conf =
        "[sdl]\nfullscreen=false\noutput=surface\n[dosbox]\nmemsize=16\n[cpu]\ncycles=max\n"
        "[mixer]\nnosound=true\n[speaker]\npcspeaker=false\ntandy=off\ndisney=false\n"
        "[midi]\nmpu401=none\n[sblaster]\nsbtype=none\n[gus]\ngus=false\n[autoexec]\n@echo off\n";
    for (char l : drives) {
        if (l == 'Z') continue;
        const fs::path target = dd.toHost(std::string(1, l) + ":\\");
        conf +=
            "mount " + std::string(1, static_cast<char>(std::tolower(l))) + " \"" + target.string() + "\"\n";
    }
    conf += "mount " + s + " \"" + start.dosDir + "\"\n";
    conf += cwdWin.substr(0, 2) + "\ncd " + (cwdWin.size() > 2 ? cwdWin.substr(2) : "\\") + "\n";
    conf += "call " + s + ":\\RUN.BAT\nexit\n";
    auto joined = [](const std::vector<std::string>& lines) {
        std::string t;
        for (const auto& l : lines)
            t += l + "\r\n";
        return t;
    };
    if (!WriteGeneratedFileAtomic(fs::path(start.dosDir) / "RUN.BAT", joined(run), false) ||
        !WriteGeneratedFileAtomic(fs::path(start.dosDir) / "dosbox.conf", conf, false)) {
        fs::remove_all(start.dosDir, ec);
        noteRunningDosDir({});
        start.dosDir.clear();
        start.refusal = "No room to run the DOS program " + found.winPath;
        return start;
    }
    // Headless: no window, no sound device.
    setVariable(env, "SDL_VIDEODRIVER", "dummy");
    setVariable(env, "SDL_AUDIODRIVER", "dummy");
    start.spec.program = dosbox;
    start.spec.argv = {dosbox, "-conf", start.dosDir + "/dosbox.conf", "-exit"};
    start.spec.env = std::move(env);
    start.spec.replaceEnv = true;
    return start;
}

int FinishDosRun(const ForeignStart& start, std::string& output) {
    const fs::path dir = start.dosDir;
    std::error_code ec;
    int level = -1;
    if (fs::exists(dir / "LEVEL.TXT", ec)) {
        output = readFile(dir / "OUT.TXT");
        level = std::atoi(readFile(dir / "LEVEL.TXT").c_str());
    } else {
        output = "DOSBox ended without running the program.\n";
    }
    fs::remove_all(dir, ec);
    noteRunningDosDir({});
    return level;
}

void RemoveDosFolderOnTerm() {
    struct sigaction action {};
    action.sa_handler = removeDosDirAndEnd;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool WinePrefixPrepared(const DosDevices& dd) {
    const fs::path prefix = dd.root();
    std::error_code ec;
    if (!fs::is_regular_file(prefix / "system.reg", ec)) return false;
    const std::string stamp = readFile(prefix / ".update-timestamp");
    if (stamp.empty()) return false;
    const std::string wine = FindWine();
    const std::string inf = wine.empty() ? std::string() : wineInf(wine);
    if (inf.empty()) return true;
    // Wine brings the prefix up to date itself when wine.inf is newer than the stamp: that is the
    // first run after an upgrade, which is to be prepared as the very first is.
    struct stat st;
    if (::stat(inf.c_str(), &st) != 0) return true;
    return std::strtoll(stamp.c_str(), nullptr, 10) == static_cast<long long>(st.st_mtime);
}

SpawnSpec WineBootSpec(const DosDevices& dd, const std::string& wine) {
    SpawnSpec spec;
    const std::string wineboot = (fs::path(wine).parent_path() / "wineboot").string();
    spec.program = IsExecutableFile(wineboot) ? wineboot : wine;
    spec.argv = spec.program == wine ? std::vector<std::string>{wine, "wineboot", "-u"}
                                     : std::vector<std::string>{wineboot, "-u"};
    spec.env = CallerEnvironment();
    AddWineEnvironment(dd, spec.env);
    spec.replaceEnv = true;
    return spec;
}

bool PrepareWinePrefix(const DosDevices& dd, const std::string& wine, std::string& why) {
    // Minutes on a slow disk; a wineboot that hangs is not waited for without end.
    const Collected run = RunCollecting(WineBootSpec(dd, wine), std::chrono::minutes(10), Await::Output);
    if (!run.started) {
        why = run.error;
        return false;
    }
    if (run.timedOut) {
        why = "Preparing Wine did not end within 10 minutes: " + TrimRight(run.output);
        return false;
    }
    if (run.exitCode != 0) {
        why = "Preparing Wine failed (exit code " + std::to_string(run.exitCode) +
              "): " + TrimRight(run.output);
        return false;
    }
    return true;
}

void WineServerKeeper::Start(const DosDevices& dd) {
    if (started_) return;
    const std::string wine = FindWine();
    if (wine.empty() || !WinePrefixPrepared(dd)) return;
    const std::string server = (fs::path(wine).parent_path() / "wineserver").string();
    if (!IsExecutableFile(server)) return;
    SpawnSpec spec;
    spec.program = server;
    spec.argv = {server, "-p"};
    spec.env = CallerEnvironment();
    AddWineEnvironment(dd, spec.env);
    spec.replaceEnv = true;
    // It forks into the background, keeping no descriptor of ours; one already running ends at once.
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    spec.in = spec.out = spec.err = null;
    const SpawnResult r = SpawnProcess(spec);
    if (null >= 0) ::close(null);
    if (r.started() && WaitForExit(r.pid) == 0) {
        started_ = true;
        prefix_ = prefixOf(dd);
        wineserver_ = server;
    }
}

void WineServerKeeper::Stop() {
    if (!started_) return;
    started_ = false;
    // A Windows program still running (a programming tool the user started) keeps the server.
    const std::string mark = "WINEPREFIX=" + prefix_;
    if (DIR* proc = ::opendir("/proc")) {
        while (dirent* d = ::readdir(proc)) {
            if (!std::isdigit(static_cast<unsigned char>(d->d_name[0]))) continue;
            const std::string base = std::string("/proc/") + d->d_name;
            // Wine's own services (winedevice.exe, services.exe...) end with the server.
            const std::string command = LowerCase(readFile(base + "/cmdline"));
            if (command.find("wineserver") != std::string::npos || command.rfind("c:\\windows\\", 0) == 0)
                continue;
            const std::string env = readFile(base + "/environ");
            if (env.find(mark + '\0') != std::string::npos) {
                ::closedir(proc);
                return;
            }
        }
        ::closedir(proc);
    }
    SpawnSpec spec;
    spec.program = wineserver_;
    spec.argv = {wineserver_, "-k"};
    spec.env = {"WINEPREFIX=" + prefix_, "PATH=/usr/bin:/bin"};
    spec.replaceEnv = true;
    RunCollecting(spec, std::chrono::seconds(10));
}

} // namespace halyard
