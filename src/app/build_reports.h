// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// halyard-build's reports for CI systems: the options that ask for them (--sarif, --junit,
// --codequality), the collection of what a command found while it ran, and the writing of the
// files, the GitHub annotations and the step summary when it has ended. The formats themselves are
// core/reports' writers; this file only feeds them from the session.
#include <memory>
#include <string>
#include <vector>

#include "reports/build_report.h"

namespace halyard {

class TEmbedded;
class DosDevices;

struct ReportRequest {
    std::string sarif, junit, codeQuality; // as named on the command line; empty when not asked for
};

// Takes the report options out of args, wherever they stand ("--sarif FILE" or "--sarif=FILE").
// False, with a message, for an option without its file or one given twice.
bool TakeReportOptions(std::vector<std::string>& args, ReportRequest& request, std::string& why);
// The options and their meaning, for --help.
std::string ReportOptionsHelp();

class ReportCollector {
public:
    // Follows the session's Build panel from now on. `args` are the command's own arguments.
    ReportCollector(TEmbedded& e, DosDevices& dd, ReportRequest request, std::string command,
                    std::vector<std::string> args, std::string version);
    ReportCollector(const ReportCollector&) = delete;
    ReportCollector& operator=(const ReportCollector&) = delete;

    // A line a command printed itself ("lnk.cmd 9: warning: text" of a check).
    void seeCheckLine(const std::string& line);
    // A message the desktop would have shown in a box.
    void seeMessage(const std::string& text);
    // Writes what was asked for. Returns the exit code: the command's own, or 2 when a report could
    // not be written (said on standard error, naming the file).
    int finish(int exitCode);

private:
    void fill(int exitCode);
    bool write(const std::string& what, const std::string& file, const std::string& text);

    TEmbedded& e;
    DosDevices& dd;
    ReportRequest request_;
    reports::BuildReport report_;
    std::vector<std::string> args_, messages_;
    std::vector<reports::Finding> run_; // the findings of the current tool-chain run
    std::string start_;
    double started_ = 0;
    // The step the tools are in ("main.c", or "" for the link) and since when, from their progress lines.
    std::string step_;
    double stepStart_ = -1;
    void stepTo(const std::string& step, double now);
};

} // namespace halyard
