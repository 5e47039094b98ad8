// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The interrupt-vector table: intvecs.asm in the compiler folder, edited in an editor window,
// assembled on demand through intvecs.bat, or assembled in front of the compiler line of ide.bat
// when "Assemble Int Vectors Inline" is checked.
#include <filesystem>
#include <optional>
#include <string>

namespace halyard {

class IdeContext;
class BuildOutput;
class Editors;

// "Assemble intvecs": the tool chain's asm370, with "-ms" for the small memory format.
std::string AssembleVectorsLine(const std::string& compilerDir, const std::string& sourceDir, bool small);
// A project that was set up assembles with the asm370 of the compiler folder, without "-ms".
std::string ProjectVectorsLine(const std::string& sourceDir);

class IntVectors {
public:
    IntVectors(IdeContext& e, Editors& editors, BuildOutput& buildOutput);

    void UseintVectorsClick();
    void Editintvecsasm1Click();
    // Writes intvecs.bat from the project and starts it; false when intvecs.asm is missing.
    bool Assembleintvecs1Click();

    std::string sourcePath() const; // intvecs.asm
    std::string batchPath() const;  // intvecs.bat
    std::string objectPath() const; // intvecs.obj, what the assembler writes

    // "Assembled C:\texassource\intvecs.obj" when the object was written after `before` (its
    // write time when the run started; none when it was missing), else "Failed to assemble ...":
    // an object left from an earlier run must not pass for this one.
    std::string Verdict(const std::optional<std::filesystem::file_time_type>& before) const;

private:
    IdeContext& e;
    Editors& editors;
    BuildOutput& buildOutput;
};

} // namespace halyard
