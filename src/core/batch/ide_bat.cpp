// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/ide_bat.h"

#include <string_view>
#include <utility>

#include "base/error.h"
#include "base/paths.h"
#include "batch/header_copy.h"
#include "editor/editors.h"
#include "options/compiler_options.h"
#include "options/linker_options.h"
#include "project/project_file.h"
#include "shell/ide_context.h"
#include "tools/tool_menus.h"

namespace halyard {

namespace {

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool isSource(const std::string& entry) {
    return contains(entry, ".c") || contains(entry, ".C");
}

std::string describeCharacter(char c) {
    if (c == '\r' || c == '\n') return "a line break";
    const auto u = static_cast<unsigned char>(c);
    if (u < ' ' || u == 0x7f) return "the control character " + std::to_string(u);
    return std::string("the character ") + c;
}

// The text as the message shows it: a control character would break or garble the message.
std::string printable(std::string text) {
    for (auto& c : text)
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7f) c = '?';
    return text;
}

} // namespace

std::string TrimBlanks(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::optional<char> BatchUnsafeCharacter(const std::string& text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < ' ' || u == 0x7f || std::string_view("&|<>^\"%").find(c) != std::string_view::npos) return c;
    }
    return std::nullopt;
}

std::optional<std::string> BatchTextProblem(const std::vector<std::pair<std::string, std::string>>& texts,
                                            const std::string& batchName) {
    for (const auto& [what, text] : texts) {
        if (const auto c = BatchUnsafeCharacter(text))
            return what + printable(text) + "\rholds " + describeCharacter(*c) +
                   ", which a batch file does not take as part of a name.\r" + batchName + " was not made.";
    }
    return std::nullopt;
}

CmdFileScan ScanCmdFile(const std::vector<std::string>& lines) {
    CmdFileScan scan;
    for (const auto& line : lines) {
        if (contains(line, "-l")) scan.libraryLine = line;
        if (contains(line, ".obj")) {
            scan.vectorLine = line;
            break;
        }
    }
    return scan;
}

