// SPDX-License-Identifier: GPL-3.0-or-later
#include "librarian.h"

#include <unistd.h>

#include "ar_archive.h"
#include "assembler.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "compiler.h"
#include "diagnostics.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;

namespace {

struct TempFolder {
    fs::path path;
    TempFolder() {
        static int counter = 0;
        path = fs::temp_directory_path() /
               ("mk370-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

bool endsWith(const std::string& name, const char* ext) {
    const std::string e = ext;
    return name.size() > e.size() && SameText(name.substr(name.size() - e.size()), e);
}

} // namespace

int RunMk370(const std::vector<std::string>& args, const ToolEnv& env, const fs::path& workDir,
             std::ostream& out) {
    Diagnostics diags(&out);
    bool verbose = false, noHeaders = false, installHeaders = false, extract = false, overwrite = false,
         quiet = false;
    std::string library;
    std::vector<std::string> compilerArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--v")
            verbose = true;
        else if (a == "--u")
            noHeaders = true;
        else if (a == "--h")
            installHeaders = true;
        else if (a == "--c")
            extract = true;
        else if (a == "--k")
            overwrite = true;
        else if (a == "--q")
            quiet = true;
        else if (a == "-l" && i + 1 < args.size())
            library = args[++i];
        else if (a.rfind("-l", 0) == 0 && a.size() > 2)
            library = a.substr(2);
        else if (a.rfind("--", 0) == 0)
            diags.error("mk370", 0, 10, "invalid switch " + a);
        else
            compilerArgs.push_back(a);
    }
    CompilerOptions o;
    ParseCompilerArgs(compilerArgs, o, diags, "mk370");
    o.quiet = true;
    if (!quiet) out << "TMS370 Library Build Utility (Halyard stand-in)    Version 5.30" << std::endl;
    if (o.sources.size() != 1 || library.empty()) {
        diags.error("mk370", 0, 12, "usage: mk370 [options] source_archive -l library");
        return 1;
    }
    if (diags.errorCount()) return 1;
    auto at = [&](const std::string& p) { return BaseName(p) == p ? workDir / p : env.host(p); };
    const fs::path archivePath = at(o.sources[0]);
    std::string bytes;
    if (!ReadHostFile(archivePath, bytes)) {
        diags.error("mk370", 0, 501, "cannot open source archive " + o.sources[0]);
        return 1;
    }
    const auto members = ReadAr(bytes);
    if (!members) {
        diags.error("mk370", 0, 502, o.sources[0] + " is not a source archive");
        return 1;
    }
    // Members become files in the work folder and C_DIR: a name with a folder in it would reach
    // beyond them.
    for (const auto& m : *members)
        if (m.name.empty() || m.name == "." || m.name == ".." ||
            m.name.find_first_of("/\\:") != std::string::npos) {
            diags.error("mk370", 0, 505,
                        o.sources[0] + " holds a member that is not a plain file name: " + m.name);
            return 1;
        }
    const fs::path libPath = at(library);

    // Writes a file that the run leaves behind, refusing to replace one unless "--k" was given.
    auto place = [&](const fs::path& target, const std::string& data) {
        std::error_code ec;
        std::string old;
        if (fs::exists(target, ec) && !overwrite && !(ReadHostFile(target, old) && old == data)) {
            diags.error("mk370", 0, 503,
                        "file " + target.filename().string() + " already exists (use --k to overwrite)");
            return false;
        }
        if (!WriteHostFileAtomic(target, data)) {
            diags.error("mk370", 0, 504, "cannot create file " + target.string());
            return false;
        }
        return true;
    };

    TempFolder temp;
    for (const auto& m : *members)
        WriteHostFileAtomic(temp.path / m.name, m.data);
    if (installHeaders) {
        const fs::path dir = env.cDir.empty() ? libPath.parent_path() : env.host(env.cDir.front());
        for (const auto& m : *members)
            if (endsWith(m.name, ".h")) {
                if (verbose) out << "installing " << m.name << std::endl;
                place(dir / m.name, m.data);
            }
    }
    std::vector<ArMember> objects;
    const std::vector<fs::path> includes =
        noHeaders ? std::vector<fs::path>{} : std::vector<fs::path>{temp.path};
    for (const auto& m : *members) {
        const bool isC = endsWith(m.name, ".c"), isAsm = endsWith(m.name, ".asm");
        if (!isC && !isAsm) continue;
        if (extract) place(workDir / m.name, m.data);
        if (verbose) out << (isC ? "compiling " : "assembling ") << m.name << std::endl;
        const fs::path objName = workDir / (StemOf(m.name) + ".obj");
        std::error_code ec;
        if (fs::exists(objName, ec) && !overwrite) {
            diags.error("mk370", 0, 503,
                        "file " + objName.filename().string() + " already exists (use --k to overwrite)");
            continue;
        }
        fs::path object;
        const bool ok = isC ? CompileC(env, o, temp.path / m.name, m.name, workDir, includes, diags, &object)
                            : Assemble(temp.path / m.name, m.name, workDir, diags, &object);
        std::string data;
        if (ok && ReadHostFile(object, data)) objects.push_back({object.filename().string(), data});
    }
    if (diags.errorCount()) {
        out << ">> errors; library " << library << " not built" << std::endl;
        return 1;
    }
    if (!WriteHostFileAtomic(libPath, WriteAr(objects))) {
        diags.error("mk370", 0, 504, "cannot create library " + library);
        return 1;
    }
    if (!quiet) out << "library " << library << " built with " << objects.size() << " members" << std::endl;
    return 0;
}

} // namespace halyard::sim370
