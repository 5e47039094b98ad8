// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ide_context.h"

#include "base/error.h"
#include "base/paths.h"

namespace halyard {

IdeContext::IdeContext(Ports p)
    : ui(p.ui), store(p.settings), launcher(p.launcher), dd(p.dd), clock(p.clock) {
    DisplayCommandLine.setCaption("display Command Line");
    OptionsTabs.pages = {"Compiler",  "General",        "Tools",       "Type Checking",
                         "Assembler", "Run Time Model", "Optomisation"};
    LinkerOptions.pages = {"Memory", "Output", "Symbols"};
    LinkCmdWiz.pages = {"LIBRARIES", "MEMORY", "SEC TIONS", "BUILD"};
    LibaryGenOps.pages = {"Libarary Specific", "General", "Files", "Model"};
}

bool IdeContext::run(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const Error& e) {
        ui.showError(e.what());
    } catch (const std::exception& e) {
        ui.showError(e.what());
    }
    return false;
}

void IdeContext::UpdateStatusPanels() {
    StatusBar.setText(0, ProjectPath);
    StatusBar.setWidth(0, 150);
    StatusBar.setText(1, "Mem Fmt " + opts.FormatBox.selectedText());
    StatusBar.setText(2, opts.ProcType.text());
    StatusBar.setText(3, CompilerCmdLine);
    StatusBar.setText(4, LinkerCmdLine);
    StatusBar.setText(5, menu.UseintVectors.checked() ? "Int Vectors On" : "Int Vectors Off");
    StatusBar.setText(6, opts.EL.checked() ? "Linker Enabled " + LinkSwitch : "Linker Disabled");
}

std::string IdeContext::HomeFolder() const {
    return ProjectLoaded() ? ExtractFileDir(ProjectPath) : CompSourceDir;
}

} // namespace halyard