std::string LibraryName(const std::string& line) {
    const auto at = line.find("-l");
    if (at == std::string::npos) return {};
    std::string rest = TrimBlanks(line.substr(at + 2));
    if (!rest.empty() && rest.front() == '"') {
        const auto close = rest.find('"', 1);
        return rest.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    size_t end = 0;
    while (end < rest.size() && !isBlankOrControl(rest[end]))
        ++end;
    return rest.substr(0, end);
}

std::string VectorObject(const std::string& line) {
    const std::string v = TrimBlanks(line);
    const auto dot = v.find('.');
    return dot == std::string::npos ? v : v.substr(0, dot + 4);
}

IdeBat::IdeBat(IdeContext& e, ToolMenus& toolMenus, ProjectFile& project, LinkerOptionsModel& linker,
               Editors& editors, CompilerOptions& compiler)
    : e(e), toolMenus(toolMenus), project(project), linker(linker), editors(editors), compiler(compiler) {
    auto make = [this](MenuItem& sender) {
        sender.onClick = [this, &sender] { this->e.run([this, &sender] { MakeIdeBatClick(&sender); }); };
    };
    make(e.menu.Make);
    make(e.toolBar.MakeBtn);
}

std::string IdeBat::batchPath() const {
    return AddTrailingBackslash(e.CompSourceDir) + "ide.bat";
}

std::vector<std::string> IdeBat::sourceList() const {
    return e.ProjectListBox.items();
}

bool IdeBat::MakeClick() {
    if (!e.dd.dirExists(e.CompSourceDir)) {
        e.ui.inform("Compiler Temporary Folder does not exist\rPlease check Setup");
        return false;
    }
    // A run that has made no batch text yet (or whose generation stopped) has nothing to replace
    // the last good ide.bat with.
    if (e.Memo1.empty() && e.dd.fileExists(batchPath())) return false;
    e.dd.writeGeneratedLines(batchPath(), e.Memo1);
    return true;
}

bool IdeBat::MakeIdeBatClick(const MenuItem* sender) {
    toolMenus.RefreshToolMenus();
    // A save the user cancelled (the file changed on disk) stops the build: it would build the
    // other text.
    if (!editors.SaveEdtorFiles()) return false;
    if (!e.KeepEditorsOpen.checked()) editors.CloseEditorFiles();
    compiler.OptionsOK2Click();
    e.ProjEditPan.setVisible(false);
    e.Memo1.clear();

    const std::vector<std::string> sources = sourceList();
    if (sources.empty()) {
        e.ui.inform("Number of Source Files is outside allowed Limits");
        return false;
    }

    if (!checkBatchTexts(sources)) return false;

    e.Memo1.push_back("SET PATH=Drive;" + e.CompSourceDir + ";" + AddTrailingBackslash(e.CompilerDir));
    e.Memo1.push_back("SET C_DIR=" + e.HeadersDir);
    if (e.menu.UseintVectors.checked())
        e.Memo1.push_back(e.Intbatch.empty() ? std::string() : e.Intbatch.front());

    std::string line = "cl370 ";
    if (e.opts.SpecObjLoc.checked()) line += "-fr " + e.CompSourceDir + " ";
    line += e.CompilerCmdLine;
    HeaderCopier headers(e.dd, e.HeadersDir);
    for (const auto& entry : sources) {
        if (!HeaderCopyName(e.dd, entry).empty()) headers.copy(entry);
        if (isSource(entry)) line += " " + entry;
    }

    std::string link;
    if (e.LinkSwitch == "-z ") {
        auto part = linkerPart();
        if (!part) return false;
        link = *part;
    }
    line += " " + link;
    if (e.opts.SendToFile.checked()) line += "> " + e.CompilerOutputFile;
    e.LastCommandLine = line;
    e.Memo1.push_back(line);

    project.BuildProjectLines();
    e.UpdateStatusPanels();
    const bool written = MakeClick();
    if (sender == &e.menu.Make && written) e.ui.inform("IDE.BAT successfully made");
    return written;
}

std::optional<std::string> IdeBat::linkerPart() {
    if (const auto at = e.LinkerCmdLine.find("-z "); at != std::string::npos) e.LinkerCmdLine.erase(at, 2);

    std::string cmdName;
    if (e.menu.DefaultCmd.checked()) {
        cmdName = DefaultCmdFile;
        if (!e.dd.fileExists(cmdName)) {
            const std::string shipped = AddTrailingBackslash(e.CompilerDir) + "lnk.cmd";
            if (e.dd.fileExists(shipped)) {
                const std::string copy = AddTrailingBackslash(e.CompSourceDir) + "lnk.cmd";
                if (!e.dd.copyFile(shipped, copy)) throw Error(CannotCreateFile(copy));
            } else {
                e.ui.inform(std::string("Texas C Compiler, CL370 is not correctly installed ") +
                            DefaultCmdFile + "\rCompile is not possible");
            }
        }
    } else if (!e.menu.NoCmdFile.checked()) {
        cmdName = e.CmdFilePath;
    }
    if (!cmdName.empty() && !checkCmdFile(cmdName)) return std::nullopt;
    return "-z " + cmdName + e.LinkerCmdLine;
}

bool IdeBat::checkBatchTexts(const std::vector<std::string>& sources) {
    std::vector<std::pair<std::string, std::string>> texts = {
        {"The compiler working folder ", e.CompSourceDir},
        {"The tool-chain folder ", e.CompilerDir},
        {"The headers folder ", e.HeadersDir},
    };
    if (e.menu.UseintVectors.checked() && !e.Intbatch.empty())
        texts.emplace_back("The interrupt-vector line ", e.Intbatch.front());
    for (const auto& row : compilerSwitches())
        texts.emplace_back("The compiler switch ", row.text(e.opts));
    for (const auto& entry : sources)
        if (isSource(entry) || !HeaderCopyName(e.dd, entry).empty())
            texts.emplace_back("The project entry ", entry);
    if (e.LinkSwitch == "-z ") {
        for (const auto& text : linker.LinkerSwitchList)
            texts.emplace_back("The linker switch ", text);
        if (!e.menu.DefaultCmd.checked() && !e.menu.NoCmdFile.checked())
            texts.emplace_back("The command file ", e.CmdFilePath);
    }
    if (const auto problem = BatchTextProblem(texts, "IDE.BAT")) {
        e.ui.inform(*problem);
        return false;
    }
    return true;
}

bool IdeBat::checkCmdFile(const std::string& cmdName) {
    if (!e.dd.fileExists(cmdName)) return true;
    const CmdFileScan scan = ScanCmdFile(e.dd.readLines(cmdName));

    if (scan.libraryLine) {
        const std::string library = LibraryName(*scan.libraryLine);
        // A bare name is the linker's search through the headers folder; a name with a folder (the
        // builder writes one with "Include paths in Command File") is opened where it says.
        const std::string folder = ExtractFileDir(library);
        const std::string path = folder.empty() ? AddTrailingBackslash(e.HeadersDir) + library : library;
        if (!e.dd.fileExists(path)) {
            e.ui.inform("The Library file " + (folder.empty() ? library : ExtractFileName(library)) +
                        " Specified in " + "\r" + cmdName + " Does not exist in " +
                        (folder.empty() ? e.HeadersDir : folder));
            return false;
        }
    }

    if (scan.vectorLine) {
        const std::string vector = VectorObject(*scan.vectorLine);
        const std::string folder = ExtractFileDir(vector);
        const std::string compiler = RemoveTrailingBackslash(e.CompSourceDir);
        if (!SamePath(compiler, folder))
            e.ui.inform("Warning, Compiler directory " + compiler + " does not match Intvector loction" +
                        "\r" + folder + " Specified in " + cmdName);
        if (!e.dd.fileExists(vector)) {
            e.ui.inform("The Interrupt Vector object file " + ExtractFileName(vector) + " Specified in " +
                        "\r" + cmdName + " Does not exist in " + folder);
            return false;
        }
    }
    return true;
}

} // namespace halyard
