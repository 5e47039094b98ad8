// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolchain/int_vectors.h"

#include "base/paths.h"
#include "batch/ide_bat.h"
#include "editor/editors.h"
#include "shell/ide_context.h"
#include "tool_output/build_output.h"

namespace halyard {

std::string AssembleVectorsLine(const std::string& compilerDir, const std::string& sourceDir, bool small) {
    return AddTrailingBackslash(compilerDir) + "asm370 " + AddTrailingBackslash(sourceDir) + "intvecs.asm " +
           (small ? "-ms" : "");
}

std::string ProjectVectorsLine(const std::string& sourceDir) {
    const std::string dir = AddTrailingBackslash(sourceDir);
    return dir + "asm370 " + dir + "intvecs.asm ";
}

IntVectors::IntVectors(IdeContext& e, Editors& editors, BuildOutput& buildOutput)
    : e(e), editors(editors), buildOutput(buildOutput) {
    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.UseintVectors, [this] { UseintVectorsClick(); });
    on(e.menu.Editintvecsasm1, [this] { Editintvecsasm1Click(); });
    on(e.menu.Assembleintvecs1, [this] { Assembleintvecs1Click(); });
}

std::string IntVectors::sourcePath() const {
    return AddTrailingBackslash(e.CompSourceDir) + "intvecs.asm";
}
std::string IntVectors::batchPath() const {
    return AddTrailingBackslash(e.CompSourceDir) + "intvecs.bat";
}
std::string IntVectors::objectPath() const {
    return AddTrailingBackslash(e.CompSourceDir) + "intvecs.obj";
}

std::string IntVectors::Verdict(const std::optional<std::filesystem::file_time_type>& before) const {
    const auto after = e.dd.lastWriteTime(objectPath());
    const bool written = after && (!before || *after > *before);
    return (written ? "Assembled " : "Failed to assemble ") + objectPath();
}

void IntVectors::UseintVectorsClick() {
    e.menu.UseintVectors.setChecked(!e.menu.UseintVectors.checked());
    e.UpdateStatusPanels();
}

void IntVectors::Editintvecsasm1Click() {
    editors.LoadFile(sourcePath(), 1);
}

bool IntVectors::Assembleintvecs1Click() {
    const bool small = e.opts.FormatBox.selectedText() == "Small";
    if (!e.dd.fileExists(sourcePath())) {
        e.ui.inform(
            "Cannot make Object file, Interrupt vector source file \"intvecs.asm\"\r is not present in " +
            e.CompSourceDir);
        return false;
    }
    // The two folders come from the settings, which may come from anyone.
    if (const auto problem = BatchTextProblem(
            {{"The tool-chain folder ", e.CompilerDir}, {"The compiler working folder ", e.CompSourceDir}},
            "intvecs.bat")) {
        e.ui.inform(*problem);
        return false;
    }
    if (!buildOutput.MayStart("the assembly of intvecs")) return false;
    e.Intbatch.clear();
    if (e.ProjectListBox.count() > 0)
        e.Intbatch.push_back(AssembleVectorsLine(e.CompilerDir, e.CompSourceDir, small));
    // A folder that cannot take the batch ends the command here, before anything is started.
    e.dd.writeGeneratedLines(batchPath(), e.Intbatch);
    const auto before = e.dd.lastWriteTime(objectPath());
    buildOutput.StartBatch(batchPath(), e.WorkDrive, Launcher::Shown, false,
                           [this, before] { return Verdict(before); });
    return true;
}

} // namespace halyard
