// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run-time library builder: the library options window `LibaryGenOps`, the switch text its
// "OK" makes, and the build that hands the switches, the source archive and the library to mk370.
#include <string>

#include "base/ports.h"

namespace halyard {

class IdeContext;
class BuildOutput;
struct LibraryOptions;

// The switches of every checked box, in table order, each with its own trailing blanks.
std::string BuildLibrarySwitches(const LibraryOptions& o);
// What mk370 is given: the switches, the source archive and the library.
std::string LibraryArguments(const std::string& switches, const std::string& source, const std::string& lib);

class LibraryBuilder {
public:
    LibraryBuilder(IdeContext& e, BuildOutput& buildOutput);

    static constexpr int FilesTab = 2;
    FileDialog OpenLibSrc, Openlib;

    void Options2Click();
    // "OK" on every page: hides the window and rebuilds `LibrarySwitches`.
    void LibOkSpecClick();
    void CancelLibOps();
    void LibSrcBrowseClick();
    void Button21Click();
    void Build1Click();

private:
    IdeContext& e;
    BuildOutput& buildOutput;
};

} // namespace halyard
