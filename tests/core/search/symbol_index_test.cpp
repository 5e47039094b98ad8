// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "search/symbol_index.h"
#include "support/fakes.h"

using namespace halyard;

namespace {

void settle(const SymbolIndex& index) {
    for (int i = 0; i < 1000 && index.busy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace

TEST(SymbolIndex, TagLinesGiveNameWindowsFileLineKindAndScope) {
    const auto symbols =
        SymbolIndex::ParseTags("!_TAG_FILE_FORMAT\t2\t/x/\n"
                               "leds_show\t/h/leds.c\t10;\"\tfunction\tline:10\ttyperef:typename:void\n"
                               "x\t/h/leds.c\t3;\"\tmember\tline:3\tstruct:point\tfile:\n"
                               "broken line\n",
                               {{"/h/leds.c", "C:\\demo\\leds.c"}});
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[0].name, "leds_show");
    EXPECT_EQ(symbols[0].file, "C:\\demo\\leds.c");
    EXPECT_EQ(symbols[0].line, 10);
    EXPECT_EQ(symbols[0].kind, "function");
    EXPECT_FALSE(symbols[0].local);
    EXPECT_EQ(symbols[1].scope, "struct:point");
    EXPECT_TRUE(symbols[1].local);
}

// With the real ctags: C and assembler files, the included headers, a saved file read again.
TEST(SymbolIndex, CtagsIndexesSourcesTheirHeadersAndAssemblerAndFollowsASavedFile) {
    const std::string ctags = SymbolIndex::FindCtags();
    if (ctags.empty()) GTEST_SKIP() << SymbolIndex::MissingCtagsText;
    test::TempDrives t;
    t.put("C:\\p\\main.c",
          "#include \"demo.h\"\n#include <lib.h>\nstatic int count;\nint main(void)\n{\n  return 0;\n}\n");
    t.put("C:\\p\\demo.h", "#define LEDS 8\nvoid leds_show(int p);\n");
    t.put("C:\\hdr\\lib.h", "typedef unsigned char byte;\n");
    t.put("C:\\hdr\\unused.h", "int never;\n");
    t.put("C:\\p\\vecs.asm", "\t.sect \".vecs\"\nreset:\t.word 0\n");
    t.put("C:\\p\\other.c", "static int count;\n");
    const auto files = SymbolIndex::FilesToIndex(t.dd, {"C:\\p\\main.c", "C:\\p\\other.c"}, {"C:\\hdr"});
    EXPECT_EQ(files, (std::vector<std::string>{"C:\\p\\main.c", "C:\\p\\other.c", "C:\\p\\vecs.asm",
                                               "C:\\p\\demo.h", "C:\\hdr\\lib.h"}));
    std::vector<std::pair<std::string, std::string>> named;
    for (const auto& f : files)
        named.emplace_back(f, t.dd.toHost(f).string());
    SymbolIndex index(ctags);
    index.rebuild(named);
    settle(index);
    auto found = index.definitions("main");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].file, "C:\\p\\main.c");
    EXPECT_EQ(found[0].line, 4);
    EXPECT_EQ(index.definitions("byte").at(0).kind, "typedef");
    EXPECT_EQ(index.definitions("LEDS").at(0).kind, "macro");
    EXPECT_EQ(index.definitions("reset").at(0).kind, "label");
    EXPECT_EQ(index.definitions(".vecs").at(0).kind, "section");
    EXPECT_TRUE(index.definitions("never").empty());
    // A static of each file: the one of the file asked from.
    found = index.definitions("count", "C:\\p\\other.c");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].file, "C:\\p\\other.c");
    EXPECT_EQ(index.startingWith("ma").at(0).name, "main");

    const auto before = index.generation();
    t.put("C:\\p\\other.c", "\n\nint renamed;\n");
    index.update({"C:\\p\\other.c", t.dd.toHost("C:\\p\\other.c").string()});
    settle(index);
    EXPECT_GT(index.generation(), before);
    ASSERT_EQ(index.inFile("c:\\P\\OTHER.C").size(), 1u);
    EXPECT_EQ(index.inFile("C:\\p\\other.c")[0].line, 3);
    EXPECT_EQ(index.definitions("count").size(), 1u) << "the old symbols of the file are gone";

    // The same files found by the worker itself, the include walk off the caller's thread.
    SymbolIndex walked(ctags);
    walked.rebuild(t.dd, {"C:\\p\\main.c", "C:\\p\\other.c"}, {"C:\\hdr"});
    settle(walked);
    EXPECT_EQ(walked.definitions("byte").at(0).file, "C:\\hdr\\lib.h");
    EXPECT_EQ(walked.definitions("reset").at(0).file, "C:\\p\\vecs.asm");
}

