// SPDX-License-Identifier: GPL-3.0-or-later
// "halyard-build memory" on the sample project built by the stand-in tool chain: the JSON of the
// map, the change after main.c grew, the gate of --fail-above, and a project not yet built.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "base/dos_devices.h"
#include "base/json.h"
#include "run_program.h"

namespace halyard::test {
namespace {

namespace fs = std::filesystem;

class MemoryCommand : public SampleHome {
protected:
    const std::string project = "C:\\Halyard\\demo\\demo.prj";
};

TEST_F(MemoryCommand, JsonAfterABuildThenTheGrowthOfTextAndTheGate) {
    Result none = run("halyard-build", {"memory", project});
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("there is no map file yet: C:\\texassource\\demo.map does not exist; build the "
                            "project first"),
              std::string::npos)
        << none.err;

    ASSERT_EQ(run("halyard-build", {"build", project}).code, 0);
    Result json = run("halyard-build", {"memory", project, "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    std::string why;
    const auto doc = Json::Parse(json.out, &why);
    ASSERT_TRUE(doc) << why << json.out;
    ASSERT_FALSE((*doc)["ranges"].items.empty());
    for (const Json& r : (*doc)["ranges"].items)
        EXPECT_LE(r.num("used"), r.num("length")) << r.str("name");
    bool text = false;
    for (const Json& s : (*doc)["sections"].items)
        text = text || (s.str("name") == ".text" && s.str("range") == "ROM" && s.num("size") > 0);
    EXPECT_TRUE(text) << json.out;
    EXPECT_FALSE((*doc)["symbols"].items.empty());
    const fs::path earlier = dir / "before.json";
    std::ofstream(earlier) << json.out;

    DosDevices dd(dir / "data" / "halyard");
    const std::string main = "C:\\Halyard\\demo\\main.c";
    dd.writeBytes(main,
                  dd.readBytes(main) + "\nint extra_sum(int a, int b)\n{\n    return a + b + a * b;\n}\n");
    const Result rebuilt = run("halyard-build", {"build", project});
    ASSERT_EQ(rebuilt.code, 0) << rebuilt.out;
    EXPECT_NE(rebuilt.out.find("\nROM +"), std::string::npos) << "the build says what grew:\n" << rebuilt.out;
    EXPECT_NE(rebuilt.out.find(" bytes since the last build\n"), std::string::npos) << rebuilt.out;

    Result against = run("halyard-build", {"memory", project, "--against", earlier.string()});
    ASSERT_EQ(against.code, 0) << against.err;
    const size_t row = against.out.find("\nsection  .text ");
    ASSERT_NE(row, std::string::npos) << against.out;
    const std::string line = against.out.substr(row + 1, against.out.find('\n', row + 1) - row - 1);
    EXPECT_NE(line.find(" +"), std::string::npos) << line;
    EXPECT_NE(against.out.find("symbol   _extra_sum        new       +"), std::string::npos) << against.out;

    Result gate = run("halyard-build", {"memory", project, "--fail-above", "1"});
    EXPECT_EQ(gate.code, 1);
    EXPECT_NE(gate.err.find("ROM (page 0) is "), std::string::npos) << gate.err;
    EXPECT_EQ(gate.err.find("VECS"), std::string::npos) << "the vectors are full by design:\n" << gate.err;
    EXPECT_EQ(run("halyard-build", {"memory", project, "--fail-above", "100"}).code, 0);

    // Another map file, and the words that are no command line.
    Result other = run("halyard-build", {"memory", project, "--map", "C:\\texassource\\demo.map", "--json"});
    EXPECT_EQ(other.code, 0) << other.err;
    EXPECT_EQ(run("halyard-build", {"memory", project, "--fail-above", "lots"}).code, 2);
    EXPECT_EQ(run("halyard-build", {"memory", project, "--against", (dir / "nothing.json").string()}).code,
              2);
    EXPECT_EQ(run("halyard-build", {"memory"}).code, 2);
}

} // namespace
} // namespace halyard::test
