// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/simulator.h"

#include <cstdio>

namespace halyard::sim {

namespace {
constexpr size_t KeptEvents = 1000;

std::string Hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}
std::string Hex2(unsigned v) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}
} // namespace

std::string EventText(const Event& e) {
    const std::string at = " at " + Hex4(e.pc) + "h";
    switch (e.kind) {
    case Event::Idle:
        return "IDLE" + at + " with no interrupt to wake the CPU";
    case Event::Trap:
        return "TRAP " + std::to_string(e.number) + at;
    case Event::WatchedWrite:
        return "write of " + Hex2(e.value) + "h to watched " + Hex4(e.address) + "h" + at;
    case Event::RomWrite:
        return "write of " + Hex2(e.value) + "h to program memory " + Hex4(e.address) + "h ignored" + at;
    case Event::UnmappedWrite:
        return "write of " + Hex2(e.value) + "h to unmapped " + Hex4(e.address) + "h ignored" + at;
    case Event::Illegal:
        return e.number == 0x100 ? "no memory to execute" + at
                                 : "illegal opcode " + Hex2(e.number) + "h" + at;
    case Event::Interrupt:
        return "interrupt through the vector at " + Hex4(e.number) + "h" + at;
    }
    return "event" + at;
}

Simulator::Simulator(const DeviceProfile& profile) : profile_(profile) {
    mem_.fill(0xFF);
    kind_.fill(Unmapped);
    if (profile_.registerFileSize) mapRange(0, static_cast<uint16_t>(profile_.registerFileSize - 1), Plain);
    for (const auto& r : profile_.ram)
        mapRange(r.first, r.last, Plain);
    if (profile_.peripheralFile) mapRange(PeripheralFileBase, PeripheralFileBase + 0xFF, Plain);
    for (const auto& r : profile_.rom)
        mapRange(r.first, r.last, Rom);
}

void Simulator::mapRange(uint16_t first, uint16_t last, Kind k) {
    for (uint32_t a = first; a <= last; ++a) {
        // Data memory starts cleared; program memory that the program does not fill reads as
        // erased EPROM does.
        if (kind_[a] == Unmapped) mem_[a] = k == Rom ? 0xFF : 0;
        kind_[a] = k;
    }
}

void Simulator::load(const ProgramImage& image) {
    for (const auto& b : image.blocks) {
        for (size_t i = 0; i < b.bytes.size(); ++i) {
            const auto a = static_cast<uint16_t>(b.address + i);
            if ((kind_[a] & ~Watched) == Unmapped)
                kind_[a] = static_cast<uint8_t>((kind_[a] & Watched) | (b.code ? Rom : Plain));
            mem_[a] = b.bytes[i];
        }
    }
    // Both bytes of the vector must come from the program.
    resetVectorLoaded_ = false;
    for (const auto& b : image.blocks) {
        const uint32_t end = b.address + b.bytes.size();
        if (b.address <= ResetVector && end >= ResetVector + 2u) resetVectorLoaded_ = true;
    }
    hasEntry_ = image.hasEntry;
    entry_ = image.entry;
    reset();
}

void Simulator::reset() {
    sp_ = 1;
    st_ = 0;
    idle_ = false;
    pending_.clear();
    if (resetVectorLoaded_)
        pc_ = static_cast<uint16_t>(mem_[ResetVector] << 8 | mem_[ResetVector + 1]);
    else if (hasEntry_)
        pc_ = entry_;
    else
        pc_ = static_cast<uint16_t>(mem_[ResetVector] << 8 | mem_[ResetVector + 1]);
}

void Simulator::watch(uint16_t first, uint16_t last, bool on) {
    for (uint32_t a = first; a <= last; ++a)
        kind_[a] = static_cast<uint8_t>(on ? (kind_[a] | Watched) : (kind_[a] & ~Watched));
}

