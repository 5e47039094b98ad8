// SPDX-License-Identifier: GPL-3.0-or-later
// Programs started by a batch: where they are found, what they receive, and that their output
// lands in order with the batch's own.
#include "batch_fixture.h"
#include "launch/program_lookup.h"

namespace halyard::test {
namespace {

class BatchPrograms : public BatchFixture {
protected:
    void SetUp() override {
        BatchFixture::SetUp();
        // Prints its name, its arguments one per line, its folder and C_DIR; exits with $EXITCODE.
        const std::string body =
            "printf '%s\\n' \"${0##*/}\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"
            "printf 'cwd=%s C_DIR=%s\\n' \"$(pwd)\" \"$C_DIR\"\nexit ${EXITCODE:-0}\n";
        putScript("C:\\CL370\\cl370", body);
        putScript("C:\\tools\\Thing.EXE", body);
        putScript("C:\\tools\\dup", body);
        putScript("C:\\work\\sub dir\\spaced", body);
        drives.put("C:\\tools\\plain", "not executable");
        drives.put("C:\\work\\dup.bat", "@echo dup from the current folder\r\n");
    }
    std::string hostWork() { return drives.dd.toHost("C:\\work").string(); }
};

TEST_F(BatchPrograms, FindsProgramsInTheCurrentFolderThenPath) {
    struct Case {
        const char* command;
        const char* out; // first line of the output
    };
    const Case cases[] = {
        {"cl370", "cl370\n"},     // extension-less native program on PATH
        {"CL370", "cl370\n"},     // names ignore case
        {"thing", "Thing.EXE\n"}, // .EXE tried for a bare name
        {"thing.exe", "Thing.EXE\n"},
        {"cl370.exe", "cl370\n"},                 // a Windows name reaches the native stand-in
        {"C:\\CL370\\cl370", "cl370\n"},          // a path is looked up there only
        {"\"sub dir\\spaced\"", "spaced\n"},      // quoted relative path
        {"dup", "dup from the current folder\n"}, // the current folder before PATH
    };
    for (const auto& c : cases) {
        const BatchRun r =
            run(std::string(c.command) + "\r\n", {}, {"PATH=Drive;C:\\nowhere;C:\\tools;C:\\CL370\\"});
        EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), c.out) << c.command;
        EXPECT_EQ(r.err, "") << c.command;
    }
    for (const char* missing : {"plain", "cl370", "C:\\tools\\cl370", "\"sub dir\\none\""}) {
        const BatchRun r = run(std::string(missing) + "\r\n", {}, {"PATH=Drive;C:\\tools"});
        EXPECT_EQ(
            r.err,
            "'" + std::string(missing) +
                "' is not recognized as an internal or external command,\noperable program or batch file.\n")
            << missing;
        EXPECT_EQ(r.code, 9009);
    }
}

TEST_F(BatchPrograms, PassesWindowsArgumentsTheBatchEnvironmentAndFolder) {
    const BatchRun r =
        run("SET PATH=Drive;C:\\texassource;C:\\CL370\\\r\nSET C_DIR=C:\\Texassource\r\n"
            "cl370 -fr C:\\texassource -g -ms  C:\\work\\main.c -z C:\\TexasSource\\lnk.cmd   -a "
            "\"x y\" a\\\"b\\\"c > C:\\Outputfile.txt\r\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(file("C:\\Outputfile.txt"),
              "cl370\n[-fr]\n[C:\\texassource]\n[-g]\n[-ms]\n[C:\\work\\main.c]\n[-z]\n"
              "[C:\\TexasSource\\lnk.cmd]\n[-a]\n[x y]\n[a\"b\"c]\ncwd=" +
                  hostWork() + " C_DIR=C:\\Texassource\n");
}

TEST_F(BatchPrograms, KeepsOutputOrderAndReturnsTheLastExitCode) {
    const BatchRun r = run("echo before\r\ncl370 one\r\necho between\r\nset EXITCODE=3\r\ncl370 two 2>&1\r\n"
                           "echo level %errorlevel%\r\nset EXITCODE=6\r\ncl370\r\n",
                           {}, {"PATH=C:\\CL370"});
    const std::string tail = "cwd=" + hostWork() + " C_DIR=\n";
    EXPECT_EQ(r.out,
              "before\ncl370\n[one]\n" + tail + "between\ncl370\n[two]\n" + tail + "level 3\ncl370\n" + tail);
    EXPECT_EQ(r.code, 6);
}

