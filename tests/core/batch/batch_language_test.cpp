// SPDX-License-Identifier: GPL-3.0-or-later
// The batch language pieces, each checked by the exact text a small batch file writes.
#include <thread>

#include "batch_fixture.h"

namespace halyard::test {
namespace {

struct LanguageCase {
    const char* name;
    const char* text; // lines end in CR LF as Halyard writes them
    std::vector<std::string> args;
    const char* out;
    const char* err;
    int code;
};

class BatchLanguage : public BatchFixture {
protected:
    // Runs text as run() does with the command processor's line limit lifted, to reach what a
    // longer line would do without it.
    BatchRun runUnlimited(const std::string& text) {
        drives.put("C:\\work\\t.bat", text);
        return runWith(
            [](BatchInterpreter& bi) {
                bi.setLimits({true, 0, 0});
                return bi.runFile("C:\\work\\t.bat", {});
            },
            {"PATH=C:\\tools"});
    }
};

TEST_F(BatchLanguage, CommandsWriteExactlyWhatTheCommandProcessorWrites) {
    drives.put("C:\\work\\sub\\keep.txt", "x");
    drives.put("C:\\work\\callee.bat", "@echo callee %1\r\nexit /b 4\r\n");
    drives.put("C:\\work\\chained.bat", "@echo chained\r\n");
    const std::string nr =
        "' is not recognized as an internal or external command,\noperable program or batch file.\n";
    const LanguageCase cases[] = {
        {"echo forms",
         "echo hello  there\r\necho.\r\necho\r\necho:x\r\necho on\r\n@echo\r\n",
         {},
         "hello  there\n\nECHO is off.\nx\nECHO is on.\n",
         "",
         0},
        {"variables ignore case; undefined ones vanish; %% is a percent",
         "set Foo=bar\r\necho %FOO%-%foo%-%nothing%-100%%\r\nset foo=\r\necho [%Foo%]\r\n",
         {},
         "bar-bar--100%\n[]\n",
         "",
         0},
        {"quoted set and substrings",
         "set \"v=abcdef\"\r\necho %v:~1,3% %v:~-2% %v:cd=XY%\r\n",
         {},
         "bcd ef abXYef\n",
         "",
         0},
        {"set shows and reports",
         "set zz_a=1\r\nset ZZ_\r\nset qq_none\r\n",
         {},
         "zz_a=1\n",
         "Environment variable qq_none not defined\n",
         1},
        {"arguments and shift",
         "echo %0 %1 %2 [%3]\r\necho %~2 %~dp0 %~nx0\r\nshift\r\necho %1\r\n",
         {"a", "\"b c\""},
         "C:\\work\\t.bat a \"b c\" []\nb c C:\\work\\ t.bat\n\"b c\"\n",
         "",
         0},
        {"if exist, not, errorlevel, strings",
         "if exist sub\\keep.txt echo 1\r\nif not exist nope.txt echo 2\r\nif exist SUB echo 3\r\n"
         "if errorlevel 1 echo no\r\nif /i \"%1\"==\"A\" echo 4\r\nif \"%1\"==\"A\" echo no\r\nif %1 == a "
         "echo 5\r\n"
         "if 10 GTR 9 echo 6\r\nif defined PATH echo 7\r\n",
         {"a"},
         "1\n2\n3\n4\n5\n6\n7\n",
         "",
         0},
        {"if blocks over several lines with else",
         "if exist nope (\r\n  echo no\r\n) else (\r\n  echo yes\r\n  echo still\r\n)\r\nif exist sub (echo "
         "a) else "
         "(echo b)\r\n",
         {},
         "yes\nstill\na\n",
         "",
         0},
        {"goto skips; a label after it runs; goto :eof ends",
         "goto :here\r\necho skipped\r\n:here\r\necho here\r\n"
         "goto eof\r\necho never\r\n",
         {},
         "here\n",
         "",
         0},
        {"call of a label with arguments and exit /b",
         "call :sub one two\r\necho back %errorlevel%\r\ngoto :eof\r\n"
         ":sub\r\necho in %0 %1 %2\r\nexit /b 7\r\n",
         {},
         "in :sub one two\nback 7\n",
         "",
         7},
        {"call of a batch returns; without call control passes for good",
         "call callee.bat x\r\necho after %errorlevel%\r\nchained\r\necho never\r\n",
         {},
         "callee x\nafter 4\nchained\n",
         "",
         4},
        {"exit ends every batch with its code",
         "call :inner\r\necho never\r\n:inner\r\nexit 5\r\n",
         {},
         "",
         "",
         5},
        {"unknown program", "nothere -x\r\necho %errorlevel%\r\n", {}, "9009\n", "", 9009},
        {"&& and ||",
         "echo a && echo b\r\nnothere 2>nul || echo failed\r\nnothere 2>nul && echo no & echo next\r\n",
         {},
         "a \nb\nfailed\nnext\n",
         "",
         9009},
        {"setlocal ends with the batch",
         "set keep=1\r\nsetlocal\r\nset keep=2\r\nset tmp=3\r\nendlocal\r\n"
         "echo %keep%[%tmp%]\r\n",
         {},
         "1[]\n",
         "",
         0},
        {"rem and labels do nothing, a line may continue",
         "rem echo no > x.txt\r\n:: note\r\necho one ^\r\ntwo\r\n",
         {},
         "one two\n",
         "",
         0},
        {"a skipped && leaves the failure for ||",
         "nothere 2>nul && echo no || echo yes\r\necho x&& echo y|| echo no\r\n",
         {},
         "yes\nx\ny\n",
         "",
         9009},
        {"an escaped caret at the end does not continue the line",
         "echo a^^\r\necho b\r\necho c^^^\r\nd\r\n",
         {},
         "a^\nb\nc^d\n",
         "",
         0},
        {"if exist folder\\nul tests the folder",
         "if exist sub\\nul echo 1\r\nif exist nope\\nul echo no\r\nif not exist nope\\NUL echo 2\r\n",
         {},
         "1\n2\n",
         "",
         0},
        {"a block after if keeps its redirections; else takes the rest of the line",
         "if exist sub (echo c) >f3.txt\r\ntype f3.txt\r\n"
         "if exist nope (echo no) 2>&1 else (echo d) >f4.txt\r\ntype f4.txt\r\n"
         "if exist sub (echo e) else (echo no) & echo no\r\nif exist sub (echo f) & echo g\r\n",
         {},
         "c\r\nd\r\ne\nf\ng\n",
         "",
         0},
        {"rem, :: and if in a block end with their line",
         "if exist sub (\r\n  rem a note\r\n  echo one\r\n  :: another\r\n  if exist nope echo no\r\n"
         "  if exist sub (\r\n    echo two\r\n  )\r\n  echo three\r\n)\r\n",
         {},
         "one\ntwo\nthree\n",
         "",
         0},
        {"goto looks for the label after the current line first",
         "goto :x\r\n:x\r\necho one\r\nif defined done goto :eof\r\nset done=1\r\ngoto x\r\n"
         ":x\r\necho two\r\n",
         {},
         "one\ntwo\n",
         "",
         0},
        {"substring numbers out of range are not used; huge ones in range are held to the value",
         "set v=abcdef\r\necho %v:~1,99999999999999999999% %v:~99999999999999999999% "
         "%v:~-99999999999999999999,2% %v:~2,-99999999999999999999% %v:~1,9223372036854775807% "
         "%v:~-9223372036854775807,2% [%v:~3,-9223372036854775807%]\r\n",
         {},
         "bcdef abcdef ab cdef bcdef ab []\n",
         "",
         0},
        {"pause reads nothing when input ended",
         "pause\r\necho on\r\n",
         {},
         "Press any key to continue . . . \n",
         "",
         0},
    };
    for (const auto& c : cases) {
        const BatchRun r = run(c.text, c.args);
        std::string err = c.err;
        if (std::string(c.name) == "unknown program") err = "'nothere" + nr;
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.err, err) << c.name;
        EXPECT_EQ(r.code, c.code) << c.name;
    }
}

TEST_F(BatchLanguage, RecursionWithoutEndStopsAllBatchesInsteadOfOverflowingTheStack) {
    const std::string first = "******  B A T C H   R E C U R S I O N  exceeds STACK limits ******\n";
    const std::string last = "******       B A T C H   PROCESSING IS   A B O R T E D      ******\n";
    for (const char* text : {"call t.bat\r\necho never\r\n", "call :a\r\necho never\r\n:a\r\ncall :a\r\n"}) {
        const BatchRun r = run(text);
        EXPECT_EQ(r.out, "") << text;
        EXPECT_EQ(r.err.rfind(first + "Recursion Count=", 0), 0u) << text << r.err;
        EXPECT_TRUE(r.err.size() > last.size() && r.err.substr(r.err.size() - last.size()) == last) << r.err;
        EXPECT_EQ(r.code, 1) << text;
    }
    // So do blocks nested beyond any real batch.
    const BatchRun deep = runUnlimited(std::string(20000, '(') + "echo x" + std::string(20000, ')') + "\r\n");
    EXPECT_EQ(deep.out, "");
    EXPECT_EQ(deep.err.rfind(first, 0), 0u) << deep.err;
    EXPECT_EQ(deep.code, 1);
    // CALL CALL CALL ... nests too: it runs or stops the same way, but never takes the runner down.
    std::string calls;
    for (int i = 0; i < 20000; ++i)
        calls += "call ";
    const BatchRun r = runUnlimited(calls + "echo end\r\n");
    EXPECT_TRUE(r.out == "end\n" || r.err.rfind(first, 0) == 0) << r.out.substr(0, 100) << r.err;
}

TEST_F(BatchLanguage, LoopsAndLongLinesNeedNoDeeperStack) {
    // A batch that starts itself again without CALL takes its own place, as often as it likes.
    BatchRun r = run("set n=%n%x\r\nif \"%n:~2999,1%\"==\"\" t.bat\r\necho %n:~2995%\r\n");
    EXPECT_EQ(r.out, "xxxxx\n");
    EXPECT_EQ(r.err, "");
    std::string line;
    for (int i = 0; i < 50000; ++i)
        line += "set x=1&";
    r = runUnlimited(line + "echo done\r\n");
    EXPECT_EQ(r.out, "done\n");
    EXPECT_EQ(r.err, "");
}

// The command processor refuses a line over 8,191 characters, as read or once expanded; a variable
// that doubles itself stays at one line's length, and the batch goes on after the refusal.
TEST_F(BatchLanguage, LinesOverTheCommandProcessorsLimitAreRefused) {
    std::string doubling = "set X=0123456789abcdef\r\n";
    for (int i = 0; i < 40; ++i)
        doubling += "set X=%X%%X%\r\n";
    size_t longest = 0;
    drives.put("C:\\work\\t.bat", doubling + "echo still here\r\n");
    const BatchRun grown = runWith(
        [&](BatchInterpreter& bi) {
            const int code = bi.runFile("C:\\work\\t.bat", {});
            longest = bi.variable("X").size();
            return code;
        },
        {"PATH=C:\\tools"});
    EXPECT_EQ(longest, 4096u); // 16 doubled eight times; the ninth would make 8,198 with "set X="
    EXPECT_EQ(grown.out, "still here\n");
    std::string refusals;
    for (int i = 0; i < 32; ++i)
        refusals += "The input line is too long.\n";
    EXPECT_EQ(grown.err, refusals);

    const std::string fits = "echo " + std::string(BatchLimits::LineLimit - 5, 'y');
    EXPECT_EQ(run(fits + "\r\n").out, fits.substr(5) + "\n");
    const BatchRun read = run(fits + "y\r\necho next\r\n");
    EXPECT_EQ(read.out, "next\n");
    EXPECT_EQ(read.err, "The input line is too long.\n");
    const BatchRun line = runWith(
        [&](BatchInterpreter& bi) { return bi.runLine("echo %PATH%" + fits.substr(5)); }, {"PATH=C:\\tools"});
    EXPECT_EQ(line.err, "The input line is too long.\n");
}

TEST_F(BatchLanguage, EchoOnShowsEachCommandAfterThePrompt) {
    echo = true;
    const BatchRun r = run("echo hi\r\n@echo silent\r\nset x=%CD%\r\necho off\r\necho quiet\r\n");
    EXPECT_EQ(r.out,
              "\nC:\\work>echo hi\nhi\nsilent\n\nC:\\work>set x=C:\\work\n\nC:\\work>echo off\nquiet\n");
}

TEST_F(BatchLanguage, ChangesFolderAndDrive) {
    drives.dd.createDirs("C:\\work\\Sub\\deeper");
    const BatchRun r = run("cd sub\r\ncd\r\ncd ..\\sub\\DEEPER\r\necho %CD%\r\ncd nowhere\r\nz:\r\ncd\r\n"
                           "cd /d C:\\work\r\ncd\r\nC:\r\ncd..\r\ncd\r\nq:\r\n");
    EXPECT_EQ(r.out, "C:\\work\\sub\nC:\\work\\sub\\DEEPER\nZ:\\\nC:\\work\nC:\\\n");
    EXPECT_EQ(r.err,
              "The system cannot find the path specified.\nThe system cannot find the drive specified.\n");
    EXPECT_EQ(lastCwd, "C:\\");
}

TEST_F(BatchLanguage, RedirectionWritesFilesWithWindowsLineEnds) {
    drives.put("C:\\work\\in.txt", "typed line\r\nsecond\r\n");
    const BatchRun r =
        run("echo a> o.txt\r\necho b >>O.TXT\r\nnothere 2> err.txt\r\nnothere > both.txt 2>&1\r\n"
            "set /p got=< in.txt\r\necho %got%\r\ntype o.txt\r\necho x > C:\\missing\\f.txt\r\n"
            "del o.txt\r\nif not exist o.txt echo gone\r\necho x > E:\r\necho x >> e:\\f.txt\r\n"
            "type E:\\f.txt\r\n");
    EXPECT_EQ(file("C:\\work\\err.txt"),
              "'nothere" + std::string("' is not recognized as an internal or external "
                                       "command,\r\noperable program or batch file.\r\n"));
    EXPECT_EQ(file("C:\\work\\both.txt"), file("C:\\work\\err.txt"));
    EXPECT_EQ(r.out, "typed line\na\r\nb \r\ngone\n");
    const std::string noDrive = "The system cannot find the drive specified.\n";
    EXPECT_EQ(r.err, "The system cannot find the path specified.\n" + noDrive + noDrive +
                         "The system cannot find the file specified.\n");
    EXPECT_EQ(drives.dd.drives(), "CZ");
}

TEST_F(BatchLanguage, DeletingEveryFileOfAFolderAsksFirst) {
    drives.put("C:\\work\\a.txt", "a");
    drives.put("C:\\work\\sub\\b.txt", "b");
    const BatchRun r = run("del *.*\r\nif exist a.txt echo kept\r\n"
                           "del sub\\*\r\nif not exist sub\\b.txt echo gone\r\n"
                           "del /q *\r\nif not exist a.txt echo quiet\r\nmd q:\\new\r\n",
                           {}, {}, "n\ny\n");
    EXPECT_EQ(r.out,
              "C:\\work\\*, Are you sure (Y/N)? kept\nC:\\work\\sub\\*, Are you sure (Y/N)? gone\nquiet\n");
    EXPECT_EQ(r.err, "The system cannot find the path specified.\n");
    EXPECT_EQ(drives.dd.drives().find('Q'), std::string::npos);
}

TEST_F(BatchLanguage, NoOutputIsLostOnANonBlockingPipe) {
    const std::string big(1 << 20, 'x');
    drives.put("C:\\work\\big.txt", big);
    drives.put("C:\\work\\t.bat", "@type big.txt\r\n@echo end\r\n");
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    ASSERT_EQ(::fcntl(out[1], F_SETFL, O_NONBLOCK), 0);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    std::string got;
    std::thread reader([&] { got = drain(out[0]); });
    {
        BatchInterpreter bi(drives.dd, {"PATH=C:\\tools"}, {in, out[1], out[1]});
        bi.runFile("C:\\work\\t.bat", {});
    }
    ::close(out[1]);
    reader.join();
    ::close(out[0]);
    ::close(in);
    EXPECT_EQ(got, big + "end\n");
}

TEST_F(BatchLanguage, PauseTakesOneKeyFromItsInput) {
    const BatchRun r = run("pause\r\nset /p rest=\r\necho [%rest%]\r\n", {}, {}, "kept\n");
    EXPECT_EQ(r.out, "Press any key to continue . . . \n[ept]\n");
}

} // namespace
} // namespace halyard::test