Snapshot Simulator::snapshot() const {
    return Snapshot{pc_, sp_, st_, mem_[0], mem_[1], cycles_, instructions_};
}

void Simulator::poke(uint16_t address, uint8_t value) {
    if ((kind_[address] & ~Watched) != Unmapped) mem_[address] = value;
}

void Simulator::storeSlow(uint16_t address, uint8_t v) {
    const uint8_t k = kind_[address] & ~Watched;
    if (kind_[address] & Watched) raise({Event::WatchedWrite, at_, address, v, 0, cycles_});
    if (k == Plain) {
        mem_[address] = v;
    } else if (k == Rom) {
        raise({Event::RomWrite, at_, address, v, 0, cycles_});
    } else {
        raise({Event::UnmappedWrite, at_, address, v, 0, cycles_});
    }
}

void Simulator::setPair(uint8_t r, uint16_t v) {
    store(static_cast<uint8_t>(r - 1), static_cast<uint8_t>(v >> 8));
    store(r, static_cast<uint8_t>(v));
}

// The stack grows upwards in the register file: SP names the last byte pushed.
void Simulator::push(uint8_t v) {
    ++sp_;
    store(sp_, v);
}

uint8_t Simulator::pop() {
    const uint8_t v = mem_[sp_];
    --sp_;
    return v;
}

void Simulator::raise(Event e) {
    if (events_.size() == KeptEvents) events_.pop_front();
    events_.push_back(e);
    if (observer_) observer_(e);
    if (!limits_) return;
    if ((e.kind == Event::WatchedWrite && limits_->stopAtWatch) ||
        (e.kind == Event::Trap && limits_->stopAtTrap))
        stopEvent_ = true;
}

void Simulator::requestInterrupt(uint16_t vector, int level) {
    pending_.push_back({vector, level});
}

bool Simulator::takePendingInterrupt() {
    for (size_t i = 0; i < pending_.size(); ++i) {
        const auto r = pending_[i];
        if (!(st_ & (r.level == 1 ? StIE1 : StIE2))) continue;
        pending_.erase(pending_.begin() + static_cast<long>(i));
        push(st_);
        push(static_cast<uint8_t>(pc_ >> 8));
        push(static_cast<uint8_t>(pc_));
        st_ = 0; // both levels off until RTI brings the old ST back
        raise({Event::Interrupt, pc_, 0, 0, r.vector, cycles_});
        pc_ = static_cast<uint16_t>(mem_[r.vector] << 8 | mem_[static_cast<uint16_t>(r.vector + 1)]);
        idle_ = false;
        return true;
    }
    return false;
}

StopReason Simulator::step() {
    RunLimits once;
    limits_ = &once;
    stopEvent_ = false;
    StopReason r = StopReason::Step;
    if (!pending_.empty()) takePendingInterrupt();
    if (idle_) {
        r = StopReason::Idle;
    } else {
        const StopReason x = execute();
        if (x != StopReason::None) r = x;
    }
    limits_ = nullptr;
    return r;
}

StopReason Simulator::run(const RunLimits& limits) {
    limits_ = &limits;
    stopEvent_ = false;
    const uint64_t end = limits.maxCycles ? cycles_ + limits.maxCycles : UINT64_MAX;
    StopReason r = StopReason::None;
    bool first = true; // a run that starts on a breakpoint leaves it
    while (r == StopReason::None) {
        if (!pending_.empty()) takePendingInterrupt();
        if (idle_) {
            r = StopReason::Idle;
            break;
        }
        if (!first && breakAt_[pc_]) {
            r = StopReason::Breakpoint;
            break;
        }
        first = false;
        if (cycles_ >= end) {
            r = StopReason::CycleLimit;
            break;
        }
        r = execute();
        if (stopEvent_) r = StopReason::Event;
        if (r == StopReason::None && limits.until && limits.until()) r = StopReason::Condition;
    }
    limits_ = nullptr;
    return r;
}

} // namespace halyard::sim
