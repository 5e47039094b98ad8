// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's dispatch tables, made once from the tool chain's instruction table.
#include <array>

#include "sim/instruction_form.h"

namespace halyard::sim {

namespace {

using tms370::Operand;

Op OpOf(tms370::Op op) {
    switch (op) {
    case tms370::Op::Adc:
        return Op::Adc;
    case tms370::Op::Add:
        return Op::Add;
    case tms370::Op::And:
        return Op::And;
    case tms370::Op::Br:
        return Op::Br;
    case tms370::Op::Btjo:
        return Op::Btjo;
    case tms370::Op::Btjz:
        return Op::Btjz;
    case tms370::Op::Call:
        return Op::Call;
    case tms370::Op::Callr:
        return Op::Callr;
    case tms370::Op::Clr:
        return Op::Clr;
    case tms370::Op::Cmp:
        return Op::Cmp;
    case tms370::Op::Dac:
        return Op::Dac;
    case tms370::Op::Dec:
        return Op::Dec;
    case tms370::Op::Decd:
        return Op::Decd;
    case tms370::Op::Div:
        return Op::Div;
    case tms370::Op::Djnz:
        return Op::Djnz;
    case tms370::Op::Dsb:
        return Op::Dsb;
    case tms370::Op::Idle:
        return Op::Idle;
    case tms370::Op::Inc:
        return Op::Inc;
    case tms370::Op::Incw:
        return Op::Incw;
    case tms370::Op::Inv:
        return Op::Inv;
    case tms370::Op::Jcc:
    case tms370::Op::Jmp:
        return Op::Jmp;
    case tms370::Op::Jmpl:
        return Op::Jmpl;
    case tms370::Op::Ldsp:
        return Op::Ldsp;
    case tms370::Op::Ldst:
        return Op::Ldst;
    case tms370::Op::Mov:
        return Op::Mov;
    case tms370::Op::Movw:
        return Op::Movw;
    case tms370::Op::Mpy:
        return Op::Mpy;
    case tms370::Op::Nop:
        return Op::Nop;
    case tms370::Op::Or:
        return Op::Or;
    case tms370::Op::Pop:
        return Op::Pop;
    case tms370::Op::Push:
        return Op::Push;
    case tms370::Op::Rl:
        return Op::Rl;
    case tms370::Op::Rlc:
        return Op::Rlc;
    case tms370::Op::Rr:
        return Op::Rr;
    case tms370::Op::Rrc:
        return Op::Rrc;
    case tms370::Op::Rti:
        return Op::Rti;
    case tms370::Op::Rts:
        return Op::Rts;
    case tms370::Op::Sbb:
        return Op::Sbb;
    case tms370::Op::Setc:
        return Op::Setc;
    case tms370::Op::Stsp:
        return Op::Stsp;
    case tms370::Op::Sub:
        return Op::Sub;
    case tms370::Op::Swap:
        return Op::Swap;
    case tms370::Op::Trap:
        return Op::Trap;
    case tms370::Op::Tst:
        return Op::Tst;
    case tms370::Op::Xchb:
        return Op::Xchb;
    case tms370::Op::Xor:
        return Op::Xor;
    }
    return Op::Illegal;
}

Opd OpdOf(Operand k) {
    switch (k) {
    case Operand::None:
    case Operand::TrapNumber: // in the opcode
    case Operand::Rel8:
        return Opd::None;
    case Operand::A:
        return Opd::A;
    case Operand::B:
        return Opd::B;
    case Operand::St:
        return Opd::St;
    case Operand::Reg:
        return Opd::Rn;
    case Operand::Periph:
        return Opd::Pn;
    case Operand::Imm8:
        return Opd::Imm8;
    case Operand::Imm16:
        return Opd::Imm16;
    case Operand::Direct:
    case Operand::Rel16:
        return Opd::Dir16;
    case Operand::Imm16IndexB:
    case Operand::IndexB:
    case Operand::Rel16IndexB:
        return Opd::IdxB;
    case Operand::Indirect:
        return Opd::Ind;
    case Operand::Offset:
        return Opd::OffRp;
    }
    return Opd::None;
}

// A lone operand is a source for the instructions that go somewhere or load ST, a destination
// for the rest (INC A, PUSH B, DJNZ R5, ...).
bool LoneOperandIsSource(Op op) {
    return op == Op::Br || op == Op::Call || op == Op::Callr || op == Op::Jmpl || op == Op::Ldst;
}

Form FormFrom(const tms370::Instruction* row) {
    Form f;
    if (!row) return f;
    f.op = OpOf(row->op);
    f.cond = row->cond;
    f.prefixed = row->prefix != 0;
    f.length = row->length;
    f.cycles = row->cycles;
    f.takenCycles = row->takenCycles;
    f.flagMask = row->flags;
    f.number = row->trap;
    f.mnemonic = row->mnemonic;
    std::array<Opd, 3> kinds{};
    int n = 0;
    for (Operand k : row->operands) {
        if (k == Operand::Rel8)
            f.relative = true;
        else if (k != Operand::None)
            kinds[static_cast<size_t>(n++)] = OpdOf(k);
    }
    if (n == 2) {
        f.src = kinds[0];
        f.dst = kinds[1];
    } else if (n == 1) {
        (LoneOperandIsSource(f.op) ? f.src : f.dst) = kinds[0];
    }
    return f;
}

struct Tables {
    std::array<Form, 256> page0;
    std::array<Form, 256> page1;
    Tables() {
        for (unsigned i = 0; i < 256; ++i) {
            page0[i] = FormFrom(tms370::Decode(static_cast<uint8_t>(i)));
            page1[i] = FormFrom(tms370::Decode(tms370::kPagePrefix, static_cast<uint8_t>(i)));
        }
    }
};

const Tables& TheTables() {
    static const Tables t;
    return t;
}

} // namespace

const Form& FormOf(uint8_t opcode) {
    return TheTables().page0[opcode];
}
const Form& PrefixedFormOf(uint8_t second) {
    return TheTables().page1[second];
}

} // namespace halyard::sim
