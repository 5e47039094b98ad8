// SPDX-License-Identifier: GPL-3.0-or-later
// halyard-sample: sets up the stand-in tool chain and the demo project in Halyard's drive mapping.
#include <filesystem>
#include <iostream>

#include "base/error.h"
#include "halyard_version.h"
#include "sample.h"

namespace {

constexpr const char* Usage =
    "usage: halyard-sample [--if-fresh] [--force] [--compiler-dir DIR]\n"
    "                      [--source-dir DIR] [--headers-dir DIR] [--project-dir DIR]\n"
    "       halyard-sample --help | --version\n";

void help() {
    std::cout << Usage
              << "\n"
                 "Installs the stand-in TMS370 tool chain, builds its run-time library and writes\n"
                 "a demo project, so that Halyard's builds can be tried without the real tools.\n"
                 "\n"
                 "  --compiler-dir DIR  the tool-chain folder (default C:\\CL370)\n"
                 "  --source-dir DIR    the compiler working folder (default C:\\texassource)\n"
                 "  --headers-dir DIR   the run-time headers and library (default C:\\Texassource)\n"
                 "  --project-dir DIR   the demo project's folder (default C:\\Halyard\\demo)\n"
                 "  --if-fresh          do nothing when the tool-chain folder is already set up\n"
                 "  --force             also replace sample files that exist\n"
                 "  -h, --help          show this help and exit\n"
                 "      --version       show the version and exit\n"
                 "\n"
                 "Folders are Windows paths of Halyard's drive mapping. See halyard-sample(1).\n";
}

} // namespace

int main(int argc, char** argv) {
    using namespace halyard::sim370;
    SampleRequest r;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string* folder = a == "--compiler-dir"  ? &r.folders.compilerDir
                              : a == "--source-dir"  ? &r.folders.sourceDir
                              : a == "--headers-dir" ? &r.folders.headersDir
                              : a == "--project-dir" ? &r.folders.projectDir
                                                     : nullptr;
        if (a == "--if-fresh")
            r.ifFresh = true;
        else if (a == "--force")
            r.force = true;
        else if (folder && i + 1 < argc)
            *folder = argv[++i];
        else if (a == "--help" || a == "-h") {
            help();
            return 0;
        } else if (a == "--version") {
            std::cout << "halyard-sample " << HALYARD_VERSION << "\n" HALYARD_VERSION_NOTICE;
            return 0;
        } else {
            std::cerr << "halyard-sample: unexpected argument '" << a << "'\n" << Usage;
            return 2;
        }
    }
    std::error_code ec;
    r.binDir = std::filesystem::canonical("/proc/self/exe", ec).parent_path();
    // In a build tree the tools sit beside us; installed, in a folder of their own.
    if (!std::filesystem::exists(r.binDir / "cl370", ec))
        r.binDir = (r.binDir / SIM370_INSTALLED_TOOLS).lexically_normal();
    try {
        return InstallSample(ToolEnv::fromProcess(), r, std::cout);
    } catch (const std::exception& e) {
        std::cout << "halyard-sample: " << e.what() << std::endl;
        return 1;
    }
}
