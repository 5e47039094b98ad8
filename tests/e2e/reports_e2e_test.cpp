// SPDX-License-Identifier: GPL-3.0-or-later
// halyard-build's reports for CI systems, written by the real program from a real build of the
// sample, and read back by a JSON reader, an XML parser and (where it is installed) the official
// SARIF validator.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "base/dos_devices.h"
#include "run_program.h"
#include "support/json_reader.h"

namespace halyard::test {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A program on PATH, or empty.
std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((fs::path(dir) / name).c_str(), X_OK) == 0)
            return (fs::path(dir) / name).string();
    return {};
}

// Runs a command line through the shell; its exit code, its output in `out`.
int shell(const std::string& cmd, std::string& out) {
    out.clear();
    FILE* pipe = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Reports : public SampleHome {
protected:
    DosDevices drives() const { return DosDevices(dir / "data" / "halyard"); }

    // Replaces line n (1-based) of the sample's main.c, or puts a line in front of it.
    void changeMain(int n, const std::string& text, bool insert = false) {
        DosDevices dd = drives();
        auto lines = dd.readLines(MainC);
        ASSERT_GE(lines.size(), static_cast<size_t>(n));
        if (insert)
            lines.insert(lines.begin() + n - 1, text);
        else
            lines[static_cast<size_t>(n) - 1] = text;
        dd.writeLines(MainC, lines);
    }

    // halyard-build in the folder `dir`, as a CI job runs it from its checkout.
    Result build(const std::vector<std::string>& extra, const std::string& env = "") {
        std::vector<std::string> args{"build",   Project,     "--sarif",       "out.sarif",
                                      "--junit", "junit.xml", "--codequality", "quality.json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunProgram(dir, "halyard-build", args, "cd " + quote(dir.string()) + " && " + env);
    }

    // The official validator, when it is installed: no error-level finding in the log.
    void validate(const fs::path& sarif) {
        const char* named = std::getenv("HALYARD_SARIF_MULTITOOL");
        const std::string tool = named && *named ? named : onPath("sarif-multitool");
        if (tool.empty()) {
            std::cout << "[ NOTE ] sarif-multitool is not installed (scripts/setup installs it where npm "
                         "is): the SARIF was only read, not validated\n";
            return;
        }
        const fs::path log = dir / "validation.sarif";
        std::string out;
        const int code = shell(quote(tool) + " validate " + quote(sarif.string()) + " -o " +
                                   quote(log.string()) + " --log ForceOverwrite",
                               out);
        ASSERT_EQ(code, 0) << out;
        const Json found = Json::parse(slurp(log));
        for (const auto& run : found["runs"].items)
            for (const auto& result : run["results"].items)
                EXPECT_NE(result["level"].text, "error") << out;
    }

    static std::vector<const Json*> results(const Json& log, const std::string& level) {
        std::vector<const Json*> out;
        for (const auto& run : log["runs"].items)
            for (const auto& r : run["results"].items)
                if (r["level"].text == level) out.push_back(&r);
        return out;
    }

    static constexpr const char* Project = "C:\\Halyard\\demo\\demo.prj";
    static constexpr const char* MainC = "C:\\Halyard\\demo\\main.c";
};

TEST_F(Reports, AFailingBuildIsReportedInEveryFormatAndItsAlertSurvivesAMovedLine) {
    changeMain(11, "    last = ;");
    const fs::path summary = dir / "summary.md";
    const Result failed = build({}, "GITHUB_ACTIONS=true GITHUB_STEP_SUMMARY=" + quote(summary.string()));
    EXPECT_EQ(failed.code, 1) << failed.out << failed.err;

    const Json log = Json::parse(slurp(dir / "out.sarif"));
    auto errors = results(log, "error");
    ASSERT_EQ(errors.size(), 1u) << slurp(dir / "out.sarif");
    const Json& where = (*errors[0])["locations"][0]["physicalLocation"];
    EXPECT_EQ(where["artifactLocation"]["uri"].text, "main.c");
    EXPECT_EQ(where["artifactLocation"]["uriBaseId"].text, "SRCROOT");
    EXPECT_EQ(where["region"]["startLine"].number, 11);
    EXPECT_FALSE((*errors[0])["ruleId"].text.empty());
    const std::string fingerprint = (*errors[0])["partialFingerprints"]["halyardLineHash/v1"].text;
    EXPECT_FALSE(fingerprint.empty());
    EXPECT_EQ(log["runs"][0]["invocations"][0]["exitCode"].number, 1);
    validate(dir / "out.sarif");

    const std::string junit = slurp(dir / "junit.xml");
    const std::regex mainFailed("<testcase [^>]*name=\"main\\.c\"[^>]*[^/]>\\s*<failure ");
    EXPECT_TRUE(std::regex_search(junit, mainFailed)) << junit;
    if (const std::string xmllint = onPath("xmllint"); !xmllint.empty()) {
        std::string out;
        EXPECT_EQ(shell(quote(xmllint) + " --noout " + quote((dir / "junit.xml").string()), out), 0) << out;
    }
    const Json quality = Json::parse(slurp(dir / "quality.json"));
    ASSERT_EQ(quality.items.size(), 1u);
    EXPECT_EQ(quality[0]["location"]["lines"]["begin"].number, 11);
    EXPECT_EQ(quality[0]["fingerprint"].text, fingerprint);

    // Every workflow command stands on a line of its own, in GitHub's form.
    const std::regex command("::(error|warning|notice)( [a-z]+=[^,:]*(,[a-z]+=[^,:]*)*)?::.*");
    std::stringstream lines(failed.out);
    int commands = 0;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("::", 0) == 0) {
            ++commands;
            EXPECT_TRUE(std::regex_match(line, command)) << line;
        }
    EXPECT_EQ(commands, 1);
    EXPECT_NE(failed.out.find("::error file=data/halyard/drive_c/Halyard/demo/main.c,line=11,title="),
              std::string::npos)
        << failed.out;
    EXPECT_NE(slurp(summary).find("| error | data/halyard/drive_c/Halyard/demo/main.c | 11 |"),
              std::string::npos)
        << slurp(summary);

    // A line put above the fault moves it, and the alert stays the same alert.
    changeMain(1, "/* moved */", true);
    EXPECT_EQ(build({}).code, 1);
    const Json moved = Json::parse(slurp(dir / "out.sarif"));
    errors = results(moved, "error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ((*errors[0])["locations"][0]["physicalLocation"]["region"]["startLine"].number, 12);
    EXPECT_EQ((*errors[0])["partialFingerprints"]["halyardLineHash/v1"].text, fingerprint);
}

TEST_F(Reports, ACleanBuildReportsNoErrorAndNoFailure) {
    const Result clean = build({}, "GITHUB_ACTIONS=true");
    EXPECT_EQ(clean.code, 0) << clean.out << clean.err;
    const Json log = Json::parse(slurp(dir / "out.sarif"));
    EXPECT_TRUE(results(log, "error").empty());
    const Json& props = log["runs"][0]["invocations"][0]["properties"];
    EXPECT_EQ(props["verdict"].text, "Created C:\\texassource\\demo.out");
    ASSERT_EQ(props["memoryRanges"].items.size(), 4u);
    EXPECT_EQ(props["memoryRanges"][3]["name"].text, "VECS");
    validate(dir / "out.sarif");
    const std::string junit = slurp(dir / "junit.xml");
    EXPECT_EQ(junit.find("<failure"), std::string::npos) << junit;
    EXPECT_NE(junit.find("failures=\"0\""), std::string::npos) << junit;
    EXPECT_EQ(clean.out.find("::error"), std::string::npos) << clean.out;
    EXPECT_EQ(Json::parse(slurp(dir / "quality.json")).items.size(), 0u);
}

// A report that cannot be written is said, with exit code 2; the others are still written.
TEST_F(Reports, AReportThatCannotBeWrittenIsAnErrorOfItsOwn) {
    const Result r = RunProgram(dir, "halyard-build",
                                {"build", Project, "--junit", (dir / "no" / "such" / "junit.xml").string(),
                                 "--sarif=" + (dir / "out.sarif").string()});
    EXPECT_EQ(r.code, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("the JUnit report was not written: Cannot create file"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir / "out.sarif"));
    EXPECT_EQ(RunProgram(dir, "halyard-build", {"build", Project, "--sarif"}).code, 2);
}

// A check's findings are reported too, and what is no command file is refused, not passed.
TEST_F(Reports, CheckReportsItsFindingsAndRefusesWhatIsNoCommandFile) {
    DosDevices dd = drives();
    dd.writeBytes("C:\\texassource\\ro.cmd", "MEMORY\r\n{\r\n  VECS (R) : o = 0FFE0h, l = 20h\r\n}\r\n"
                                             "SECTIONS\r\n{\r\n  .bss : > VECS\r\n}\r\n");
    const Result warned =
        RunProgram(dir, "halyard-build",
                   {"check", "C:\\texassource\\ro.cmd", "--sarif", (dir / "check.sarif").string()});
    EXPECT_EQ(warned.code, 0) << warned.out << warned.err;
    const Json log = Json::parse(slurp(dir / "check.sarif"));
    ASSERT_EQ(results(log, "warning").size(), 1u) << slurp(dir / "check.sarif");
    EXPECT_EQ(log["runs"][0]["tool"]["driver"]["name"].text, "halyard-build check");
    validate(dir / "check.sarif");

    dd.writeBytes("C:\\texassource\\demo.cmd", std::string("\x7f"
                                                           "ELF\0\0\0",
                                                           7));
    const Result binary = RunProgram(dir, "halyard-build", {"check", "C:\\texassource\\demo.cmd"});
    EXPECT_EQ(binary.code, 2);
    EXPECT_NE(binary.err.find("C:\\texassource\\demo.cmd is not a command file"), std::string::npos)
        << binary.err;

    // A network path is named as it was given, never as a path below the working folder.
    const Result unc = RunProgram(dir, "halyard-build", {"check", "\\\\server\\share\\x.cmd"});
    EXPECT_EQ(unc.code, 2);
    EXPECT_NE(unc.err.find("Cannot open file \\\\server\\share\\x.cmd"), std::string::npos) << unc.err;
    const Result project = RunProgram(dir, "halyard-build", {"summary", "\\\\server\\share\\x.prj"});
    EXPECT_EQ(project.code, 1);
    EXPECT_NE(project.err.find("\\\\server\\share\\x.prj"), std::string::npos) << project.err;
    EXPECT_EQ(project.err.find(":\\\\\\server"), std::string::npos) << project.err;
}

} // namespace
} // namespace halyard::test
