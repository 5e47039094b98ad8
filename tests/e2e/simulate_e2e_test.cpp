// SPDX-License-Identifier: GPL-3.0-or-later
// halyard-build simulate on executables written as the tool chain's linker writes them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "core/sim/program_builder.h"
#include "run_program.h"
#include "tms370/coff.h"

namespace halyard::test {
namespace {

namespace fs = std::filesystem;
using sim::test::Code;
using sim::test::K;

class Simulate : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("halyard-sim-" + std::to_string(rd()));
        fs::create_directories(dir / "data");
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "data").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // An executable with the code at 7000h and the reset vector pointing there.
    std::string write(const std::string& name, const Code& code) {
        tms370::CoffFile f;
        f.flags = tms370::kFileExecutable;
        f.entry = 0x7000;
        tms370::CoffSection text;
        text.name = ".text";
        text.physical = text.address = 0x7000;
        const auto bytes = code.finish();
        text.data.assign(bytes.begin(), bytes.end());
        text.size = static_cast<uint32_t>(bytes.size());
        text.flags = tms370::kSectText;
        tms370::CoffSection vecs;
        vecs.name = ".reset";
        vecs.physical = vecs.address = 0x7FFE;
        vecs.data = std::string("\x70\x00", 2);
        vecs.size = 2;
        vecs.flags = tms370::kSectData;
        f.sections = {text, vecs};
        return put(name, tms370::WriteCoff(f));
    }
    std::string put(const std::string& name, const std::string& bytes) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    Result simulate(std::vector<std::string> args) { return RunProgram(dir, "halyard-build", args); }

    fs::path dir;
};

Code SumLoop() {
    Code c(0x7000);
    c.op("CLR", {K::A})
        .op("MOV", {K::Imm8, K::B}, {10})
        .label("loop")
        .op("ADD", {K::B, K::A})
        .op("DJNZ", {K::B}, {}, "loop")
        .op("MOV", {K::A, K::Reg}, {10})
        .op("IDLE");
    return c;
}

TEST_F(Simulate, RunsToIdleAndPrintsTheStateAndTheDumps) {
    const std::string out = write("sum.out", SumLoop());
    const Result r = simulate({"simulate", out, "--dump", "000Ah,2", "--dump", "0x7000,18"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "A=37 B=00 SP=01 ST=00 PC=7009 cycles=205\n"
                     "000A: 37 00\n"
                     "7000: B5 52 0A 68 CA FD D0 0A F6 FF FF FF FF FF FF FF\n"
                     "7010: FF FF\n");
}

TEST_F(Simulate, TraceShowsEachInstructionWithTheRegistersAfterIt) {
    const std::string out = write("sum.out", SumLoop());
    const Result r = simulate({"simulate", out, "--trace", "--max-cycles", "20"});
    EXPECT_EQ(r.code, 1);
    const auto first = r.out.substr(0, r.out.find('\n'));
    EXPECT_EQ(first.rfind("7000: B5", 0), 0u) << first;
    EXPECT_NE(first.find("CLR"), std::string::npos) << first;
    EXPECT_NE(first.find("A=00 B=00 SP=01"), std::string::npos) << first;
}

TEST_F(Simulate, AnEndlessJumpStopsAtTheCycleLimitWithExitOne) {
    Code c(0x7000);
    c.label("self").op("JMP", {}, {}, "self");
    const std::string out = write("loop.out", c);
    const Result r = simulate({"simulate", out, "--max-cycles", "70"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "A=00 B=00 SP=01 ST=00 PC=7000 cycles=70\n");
    EXPECT_NE(r.err.find("cycle limit of 70 cycles"), std::string::npos) << r.err;
}

TEST_F(Simulate, ABreakpointEndsTheRunWithExitZero) {
    const std::string out = write("sum.out", SumLoop());
    const Result r = simulate({"simulate", out, "--break", "28675"}); // 7003h, the loop
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("A=00 B=0A SP=01 ST=00 PC=7003 ", 0), 0u) << r.out;
}

TEST_F(Simulate, FilesThatAreNoExecutableAndBadArgumentsExitTwo) {
    const Result missing = simulate({"simulate", (dir / "nothing.out").string()});
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("nothing.out"), std::string::npos) << missing.err;
    const std::string text = put("notes.out", "just some text, no COFF header here\n");
    const Result notCoff = simulate({"simulate", text});
    EXPECT_EQ(notCoff.code, 2);
    EXPECT_NE(notCoff.err.find("notes.out: not a TMS370 executable"), std::string::npos) << notCoff.err;
    EXPECT_EQ(notCoff.out, "");
    // A file far larger than any executable is refused without being read whole.
    {
        std::ofstream big(dir / "big.out", std::ios::binary);
        big.seekp(40 * 1024 * 1024);
        big.put('\0');
    }
    const Result tooBig = simulate({"simulate", (dir / "big.out").string()});
    EXPECT_EQ(tooBig.code, 2);
    EXPECT_NE(tooBig.err.find("big.out: larger than 16 MB"), std::string::npos) << tooBig.err;
    const std::string out = write("sum.out", SumLoop());
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"simulate", out, "--dump", "10000h,1"},
          {"simulate", out, "--dump", "12"},
          {"simulate", out, "--break", "zz"},
          {"simulate", out, "--max-cycles"},
          {"simulate"},
          {"simulate", out, "--device", "tms9900"}}) {
        const Result r = simulate(bad);
        EXPECT_EQ(r.code, 2) << bad.back();
        EXPECT_NE(r.err.find("usage: halyard-build simulate"), std::string::npos) << r.err;
    }
}

