// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The build batch file IDE.BAT: the project and its options become the batch text (`Memo1`), which
// is checked against the linker command file and written as ide.bat into the compiler folder.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halyard {

class IdeContext;
class CompilerOptions;
class Editors;
class LinkerOptionsModel;
class ProjectFile;
class ToolMenus;
class MenuItem;
class DosDevices;

// The fixed default linker command file; its trailing blank belongs to the name wherever it is
// written or compared.
inline constexpr const char* DefaultCmdFile = "C:\\TexasSource\\lnk.cmd ";

// What the command file names: the last "-l" line before the first ".obj" line, and that line.
struct CmdFileScan {
    std::optional<std::string> libraryLine;
    std::optional<std::string> vectorLine;
};
CmdFileScan ScanCmdFile(const std::vector<std::string>& lines);
// The library named by a "-l" line: everything after "-l", without surrounding blanks, up to the
// first blank ("-l rts.lib" and "-lrts.lib" both give "rts.lib"); a quoted name is taken whole.
std::string LibraryName(const std::string& line);
// The vector object named by a ".obj" line: trimmed, and cut three characters after its first ".".
std::string VectorObject(const std::string& line);
// Leading and trailing blanks and control characters removed.
std::string TrimBlanks(const std::string& text);
// The first character of a text that the batch language would not take as part of a name or a
// switch: a line break or other control character, or one of & | < > ^ " %. Project files and
// settings may come from anyone, and such a character would chain, redirect or expand commands.
std::optional<char> BatchUnsafeCharacter(const std::string& text);
// The message for the first of the texts (what it is, then the text) that holds such a character,
// naming the batch file that is therefore not made; nullopt when every text is clean.
std::optional<std::string> BatchTextProblem(const std::vector<std::pair<std::string, std::string>>& texts,
                                            const std::string& batchName);

class IdeBat {
public:
    IdeBat(IdeContext& e, ToolMenus& toolMenus, ProjectFile& project, LinkerOptionsModel& linker,
           Editors& editors, CompilerOptions& compiler);

    // The batch generation. `sender` is the command that asked for it; only the Project menu's
    // "Make" gets the closing message. Returns true when the whole generation ran and ide.bat was
    // written; false when it stopped with one of its messages, so a build must not run the batch.
    bool MakeIdeBatClick(const MenuItem* sender = nullptr);
    // Writes the batch text to ide.bat in the compiler folder; false (after telling the user) when
    // that folder does not exist.
    bool MakeClick();
    // The compiler folder's ide.bat, as the build starts it.
    std::string batchPath() const;

private:
    // The linker part behind the source files; nullopt when a command-file check stopped the
    // generation.
    std::optional<std::string> linkerPart();
    bool checkCmdFile(const std::string& cmdName);
    // Every text that the generation is about to put into the batch, checked before anything is
    // written or copied; false after telling the user which one holds which character.
    bool checkBatchTexts(const std::vector<std::string>& sources);
    std::vector<std::string> sourceList() const;

    IdeContext& e;
    ToolMenus& toolMenus;
    ProjectFile& project;
    LinkerOptionsModel& linker;
    Editors& editors;
    CompilerOptions& compiler;
};

} // namespace halyard