// Without Universal Ctags the index is empty and says so; another program called ctags (an
// Exuberant Ctags, a script) is not taken for it.
TEST(SymbolIndex, WithoutUniversalCtagsNothingIsIndexedAndNothingBreaks) {
    const char* old = std::getenv("HALYARD_CTAGS");
    const std::string saved = old ? old : "";
    ::setenv("HALYARD_CTAGS", "/bin/true", 1);
    EXPECT_EQ(SymbolIndex::FindCtags(), "");
    ::setenv("HALYARD_CTAGS", "halyard-no-such-ctags", 1);
    EXPECT_EQ(SymbolIndex::FindCtags(), "");
    old ? ::setenv("HALYARD_CTAGS", saved.c_str(), 1) : ::unsetenv("HALYARD_CTAGS");

    SymbolIndex index("");
    EXPECT_FALSE(index.available());
    index.rebuild({{"C:\\a.c", "/nonexistent/a.c"}});
    index.update({"C:\\a.c", "/nonexistent/a.c"});
    EXPECT_FALSE(index.busy());
    EXPECT_TRUE(index.definitions("main").empty());
    EXPECT_TRUE(std::string(SymbolIndex::MissingCtagsText).find("apt install universal-ctags") !=
                std::string::npos);
}

// What a project brings cannot steer ctags: a name that reads as an option is never handed over, ctags
// runs in a folder of Halyard's, and pipes and sparse giants (named or included) are left out.
TEST(SymbolIndex, NamesPipesAndGiantsOfAProjectCannotSteerCtags) {
    const std::string ctags = SymbolIndex::FindCtags();
    if (ctags.empty()) GTEST_SKIP() << SymbolIndex::MissingCtagsText;
    test::TempDrives t;
    const auto main = t.put("C:\\p\\main.c", "#include \"huge.h\"\n#include \"pipe.h\"\nint marker_abc;\n");
    const auto dir = main.parent_path();
    t.put("C:\\p\\opts.ctags", "--regex-C=/^int marker_([a-z]+)/INJECTED_\\1/d/\n");
    const std::string trap = "0\r--options=opts.ctags\r.asm";
    t.put("C:\\p\\" + trap, "trap:\t.word 0\n");
    std::filesystem::resize_file(t.put("C:\\p\\huge.h", "int huge;\n"), std::uintmax_t(3) << 30);
    ASSERT_EQ(::mkfifo((dir / "pipe.h").c_str(), 0600), 0);

    const auto files = SymbolIndex::FilesToIndex(t.dd, {"C:\\p\\main.c"}, {});
    std::vector<std::pair<std::string, std::string>> named;
    for (const auto& f : files)
        named.emplace_back(f, t.dd.toHost(f).string());
    ASSERT_EQ(named.size(), 3u) << "main.c, the trap (an .asm beside it) and huge.h; no pipe";
    const auto scan = SymbolIndex::Scan(ctags, named);
    std::vector<std::string> names;
    for (const Symbol& s : scan.symbols)
        names.push_back(s.name);
    EXPECT_EQ(names, std::vector<std::string>{"marker_abc"});
    ASSERT_EQ(scan.problems.size(), 2u);
    EXPECT_EQ(scan.problems[0], "C:\\p\\" + trap + ": a file name ctags cannot be given");
    EXPECT_EQ(scan.problems[1], "C:\\p\\huge.h: larger than 8 MB");
}

// A ctags that crashes on one source and hangs on another: the rest is indexed, both are named, and
// quitting while it hangs does not wait for it.
TEST(SymbolIndex, ACrashOrAHangOfCtagsCostsOnlyItsOwnFile) {
    test::TempDrives t;
    const auto fake = t.put("C:\\bin\\ctags",
                            "#!/bin/sh\n"
                            "while [ $# -gt 0 ]; do\n"
                            "  case \"$1\" in -L) list=$2; shift;; -f) out=$2; shift;; esac\n"
                            "  shift\n"
                            "done\n"
                            ": > \"$out\"\n"
                            "while read -r f; do\n"
                            "  grep -q CRASH \"$f\" && kill -SEGV $$\n"
                            "  grep -q HANG \"$f\" && sleep 60\n"
                            "  printf '%s\\t%s\\t1;\"\\tf\\n' \"$(head -c 5 \"$f\")\" \"$f\" >> \"$out\"\n"
                            "done < \"$list\"\n");
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    std::vector<std::pair<std::string, std::string>> named;
    for (const char* text : {"alpha", "CRASH", "gamma", "HANG!", "omega"}) {
        const std::string name = std::string("C:\\p\\") + text + ".c";
        named.emplace_back(name, t.put(name, text).string());
    }
    const auto scan = SymbolIndex::Scan(fake.string(), named, std::chrono::milliseconds(500));
    std::vector<std::string> names;
    for (const Symbol& s : scan.symbols)
        names.push_back(s.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "gamma", "omega"}));
    ASSERT_EQ(scan.problems.size(), 2u);
    EXPECT_EQ(scan.problems[0].rfind("C:\\p\\CRASH.c: ctags failed", 0), 0u) << scan.problems[0];
    EXPECT_EQ(scan.problems[1].rfind("C:\\p\\HANG!.c: ctags failed", 0), 0u) << scan.problems[1];

    {
        SymbolIndex index(fake.string());
        index.timeLimit = std::chrono::minutes(5);
        index.rebuild({named[3]});
        while (!index.busy())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } // ends the hanging ctags instead of waiting five minutes for it
}
