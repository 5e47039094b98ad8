// halyard-sample: sets up the stand-in tool chain and the demo project in Halyard's drive mapping.
#include <filesystem>
#include <iostream>

#include "base/error.h"
#include "sample.h"

namespace {

void usage() {
    std::cout
        << "usage: halyard-sample [--if-fresh] [--force] [--compiler-dir DIR] [--source-dir DIR]\n"
           "                      [--headers-dir DIR] [--project-dir DIR]\n"
           "Installs the stand-in TMS370 tool chain and a demo project. Folders are Windows paths of\n"
           "Halyard's drive mapping (defaults: C:\\CL370, C:\\texassource, C:\\Texassource, "
           "C:\\Halyard\\demo).\n"
           "--if-fresh does nothing when the tool-chain folder is already set up; --force also replaces\n"
           "sample files that exist.\n";
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
        else {
            usage();
            return a == "--help" || a == "-h" ? 0 : 2;
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
