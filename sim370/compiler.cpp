// SPDX-License-Identifier: GPL-3.0-or-later
#include "compiler.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <regex>

#include "assembler.h"
#include "base/paths.h"
#include "base/text_file.h"
#include "c_scan.h"
#include "linker.h"
#include "object_file.h"
#include "own_preprocessor.h"

namespace halyard::sim370 {

namespace fs = std::filesystem;

namespace {

bool digitsOnly(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// Host compiler texts that have a number of their own, so that a message keeps its number across runs.
struct CodeRule {
    const char* fragment;
    int code;
};
const CodeRule kCodes[] = {
    {"No such file", 5},
    {"no include path", 5},
    {"expected", 6},
    {"C++ style comments", 7},
    {"mixed declarations", 8},
    {"unterminated", 9},
    {"undeclared", 20},
    {"conflicting types", 31},
    {"redefinition", 32},
    {"redeclared", 32},
    {"incompatible", 40},
    {"too many arguments", 41},
    {"too few arguments", 42},
    {"storage size", 50},
    {"invalid", 60},
    {"implicit declaration", 225},
    {"unused", 300},
    {"no return statement", 310},
    {"makes pointer from integer", 320},
};

int codeFor(const std::string& text) {
    for (const auto& r : kCodes)
        if (text.find(r.fragment) != std::string::npos) return r.code;
    std::string shape; // the text without its quoted names
    bool quoted = false;
    for (char c : text) {
        if (c == '\'')
            quoted = !quoted;
        else if (!quoted)
            shape += c;
    }
    return 100 + static_cast<int>(std::hash<std::string>{}(shape) % 800);
}

std::string plainQuotes(std::string s) {
    for (const char* q : {"\xE2\x80\x98", "\xE2\x80\x99"})
        for (size_t p; (p = s.find(q)) != std::string::npos;)
            s.replace(p, 3, 1, '\'');
    return s;
}

// The source goes to the host compiler behind "-x c": every source is C, whatever its name says
// ("main.C" would otherwise be C++, "notes.c.txt" a linker input).
std::vector<std::string> hostCompilerArgs(const CompilerOptions& o, const std::vector<fs::path>& includes) {
    std::vector<std::string> a{"gcc", o.kr ? "-std=gnu89" : "-std=c89"};
    if (!o.kr) a.push_back("-pedantic-errors");
    for (const char* f : {"-ffreestanding", "-undef", "-nostdinc", "-fdiagnostics-plain-output",
                          "-D_TMS370=1", "-D__TMS370__=1",
                          "-Dinterrupt=", "-Dnear=", "-Dfar=", "-Dioport=", "-Dcregister=", "-Dasm=__asm__"})
        a.push_back(f);
    if (o.c8) a.push_back("-D_TMS370C8=1");
    a.push_back(o.suppressWarnings ? "-w" : "-Wall");
    for (const auto& d : o.defines)
        a.push_back("-D" + d);
    for (const auto& i : includes)
        a.push_back("-I" + i.string());
    return a;
}

void writeListings(const CompilerOptions& o, const ScanResult& scan,
                   const std::vector<std::string>& sourceLines, const fs::path& objDir,
                   const std::string& stem, Diagnostics& diags) {
    if (!o.keepAsm && !o.interlist && !o.asmListing) return;
    std::vector<std::string> asmLines{";\tTMS370 C compiler (Halyard stand-in) - " + scan.module.source,
                                      "\t.file\t\"" + scan.module.source + "\"", "\t.sect\t\".text\""};
    for (const auto& f : scan.functions) {
        asmLines.push_back("\t.global\t_" + f.name);
        asmLines.push_back("_" + f.name + ":");
        if (o.interlist && f.line > 0 && f.line <= static_cast<int>(sourceLines.size()))
            asmLines.push_back(";>>>> " + std::to_string(f.line) + "\t" + sourceLines[f.line - 1]);
        asmLines.push_back(";\t" + std::to_string(f.size) + " bytes of code");
    }
    for (const auto& d : scan.module.defs)
        if (d.section != ".text") asmLines.push_back("\t.global\t" + d.name);
    for (const auto& s : scan.module.sections)
        if (s.name != ".text" && s.size)
            asmLines.push_back(";\t" + s.name + "\t" + std::to_string(s.size) + " bytes");
    auto write = [&](const std::string& ext, const std::vector<std::string>& lines) {
        if (!WriteHostFileAtomic(objDir / (stem + ext), JoinTextLines(lines)))
            diags.error("cl370", 0, 902, "cannot create file " + (objDir / (stem + ext)).string());
    };
    if (o.keepAsm || o.interlist) write(".asm", asmLines);
    if (o.asmListing) {
        std::vector<std::string> lst{"TMS370 COFF Assembler (Halyard stand-in)  Version 5.30", stem + ".asm",
                                     ""};
        int n = 0;
        for (const auto& l : asmLines)
            lst.push_back(std::to_string(++n) + "\t" + l);
        write(".lst", lst);
    }
}

} // namespace

bool ParseCompilerArgs(const std::vector<std::string>& args, CompilerOptions& o, Diagnostics& diags,
                       const std::string& tool) {
    static const std::vector<std::string> kPlain = {
        "-q",  "-g",  "-k",  "-s",  "-n",  "-ms", "-pk", "-pl", "-po", "-pw", "-p?", "-x0",  "-x",
        "-tf", "-tp", "-ma", "-mc", "-mh", "-mk", "-mn", "-mp", "-mr", "-mu", "-mw", "-aa",  "-al",
        "-ao", "-as", "-ax", "-o",  "-o0", "-o1", "-o2", "-o3", "-oe", "-c8", "-C8", "-mtnn"};
    bool ok = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty()) continue;
        if (a == "-z") {
            o.link = true;
            o.linkArgs.assign(args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (a[0] != '-') {
            o.sources.push_back(a);
            continue;
        }
        bool known = std::find(kPlain.begin(), kPlain.end(), a) != kPlain.end();
        if (a == "-q")
            o.quiet = true;
        else if (a == "-n")
            o.compileOnly = true;
        else if (a == "-k")
            o.keepAsm = true;
        else if (a == "-s")
            o.interlist = true;
        else if (a == "-al")
            o.asmListing = true;
        else if (a == "-pk")
            o.kr = true;
        else if (a == "-pl")
            o.ppList = true;
        else if (a == "-po")
            o.ppOnly = true;
        else if (a == "-pw")
            o.suppressWarnings = true;
        else if (a == "-c8" || a == "-C8")
            o.c8 = true;
        if (known) continue;
        if (a.rfind("-fr", 0) == 0) {
            if (a.size() > 3)
                o.objDir = a.substr(3);
            else if (i + 1 < args.size())
                o.objDir = args[++i];
            else {
                diags.error(tool, 0, 11, "switch -fr needs a folder");
                ok = false;
            }
        } else if (a.rfind("-oi", 0) == 0 || a.rfind("-mt", 0) == 0) {
            // size and structure-copy values are taken as they come
        } else if ((a.rfind("-ol", 0) == 0 || a.rfind("-on", 0) == 0 || a.rfind("-v", 0) == 0) &&
                   digitsOnly(a.substr(a[1] == 'v' ? 2 : 3))) {
        } else if (a.rfind("-i", 0) == 0 && a.size() > 2) {
            o.includeDirs.push_back(a.substr(2));
        } else if (a.rfind("-d", 0) == 0 && a.size() > 2) {
            o.defines.push_back(a.substr(2));
        } else {
            diags.error(tool, 0, 10, "invalid switch " + a + "; nothing compiled");
            ok = false;
        }
    }
    return ok;
}

bool ConvertHostDiagnostic(const std::string& raw, Diagnostic& out) {
    // gcc prints a line past INT_MAX (after "#line 4294967295") as a negative number.
    static const std::regex re(R"(^(.*?):(-?\d+):(?:\d+:)? (fatal error|error|warning): (.*)$)");
    std::smatch m;
    const std::string line = plainQuotes(raw);
    if (!std::regex_match(line, m, re)) return false;
    std::string text = m[4];
    static const std::regex option(R"( \[-[A-Za-z][^\]]*\]$)");
    text = std::regex_replace(text, option, "");
    out.file = BaseName(m[1]);
    errno = 0;
    const long long number = std::strtoll(m[2].str().c_str(), nullptr, 10);
    out.line = errno == ERANGE || number < 0 || number > INT_MAX ? 0 : static_cast<int>(number);
    out.severity = m[3] == "warning" ? Severity::Warning : Severity::Error;
    out.code = codeFor(text);
    out.text = text;
    return true;
}

bool CompileC(const ToolEnv& env, const CompilerOptions& o, const fs::path& source,
              const std::string& shownName, const fs::path& objDir,
              const std::vector<fs::path>& extraIncludes, Diagnostics& diags, fs::path* objectOut) {
    std::error_code ec;
    std::string sourceText;
    if (!fs::is_regular_file(source, ec) || !ReadHostFile(source, sourceText)) {
        diags.error(shownName, 0, 1, "cannot open source file " + shownName);
        return false;
    }
    std::vector<fs::path> includes = extraIncludes;
    for (const auto& d : o.includeDirs)
        includes.push_back(env.host(d));
    for (const auto& d : env.cDir)
        includes.push_back(env.host(d));

    const int before = diags.errorCount();
    auto args = hostCompilerArgs(o, includes);
    ProcessResult pre;
    if (!HostProgramAvailable(args[0])) {
        // The defines the host compiler gets on its command line.
        std::vector<std::string> defines;
        for (size_t i = 1; i < args.size(); ++i)
            if (args[i].rfind("-D", 0) == 0) defines.push_back(args[i].substr(2));
        if (!OwnPreprocess(source, shownName, includes, defines, diags, pre.output)) return false;
        pre.exitCode = 0;
    }
    if (!o.ppOnly && pre.exitCode < 0) {
        auto check = args;
        check.insert(check.end(), {"-fsyntax-only", "-x", "c", source.string()});
        const ProcessResult r = RunProcess(check);
        if (r.exitCode < 0) {
            diags.error("cl370", 0, 900, "cannot run the host C compiler (gcc)");
            return false;
        }
        for (const auto& line : SplitTextLines(r.output)) {
            Diagnostic d;
            if (ConvertHostDiagnostic(line, d)) diags.add(d);
        }
        if (r.exitCode != 0 && diags.errorCount() == before)
            diags.error(shownName, 0, 2, "compilation failed: " + SplitTextLines(r.output + "\n").front());
        if (diags.errorCount() > before) return false;
    }

    auto pp = args;
    pp.insert(pp.end(), {"-w", "-E", "-x", "c", source.string()});
    if (pre.exitCode < 0) pre = RunProcess(pp);
    if (pre.exitCode != 0) {
        for (const auto& line : SplitTextLines(pre.output)) {
            Diagnostic d;
            if (ConvertHostDiagnostic(line, d)) diags.add(d);
        }
        if (diags.errorCount() == before) diags.error(shownName, 0, 3, "preprocessing failed");
        return false;
    }
    const std::string stem = StemOf(shownName);
    if (o.ppList || o.ppOnly) {
        std::string listing; // the listing without the preprocessor's line markers
        for (const auto& l : SplitTextLines(pre.output))
            if (l.rfind("# ", 0) != 0) listing += l + "\r\n";
        WriteHostFileAtomic(objDir / (stem + ".pp"), listing);
    }
    if (o.ppOnly) return true;

    const ScanResult scan = ScanC(pre.output, BaseName(shownName));
    const fs::path object = objDir / (stem + ".obj");
    if (!WriteHostFileAtomic(object, WriteObject(scan.module))) {
        diags.error("cl370", 0, 902, "cannot create object file " + object.string());
        return false;
    }
    writeListings(o, scan, SplitTextLines(sourceText), objDir, stem, diags);
    if (objectOut) *objectOut = object;
    return true;
}

int RunCl370(const std::vector<std::string>& args, const ToolEnv& env, std::ostream& out) {
    Diagnostics diags(&out);
    CompilerOptions o;
    const bool parsed = ParseCompilerArgs(args, o, diags);
    diags.suppressWarnings = o.suppressWarnings;
    if (!o.quiet) out << "TMS370 C Compiler Shell (Halyard stand-in)          Version 5.30" << std::endl;
    if (!parsed) return 1;
    if (o.sources.empty() && !o.link) {
        diags.error("cl370", 0, 12, "no source files");
        return 1;
    }
    const fs::path objDir = o.objDir.empty() ? fs::current_path() : env.host(o.objDir);
    std::error_code ec;
    if (!fs::is_directory(objDir, ec)) {
        diags.error("cl370", 0, 13, "object folder " + o.objDir + " does not exist");
        return 1;
    }
    std::vector<std::string> objects;
    bool compiledC = false;
    for (const auto& s : o.sources) {
        if (!o.quiet) out << "[" << BaseName(s) << "]" << std::endl;
        fs::path object;
        const std::string ext = LowerCase(s.substr(std::min(s.size(), s.rfind('.'))));
        const bool ok = ext == ".asm" || ext == ".s"
                            ? Assemble(env.host(s), BaseName(s), objDir, diags, &object)
                            : CompileC(env, o, env.host(s), BaseName(s), objDir, {}, diags, &object);
        if (ok && !object.empty()) objects.push_back(object.string());
        compiledC = compiledC || (ok && ext != ".asm" && ext != ".s");
    }
    // Assembly modules carry machine code; compiled C modules only their sizes. Say so once, so
    // that nobody takes the linked program for one that runs its C functions.
    if (compiledC && !o.quiet && !o.ppOnly)
        out << "NOTE: stand-in compiler: C modules get their section sizes but no runnable code" << std::endl;
    if (diags.errorCount() > 0) {
        if (o.link) out << ">> Compilation failure; nothing linked" << std::endl;
        return 1;
    }
    if (!o.link || o.compileOnly || o.ppOnly) return 0;
    if (!o.quiet)
        out << "<Linking>" << std::endl;
    else
        o.linkArgs.insert(o.linkArgs.begin(), "-q");
    return RunLinker(o.linkArgs, objects, env, out, &diags);
}

} // namespace halyard::sim370
