// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows and DOS programs on Linux: the tool chain a user owns, and most flash programmers, are
// Windows (or older DOS) console programs. A Windows program runs through Wine with Halyard's data
// folder as the Wine prefix: its "dosdevices" links are laid out the way Wine's are, so a Windows
// path means the same file to Halyard and to the program. A DOS program runs in DOSBox, headless,
// with every mapped drive mounted at its letter. Every path that starts programs (the batch
// interpreter, the launcher, the headless build) comes through here.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "launch/process.h"
#include "launch/program_lookup.h"

namespace halyard {

class DosDevices;

// By the file's header: "MZ" with a "PE\0\0" header is a Windows program, any other "MZ" file or a
// .COM without one a DOS program; None for everything else.
FoundProgram::Kind ForeignKindOf(const std::filesystem::path& host, const std::string& name);

// The programs that run them: $HALYARD_WINE (or $HALYARD_DOSBOX) when set, else the one on PATH;
// empty when there is none.
std::string FindWine();
std::string FindDosBox();
// Why found cannot run here ("C:\CL370\cl370.exe is a Windows program; Wine is needed to run it
// (apt install wine)"); empty when it can, or when it is not a foreign program.
std::string MissingRunnerText(const FoundProgram& found);
// What to do when a runner is not found: "(apt install wine)", or, when `variable` names a program
// that is not there, "(HALYARD_WINE names /opt/wine, which is not a program that can run here)".
std::string RunnerNotFoundText(const char* variable, const char* package);
// "wine-8.0 (Debian 8.0~repack-4)", "DOSBox version 0.74-3"; empty when it does not answer.
std::string RunnerVersion(const std::string& runner);

// What a foreign program needs to start, or why it cannot.
struct ForeignStart {
    SpawnSpec spec;      // program, argv and env; the caller adds the descriptors and the folder
    std::string refusal; // set when it cannot start: names the program, what it is, what to install
    std::string dosDir;  // DOS: the host folder of the generated batch, its output and error level
    bool dos() const { return !dosDir.empty(); }
};

// env is what the program would get as a native one ("NAME=value"; PATH of host folders); pathWin
// the Windows PATH of the batch, which Wine searches as WINEPATH; cwdWin the working folder.
ForeignStart PrepareForeignStart(const DosDevices& dd, const FoundProgram& found,
                                 const std::vector<std::string>& args, std::vector<std::string> env,
                                 const std::string& pathWin, const std::string& cwdWin);
// After DOSBox ended: the program's output and its error level (-1 when it never ran, output then
// says why). The generated folder is removed.
int FinishDosRun(const ForeignStart& start, std::string& output);
// For the batch runner, once at its start: a SIGTERM (Stop) ends it as before, but with the folder
// of a DOS run in progress removed first, as the run's own end would have removed it.
void RemoveDosFolderOnTerm();

// The Wine prefix (Halyard's data folder) is prepared once, and again after Wine was upgraded: what
// Wine does on its own first run, done beforehand, so that its lines never pass for a tool's output.
bool WinePrefixPrepared(const DosDevices& dd);
// What is shown while the prefix is prepared.
inline constexpr const char* PreparingWineText =
    "Preparing Wine for the tool chain's Windows programs (once; about 10 s, and about 1.3 GB under "
    "C:\\windows and C:\\users)...";
// Runs "wineboot -u" and waits for it; false when it failed (why says so).
bool PrepareWinePrefix(const DosDevices& dd, const std::string& wine, std::string& why);
// The arguments and environment of "wineboot -u" for the prefix, for callers that must not wait.
SpawnSpec WineBootSpec(const DosDevices& dd, const std::string& wine);

// Keeps Wine's server running between programs (a cold start costs most of a second, a warm one a
// tenth); Stop() ends it again unless a Windows program of the prefix is still running.
class WineServerKeeper {
public:
    ~WineServerKeeper() { Stop(); }
    void Start(const DosDevices& dd);
    void Stop();

private:
    std::string prefix_, wineserver_;
    bool started_ = false;
};

// The environment entries Wine gets for the prefix: WINEPREFIX, and WINEDEBUG and WINEDLLOVERRIDES
// unless env sets them.
void AddWineEnvironment(const DosDevices& dd, std::vector<std::string>& env);

} // namespace halyard