// Programs in assembly, built by the stand-in asm370 and lnk370 as a project's build builds them.
class SimulateAssembled : public Simulate {
protected:
    // Assembles source, links it with the code at 7000h, the TRAP vectors at 7FC0h and the
    // interrupt vectors at 7FE0h; the path of the executable.
    std::string build(const std::string& source) {
        put("prog.asm", source);
        const std::string d = dir.string() + "/";
        put("lnk.cmd",
            d + "prog.obj\n-o " + d + "prog.out\n-m " + d +
                "prog.map\n"
                "MEMORY\n{\n    ROM  : origin = 7000h, length = 0FC0h\n"
                "    TRAPS : origin = 7FC0h, length = 20h\n    VECS : origin = 7FE0h, length = 20h\n}\n"
                "SECTIONS\n{\n    .text : > ROM\n    .data : > ROM\n    .traps : > TRAPS\n"
                "    .vecs : > VECS\n}\n");
        const Result a = RunProgram(dir, "asm370", {(dir / "prog.asm").string()});
        EXPECT_EQ(a.code, 0) << a.out << a.err;
        const Result l = RunProgram(dir, "lnk370", {(dir / "lnk.cmd").string()});
        EXPECT_EQ(l.code, 0) << l.out << l.err;
        return (dir / "prog.out").string();
    }
};

const char* const Vectors = R"(
        .sect   ".vecs"
        .space  30
        .word   start           ; 7FFEh: reset
)";

TEST_F(SimulateAssembled, ProgramsWithKnownResultsRunToIdle) {
    const struct {
        const char* what;
        std::string source;
        std::vector<std::string> dumps;
        std::string state; // the final line up to " cycles="
        std::string dumped;
    } cases[] = {
        {"sum of 10 down to 1",
         R"(        .text
start:  CLR     A
        MOV     #10,B
loop:   ADD     B,A
        DJNZ    B,loop
        MOV     A,R10
        IDLE
)",
         {"000Ah,1"},
         "A=37 B=00 SP=01 ST=00 PC=7009",
         "000A: 37\n"},
        {"multiplication",
         R"(        .text
start:  MOV     #200,A
        MPY     #150,A
        MOVW    #1234h,R5
        MOV     #12h,R20
        MPY     R20,B           ; 30h * 12h = 0360h
        IDLE
)",
         {"4,2"},
         "A=03 B=60 SP=01 ST=00 PC=700E",
         "0004: 12 34\n"},
        {"BCD arithmetic",
         R"(        .text
start:  CLRC
        MOV     #19h,A
        DAC     #28h,A          ; 47
        MOV     A,R10
        MOV     #99h,A
        DAC     #01h,A          ; 00, carry
        MOV     A,R11
        SETC
        MOV     #00h,A
        DSB     #01h,A          ; 99, borrow
        MOV     A,R12
        IDLE
)",
         {"10,3"},
         "A=99 B=00 SP=01 ST=40 PC=7015",
         "000A: 47 00 99\n"},
        {"CALL, RTS and the stack",
         R"(        .text
start:  MOV     #5,A
        CALL    double
        CALL    double
        IDLE
double: PUSH    A
        POP     B
        ADD     B,A
        RTS
)",
         {"2,3"},
         "A=14 B=0A SP=01 ST=00 PC=7009",
         "0002: 70 08 0A\n"},
        {"TRAP through its vector",
         R"(        .text
start:  MOV     #1,A
        TRAP    3
        INC     A
        IDLE
handler: MOV    #40h,A
        RTS
        .sect   ".traps"
        .space  24
        .word   handler         ; 7FD8h: TRAP 3
)",
         {},
         "A=41 B=00 SP=01 ST=00 PC=7005",
         ""},
        {"table read with indexed addressing",
         R"(        .text
start:  MOV     #2,B
        MOV     table(B),A
        MOV     A,R10
        MOVW    #table,R5
        MOV     @R5,A
        MOV     A,R11
        MOV     3(R5),A
        MOV     A,R12
        IDLE
        .data
table:  .byte   10h,20h,30h,40h
)",
         {"10,3"},
         "A=40 B=02 SP=01 ST=00 PC=7016",
         "000A: 30 10 40\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string out = build(c.source + Vectors);
        std::vector<std::string> args{"simulate", out};
        for (const auto& d : c.dumps) {
            args.push_back("--dump");
            args.push_back(d);
        }
        const Result r = simulate(args);
        EXPECT_EQ(r.code, 0) << r.err;
        const auto eol = r.out.find('\n');
        EXPECT_EQ(r.out.substr(0, r.out.find(" cycles=")), c.state) << r.out;
        EXPECT_EQ(eol == std::string::npos ? "" : r.out.substr(eol + 1), c.dumped);
    }
}

TEST_F(SimulateAssembled, AnEndlessJumpStopsAtMaxCyclesWithExitOne) {
    const std::string out = build("        .text\nstart:  JMP     start\n" + std::string(Vectors));
    const Result r = simulate({"simulate", out, "--max-cycles", "1000"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "A=00 B=00 SP=01 ST=00 PC=7000 cycles=1001\n");
    EXPECT_NE(r.err.find("prog.out: stopped at the cycle limit of 1000 cycles"), std::string::npos) << r.err;
}

} // namespace
} // namespace halyard::test
