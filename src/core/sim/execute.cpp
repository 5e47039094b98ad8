// SPDX-License-Identifier: GPL-3.0-or-later
// The meaning of each instruction: what it reads, writes and sets in ST, and its cycles.
#include "sim/simulator.h"

namespace halyard::sim {

namespace {

constexpr uint8_t Flags(bool c, bool n, bool z, bool v) {
    return static_cast<uint8_t>((c ? StC : 0) | (n ? StN : 0) | (z ? StZ : 0) | (v ? StV : 0));
}
// Logic results: carry and overflow cleared, sign and zero from the byte.
constexpr uint8_t Logic(uint8_t r) {
    return Flags(false, r & 0x80, r == 0, false);
}

struct Sum {
    uint8_t r;
    uint8_t flags;
};
// d + s + carry-in; C is the carry out of bit 7.
Sum AddBytes(uint8_t d, uint8_t s, unsigned cin) {
    const unsigned t = d + s + cin;
    const auto r = static_cast<uint8_t>(t);
    const bool v = (~(d ^ s) & (d ^ r) & 0x80) != 0;
    return {r, Flags(t > 0xFF, r & 0x80, r == 0, v)};
}
// d - s - borrow-in; C = 1 when nothing had to be borrowed (d >= s + borrow).
Sum SubBytes(uint8_t d, uint8_t s, unsigned bin) {
    const int t = d - s - static_cast<int>(bin);
    const auto r = static_cast<uint8_t>(t);
    const bool v = ((d ^ s) & (d ^ r) & 0x80) != 0;
    return {r, Flags(t >= 0, r & 0x80, r == 0, v)};
}
// Decimal add of two packed BCD bytes and the carry; C is the decimal carry.
Sum DecimalAdd(uint8_t d, uint8_t s, unsigned cin) {
    unsigned lo = (d & 0x0F) + (s & 0x0F) + cin;
    unsigned hi = (d >> 4) + (s >> 4);
    if (lo > 9) {
        lo -= 10;
        ++hi;
    }
    const bool c = hi > 9;
    if (c) hi -= 10;
    const auto r = static_cast<uint8_t>((hi & 0x0F) << 4 | (lo & 0x0F));
    return {r, Flags(c, r & 0x80, r == 0, false)};
}
// Decimal d - s - borrow; C = 1 when nothing had to be borrowed.
Sum DecimalSub(uint8_t d, uint8_t s, unsigned bin) {
    int lo = (d & 0x0F) - (s & 0x0F) - static_cast<int>(bin);
    int hi = (d >> 4) - (s >> 4);
    if (lo < 0) {
        lo += 10;
        --hi;
    }
    const bool borrow = hi < 0;
    if (borrow) hi += 10;
    const auto r = static_cast<uint8_t>((hi & 0x0F) << 4 | (lo & 0x0F));
    return {r, Flags(!borrow, r & 0x80, r == 0, false)};
}

} // namespace

Simulator::Operand Simulator::fetch(Opd kind, uint16_t& at) {
    auto byte = [&] { return mem_[at++]; };
    auto word = [&] {
        const uint16_t hi = mem_[at++];
        return static_cast<uint16_t>(hi << 8 | mem_[at++]);
    };
    Operand o;
    switch (kind) {
    case Opd::None:
    case Opd::St:
    case Opd::Sp:
        break;
    case Opd::A:
        o.address = 0;
        break;
    case Opd::B:
        o.address = 1;
        break;
    case Opd::Rn:
        o.address = byte();
        break;
    case Opd::Imm8:
        o.immediate = true;
        o.value = byte();
        break;
    case Opd::Pn:
        o.address = static_cast<uint16_t>(PeripheralFileBase + byte());
        break;
    case Opd::Imm16:
        o.immediate = true;
        o.value = word();
        break;
    case Opd::Dir16:
        o.address = word();
        break;
    case Opd::Ind:
        o.address = pair(byte());
        break;
    case Opd::IdxB:
        o.address = static_cast<uint16_t>(word() + mem_[1]);
        break;
    case Opd::OffRp: {
        const auto n = static_cast<int8_t>(byte());
        o.address = static_cast<uint16_t>(pair(byte()) + n);
        break;
    }
    }
    return o;
}

StopReason Simulator::execute() {
    const uint16_t at = pc_;
    at_ = at;
    if ((kind_[at] & ~Watched) == Unmapped) {
        raise({Event::Illegal, at, at, 0, 0x100, cycles_});
        return StopReason::Illegal;
    }
    const uint8_t opcode = mem_[at];
    const Form* f = &FormOf(opcode);
    if (opcode == PrefixByte) f = &PrefixedFormOf(mem_[static_cast<uint16_t>(at + 1)]);
    if (f->op == Op::Illegal) {
        raise({Event::Illegal, at, at, 0, opcode, cycles_});
        return StopReason::Illegal;
    }
    uint16_t p = static_cast<uint16_t>(at + (f->prefixed ? 2 : 1));
    const Operand s = fetch(f->src, p);
    const Operand d = fetch(f->dst, p);
    const auto rel = f->relative ? static_cast<int8_t>(mem_[p]) : 0;
    const auto next = static_cast<uint16_t>(at + f->length);
    pc_ = next;
    cycles_ += f->cycles;
    ++instructions_;
    auto jump = [&](bool taken) {
        if (!taken) return;
        pc_ = static_cast<uint16_t>(next + rel);
        cycles_ += f->takenCycles - f->cycles;
    };
    // Each instruction works out all four flags; the table says which of them it changes.
    auto setFlags = [&](uint8_t flags) {
        st_ = static_cast<uint8_t>((st_ & ~f->flagMask) | (flags & f->flagMask));
    };
    auto result = [&](uint8_t r, uint8_t flags) {
        store(d.address, r);
        setFlags(flags);
    };
    const unsigned carry = (st_ & StC) ? 1 : 0;
    StopReason stop = StopReason::None;

    switch (f->op) {
    case Op::Illegal:
        break;
    case Op::Nop:
        break;
    case Op::Mov: {
        const uint8_t v = value(s);
        result(v, Logic(v));
        break;
    }
    case Op::Movw: {
        uint16_t v = s.value;
        if (f->src == Opd::Rn)
            v = pair(static_cast<uint8_t>(s.address));
        else if (!s.immediate)
            v = s.address; // #nn(B) and n(Rp): the effective address itself
        setPair(static_cast<uint8_t>(d.address), v);
        setFlags(Flags(false, v & 0x8000, v == 0, false));
        break;
    }
    case Op::Incw: {
        const auto r = static_cast<uint8_t>(d.address);
        const uint16_t old = pair(r);
        const auto n = static_cast<int8_t>(value(s));
        const uint32_t t = old + static_cast<uint16_t>(static_cast<int16_t>(n));
        const auto v = static_cast<uint16_t>(t);
        const bool ov = ((old ^ v) & (static_cast<uint16_t>(static_cast<int16_t>(n)) ^ v) & 0x8000) != 0;
        setPair(r, v);
        setFlags(Flags(t > 0xFFFF, v & 0x8000, v == 0, ov));
        break;
    }
    case Op::Decd: {
        const auto r = static_cast<uint8_t>(d.address);
        const uint16_t old = pair(r);
        const auto v = static_cast<uint16_t>(old - 1);
        setPair(r, v);
        setFlags(Flags(old != 0, v & 0x8000, v == 0, old == 0x8000));
        break;
    }
    case Op::And: {
        const auto v = static_cast<uint8_t>(value(d) & value(s));
        result(v, Logic(v));
        break;
    }
    case Op::Or: {
        const auto v = static_cast<uint8_t>(value(d) | value(s));
        result(v, Logic(v));
        break;
    }
    case Op::Xor: {
        const auto v = static_cast<uint8_t>(value(d) ^ value(s));
        result(v, Logic(v));
        break;
    }
    case Op::Btjo: {
        const auto v = static_cast<uint8_t>(value(d) & value(s));
        setFlags(Logic(v));
        jump(v != 0);
        break;
    }
    case Op::Btjz: {
        const auto v = static_cast<uint8_t>(~value(d) & value(s));
        setFlags(Logic(v));
        jump(v != 0);
        break;
    }
    case Op::Add: {
        const Sum r = AddBytes(value(d), value(s), 0);
        result(r.r, r.flags);
        break;
    }
    case Op::Adc: {
        const Sum r = AddBytes(value(d), value(s), carry);
        result(r.r, r.flags);
        break;
    }
    case Op::Sub: {
        const Sum r = SubBytes(value(d), value(s), 0);
        result(r.r, r.flags);
        break;
    }
    case Op::Sbb: {
        const Sum r = SubBytes(value(d), value(s), 1 - carry);
        result(r.r, r.flags);
        break;
    }
    case Op::Cmp:
        setFlags(SubBytes(value(d), value(s), 0).flags);
        break;
    case Op::Dac: {
        const Sum r = DecimalAdd(value(d), value(s), carry);
        result(r.r, r.flags);
        break;
    }
    case Op::Dsb: {
        const Sum r = DecimalSub(value(d), value(s), 1 - carry);
        result(r.r, r.flags);
        break;
    }
    case Op::Mpy: {
        // The product goes to A (high byte) and B (low byte), whichever operands were named.
        const unsigned prod = value(d) * value(s);
        store(0, static_cast<uint8_t>(prod >> 8));
        store(1, static_cast<uint8_t>(prod));
        setFlags(Flags(false, prod & 0x8000, (prod >> 8) == 0, false));
        break;
    }
    case Op::Div: {
        // A:B divided by the register: quotient to A, remainder to B. A quotient that does not fit
        // in a byte (or a zero divisor) sets V and leaves A and B as they were.
        const unsigned divisor = value(s);
        const unsigned dividend = static_cast<unsigned>(mem_[0]) << 8 | mem_[1];
        if (divisor == 0 || (dividend >> 8) >= divisor) {
            setFlags(Flags(false, mem_[0] & 0x80, mem_[0] == 0, true));
            break;
        }
        const auto q = static_cast<uint8_t>(dividend / divisor);
        store(0, q);
        store(1, static_cast<uint8_t>(dividend % divisor));
        setFlags(Logic(q));
        break;
    }
    case Op::Inc: {
        const Sum r = AddBytes(value(d), 1, 0);
        result(r.r, r.flags);
        break;
    }
    case Op::Dec: {
        const Sum r = SubBytes(value(d), 1, 0);
        result(r.r, r.flags);
        break;
    }
    case Op::Clr:
        result(0, Flags(false, false, true, false));
        break;
    case Op::Inv: {
        const auto v = static_cast<uint8_t>(~value(d));
        result(v, Logic(v));
        break;
    }
    case Op::Swap: {
        const uint8_t o = value(d);
        const auto v = static_cast<uint8_t>(o << 4 | o >> 4);
        result(v, Logic(v));
        break;
    }
    case Op::Rl: {
        const uint8_t o = value(d);
        const auto v = static_cast<uint8_t>(o << 1 | o >> 7);
        result(v, Flags(o & 0x80, v & 0x80, v == 0, false));
        break;
    }
    case Op::Rlc: {
        const uint8_t o = value(d);
        const auto v = static_cast<uint8_t>(o << 1 | carry);
        result(v, Flags(o & 0x80, v & 0x80, v == 0, false));
        break;
    }
    case Op::Rr: {
        const uint8_t o = value(d);
        const auto v = static_cast<uint8_t>(o >> 1 | o << 7);
        result(v, Flags(o & 1, v & 0x80, v == 0, false));
        break;
    }
    case Op::Rrc: {
        const uint8_t o = value(d);
        const auto v = static_cast<uint8_t>(o >> 1 | carry << 7);
        result(v, Flags(o & 1, v & 0x80, v == 0, false));
        break;
    }
    case Op::Xchb: {
        const uint8_t o = value(d);
        const uint8_t b = mem_[1];
        store(d.address, b);
        store(1, o);
        setFlags(Logic(o));
        break;
    }
    case Op::Tst:
        setFlags(Logic(value(d)));
        break; // CLRC names no operand: it tests A
    case Op::Djnz: {
        const auto v = static_cast<uint8_t>(value(d) - 1);
        store(d.address, v);
        jump(v != 0);
        break;
    }
    case Op::Push:
        if (f->dst == Opd::St) {
            push(st_);
        } else {
            const uint8_t v = value(d);
            push(v);
            setFlags(Logic(v));
        }
        break;
    case Op::Pop:
        if (f->dst == Opd::St) {
            st_ = pop();
        } else {
            const uint8_t v = pop();
            result(v, Logic(v));
        }
        break;
    case Op::Jmp:
        jump(f->cond == tms370::Cond::Always || tms370::ConditionHolds(f->cond, st_));
        break;
    case Op::Jmpl:
        pc_ = static_cast<uint16_t>(next + (s.immediate ? s.value : s.address));
        break;
    case Op::Br:
        pc_ = s.immediate ? s.value : s.address;
        break;
    case Op::Call:
    case Op::Callr:
        push(static_cast<uint8_t>(next >> 8));
        push(static_cast<uint8_t>(next));
        pc_ = s.immediate ? s.value : s.address;
        if (f->op == Op::Callr) pc_ = static_cast<uint16_t>(pc_ + next);
        break;
    case Op::Rts: {
        const uint8_t lo = pop();
        pc_ = static_cast<uint16_t>(pop() << 8 | lo);
        break;
    }
    case Op::Rti: {
        const uint8_t lo = pop();
        pc_ = static_cast<uint16_t>(pop() << 8 | lo);
        st_ = pop();
        break;
    }
    case Op::Trap: {
        push(static_cast<uint8_t>(next >> 8));
        push(static_cast<uint8_t>(next));
        const uint16_t v = TrapVector(f->number);
        pc_ = static_cast<uint16_t>(mem_[v] << 8 | mem_[static_cast<uint16_t>(v + 1)]);
        raise({Event::Trap, at, v, 0, f->number, cycles_});
        break;
    }
    case Op::Idle: {
        idle_ = true;
        bool wakes = false;
        for (const auto& r : pending_)
            wakes = wakes || (st_ & (r.level == 1 ? StIE1 : StIE2));
        if (!wakes) {
            raise({Event::Idle, at, 0, 0, 0, cycles_});
            stop = StopReason::Idle;
        }
        break;
    }
    case Op::Ldsp:
        sp_ = mem_[1];
        break;
    case Op::Stsp:
        store(1, sp_);
        break;
    case Op::Ldst:
        st_ = value(s);
        break;
    case Op::Setc:
        setFlags(Flags(true, false, true, false));
        break;
    }
    if (traced_) traced_(at, f->length);
    return stop;
}

} // namespace halyard::sim
