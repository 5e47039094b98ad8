// SPDX-License-Identifier: GPL-3.0-or-later
#include "build_reports.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "base/dos_devices.h"
#include "base/error.h"
#include "base/paths.h"
#include "reports/writers.h"
#include "shell/embedded.h"

namespace halyard {

namespace fs = std::filesystem;

namespace {

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

double clockSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

const char* const kOptions[][2] = {
    {"--sarif", "SARIF 2.1.0"}, {"--junit", "JUnit XML"}, {"--codequality", "GitLab Code Quality"}};

std::string* slot(ReportRequest& r, const std::string& option) {
    if (option == "--sarif") return &r.sarif;
    if (option == "--junit") return &r.junit;
    if (option == "--codequality") return &r.codeQuality;
    return nullptr;
}

} // namespace

bool TakeReportOptions(std::vector<std::string>& args, ReportRequest& request, std::string& why) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto eq = a.find('=');
        const std::string option = a.substr(0, eq);
        std::string* target = a.rfind("--", 0) == 0 ? slot(request, option) : nullptr;
        if (!target) {
            rest.push_back(a);
            continue;
        }
        std::string file;
        if (eq != std::string::npos)
            file = a.substr(eq + 1);
        else if (i + 1 < args.size())
            file = args[++i];
        if (file.empty()) {
            why = "halyard-build: " + option + " needs the name of the file to write";
            return false;
        }
        if (!target->empty()) {
            why = "halyard-build: " + option + " is given twice";
            return false;
        }
        *target = file;
    }
    args = std::move(rest);
    return true;
}

std::string ReportOptionsHelp() {
    return "Report options: --sarif FILE, --junit FILE and --codequality FILE (after build, make, check or "
           "vectors) write "
           "what the command found as SARIF 2.1.0, JUnit XML and GitLab Code Quality JSON; FILE is a "
           "Windows or a host path. With GITHUB_ACTIONS=true every message is also printed as a GitHub "
           "workflow command (\"::error file=...,line=...\"), and a summary is added to the file "
           "GITHUB_STEP_SUMMARY names. A report that cannot be written is an error of its own: exit "
           "code 2.";
}

ReportCollector::ReportCollector(TEmbedded& e, DosDevices& dd, ReportRequest request, std::string command,
                                 std::vector<std::string> args, std::string version)
    : e(e), dd(dd), request_(std::move(request)), args_(std::move(args)) {
    report_.command = std::move(command);
    report_.halyardVersion = std::move(version);
    report_.commandLine = "halyard-build " + report_.command;
    for (const auto& a : args_)
        report_.commandLine += " " + a;
    report_.startUtc = utcNow();
    started_ = clockSeconds();
    e.buildOutput.observe([this](BuildOutput::Change c) {
        const BuildOutput& out = this->e.buildOutput;
        // A new run starts afresh, as the panel does: only the last run's messages count.
        if (c == BuildOutput::Change::Cleared) {
            run_.clear();
            report_.compileSeconds.clear();
            report_.linkSeconds = -1;
            stepStart_ = -1;
        }
        if (c == BuildOutput::Change::State && !out.running() && stepStart_ >= 0) stepTo("", -1);
        if (c != BuildOutput::Change::Added || out.lines().empty()) return;
        const auto& line = out.lines().back();
        // The compiler shell names each file as it starts on it ("[main.c]"), and the link ("<Linking>").
        if (const std::string t = TrimRight(line.text);
            line.kind == BuildOutput::Line::Output && t.size() > 2) {
            if (t.front() == '[' && t.back() == ']' && t.find(' ') == std::string::npos)
                stepTo(t.substr(1, t.size() - 2), clockSeconds());
            else if (t == "<Linking>")
                stepTo("<link>", clockSeconds());
        }
        // The tools' banners carry their version ("TMS370 C Compiler ...   Version 5.30").
        if (const auto at = line.text.find(" Version ");
            line.kind == BuildOutput::Line::Output && at != std::string::npos && report_.toolVersion.empty())
            report_.toolVersion = TrimRight(line.text.substr(at + 9));
        reports::Finding f;
        if (line.diagnostic() && reports::ToFinding(line.message, reports::ToolOfMessage(line.message), f))
            run_.push_back(std::move(f));
    });
}

// Ends the step under way (its time is taken) and starts `step`; now < 0 only ends it.
void ReportCollector::stepTo(const std::string& step, double now) {
    if (stepStart_ >= 0) {
        const double took = (now < 0 ? clockSeconds() : now) - stepStart_;
        if (step_ == "<link>")
            report_.linkSeconds = took;
        else
            report_.compileSeconds[lower(step_)] += took;
    }
    step_ = step;
    stepStart_ = now;
}

