// SPDX-License-Identifier: GPL-3.0-or-later
// JUnit XML, in the common form Jenkins, GitLab and the test-report actions read: <testsuites>
// holding one <testsuite> of <testcase>s, each failed by a <failure> with the messages as its text.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "base/paths.h"
#include "reports/writers.h"

namespace halyard::reports {

namespace {

struct Case {
    Case(std::string classname, std::string name, std::string file = {}, double seconds = 0)
        : classname(std::move(classname)), name(std::move(name)), file(std::move(file)), seconds(seconds) {}
    std::string classname, name, file;
    double seconds = 0;
    std::vector<const Finding*> findings;
    std::string failure; // a failure without a message of its own (a link that wrote nothing)
    bool failed() const {
        if (!failure.empty()) return true;
        for (const Finding* f : findings)
            if (f->level == Finding::Error) return true;
        return false;
    }
};

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s < 0 ? 0.0 : s);
    return text;
}

std::string lowerName(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string messageLine(const Finding& f) {
    std::string where = f.named;
    if (f.line > 0) where += " " + std::to_string(f.line);
    return (where.empty() ? f.tool : where) + ": " + f.levelName() +
           (f.code.empty() ? "" : "[" + f.code + "]") + ": " + f.text;
}

void write(std::string& out, const Case& c) {
    out += "    <testcase classname=\"" + XmlText(c.classname) + "\" name=\"" + XmlText(c.name) + "\"";
    if (!c.file.empty()) out += " file=\"" + XmlText(c.file) + "\"";
    out += " time=\"" + seconds(c.seconds) + "\"";
    std::string errors, others;
    int errorCount = 0;
    for (const Finding* f : c.findings) {
        (f->level == Finding::Error ? errors : others) += messageLine(*f) + "\n";
        errorCount += f->level == Finding::Error;
    }
    if (!c.failed() && others.empty()) {
        out += "/>\n";
        return;
    }
    out += ">\n";
    if (c.failed()) {
        const std::string message =
            errorCount ? std::to_string(errorCount) + (errorCount == 1 ? " error" : " errors") : c.failure;
        out += "      <failure message=\"" + XmlText(message) + "\" type=\"error\">" +
               XmlText(errors.empty() ? c.failure + "\n" : errors) + "</failure>\n";
    }
    if (!others.empty()) out += "      <system-out>" + XmlText(others) + "</system-out>\n";
    out += "    </testcase>\n";
}

} // namespace

std::string JUnitReport(const BuildReport& r) {
    const std::string suite = ExtractFileName(TrimRight(r.subject));
    std::vector<Case> cases;
    std::set<const Finding*> placed;
    for (size_t i = 0; i < r.sources.size(); ++i) {
        const std::string& source = r.sources[i];
        Case c{suite + ".compile", ExtractFileName(TrimRight(source)),
               i < r.sourceHosts.size() ? ShownPath(r.sourceHosts[i], r.workingFolder) : std::string()};
        if (auto t = r.compileSeconds.find(lowerName(c.name)); t != r.compileSeconds.end())
            c.seconds = t->second;
        c.findings = r.findingsOf(source);
        for (const Finding* f : c.findings)
            placed.insert(f);
        cases.push_back(std::move(c));
    }
    if (r.linking) {
        Case link{suite + ".link",
                  "link " + ExtractFileName(TrimRight(r.output)),
                  {},
                  r.linkSeconds >= 0 ? r.linkSeconds : 0};
        for (const auto& f : r.findings)
            if (!placed.count(&f) && f.tool == "lnk370") {
                link.findings.push_back(&f);
                placed.insert(&f);
            }
        if (!r.verdictOk) link.failure = TrimRight(r.verdict);
        cases.push_back(std::move(link));
    }
    // What no case above holds: the messages of a check, of a generation, or of a tool about itself.
    std::vector<std::string> tools;
    for (const auto& f : r.findings)
        if (!placed.count(&f) && std::find(tools.begin(), tools.end(), f.tool) == tools.end())
            tools.push_back(f.tool);
    for (const auto& tool : tools) {
        Case c{suite + ".messages", tool, {}};
        for (const auto& f : r.findings)
            if (!placed.count(&f) && f.tool == tool) c.findings.push_back(&f);
        cases.push_back(std::move(c));
    }
    if (r.sources.empty() && !r.linking) {
        // A run with nothing to compile is one case of its own: did it do what it was asked?
        Case c{
            suite + "." + r.command, r.command + " " + ExtractFileName(TrimRight(r.subject)), {}, r.seconds};
        if (r.exitCode != 0)
            c.failure = r.verdict.empty() ? "exit code " + std::to_string(r.exitCode) : r.verdict;
        cases.push_back(std::move(c));
    }
    for (const auto& m : r.memory) {
        if (!m.nearlyFull()) continue;
        Case c{suite + ".memory", "memory range " + m.name, {}};
        char text[96];
        std::snprintf(text, sizeof text, "%.1f %% used, above the 90 %% the Build panel marks",
                      100.0 * static_cast<double>(m.used) / static_cast<double>(m.length));
        c.failure = m.name + ": " + text;
        cases.push_back(std::move(c));
    }

    int failures = 0;
    for (const auto& c : cases)
        failures += c.failed();
    const std::string counts = "tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"0\"";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites name=\"" + XmlText("halyard-build " + r.command) + "\" " + counts + " time=\"" +
           seconds(r.seconds) + "\">\n";
    out += "  <testsuite name=\"" + XmlText(suite) + "\" " + counts + " skipped=\"0\" time=\"" +
           seconds(r.seconds) + "\"";
    if (!r.startUtc.empty()) out += " timestamp=\"" + XmlText(r.startUtc.substr(0, 19)) + "\"";
    out += ">\n    <properties>\n";
    out += "      <property name=\"command\" value=\"" + XmlText(r.commandLine) + "\"/>\n";
    out += "      <property name=\"verdict\" value=\"" + XmlText(TrimRight(r.verdict)) + "\"/>\n";
    out += "      <property name=\"exit code\" value=\"" + std::to_string(r.exitCode) + "\"/>\n";
    out += "    </properties>\n";
    for (const auto& c : cases)
        write(out, c);
    out += "  </testsuite>\n</testsuites>\n";
    return out;
}

} // namespace halyard::reports
