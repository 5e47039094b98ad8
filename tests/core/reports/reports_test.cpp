// SPDX-License-Identifier: GPL-3.0-or-later
// The reports CI systems read, written from one model: what each format must get right to be read
// at all (escaping, paths, encodings) and what keeps an alert the same alert from run to run.
#include <gtest/gtest.h>

#include "reports/writers.h"
#include "support/fakes.h"
#include "support/json_reader.h"

namespace halyard::reports {
namespace {

namespace fs = std::filesystem;
using test::Json;

// A project in C:\proj with main.c, and a report whose findings name lines of it.
struct Rig {
    test::TempDrives t;
    BuildReport r;
    Rig() {
        t.put("C:\\proj\\demo.prj", "");
        r.command = "build";
        r.commandLine = "halyard-build build C:\\proj\\demo.prj";
        r.subject = "C:\\proj\\demo.prj";
        r.subjectHost = t.dd.toHost(r.subject);
        r.root = r.subjectHost.parent_path();
        r.workingFolder = t.dir;
        r.sources = {"C:\\proj\\main.c", "C:\\proj\\io.c"};
        for (const auto& s : r.sources)
            r.sourceHosts.push_back(t.dd.toHost(s));
        r.linking = true;
        r.output = "C:\\proj\\demo.out";
        r.verdict = "Failed to create C:\\proj\\demo.out";
        r.exitCode = 1;
    }
    void add(const std::string& line, const std::string& tool = "") {
        Finding f;
        const ToolMessage m = ParseToolLine(line);
        ASSERT_TRUE(ToFinding(m, tool.empty() ? ToolOfMessage(m) : tool, f)) << line;
        r.findings.push_back(f);
    }
    void locate() { Locate(r, t.dd, {"C:\\proj", "C:\\lib"}); }
};

TEST(Reports, FingerprintsFollowTheLinesTextNotItsNumberAndKeepEqualFaultsApart) {
    Rig a;
    a.t.put("C:\\proj\\main.c", "int a;\nint x = ;\nint y = ;\n");
    a.add("main.c 2: error[E006]: expected expression");
    a.add("main.c 3: error[E006]: expected expression");
    a.locate();
    Rig b;
    b.t.put("C:\\proj\\main.c", "/* a new line */\nint a;\nint x = ;\nint y = ;\n");
    b.add("main.c 3: error[E006]: expected expression");
    b.add("main.c 4: error[E006]: expected expression");
    b.locate();
    EXPECT_EQ(a.r.findings[0].lineText, "int x = ;");
    EXPECT_EQ(a.r.findings[0].fingerprint, b.r.findings[0].fingerprint);
    EXPECT_EQ(a.r.findings[1].fingerprint, b.r.findings[1].fingerprint);
    EXPECT_NE(a.r.findings[0].fingerprint, a.r.findings[1].fingerprint);
    // The same line with two equal messages: the second is another alert, not the first again.
    Rig c;
    c.t.put("C:\\proj\\main.c", "x;\n");
    c.add("main.c 1: warning[W300]: unused");
    c.add("main.c 1: warning[W300]: unused");
    c.locate();
    EXPECT_NE(c.r.findings[0].fingerprint, c.r.findings[1].fingerprint);
}

TEST(Reports, SarifPointsBelowSrcRootOrAtAnAbsoluteUriAndLeavesUnplacedMessagesUnplaced) {
    Rig rig;
    rig.t.put("C:\\proj\\my src\\main.c", "int x = ;\n");
    rig.t.put("C:\\lib\\rts.h", "#bad\n");
    rig.r.sources = {"C:\\proj\\my src\\main.c"};
    rig.add("main.c 1: error[E006]: expected expression");
    rig.add("rts.h 1: warning[W2]: odd \"quote\" \\ and \x01 control");
    rig.add("cl370: error[E010]: invalid switch -q");
    rig.add("lnk.cmd 9: error[E306]: cannot find file x.obj");
    rig.locate();
    const Json log = Json::parse(SarifReport(rig.r));
    EXPECT_EQ(log["version"].text, "2.1.0");
    // The compiler and the linker each in a run of their own, halyard-build's last.
    ASSERT_EQ(log["runs"].items.size(), 3u);
    const Json& cl = log["runs"][0];
    EXPECT_EQ(cl["tool"]["driver"]["name"].text, "cl370");
    EXPECT_EQ(cl["originalUriBaseIds"]["SRCROOT"]["uri"].text,
              "file://" + rig.t.dd.toHost("C:\\proj").generic_string() + "/");
    const Json& first = cl["results"][0];
    EXPECT_EQ(first["ruleId"].text, "E006");
    EXPECT_EQ(first["level"].text, "error");
    const Json& where = first["locations"][0]["physicalLocation"];
    EXPECT_EQ(where["artifactLocation"]["uri"].text, "my%20src/main.c");
    EXPECT_EQ(where["artifactLocation"]["uriBaseId"].text, "SRCROOT");
    EXPECT_EQ(where["region"]["startLine"].number, 1);
    EXPECT_FALSE(first["partialFingerprints"].members.empty());
    const Json& header = cl["results"][1]["locations"][0]["physicalLocation"]["artifactLocation"];
    EXPECT_EQ(header["uri"].text, "file://" + rig.t.dd.toHost("C:\\lib\\rts.h").generic_string());
    EXPECT_FALSE(header.has("uriBaseId"));
    EXPECT_EQ(cl["results"][1]["message"]["text"].text, "odd \"quote\" \\ and \x01 control");
    // A message of the tool about itself has no place.
    EXPECT_FALSE(cl["results"][2].has("locations"));
    EXPECT_EQ(cl["tool"]["driver"]["rules"].items.size(), 3u);
    const Json& link = log["runs"][1];
    EXPECT_EQ(link["tool"]["driver"]["name"].text, "lnk370");
    // No lnk.cmd anywhere: the file it named is kept beside the result.
    EXPECT_EQ(link["results"][0]["properties"]["file"].text, "lnk.cmd");
    EXPECT_EQ(log["runs"][2]["invocations"][0]["exitCode"].number, 1);
}

TEST(Reports, TextInTheToolsCodePageBecomesUtf8InEveryFormat) {
    Rig rig;
    rig.t.put("C:\\proj\\main.c", "x\n");
    rig.add("main.c 1: error[E006]: unknown character \xB5 & <\x84>");
    rig.locate();
    const std::string utf8 = "unknown character \xC2\xB5 & <\xE2\x80\x9E>";
    EXPECT_EQ(Json::parse(SarifReport(rig.r))["runs"][0]["results"][0]["message"]["text"].text, utf8);
    EXPECT_EQ(Json::parse(CodeQualityReport(rig.r))[0]["description"].text, "E006: " + utf8);
    EXPECT_NE(JUnitReport(rig.r).find("unknown character \xC2\xB5 &amp; &lt;\xE2\x80\x9E&gt;"),
              std::string::npos);
    // Text that already is UTF-8 stays as it is.
    EXPECT_EQ(AsUtf8("\xE2\x80\x98x\xE2\x80\x99"), "\xE2\x80\x98x\xE2\x80\x99");
}

TEST(Reports, GitHubCommandsEscapeTheirDataAndProperties) {
    EXPECT_EQ(GitHubData("100% done\r\nnext: a,b"), "100%25 done%0D%0Anext: a,b");
    EXPECT_EQ(GitHubProperty("C:\\a,b%\n"), "C%3A\\a%2Cb%25%0A");
    Rig rig;
    rig.t.put("C:\\proj\\a,b.c", "x\n");
    rig.r.sources = {"C:\\proj\\a,b.c"};
    rig.add("a,b.c 1: warning[W1]: 50% of a: b\nc");
    rig.add("lnk370: error[E312]: cannot create output file");
    rig.locate();
    const std::string below = RelativeBelow(rig.t.dd.toHost("C:\\proj\\a,b.c"), rig.t.dir);
    EXPECT_EQ(GitHubAnnotations(rig.r), "::warning file=" + GitHubProperty(below) +
                                            ",line=1,title=W1::50%25 of a: b%0Ac\n"
                                            "::error title=E312::cannot create output file\n");
    // The summary's table keeps its columns whatever a message holds.
    EXPECT_NE(GitHubSummary(rig.r).find("| warning | " + below + " | 1 | W1 | 50% of a: b c |\n"),
              std::string::npos);
}

TEST(Reports, JUnitFailsTheSourceWithTheErrorTheLinkWithItsVerdictAndAFullRange) {
    Rig rig;
    rig.t.put("C:\\proj\\main.c", "x\n");
    rig.t.put("C:\\proj\\io.c", "y\n");
    rig.add("main.c 1: error[E006]: expected expression");
    rig.add("io.c 1: warning[W300]: unused");
    rig.add("cl370: error[E902]: cannot create object file");
    MemoryUse full{"ROM", 0, 0x8000, 0x100, 0xF0, "RX"};
    MemoryUse roomy{"RAM", 0, 0x100, 0x100, 0x10, "RW"};
    rig.r.memory = {full, roomy};
    rig.locate();
    const std::string xml = JUnitReport(rig.r);
    EXPECT_NE(xml.find("tests=\"5\" failures=\"4\""), std::string::npos) << xml;
    EXPECT_NE(
        xml.find("name=\"main.c\" file=\"drive_c/proj/main.c\" time=\"0.000\">\n      <failure message=\"1 "
                 "error\" type=\"error\">main.c 1: error[E006]: expected expression&#10;</failure>"),
        std::string::npos)
        << xml;
    EXPECT_NE(xml.find("name=\"io.c\" file=\"drive_c/proj/io.c\" time=\"0.000\">\n      <system-out>"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("name=\"link demo.out\""), std::string::npos);
    EXPECT_NE(xml.find("<failure message=\"Failed to create C:\\proj\\demo.out\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"cl370\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"memory range ROM\""), std::string::npos);
    EXPECT_EQ(xml.find("name=\"memory range RAM\""), std::string::npos);
}

} // namespace
} // namespace halyard::reports
