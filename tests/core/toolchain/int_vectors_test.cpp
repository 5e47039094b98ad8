// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/build_rig.h"

namespace halyard::test {
namespace {

constexpr const char* Batch = "C:\\texassource\\intvecs.bat";

struct AssembleCase {
    const char* name;
    int format; // FormatBox: 0 "Small", 1 "Large"
    std::vector<std::string> sources;
    std::string batch; // intvecs.bat, byte for byte
};

TEST(IntVectors, AssembleWritesTheBatchForTheProjectAndStartsIt) {
    const std::vector<AssembleCase> cases = {
        {"small format", 0, {"C:\\work\\main.c"}, "C:\\CL370\\asm370 C:\\texassource\\intvecs.asm -ms\r\n"},
        {"large format ends with the source name",
         1,
         {"C:\\work\\main.c"},
         "C:\\CL370\\asm370 C:\\texassource\\intvecs.asm \r\n"},
        {"empty project writes an empty batch", 0, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BuildRig r;
        r.t.put("C:\\texassource\\intvecs.asm", "; vectors\r\n");
        r.t.put(Batch, "stale\r\nlines\r\n");
        r.e.opts.FormatBox.setItemIndex(c.format);
        r.e.ProjectListBox.setItems(c.sources);
        r.e.WorkDrive = "D:\\";

        r.e.menu.Assembleintvecs1.click();

        EXPECT_EQ(r.t.dd.readBytes(Batch), c.batch);
        ASSERT_EQ(r.launcher.calls.size(), 1u);
        const auto& call = r.launcher.calls[0];
        EXPECT_EQ(call.file, Batch);
        EXPECT_EQ(call.parameters, "");
        EXPECT_EQ(call.directory, "D:\\");
        EXPECT_EQ(call.showMode, Launcher::Shown);
        EXPECT_TRUE(r.ui.shown.empty());
    }
}

// Shown in a terminal, the batch's output goes there; the Build panel still waits for its end and
// judges it by the object, as halyard-build vectors does.
TEST(IntVectors, ABatchInATerminalEndsInThePanelWithTheAssemblersVerdict) {
    BuildRig r;
    r.t.put("C:\\texassource\\intvecs.asm", "; vectors\r\n");
    r.t.put("C:\\texassource\\intvecs.obj", "old object");
    r.e.ProjectListBox.setItems({"C:\\work\\main.c"});
    const std::string object = "C:\\texassource\\intvecs.obj";
    auto verdicts = [&r] {
        std::vector<std::string> out;
        for (const auto& line : r.e.buildOutput.lines())
            if (line.kind == BuildOutput::Line::Verdict)
                out.push_back(line.text.substr(0, line.text.find(" (")));
        return out;
    };

    r.launcher.running.insert(Batch);
    r.e.menu.Assembleintvecs1.click();
    ASSERT_TRUE(r.e.buildOutput.OutputTimer.enabled());
    r.e.buildOutput.OutputTimer.tick();
    EXPECT_TRUE(verdicts().empty()); // still running in its terminal
    // The assembler rewrote the object; the old one must not count, a new one does.
    const auto host = r.t.dd.toHost(object);
    std::filesystem::last_write_time(host, std::filesystem::last_write_time(host) + std::chrono::seconds(2));
    r.launcher.running.clear();
    r.e.buildOutput.OutputTimer.tick();
    EXPECT_EQ(verdicts(), std::vector<std::string>{"Assembled " + object});
    EXPECT_FALSE(r.e.buildOutput.OutputTimer.enabled());

    // A run that leaves the old object behind failed.
    r.e.menu.Assembleintvecs1.click();
    r.e.buildOutput.OutputTimer.tick();
    EXPECT_EQ(verdicts(), std::vector<std::string>{"Failed to assemble " + object});
}

TEST(IntVectors, MissingSourceIsReportedAndNothingIsWrittenOrStarted) {
    BuildRig r;
    r.e.CompSourceDir = "C:\\texassource\\";
    r.e.Intbatch = {"kept"};
    r.e.menu.Assembleintvecs1.click();
    EXPECT_EQ(r.ui.shown, std::vector<std::string>{"Cannot make Object file, Interrupt vector source file "
                                                   "\"intvecs.asm\"\r is not present in C:\\texassource\\"});
    EXPECT_FALSE(r.t.dd.fileExists(Batch));
    EXPECT_TRUE(r.launcher.calls.empty());
    EXPECT_EQ(r.e.Intbatch, std::vector<std::string>{"kept"});
}

TEST(IntVectors, AFolderThatTheBatchLanguageWouldRunIsRefusedBeforeAnythingIsWrittenOrStarted) {
    BuildRig r;
    r.t.put("C:\\texassource\\intvecs.asm", "");
    r.e.CompilerDir = "C:\\CL370 & Z:\\bin\\sh";
    r.e.menu.Assembleintvecs1.click();
    EXPECT_EQ(r.ui.shown,
              std::vector<std::string>{"The tool-chain folder C:\\CL370 & Z:\\bin\\sh\rholds the character "
                                       "&, which a batch file does not take as part of a name.\r"
                                       "intvecs.bat was not made."});
    EXPECT_FALSE(r.t.dd.fileExists(Batch));
    EXPECT_TRUE(r.launcher.calls.empty());
}

TEST(IntVectors, UnwritableBatchEndsTheCommandWithAnErrorBeforeAnyStart) {
    BuildRig r;
    r.t.put("C:\\texassource\\intvecs.asm", "");
    r.t.put("C:\\texassource\\intvecs.bat\\blocker", ""); // a folder where the batch should go
    r.e.menu.Assembleintvecs1.click();
    EXPECT_EQ(r.ui.errors.size(), 1u);
    EXPECT_TRUE(r.launcher.calls.empty());
}

// Line 3 of ide.bat follows whichever producer ran last.
TEST(IntVectors, InlineLineOfTheBuildBatchFollowsTheLastProducer) {
    BuildRig r;
    r.t.put("C:\\texassource\\intvecs.asm", "");
    auto line3 = [&r] {
        EXPECT_TRUE(r.e.batch.MakeIdeBatClick());
        return r.e.Memo1.size() == 4 ? r.e.Memo1[2] : std::string("<no line 3>");
    };
    EXPECT_EQ(line3(), "<no line 3>");

    r.e.menu.UseintVectors.click();
    EXPECT_EQ(r.e.StatusBar.panel(5).text, "Int Vectors On");
    EXPECT_EQ(line3(), "");

    r.e.menu.Assembleintvecs1.click();
    EXPECT_EQ(line3(), "C:\\CL370\\asm370 C:\\texassource\\intvecs.asm -ms");

    r.e.ProList = {"a project line"};
    r.e.Intbatch = {ProjectVectorsLine(r.e.CompSourceDir)};
    EXPECT_EQ(line3(), "C:\\texassource\\asm370 C:\\texassource\\intvecs.asm ");

    r.e.menu.UseintVectors.click();
    EXPECT_EQ(r.e.StatusBar.panel(5).text, "Int Vectors Off");
    EXPECT_EQ(line3(), "<no line 3>");
}

} // namespace
} // namespace halyard::test
