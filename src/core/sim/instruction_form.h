// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

#include "tms370/instruction_set.h"

namespace halyard::sim {

// The simulator's compact view of a row of the instruction table (tms370/instruction_set.h): the
// operation, where its operands are, and its length and cycles, laid out for a fast dispatch.
enum class Op : uint8_t {
    Illegal,
    Mov,
    Movw,
    And,
    Or,
    Xor,
    Btjo,
    Btjz,
    Add,
    Adc,
    Sub,
    Sbb,
    Mpy,
    Cmp,
    Dac,
    Dsb,
    Div,
    Inc,
    Dec,
    Decd,
    Clr,
    Inv,
    Swap,
    Rl,
    Rlc,
    Rr,
    Rrc,
    Xchb,
    Tst,
    Djnz,
    Incw,
    Push,
    Pop,
    Jmp,
    Jmpl,
    Br,
    Call,
    Callr,
    Rts,
    Rti,
    Trap,
    Idle,
    Ldsp,
    Stsp,
    Ldst,
    Setc,
    Nop,
};

// Operand kinds in the order their bytes follow the opcode (the family encodes the source first).
enum class Opd : uint8_t {
    None,
    A,     // R0
    B,     // R1
    Rn,    // one byte: a register number
    Imm8,  // #n
    Pn,    // one byte: a peripheral-file register, 1000h + n
    Imm16, // #nn, two bytes, most significant first
    Dir16, // an address (or a label; for JMPL and CALLR the offset from the next instruction), two bytes
    Ind,   // @Rp: the register pair Rp-1:Rp holds the address
    IdxB,  // addr(B), #nn(B) or a JMPL/CALLR offset(B): two bytes plus B
    OffRp, // n(Rp): a signed byte, then the pair's register
    St,
    Sp,
};

struct Form {
    Op op = Op::Illegal;
    tms370::Cond cond = tms370::Cond::Always;
    Opd src = Opd::None;
    Opd dst = Opd::None;
    bool relative = false;   // a signed byte offset follows the operands (jumps, DJNZ, BTJO, BTJZ)
    bool prefixed = false;   // the opcode follows the F4h prefix byte
    uint8_t length = 1;      // bytes, the prefix included
    uint8_t cycles = 0;      // when a jump is not taken, or the only count
    uint8_t takenCycles = 0; // when a jump is taken
    uint8_t flagMask = 0;    // the ST bits the instruction changes
    uint8_t number = 0;      // TRAP n
    const char* mnemonic = "";
};

// The forms of the 256 opcodes and of the 256 second bytes after F4h, built once.
const Form& FormOf(uint8_t opcode);
const Form& PrefixedFormOf(uint8_t second);
constexpr uint8_t PrefixByte = 0xF4;

} // namespace halyard::sim
