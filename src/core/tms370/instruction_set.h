// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The TMS370 family CPU's instruction set as one table: every opcode with its operation, the
// operands in source order, its length and its cycle count. The assembler encodes from it, the
// disassembler decodes with it and the simulator executes from it.
//
// Encoding rule, the same for every row: [prefix] opcode, then one field per operand in the order
// the source writes them. A, B and ST take no field; a register, a peripheral, an 8-bit immediate
// and an 8-bit jump offset take one byte; a 16-bit value takes two, most significant byte first
// (the CPU is big-endian); n(Rp) takes two: the signed offset, then the register.
//
// Addresses: register Rn is byte n of the register file (A is R0, B is R1); peripheral Pn is
// 1000h + n. A register pair named by Rp is R(p-1):Rp, Rp holding the low byte.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace halyard::tms370 {

// What the instruction does; the simulator switches on it.
enum class Op : std::uint8_t {
    Adc,
    Add,
    And,
    Br,
    Btjo,
    Btjz,
    Call,
    Callr,
    Clr,
    Cmp,
    Dac,
    Dec,
    Decd,
    Div,
    Djnz,
    Dsb,
    Idle,
    Inc,
    Incw,
    Inv,
    Jcc,
    Jmp,
    Jmpl,
    Ldsp,
    Ldst,
    Mov,
    Movw,
    Mpy,
    Nop,
    Or,
    Pop,
    Push,
    Rl,
    Rlc,
    Rr,
    Rrc,
    Rti,
    Rts,
    Sbb,
    Setc,
    Stsp,
    Sub,
    Swap,
    Trap,
    Tst,
    Xchb,
    Xor
};

// One operand as the source writes it; each kind has one field size (see above).
enum class Operand : std::uint8_t {
    None,
    A,           // register A (R0)
    B,           // register B (R1)
    St,          // the status register (PUSH ST, POP ST)
    Reg,         // Rn
    Periph,      // Pn
    Imm8,        // #n
    Imm16,       // #nnnn (MOVW)
    Imm16IndexB, // #nnnn(B) (MOVW): the value nnnn + B
    Direct,      // a 16-bit address: MOV 1234h,A
    Indirect,    // @Rp (also written *Rp): the address in register pair Rp
    IndexB,      // nnnn(B): address nnnn + B
    Offset,      // n(Rp): address in pair Rp plus the signed offset n
    Rel8,        // jump target, 8-bit signed offset from the next instruction
    Rel16,       // JMPL/CALLR target, 16-bit offset from the next instruction
    Rel16IndexB, // JMPL/CALLR nnnn(B): 16-bit offset from the next instruction, plus B
    TrapNumber,  // TRAP n: 0 to 15, held in the opcode itself
};

// Bytes an operand takes in the instruction.
int FieldSize(Operand k);

// Condition of a conditional jump, read from ST after the flags of the previous instruction.
enum class Cond : std::uint8_t { Always, N, Z, C, P, Pz, Nz, Nc, V, L, Le, Hs, Nv, Ge, G, Lo };

// The status register's bits.
inline constexpr std::uint8_t kFlagC = 0x80;
inline constexpr std::uint8_t kFlagN = 0x40;
inline constexpr std::uint8_t kFlagZ = 0x20;
inline constexpr std::uint8_t kFlagV = 0x10;
inline constexpr std::uint8_t kFlagIe2 = 0x08; // level-2 (low priority) interrupts enabled
inline constexpr std::uint8_t kFlagIe1 = 0x04; // level-1 (high priority) interrupts enabled

// The second opcode page: F4 xx.
inline constexpr std::uint8_t kPagePrefix = 0xF4;

// Addresses the CPU itself knows: the family's vectors sit at the top of its 32K program space
// (reset at 7FFEh, TRAP 0 to TRAP 15 from 7FDEh downwards), two bytes each, high byte first.
inline constexpr std::uint16_t kResetVector = 0x7FFE;
inline constexpr std::uint16_t kPeripheralBase = 0x1000;
constexpr std::uint16_t kTrapVector(unsigned n) {
    return static_cast<std::uint16_t>(0x7FDE - 2 * (n & 15));
}

struct Instruction {
    Op op;
    const char* mnemonic; // as the assembler reads it and the disassembler writes it
    std::uint8_t prefix;  // 0, or kPagePrefix
    std::uint8_t opcode;
    std::array<Operand, 3> operands; // in source order; None after the last
    std::uint8_t length;             // bytes, prefix included
    std::uint8_t cycles;             // a jump not taken, or any other instruction
    std::uint8_t takenCycles;        // a conditional jump taken (= cycles for the rest)
    std::uint8_t flags;              // the ST bits it changes (kFlag*)
    Cond cond = Cond::Always;        // Jcc
    std::uint8_t trap = 0;           // TRAP n

    int operandCount() const;
};

// Every row, in opcode order (page 0 first, then F4 xx).
std::span<const Instruction> InstructionTable();

// The row for a first byte (and, after kPagePrefix, a second byte); nullptr for an opcode the
// family does not define.
const Instruction* Decode(std::uint8_t first, std::uint8_t second = 0);

// The assembler's view: every row with this mnemonic (upper case). Rows may share an opcode (JZ
// and JEQ, TST A and CLRC); Decode gives the first, which is how the disassembler spells it.
// Empty for an unknown mnemonic.
std::vector<const Instruction*> FormsOf(std::string_view mnemonic);

// Mnemonics that stand for another instruction with fixed operands: EINT is LDST #0Ch.
struct Alias {
    const char* name;
    const char* mnemonic;
    const char* operands; // source text put in front of the user's operands ("" for none)
};
std::span<const Alias> Aliases();

// Jump condition check, shared by the simulator and the tests.
bool ConditionHolds(Cond c, std::uint8_t st);

} // namespace halyard::tms370