TEST_F(BatchPrograms, NativeProgramsSeeTheBatchPathAsHostFolders) {
    putScript("C:\\CL370\\showpath", "printf '%s\\n' \"$PATH\"\n");
    const BatchRun r = run("SET PATH=Drive;C:\\texassource;C:\\CL370\\\r\nshowpath\r\nset PATH\r\n", {},
                           {"PATH=/usr/bin:/bin"});
    EXPECT_EQ(r.out, drives.dd.toHost("C:\\CL370").string() +
                         ":/usr/bin:/bin\nPATH=Drive;C:\\texassource;C:\\CL370\\\n");
}

TEST_F(BatchPrograms, RunsFromTheFolderTheBatchChangedTo) {
    drives.dd.createDirs("C:\\texassource");
    const BatchRun r = run("cd \\TEXASSOURCE\r\ncl370\r\n", {}, {"PATH=C:\\CL370"});
    EXPECT_NE(r.out.find("cwd=" + drives.dd.toHost("C:\\texassource").string() + " "), std::string::npos)
        << r.out;
}

TEST_F(BatchPrograms, CommandLineModeRunsOneLine) {
    const BatchRun r = runWith([](BatchInterpreter& bi) { return bi.runLine("echo %UNSET% 50% & cl370 /q"); },
                               {"PATH=C:\\CL370"});
    EXPECT_EQ(r.out, "%UNSET% 50% \ncl370\n[/q]\ncwd=" + hostWork() + " C_DIR=\n");
}

// A project's folder may hold programs named like the tool chain's. Wherever the lookup would meet
// one before the tool-chain folder (the current folder, an earlier PATH entry, the folder a path
// names), nothing runs and the batch says which file is in the way; cl370 is guarded against a
// planted linker too, since it starts the others itself.
TEST_F(BatchPrograms, ProgramsNamedLikeTheToolChainsRunOnlyFromItsFolder) {
    drives.dd.createDirs("C:\\texassource");
    struct Case {
        const char* planted;
        const char* command;
        const char* cwd;
    };
    const Case cases[] = {
        {"C:\\work\\cl370.bat", "cl370", "C:\\work"},
        {"C:\\work\\CL370.EXE", "cl370.exe", "C:\\work"},
        {"C:\\texassource\\cl370", "cl370", "C:\\work"},
        {"C:\\texassource\\lnk370", "C:\\CL370\\cl370", "C:\\work"},
        {"C:\\texassource\\asm370", "C:\\texassource\\asm370", "C:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.planted);
        // The planted program leaves a mark if it runs at all.
        const std::string mark = drives.dd.toHost("C:\\ran").string();
        if (std::string(c.planted).ends_with(".bat"))
            drives.put(c.planted, "@echo planted> C:\\ran\r\n");
        else
            putScript(c.planted, "echo planted > '" + mark + "'\n");
        drives.dd.setCurrentDirectory(c.cwd);
        const BatchRun r = run(std::string(c.command) + "\r\necho after\r\n", {},
                               {"PATH=Drive;C:\\texassource;C:\\CL370\\"});
        EXPECT_EQ(r.err, "halyard-batch: error: " + drives.dd.absolute(c.planted) +
                             " is not the tool chain's " + ToolChainProgramOf(c.planted) +
                             "; remove it or rename it\n");
        EXPECT_EQ(r.out, "after\n");
        EXPECT_FALSE(drives.dd.fileExists("C:\\ran"));
        std::filesystem::remove(drives.dd.toHost(c.planted));
    }
    // With nothing in the way the tool chain's own runs, and another folder can be named as its home.
    EXPECT_EQ(run("cl370\r\n", {}, {"PATH=Drive;C:\\texassource;C:\\CL370\\"}).err, "");
    putScript("C:\\tools\\cl370", "echo own\n");
    const BatchRun other = runWith(
        [](BatchInterpreter& bi) {
            bi.setToolChainFolder("C:\\TOOLS\\");
            return bi.runLine("cl370");
        },
        {"PATH=C:\\tools;C:\\CL370"});
    EXPECT_EQ(other.out, "own\n");
}

} // namespace
} // namespace halyard::test
