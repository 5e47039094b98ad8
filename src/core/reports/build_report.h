// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a headless run found, for the formats CI systems read: the messages the tools printed (the
// ones the Build panel counts), where each one points, the verdict and the memory use of the link.
// One model, several writers (SARIF, JUnit XML, GitLab Code Quality, GitHub's workflow commands);
// each writer takes the model as it is and gives back the whole text of its file.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tool_output/memory_map.h"
#include "tool_output/tool_messages.h"

namespace halyard {

class DosDevices;

namespace reports {

struct Finding {
    enum Level { Error, Warning, Note };
    Level level = Error;
    std::string tool; // the program that printed it: "cl370", "lnk370", "halyard-build check", ...
    std::string code; // "E006"; empty when the message carries none
    std::string text;
    std::string named;          // the file as the message names it ("main.c"); empty for none
    int line = 0;               // 0 when the message names no line
    std::string file;           // the Windows path of that file; empty when it names none or none was found
    std::filesystem::path host; // the same file on this machine
    std::string lineText;       // the text of that line, its blanks at both ends dropped
    std::string fingerprint;    // stable while the line's text stays, wherever the line moves

    // The rule the message stands for: its code, or else its level ("error").
    std::string ruleId() const;
    const char* levelName() const { return level == Error ? "error" : level == Warning ? "warning" : "note"; }
    bool located() const { return !host.empty(); }
};

struct BuildReport {
    std::string command;     // "build", "make", "check", "vectors"
    std::string commandLine; // as given: "halyard-build build C:\Halyard\demo\demo.prj"
    std::string subject;     // the project (or command file) as a Windows path
    std::filesystem::path subjectHost;
    std::filesystem::path root;          // the project's folder on this machine: SARIF's SRCROOT
    std::filesystem::path workingFolder; // where the CI job runs: paths of annotations start here
    std::string halyardVersion;
    std::string toolVersion;          // of the tool chain, as its banners print it; empty when none did
    std::vector<std::string> sources; // the C and assembler files the build compiles, Windows paths
    std::vector<std::filesystem::path> sourceHosts; // the same files on this machine, in that order
    std::string output; // the output file a link writes; empty when the run does not link
    bool linking = false;
    std::string verdict;    // "Created C:\texassource\demo.out "
    bool verdictOk = false; // the verdict is a success (an output created or updated, a compile clean)
    int exitCode = 0;
    double seconds = 0;
    // How long each source took and how long the link took, where the tools' progress lines
    // ("[main.c]", "<Linking>") tell; by lower-case file name.
    std::map<std::string, double> compileSeconds;
    double linkSeconds = -1;      // -1: not known
    std::string startUtc, endUtc; // "2026-12-07T22:19:04Z"
    std::vector<MemoryUse> memory;
    std::vector<Finding> findings;

    int count(Finding::Level level) const;
    // Findings that belong to a source: named by its file name or its path, letter case ignored.
    std::vector<const Finding*> findingsOf(const std::string& source) const;
};

// The tool that printed a message: one named in the message itself ("cl370: error ..."), else the
// one that reads files of its kind (C to the compiler, assembler to the assembler, command files and
// objects to the linker).
std::string ToolOfMessage(const ToolMessage& m);

// A message the Build panel counted, as a finding; kind Plain and Summary give none (false).
bool ToFinding(const ToolMessage& m, const std::string& tool, Finding& out);

// Finds each finding's file (a project source of that name, else the first of `folders` holding
// it), reads its line and gives it its fingerprint: a hash of the rule, the file's path below the
// project's folder and the line's text, with the count of earlier equal ones, so an inserted line
// above a fault leaves it as it was and two equal faults keep apart.
void Locate(BuildReport& report, const DosDevices& dd, const std::vector<std::string>& folders);

// Text that CI systems read as UTF-8: kept when it is, else read as the Windows code page the tools
// print in (every byte one character).
std::string AsUtf8(const std::string& bytes);

// A path below `base`, with "/" between names; empty when `path` lies outside it.
std::string RelativeBelow(const std::filesystem::path& path, const std::filesystem::path& base);
// `path` relative to `base` when it lies below it, else the whole path ("/" between names).
std::string ShownPath(const std::filesystem::path& path, const std::filesystem::path& base);

// A 64-bit FNV-1a hash as sixteen hexadecimal digits: short, stable across machines and versions.
std::string StableHash(const std::string& text);

} // namespace reports
} // namespace halyard
