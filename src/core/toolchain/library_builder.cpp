// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolchain/library_builder.h"

#include "base/paths.h"
#include "launch/program_lookup.h"
#include "shell/ide_context.h"
#include "tool_output/build_output.h"

namespace halyard {

namespace {

struct LibrarySwitch {
    CheckBox LibraryOptions::*box;
    const char* text;
};

constexpr LibrarySwitch LibrarySwitchTable[] = {
    {&LibraryOptions::Verbose, "--v "},    {&LibraryOptions::NoHeaders, "--u  "},
    {&LibraryOptions::UseSource, "--h  "}, {&LibraryOptions::ExtractSource, "--c  "},
    {&LibraryOptions::Overwrite, "--k  "}, {&LibraryOptions::SuppressHeaders, "--q  "},
    {&LibraryOptions::Debug, "-g  "},      {&LibraryOptions::C8, "-C8  "},
    {&LibraryOptions::KandR, "-pk  "},     {&LibraryOptions::SuppressWarns, "-pw  "},
    {&LibraryOptions::Trigraph, "-p?  "},  {&LibraryOptions::SmallMem, "-ms "},
};

} // namespace

std::string BuildLibrarySwitches(const LibraryOptions& o) {
    std::string switches;
    for (const auto& row : LibrarySwitchTable)
        if ((o.*row.box).checked()) switches += row.text;
    return switches;
}

std::string LibraryArguments(const std::string& switches, const std::string& source, const std::string& lib) {
    return switches + " " + source + " -l " + lib;
}

LibraryBuilder::LibraryBuilder(IdeContext& e, BuildOutput& buildOutput) : e(e), buildOutput(buildOutput) {
    OpenLibSrc.title = "Libraray Source";
    OpenLibSrc.filter = "Libary source [*.src]|*.src|All Files|*.*";
    OpenLibSrc.defaultExt = "*.src";
    Openlib.filter = "Librarys [*.lib]|*.lib|All Files|*.*";
    Openlib.defaultExt = "*.lib";
    auto on = [&e](MenuItem& item, std::function<void()> handler) {
        item.onClick = [&e, handler] { e.run(handler); };
    };
    on(e.menu.LibOptions, [this] { Options2Click(); });
    on(e.toolBar.LibraryOptionsBtn, [this] { Options2Click(); });
    on(e.menu.Build1, [this] { Build1Click(); });
}

void LibraryBuilder::Options2Click() {
    e.LinkerOptions.setVisible(false);
    e.OptionsTabs.setVisible(false);
    e.LinkCmdWiz.setVisible(false);
    e.LibaryGenOps.setVisible(true);
}

void LibraryBuilder::LibOkSpecClick() {
    e.LibaryGenOps.setVisible(false);
    e.LibrarySwitches = BuildLibrarySwitches(e.lib);
}

void LibraryBuilder::CancelLibOps() {
    e.LibaryGenOps.setVisible(false);
}

void LibraryBuilder::LibSrcBrowseClick() {
    if (const auto file = e.ui.openFile(OpenLibSrc)) e.lib.Source.setText(*file);
}

void LibraryBuilder::Button21Click() {
    if (const auto file = e.ui.openFile(Openlib)) e.lib.Lib.setText(*file);
}

void LibraryBuilder::Build1Click() {
    auto& lib = e.lib.Lib;
    if (ExtractFileDir(lib.text()) != e.HeadersDir) {
        const Answer a =
            e.ui.message(MsgKind::Warning,
                         "The destination Folder for this library will not be used by\rthe compiler. "
                         "Re-locate it in " +
                             e.HeadersDir + " Y/N",
                         {Answer::Yes, Answer::No});
        if (a == Answer::Yes) {
            lib.setText(AddTrailingBackslash(e.HeadersDir) + ExtractFileName(lib.text()));
            e.LibaryGenOps.setActivePage(FilesTab);
            Options2Click();
            return;
        }
    }
    const std::string& source = e.lib.Source.text();
    const std::string args = LibraryArguments(e.LibrarySwitches, source, lib.text());
    const Answer go = e.ui.message(MsgKind::Information,
                                   "Library " + lib.text() + " will be built, using " + source + "\r" + args +
                                       "\r" + " Continue ?",
                                   {Answer::Yes, Answer::Abort});
    if (go != Answer::Yes || !buildOutput.MayStart("the library build")) return;
    // The launcher starts nothing it cannot find, and says nothing about it; the user would wait
    // for a library that never comes.
    if (FindProgram(e.dd, "mk370", {e.CompilerDir}).kind == FoundProgram::None) {
        e.ui.inform("The library build utility mk370 was not found in " + e.CompilerDir +
                    "\rThe library was not built.");
        return;
    }
    buildOutput.StartProgram("mk370", args, e.CompilerDir, Launcher::Shown);
}

} // namespace halyard
