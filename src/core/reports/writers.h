// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The writers of the formats CI systems read, each from the one BuildReport. Every text comes back
// whole, in UTF-8, for the caller to write at once.
#include <string>

#include "reports/build_report.h"

namespace halyard::reports {

// SARIF 2.1.0: one run per tool that printed messages, with its rules and results, and one run of
// halyard-build itself holding the verdict and the memory ranges.
std::string SarifReport(const BuildReport& report);

// JUnit XML: one test suite for the run; a test case per source compiled, one for the link, one per
// memory range the Build panel marks nearly full.
std::string JUnitReport(const BuildReport& report);

// GitLab Code Quality: a JSON array, one issue per finding.
std::string CodeQualityReport(const BuildReport& report);

// GitHub's workflow commands, one line per finding ("::error file=src/main.c,line=11,title=E006::
// text"), the paths relative to the working folder.
std::string GitHubAnnotations(const BuildReport& report);
// The Markdown GitHub shows on the run's page: the verdict, the counts, the findings and the memory.
std::string GitHubSummary(const BuildReport& report);

// GitHub's escaping of a command's message, and of a property's value, which also escapes ':' and ','.
std::string GitHubData(const std::string& text);
std::string GitHubProperty(const std::string& text);

// A JSON string literal of UTF-8 text, quotes included.
std::string JsonString(const std::string& utf8);
// Text as XML character data or an attribute value: markup escaped, and the control characters XML
// 1.0 cannot hold written as '?'.
std::string XmlText(const std::string& utf8);

// "file:///home/ann/demo/" for a folder (a trailing "/"), with the characters a URI cannot hold
// percent-encoded.
std::string FileUri(const std::filesystem::path& path, bool folder);
// A relative path as a URI reference ("src/my%20main.c").
std::string UriPath(const std::string& relative);

} // namespace halyard::reports
