// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "sim/device_profile.h"
#include "sim/instruction_form.h"

namespace halyard::sim {

// Status register bits.
constexpr uint8_t StC = 0x80;
constexpr uint8_t StN = 0x40;
constexpr uint8_t StZ = 0x20;
constexpr uint8_t StV = 0x10;
constexpr uint8_t StIE2 = 0x08; // level-2 interrupts enabled
constexpr uint8_t StIE1 = 0x04; // level-1 interrupts enabled

// What a program brings: bytes at addresses, and where it starts when no reset vector is loaded.
struct ProgramImage {
    struct Block {
        std::string name;
        uint16_t address = 0;
        std::vector<uint8_t> bytes;
        bool code = false; // placed in program memory: not writable by the program
    };
    std::vector<Block> blocks;
    bool hasEntry = false;
    uint16_t entry = 0;
};

struct Snapshot {
    uint16_t pc = 0;
    uint8_t sp = 0;
    uint8_t st = 0;
    uint8_t a = 0;
    uint8_t b = 0;
    uint64_t cycles = 0;
    uint64_t instructions = 0;
};

// Something the program did that a debugger may want to see.
struct Event {
    enum Kind {
        Idle,          // IDLE with no interrupt that could wake the CPU
        Trap,          // TRAP n taken (number = n)
        WatchedWrite,  // a write to a watched address
        RomWrite,      // a write into program memory (ignored)
        UnmappedWrite, // a write where nothing is (ignored)
        Illegal,       // an opcode the family does not have, or code where nothing is mapped
        Interrupt,     // an interrupt was taken (number = its vector address)
    };
    Kind kind;
    uint16_t pc = 0; // the instruction's address
    uint16_t address = 0;
    uint8_t value = 0;
    unsigned number = 0;
    uint64_t cycle = 0;
};
std::string EventText(const Event& e);

enum class StopReason {
    None, // still running
    Step, // one instruction done
    Idle,
    Breakpoint, // the PC reached a breakpoint (before that instruction)
    CycleLimit,
    Condition, // the caller's condition held
    Event,     // an event the run was told to stop at
    Illegal,
};

struct RunLimits {
    uint64_t maxCycles = 0;      // counted from the run's start; 0: no limit
    std::function<bool()> until; // checked after each instruction when set
    bool stopAtTrap = false;
    bool stopAtWatch = true;
};

// One TMS370 CPU with its memory. Made for a debugger: step, run until something, breakpoints,
// watched addresses, a snapshot, memory read and write, events. Interrupt sources (timers, scripted
// ones) are to come through requestInterrupt.
class Simulator {
public:
    explicit Simulator(const DeviceProfile& profile = DefaultDeviceProfile());

    // Places the program's blocks (addresses no profile range covers become memory of the block's
    // kind) and resets.
    void load(const ProgramImage& image);
    // SP = 01h, ST = 00h, PC from the reset vector when the program loaded it, else its entry point.
    void reset();

    StopReason step();
    StopReason run(const RunLimits& limits);

    void setBreakpoint(uint16_t address, bool on = true) { breakAt_[address] = on; }
    bool breakpoint(uint16_t address) const { return breakAt_[address]; }
    void clearBreakpoints() { breakAt_.fill(false); }
    void watch(uint16_t first, uint16_t last, bool on = true);

    Snapshot snapshot() const;
    // A debugger's read: never a side effect, even where a peripheral register will have one.
    uint8_t peek(uint16_t address) const { return mem_[address]; }
    // A debugger's write: reaches any mapped address, program memory too.
    void poke(uint16_t address, uint8_t value);
    // The program's own view: what a read by an instruction gives.
    uint8_t read(uint16_t address) const { return mem_[address]; }
    bool mapped(uint16_t address) const { return (kind_[address] & ~Watched) != Unmapped; }

    void setPc(uint16_t pc) { pc_ = pc; }
    void setSt(uint8_t st) { st_ = st; }
    void setSp(uint8_t sp) { sp_ = sp; }
    uint16_t pc() const { return pc_; }
    uint8_t st() const { return st_; }
    uint8_t sp() const { return sp_; }
    uint64_t cycles() const { return cycles_; }

    // Events are kept (the last 1,000) and handed to the observer as they happen.
    void onEvent(std::function<void(const Event&)> f) { observer_ = std::move(f); }
    const std::deque<Event>& events() const { return events_; }
    // Called after each instruction with its address and length (for a trace).
    void onInstruction(std::function<void(uint16_t pc, uint8_t length)> f) { traced_ = std::move(f); }

    // An interrupt request through the vector at `vector`, level 1 or 2. Taken between instructions
    // while its level is enabled in ST; it also wakes the CPU from IDLE.
    void requestInterrupt(uint16_t vector, int level);
    bool idle() const { return idle_; }

    const DeviceProfile& profile() const { return profile_; }

private:
    enum Kind : uint8_t { Plain = 0, Rom = 1, Unmapped = 2, Watched = 0x80 };
    struct Operand {
        bool immediate = false;
        uint16_t address = 0;
        uint16_t value = 0;
    };

    void mapRange(uint16_t first, uint16_t last, Kind k);
    StopReason execute();
    bool takePendingInterrupt();
    Operand fetch(Opd kind, uint16_t& at);
    uint8_t value(const Operand& o) const {
        return o.immediate ? static_cast<uint8_t>(o.value) : mem_[o.address];
    }
    void store(uint16_t address, uint8_t v) {
        if (kind_[address] == Plain)
            mem_[address] = v;
        else
            storeSlow(address, v);
    }
    void storeSlow(uint16_t address, uint8_t v);
    uint16_t pair(uint8_t r) const {
        return static_cast<uint16_t>(mem_[static_cast<uint8_t>(r - 1)] << 8 | mem_[r]);
    }
    void setPair(uint8_t r, uint16_t v);
    void push(uint8_t v);
    uint8_t pop();
    void raise(Event e);
    void flagsNZ(uint8_t v, uint8_t keep);

    DeviceProfile profile_;
    std::array<uint8_t, 0x10000> mem_{};
    std::array<uint8_t, 0x10000> kind_{};
    std::array<bool, 0x10000> breakAt_{};
    uint16_t pc_ = 0;
    uint16_t at_ = 0; // the address of the instruction being executed, for its events
    uint8_t sp_ = 1;
    uint8_t st_ = 0;
    uint64_t cycles_ = 0;
    uint64_t instructions_ = 0;
    bool idle_ = false;
    bool hasEntry_ = false;
    uint16_t entry_ = 0;
    bool resetVectorLoaded_ = false;
    struct Request {
        uint16_t vector;
        int level;
    };
    std::vector<Request> pending_;
    std::deque<Event> events_;
    bool stopEvent_ = false; // an event asked the current run to stop
    RunLimits const* limits_ = nullptr;
    std::function<void(const Event&)> observer_;
    std::function<void(uint16_t, uint8_t)> traced_;
};

} // namespace halyard::sim
