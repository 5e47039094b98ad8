// SPDX-License-Identifier: GPL-3.0-or-later
// GitLab's Code Quality report and GitHub's workflow commands: both show a finding beside the line
// of a change, so both name files relative to the folder the job runs in, the checkout's root.
#include <cstdio>

#include "base/paths.h"
#include "reports/json_value.h"
#include "reports/writers.h"

namespace halyard::reports {

namespace {

// A finding with no file of its own is shown on the file the run was about.
std::string pathOf(const BuildReport& r, const Finding& f) {
    return ShownPath(f.located() ? f.host : r.subjectHost, r.workingFolder);
}

std::string summaryCell(const std::string& text) {
    std::string out;
    for (char c : AsUtf8(text)) {
        if (c == '|')
            out += "\\|";
        else if (c == '\n' || c == '\r')
            out += ' ';
        else
            out += c;
    }
    return out;
}

std::string hex(std::uint64_t n) {
    char text[24];
    std::snprintf(text, sizeof text, "%04llXh", static_cast<unsigned long long>(n));
    return text;
}

} // namespace

std::string CodeQualityReport(const BuildReport& r) {
    JsonValue issues = JsonValue::array();
    for (const auto& f : r.findings) {
        JsonValue lines = JsonValue::object();
        lines.set("begin", f.line > 0 && f.located() ? f.line : 1);
        JsonValue location = JsonValue::object();
        location.set("path", pathOf(r, f)).set("lines", std::move(lines));
        JsonValue issue = JsonValue::object();
        issue.set("type", "issue")
            .set("description", (f.code.empty() ? "" : f.code + ": ") + f.text)
            .set("check_name", f.tool + " " + f.ruleId())
            .set("fingerprint", f.fingerprint)
            // An error stops the build; a warning is worth a look; a note is information.
            .set("severity", f.level == Finding::Error     ? "critical"
                             : f.level == Finding::Warning ? "minor"
                                                           : "info")
            .set("location", std::move(location));
        issues.push(std::move(issue));
    }
    return issues.dump();
}

std::string GitHubAnnotations(const BuildReport& r) {
    std::string out;
    for (const auto& f : r.findings) {
        out += f.level == Finding::Error     ? "::error "
               : f.level == Finding::Warning ? "::warning "
                                             : "::notice ";
        std::string props;
        if (f.located()) {
            props += "file=" + GitHubProperty(pathOf(r, f));
            if (f.line > 0) props += ",line=" + std::to_string(f.line);
            props += ",";
        }
        props += "title=" + GitHubProperty(f.code.empty() ? f.tool : f.code);
        std::string text = f.text;
        // Without a file the annotation stands on the run alone; the message keeps what it named.
        if (!f.located() && !f.named.empty())
            text = f.named + (f.line > 0 ? " " + std::to_string(f.line) : "") + ": " + text;
        out += props + "::" + GitHubData(text) + "\n";
    }
    return out;
}

std::string GitHubSummary(const BuildReport& r) {
    std::string out = "### halyard-build " + summaryCell(r.command) + " " +
                      summaryCell(ExtractFileName(TrimRight(r.subject))) + "\n\n";
    out += (r.exitCode == 0 ? "Passed: " : "Failed: ") + summaryCell(TrimRight(r.verdict)) + " (" +
           MessageCountText(r.count(Finding::Error), r.count(Finding::Warning)) + ", exit code " +
           std::to_string(r.exitCode) + ")\n\n";
    if (!r.findings.empty()) {
        out += "| level | file | line | code | message |\n|---|---|---|---|---|\n";
        // A page that stays readable: the first hundred, and how many more there are.
        const size_t shown = std::min<size_t>(r.findings.size(), 100);
        for (size_t i = 0; i < shown; ++i) {
            const Finding& f = r.findings[i];
            out += std::string("| ") + f.levelName() + " | " +
                   summaryCell(f.located()       ? pathOf(r, f)
                               : f.named.empty() ? f.tool
                                                 : f.named) +
                   " | " + (f.line > 0 ? std::to_string(f.line) : "") + " | " + summaryCell(f.code) + " | " +
                   summaryCell(f.text) + " |\n";
        }
        if (shown < r.findings.size())
            out += "\n" + std::to_string(r.findings.size() - shown) + " more messages are in the reports.\n";
        out += "\n";
    }
    if (!r.memory.empty()) {
        out += "| range | page | origin | length | used | free | use |\n|---|---|---|---|---|---|---|\n";
        for (const auto& m : r.memory) {
            char use[32];
            std::snprintf(use, sizeof use, "%.1f %%",
                          m.length ? 100.0 * static_cast<double>(m.used) / static_cast<double>(m.length)
                                   : 0.0);
            out += "| " + summaryCell(m.name) + " | " + std::to_string(m.page) + " | " + hex(m.origin) +
                   " | " + hex(m.length) + " | " + hex(m.used) + " | " + hex(m.free()) + " | " + use +
                   (m.nearlyFull() ? " (nearly full)" : "") + " |\n";
        }
        out += "\n";
    }
    return out;
}

} // namespace halyard::reports
