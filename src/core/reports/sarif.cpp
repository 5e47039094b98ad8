// SPDX-License-Identifier: GPL-3.0-or-later
// SARIF 2.1.0, as code scanning reads it: paths below the project's folder as SRCROOT, so the same
// fault in two checkouts is one alert, and fingerprints that follow a line as lines move.
#include <map>

#include "reports/json_value.h"
#include "reports/writers.h"

namespace halyard::reports {

namespace {

const char* const kSchema =
    "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json";
// The key of our fingerprints; the version changes whenever what goes into them does.
const char* const kFingerprintKey = "halyardLineHash/v1";

JsonValue memoryRanges(const BuildReport& r) {
    JsonValue ranges = JsonValue::array();
    for (const auto& m : r.memory) {
        JsonValue range = JsonValue::object();
        range.set("name", m.name)
            .set("page", m.page)
            .set("origin", m.origin)
            .set("length", m.length)
            .set("used", m.used)
            .set("free", m.free())
            .set("attributes", m.attributes)
            .set("usePercent",
                 m.length ? 100.0 * static_cast<double>(m.used) / static_cast<double>(m.length) : 0.0)
            .set("nearlyFull", m.nearlyFull())
            .set("fixedSize", m.fixedSize);
        ranges.push(std::move(range));
    }
    return ranges;
}

JsonValue properties(const BuildReport& r) {
    JsonValue p = JsonValue::object();
    p.set("verdict", r.verdict)
        .set("errors", r.count(Finding::Error))
        .set("warnings", r.count(Finding::Warning))
        .set("memoryRanges", memoryRanges(r));
    if (!r.output.empty()) p.set("output", r.output);
    return p;
}

JsonValue invocation(const BuildReport& r) {
    JsonValue inv = JsonValue::object();
    inv.set("commandLine", r.commandLine);
    if (!r.startUtc.empty()) inv.set("startTimeUtc", r.startUtc);
    if (!r.endUtc.empty()) inv.set("endTimeUtc", r.endUtc);
    // The run came to its end and said what it found; a fault in the project is a result, not a
    // failure of the tool.
    inv.set("executionSuccessful", r.exitCode != 2).set("exitCode", r.exitCode);
    if (!r.verdict.empty()) inv.set("exitCodeDescription", r.verdict);
    if (r.workingFolder.has_root_path()) {
        JsonValue wd = JsonValue::object();
        wd.set("uri", FileUri(r.workingFolder, true));
        inv.set("workingDirectory", std::move(wd));
    }
    inv.set("properties", properties(r));
    return inv;
}

JsonValue location(const BuildReport& r, const Finding& f) {
    JsonValue artifact = JsonValue::object();
    const std::string below = RelativeBelow(f.host, r.root);
    if (!below.empty())
        artifact.set("uri", UriPath(below)).set("uriBaseId", "SRCROOT");
    else
        artifact.set("uri", FileUri(f.host, false));
    JsonValue physical = JsonValue::object();
    physical.set("artifactLocation", std::move(artifact));
    if (f.line > 0) {
        JsonValue region = JsonValue::object();
        region.set("startLine", f.line);
        if (!f.lineText.empty()) {
            JsonValue snippet = JsonValue::object();
            snippet.set("text", f.lineText);
            region.set("snippet", std::move(snippet));
        }
        physical.set("region", std::move(region));
    }
    JsonValue loc = JsonValue::object();
    loc.set("physicalLocation", std::move(physical));
    return loc;
}

JsonValue run(const BuildReport& r, const std::string& tool, const std::vector<const Finding*>& findings) {
    JsonValue rules = JsonValue::array();
    std::map<std::string, int> ruleIndex;
    JsonValue results = JsonValue::array();
    for (const Finding* f : findings) {
        auto [it, fresh] = ruleIndex.emplace(f->ruleId(), static_cast<int>(ruleIndex.size()));
        if (fresh) {
            // The first message of a code describes it; the tools print no catalogue of their own.
            JsonValue rule = JsonValue::object();
            JsonValue text = JsonValue::object();
            text.set("text", f->code.empty() ? std::string("A message of ") + tool + " without a code"
                                             : tool + " " + f->levelName() + " " + f->code + ": " + f->text);
            JsonValue level = JsonValue::object();
            level.set("level", f->levelName());
            rule.set("id", f->ruleId()).set("shortDescription", std::move(text));
            rule.set("defaultConfiguration", std::move(level));
            rules.push(std::move(rule));
        }
        JsonValue message = JsonValue::object();
        message.set("text", f->text.empty() ? std::string(f->levelName()) : f->text);
        JsonValue result = JsonValue::object();
        result.set("ruleId", f->ruleId()).set("ruleIndex", it->second).set("level", f->levelName());
        result.set("message", std::move(message));
        if (f->located()) {
            JsonValue locations = JsonValue::array();
            locations.push(location(r, *f));
            result.set("locations", std::move(locations));
        } else if (!f->named.empty()) {
            // Named, but found nowhere: said, so that nothing of the message is lost.
            JsonValue p = JsonValue::object();
            p.set("file", f->named);
            if (f->line > 0) p.set("line", f->line);
            result.set("properties", std::move(p));
        }
        JsonValue fp = JsonValue::object();
        fp.set(kFingerprintKey, f->fingerprint);
        result.set("partialFingerprints", std::move(fp));
        results.push(std::move(result));
    }
    JsonValue driver = JsonValue::object();
    driver.set("name", tool);
    const std::string& version = tool.rfind("halyard-build", 0) == 0 ? r.halyardVersion : r.toolVersion;
    if (!version.empty()) driver.set("version", version);
    driver.set("rules", std::move(rules));
    JsonValue toolValue = JsonValue::object();
    toolValue.set("driver", std::move(driver));

    JsonValue out = JsonValue::object();
    out.set("tool", std::move(toolValue));
    if (r.root.has_root_path()) {
        JsonValue root = JsonValue::object();
        root.set("uri", FileUri(r.root, true));
        JsonValue description = JsonValue::object();
        description.set("text", "The project's folder");
        root.set("description", std::move(description));
        JsonValue bases = JsonValue::object();
        bases.set("SRCROOT", std::move(root));
        out.set("originalUriBaseIds", std::move(bases));
    }
    JsonValue invocations = JsonValue::array();
    invocations.push(invocation(r));
    out.set("invocations", std::move(invocations));
    out.set("results", std::move(results));
    out.set("properties", properties(r));
    return out;
}

} // namespace

std::string SarifReport(const BuildReport& r) {
    // Tools in the order they first spoke; halyard-build's own run always comes, last.
    std::vector<std::string> tools;
    std::map<std::string, std::vector<const Finding*>> byTool;
    const std::string self = r.command == "check" ? "halyard-build check" : "halyard-build";
    for (const auto& f : r.findings) {
        const std::string tool = f.tool.empty() ? self : f.tool;
        if (!byTool.count(tool) && tool != self) tools.push_back(tool);
        byTool[tool].push_back(&f);
    }
    tools.push_back(self);
    JsonValue runs = JsonValue::array();
    for (const auto& tool : tools)
        runs.push(run(r, tool, byTool[tool]));
    JsonValue log = JsonValue::object();
    log.set("$schema", kSchema).set("version", "2.1.0").set("runs", std::move(runs));
    return log.dump();
}

} // namespace halyard::reports
