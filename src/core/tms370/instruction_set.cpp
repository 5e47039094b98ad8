// SPDX-License-Identifier: GPL-3.0-or-later
#include "tms370/instruction_set.h"

#include <algorithm>

namespace halyard::tms370 {

namespace {

using K = Operand;
constexpr std::uint8_t C = kFlagC, N = kFlagN, Z = kFlagZ, V = kFlagV;
constexpr std::uint8_t NZ = N | Z, CNZ = C | N | Z, CNZV = C | N | Z | V, ALL = 0xFF;

// The two-operand group shares one layout: the low nibble names the operation, the high nibble
// the addressing (1 Rs,A  2 #n,A  3 Rs,B  4 Rs,Rd  5 #n,B  6 B,A  7 #n,Rd).
struct DualOp {
    Op op;
    const char* mnemonic;
    std::uint8_t column;
    std::uint8_t flags;
    std::uint8_t extraCycles; // over the plain ALU timing below
    bool jumps;               // BTJO/BTJZ carry a jump offset after the operands
};
constexpr DualOp kDualOps[] = {
    {Op::Mov, "MOV", 0x2, NZ, 0, false},    {Op::And, "AND", 0x3, NZ, 0, false},
    {Op::Or, "OR", 0x4, NZ, 0, false},      {Op::Xor, "XOR", 0x5, NZ, 0, false},
    {Op::Btjo, "BTJO", 0x6, NZ, 2, true},   {Op::Btjz, "BTJZ", 0x7, NZ, 2, true},
    {Op::Add, "ADD", 0x8, CNZV, 0, false},  {Op::Adc, "ADC", 0x9, CNZV, 0, false},
    {Op::Sub, "SUB", 0xA, CNZV, 0, false},  {Op::Sbb, "SBB", 0xB, CNZV, 0, false},
    {Op::Mpy, "MPY", 0xC, CNZV, 39, false}, {Op::Cmp, "CMP", 0xD, CNZV, 0, false},
    {Op::Dac, "DAC", 0xE, CNZV, 2, false},  {Op::Dsb, "DSB", 0xF, CNZV, 2, false},
};
struct DualMode {
    std::uint8_t row;
    Operand src, dst;
    std::uint8_t cycles;
};
constexpr DualMode kDualModes[] = {
    {0x10, K::Reg, K::A, 7},  {0x20, K::Imm8, K::A, 6}, {0x30, K::Reg, K::B, 7},    {0x40, K::Reg, K::Reg, 9},
    {0x50, K::Imm8, K::B, 6}, {0x60, K::B, K::A, 8},    {0x70, K::Imm8, K::Reg, 8},
};

// The one-operand group: rows B (A), C (B) and D (Rn), the low nibble names the operation.
struct SingleOp {
    Op op;
    const char* mnemonic;
    std::uint8_t column;
    std::uint8_t flags;
    std::uint8_t cyclesAB, cyclesRn;
};
constexpr SingleOp kSingleOps[] = {
    {Op::Dec, "DEC", 0x2, CNZV, 8, 6},    {Op::Inc, "INC", 0x3, CNZV, 8, 6},
    {Op::Inv, "INV", 0x4, NZ, 8, 6},      {Op::Clr, "CLR", 0x5, NZ, 8, 6},
    {Op::Xchb, "XCHB", 0x6, NZ, 10, 8},   {Op::Swap, "SWAP", 0x7, NZ, 11, 8},
    {Op::Push, "PUSH", 0x8, NZ, 9, 7},    {Op::Pop, "POP", 0x9, NZ, 9, 7},
    {Op::Decd, "DECD", 0xB, CNZV, 11, 9}, {Op::Rr, "RR", 0xC, CNZ, 8, 6},
    {Op::Rrc, "RRC", 0xD, CNZ, 8, 6},     {Op::Rl, "RL", 0xE, CNZ, 8, 6},
    {Op::Rlc, "RLC", 0xF, CNZ, 8, 6},
};

// Conditional jumps, 00h to 0Fh. JHS and JLO have their own opcodes beside JC and JNC.
struct Jump {
    const char* mnemonic;
    std::uint8_t opcode;
    Cond cond;
};
constexpr Jump kJumps[] = {
    {"JN", 0x01, Cond::N},   {"JZ", 0x02, Cond::Z},   {"JEQ", 0x02, Cond::Z},  {"JC", 0x03, Cond::C},
    {"JP", 0x04, Cond::P},   {"JPZ", 0x05, Cond::Pz}, {"JNZ", 0x06, Cond::Nz}, {"JNE", 0x06, Cond::Nz},
    {"JNC", 0x07, Cond::Nc}, {"JV", 0x08, Cond::V},   {"JL", 0x09, Cond::L},   {"JLE", 0x0A, Cond::Le},
    {"JHS", 0x0B, Cond::Hs}, {"JNV", 0x0C, Cond::Nv}, {"JGE", 0x0D, Cond::Ge}, {"JG", 0x0E, Cond::G},
    {"JLO", 0x0F, Cond::Lo},
};

constexpr Alias kAliases[] = {
    {"EINT", "LDST", "#0Ch"},
    {"EINTH", "LDST", "#04h"},
    {"EINTL", "LDST", "#08h"},
    {"DINT", "LDST", "#00h"},
};

int lengthOf(std::uint8_t prefix, const std::array<Operand, 3>& ops) {
    int n = prefix ? 2 : 1;
    for (auto k : ops)
        n += FieldSize(k);
    return n;
}

Instruction row(Op op, const char* m, std::uint8_t prefix, std::uint8_t opcode, std::array<Operand, 3> ops,
                int cycles, std::uint8_t flags, int taken = 0) {
    Instruction i{op,
                  m,
                  prefix,
                  opcode,
                  ops,
                  static_cast<std::uint8_t>(lengthOf(prefix, ops)),
                  static_cast<std::uint8_t>(cycles),
                  static_cast<std::uint8_t>(taken ? taken : cycles),
                  flags};
    return i;
}

std::vector<Instruction> buildTable() {
    std::vector<Instruction> t;
    auto add = [&](Op op, const char* m, std::uint8_t opcode, std::array<Operand, 3> ops, int cycles,
                   std::uint8_t flags,
                   int taken = 0) { t.push_back(row(op, m, 0, opcode, ops, cycles, flags, taken)); };
    auto add2 = [&](Op op, const char* m, std::uint8_t opcode, std::array<Operand, 3> ops, int cycles,
                    std::uint8_t flags) { t.push_back(row(op, m, kPagePrefix, opcode, ops, cycles, flags)); };

    // 00h-0Fh: jumps.
    add(Op::Jmp, "JMP", 0x00, {K::Rel8}, 7, 0);
    for (const auto& j : kJumps) {
        add(Op::Jcc, j.mnemonic, j.opcode, {K::Rel8}, 5, 0, 7);
        t.back().cond = j.cond;
    }
    // 10h-7Fh: the two-operand group, and the peripheral moves and INCW in its free columns.
    for (const auto& d : kDualOps)
        for (const auto& m : kDualModes) {
            std::array<Operand, 3> ops{m.src, m.dst, d.jumps ? K::Rel8 : K::None};
            const int cycles = m.cycles + d.extraCycles;
            add(d.op, d.mnemonic, m.row | d.column, ops, cycles, d.flags, d.jumps ? cycles + 2 : 0);
        }
    add(Op::Mov, "MOV", 0x21, {K::A, K::Periph}, 8, NZ);
    add(Op::Mov, "MOV", 0x51, {K::B, K::Periph}, 8, NZ);
    add(Op::Mov, "MOV", 0x71, {K::Reg, K::Periph}, 8, NZ);
    add(Op::Incw, "INCW", 0x70, {K::Imm8, K::Reg}, 11, CNZV);
    // 80h-AFh: peripheral file operations, then the 16-bit address modes (direct, @Rp, nnnn(B)).
    add(Op::Mov, "MOV", 0x80, {K::Periph, K::A}, 8, NZ);
    add(Op::Mov, "MOV", 0x91, {K::Periph, K::B}, 7, NZ);
    add(Op::Mov, "MOV", 0xA2, {K::Periph, K::Reg}, 8, NZ);
    const struct {
        Op op;
        const char* m;
        std::uint8_t column;
        std::uint8_t flags;
        bool jumps;
    } periphOps[] = {{Op::And, "AND", 3, NZ, false},
                     {Op::Or, "OR", 4, NZ, false},
                     {Op::Xor, "XOR", 5, NZ, false},
                     {Op::Btjo, "BTJO", 6, NZ, true},
                     {Op::Btjz, "BTJZ", 7, NZ, true}};
    for (const auto& p : periphOps) {
        const K rel = p.jumps ? K::Rel8 : K::None;
        const int j = p.jumps ? 1 : 0;
        add(p.op, p.m, 0x80 | p.column, {K::A, K::Periph, rel}, 9 + j, p.flags, j ? 12 : 0);
        add(p.op, p.m, 0x90 | p.column, {K::B, K::Periph, rel}, 9 + j, p.flags, j ? 12 : 0);
        add(p.op, p.m, 0xA0 | p.column, {K::Imm8, K::Periph, rel}, 10 + j, p.flags, j ? 13 : 0);
    }
    add(Op::Movw, "MOVW", 0x88, {K::Imm16, K::Reg}, 13, NZ);
    add(Op::Movw, "MOVW", 0x98, {K::Reg, K::Reg}, 12, NZ);
    add(Op::Movw, "MOVW", 0xA8, {K::Imm16IndexB, K::Reg}, 15, NZ);
    add(Op::Jmpl, "JMPL", 0x89, {K::Rel16}, 9, 0);
    add(Op::Jmpl, "JMPL", 0x99, {K::Indirect}, 8, 0);
    add(Op::Jmpl, "JMPL", 0xA9, {K::Rel16IndexB}, 11, 0);
    add(Op::Mov, "MOV", 0x8A, {K::Direct, K::A}, 10, NZ);
    add(Op::Mov, "MOV", 0x9A, {K::Indirect, K::A}, 9, NZ);
    add(Op::Mov, "MOV", 0xAA, {K::IndexB, K::A}, 12, NZ);
    add(Op::Mov, "MOV", 0x8B, {K::A, K::Direct}, 10, NZ);
    add(Op::Mov, "MOV", 0x9B, {K::A, K::Indirect}, 9, NZ);
    add(Op::Mov, "MOV", 0xAB, {K::A, K::IndexB}, 12, NZ);
    add(Op::Br, "BR", 0x8C, {K::Direct}, 9, 0);
    add(Op::Br, "BR", 0x9C, {K::Indirect}, 8, 0);
    add(Op::Br, "BR", 0xAC, {K::IndexB}, 11, 0);
    add(Op::Cmp, "CMP", 0x8D, {K::Direct, K::A}, 11, CNZV);
    add(Op::Cmp, "CMP", 0x9D, {K::Indirect, K::A}, 10, CNZV);
    add(Op::Cmp, "CMP", 0xAD, {K::IndexB, K::A}, 12, CNZV);
    add(Op::Call, "CALL", 0x8E, {K::Direct}, 13, 0);
    add(Op::Call, "CALL", 0x9E, {K::Indirect}, 12, 0);
    add(Op::Call, "CALL", 0xAE, {K::IndexB}, 15, 0);
    add(Op::Callr, "CALLR", 0x8F, {K::Rel16}, 15, 0);
    add(Op::Callr, "CALLR", 0x9F, {K::Indirect}, 14, 0);
    add(Op::Callr, "CALLR", 0xAF, {K::Rel16IndexB}, 17, 0);
    // B0h-DFh: one-operand instructions on A, B and Rn.
    add(Op::Tst, "TST", 0xB0, {K::A}, 9, CNZV);
    add(Op::Tst, "CLRC", 0xB0, {}, 9, CNZV);
    add(Op::Mov, "MOV", 0xC0, {K::A, K::B}, 9, NZ);
    add(Op::Mov, "MOV", 0xD0, {K::A, K::Reg}, 7, NZ);
    add(Op::Mov, "MOV", 0xD1, {K::B, K::Reg}, 7, NZ);
    for (const auto& s : kSingleOps) {
        add(s.op, s.mnemonic, 0xB0 | s.column, {K::A}, s.cyclesAB, s.flags);
        if (s.op == Op::Xchb) add(Op::Tst, "TST", 0xC6, {K::B}, 10, CNZV);
        add(s.op, s.mnemonic, 0xC0 | s.column, {K::B}, s.cyclesAB, s.flags);
        add(s.op, s.mnemonic, 0xD0 | s.column, {K::Reg}, s.cyclesRn, s.flags);
    }
    add(Op::Djnz, "DJNZ", 0xBA, {K::A, K::Rel8}, 8, 0, 10);
    add(Op::Djnz, "DJNZ", 0xCA, {K::B, K::Rel8}, 8, 0, 10);
    add(Op::Djnz, "DJNZ", 0xDA, {K::Reg, K::Rel8}, 10, 0, 12);
    // E0h-EFh: TRAP 15 down to TRAP 0.
    for (int n = 15; n >= 0; --n) {
        add(Op::Trap, "TRAP", static_cast<std::uint8_t>(0xEF - n), {K::TrapNumber}, 14, 0);
        t.back().trap = static_cast<std::uint8_t>(n);
    }
    // F0h-FFh: status and stack control, IDLE, NOP.
    add(Op::Ldst, "LDST", 0xF0, {K::Imm8}, 6, ALL);
    add(Op::Idle, "IDLE", 0xF6, {}, 6, 0);
    add(Op::Mov, "MOV", 0xF7, {K::Imm8, K::Periph}, 10, NZ);
    add(Op::Setc, "SETC", 0xF8, {}, 7, CNZV);
    add(Op::Rts, "RTS", 0xF9, {}, 9, 0);
    add(Op::Rti, "RTI", 0xFA, {}, 12, ALL);
    add(Op::Push, "PUSH", 0xFB, {K::St}, 8, 0);
    add(Op::Pop, "POP", 0xFC, {K::St}, 8, ALL);
    add(Op::Ldsp, "LDSP", 0xFD, {}, 7, 0);
    add(Op::Stsp, "STSP", 0xFE, {}, 7, 0);
    add(Op::Nop, "NOP", 0xFF, {}, 7, 0);
    // F4h xx: the offset mode n(Rp) of the 16-bit address group, and DIV.
    add2(Op::Movw, "MOVW", 0xE8, {K::Offset, K::Reg}, 15, NZ);
    add2(Op::Jmpl, "JMPL", 0xE9, {K::Offset}, 16, 0);
    add2(Op::Mov, "MOV", 0xEA, {K::Offset, K::A}, 17, NZ);
    add2(Op::Mov, "MOV", 0xEB, {K::A, K::Offset}, 16, NZ);
    add2(Op::Br, "BR", 0xEC, {K::Offset}, 16, 0);
    add2(Op::Cmp, "CMP", 0xED, {K::Offset, K::A}, 18, CNZV);
    add2(Op::Call, "CALL", 0xEE, {K::Offset}, 20, 0);
    add2(Op::Callr, "CALLR", 0xEF, {K::Offset}, 22, 0);
    add2(Op::Div, "DIV", 0xF8, {K::Reg, K::A}, 55, CNZV);

    std::stable_sort(t.begin(), t.end(), [](const Instruction& a, const Instruction& b) {
        return (a.prefix != 0) != (b.prefix != 0) ? a.prefix == 0 : a.opcode < b.opcode;
    });
    return t;
}

struct Tables {
    std::vector<Instruction> rows;
    std::array<const Instruction*, 256> page0{};
    std::array<const Instruction*, 256> page1{};
};

const Tables& tables() {
    static const Tables t = [] {
        Tables r;
        r.rows = buildTable();
        for (const auto& i : r.rows) {
            auto& slot = (i.prefix ? r.page1 : r.page0)[i.opcode];
            if (!slot) slot = &i; // the first row of an opcode is its spelling
        }
        return r;
    }();
    return t;
}

} // namespace

int FieldSize(Operand k) {
    switch (k) {
    case Operand::None:
    case Operand::A:
    case Operand::B:
    case Operand::St:
    case Operand::TrapNumber:
        return 0;
    case Operand::Reg:
    case Operand::Periph:
    case Operand::Imm8:
    case Operand::Indirect:
    case Operand::Rel8:
        return 1;
    case Operand::Imm16:
    case Operand::Imm16IndexB:
    case Operand::Direct:
    case Operand::IndexB:
    case Operand::Offset:
    case Operand::Rel16:
    case Operand::Rel16IndexB:
        return 2;
    }
    return 0;
}

int Instruction::operandCount() const {
    int n = 0;
    while (n < 3 && operands[static_cast<size_t>(n)] != Operand::None)
        ++n;
    return n;
}

std::span<const Instruction> InstructionTable() {
    return tables().rows;
}

const Instruction* Decode(std::uint8_t first, std::uint8_t second) {
    const auto& t = tables();
    return first == kPagePrefix ? t.page1[second] : t.page0[first];
}

std::vector<const Instruction*> FormsOf(std::string_view mnemonic) {
    std::vector<const Instruction*> out;
    for (const auto& i : tables().rows)
        if (mnemonic == i.mnemonic) out.push_back(&i);
    return out;
}

std::span<const Alias> Aliases() {
    return kAliases;
}

bool ConditionHolds(Cond c, std::uint8_t st) {
    const bool cf = st & kFlagC, n = st & kFlagN, z = st & kFlagZ, v = st & kFlagV;
    switch (c) {
    case Cond::Always:
        return true;
    case Cond::N:
        return n;
    case Cond::Z:
        return z;
    case Cond::C:
    case Cond::Hs:
        return cf;
    case Cond::P:
        return !n && !z;
    case Cond::Pz:
        return !n;
    case Cond::Nz:
        return !z;
    case Cond::Nc:
    case Cond::Lo:
        return !cf;
    case Cond::V:
        return v;
    case Cond::Nv:
        return !v;
    case Cond::L:
        return n != v;
    case Cond::Le:
        return z || n != v;
    case Cond::Ge:
        return n == v;
    case Cond::G:
        return !z && n == v;
    }
    return false;
}

} // namespace halyard::tms370