void ReportCollector::seeCheckLine(const std::string& line) {
    reports::Finding f;
    if (reports::ToFinding(ParseToolLine(line), "halyard-build check", f)) run_.push_back(std::move(f));
}

void ReportCollector::seeMessage(const std::string& text) {
    messages_.push_back(text);
}

void ReportCollector::fill(int exitCode) {
    reports::BuildReport& r = report_;
    r.exitCode = exitCode;
    r.endUtc = utcNow();
    r.seconds = clockSeconds() - started_;
    std::error_code ec;
    r.workingFolder = fs::current_path(ec);
    const std::string named = args_.empty() ? std::string() : dd.fromCommandLine(args_[0]);
    std::vector<std::string> folders;
    if (r.command == "check") {
        r.subject = dd.absolute(named);
        folders.push_back(ExtractFileDir(r.subject));
    } else {
        r.subject = e.ProjectLoaded() ? e.ProjectPath : dd.absolute(named);
        folders = {ExtractFileDir(r.subject), e.CompSourceDir, e.HeadersDir, e.CompilerDir};
        if (e.ProjectLoaded() && r.command == "build") {
            for (const auto& entry : e.ProjectListBox.items())
                if (entry.find(".c") != std::string::npos || entry.find(".C") != std::string::npos) {
                    r.sources.push_back(dd.absolute(TrimRight(entry)));
                    r.sourceHosts.push_back(dd.toHost(r.sources.back()));
                }
            r.linking = e.monitor.linking;
            if (r.linking) r.output = TrimRight(e.ObjectFile);
        }
    }
    r.subjectHost = dd.toHost(r.subject);
    r.root = r.subjectHost.parent_path();
    r.verdict = TrimRight(e.StatusBar.panel(3).text);
    if (r.command == "check")
        r.verdict = exitCode == 0 ? "Checked" : exitCode == 1 ? "Errors found" : "Not checked";
    if (r.command == "make") r.verdict = exitCode == 0 ? "IDE.BAT made" : "IDE.BAT not made";
    if (r.command == "vectors" || r.verdict == "Compile Started") r.verdict.clear();
    r.verdictOk = r.verdict.rfind("Created ", 0) == 0 || r.verdict.rfind("Updated ", 0) == 0 ||
                  r.verdict.rfind("Compiled, ", 0) == 0 || (r.command != "build" && exitCode == 0);
    if (r.verdict.empty())
        r.verdict = exitCode == 0 ? "Done" : "Failed (exit code " + std::to_string(exitCode) + ")";
    if (stepStart_ >= 0) stepTo("", -1);
    r.memory = e.buildOutput.memory();
    r.findings = run_;
    // Halyard's own messages: why a generation stopped is an error, anything else information.
    for (const auto& m : messages_) {
        reports::Finding f;
        f.level = exitCode == 0 ? reports::Finding::Note : reports::Finding::Error;
        f.tool = "halyard-build";
        f.text = m;
        for (auto& c : f.text)
            if (c == '\r') c = '\n';
        r.findings.push_back(std::move(f));
    }
    reports::Locate(r, dd, folders);
}

bool ReportCollector::write(const std::string& what, const std::string& file, const std::string& text) {
    if (file.empty()) return true;
    try {
        dd.writeBytes(dd.fromCommandLine(file), text);
        return true;
    } catch (const Error& err) {
        std::cerr << "halyard-build: the " << what << " report was not written: " << err.what() << '\n';
        return false;
    }
}

int ReportCollector::finish(int exitCode) {
    const char* actions = std::getenv("GITHUB_ACTIONS");
    const bool github = actions && std::string(actions) == "true";
    const bool any = !request_.sarif.empty() || !request_.junit.empty() || !request_.codeQuality.empty();
    if (!any && !github) return exitCode;
    fill(exitCode);
    bool written = write("SARIF", request_.sarif, reports::SarifReport(report_));
    written = write("JUnit", request_.junit, reports::JUnitReport(report_)) && written;
    written = write("Code Quality", request_.codeQuality, reports::CodeQualityReport(report_)) && written;
    if (github) {
        std::cout << reports::GitHubAnnotations(report_) << std::flush;
        // GitHub gives each step a file of its own and shows what the step appended to it.
        if (const char* summary = std::getenv("GITHUB_STEP_SUMMARY"); summary && *summary) {
            std::ofstream out(summary, std::ios::app | std::ios::binary);
            out << reports::GitHubSummary(report_);
            out.flush();
            if (!out) {
                std::cerr << "halyard-build: the step summary was not written to " << summary << '\n';
                written = false;
            }
        }
    }
    return written ? exitCode : 2;
}

} // namespace halyard
