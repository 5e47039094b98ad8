// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulate_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "base/dos_devices.h"
#include "base/error.h"
#include "sim/program_file.h"
#include "sim/simulator.h"
#include "tms370/coff.h"

namespace halyard {

const char* const SimulateUsage = "FILE.out [OPTION]...";
const char* const SimulateHelp =
    "Run the linked TMS370 program FILE.out in the instruction-set simulator from reset (the vector\n"
    "at 7FFEh, or the entry point when the program does not load one) until IDLE, a breakpoint or\n"
    "the cycle limit (--max-cycles, 10000000 unless given). Then print the final state on one line\n"
    "(\"A=37 B=00 SP=01 ST=20 PC=7012 cycles=312\") and each --dump as lines of \"000A: 37 ...\",\n"
    "16 bytes a line. Addresses are written as the assembler reads them: 000Ah, 0x0A or 10.\n"
    "--trace prints one line per instruction: address, bytes, mnemonic and the registers after it.\n"
    "--device names the family member whose memory map is used (generic, tms370c050). Exit code 0\n"
    "at IDLE or a breakpoint, 1 at the cycle limit or an illegal opcode, 2 when FILE.out cannot be\n"
    "read or is no TMS370 executable.";

namespace {

constexpr uint64_t DefaultMaxCycles = 10'000'000;

std::string Hex(unsigned v, int digits) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

// 000Ah, 0Ah, 0x0A or 10; nothing else, and nothing above 0FFFFh.
std::optional<unsigned long> Number(const std::string& text, unsigned long max) {
    std::string t = text;
    int base = 10;
    if (t.size() > 1 && (t.back() == 'h' || t.back() == 'H')) {
        t.pop_back();
        base = 16;
    } else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t = t.substr(2);
        base = 16;
    }
    if (t.empty() || t.size() > 20) return std::nullopt;
    unsigned long v = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        if (v > (max - static_cast<unsigned long>(d)) / static_cast<unsigned long>(base)) return std::nullopt;
        v = v * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
    }
    return v;
}

std::string Padded(std::string text, size_t width) {
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

struct Options {
    std::string file;
    uint64_t maxCycles = DefaultMaxCycles;
    std::vector<std::pair<uint16_t, unsigned>> dumps;
    std::vector<uint16_t> breaks;
    bool trace = false;
    std::string device;
};

bool Usage(const std::string& why) {
    std::cerr << "halyard-build simulate: " << why
              << "\nusage: halyard-build simulate FILE.out [--max-cycles N] [--dump ADDR,LEN]...\n"
                 "                              [--break ADDR]... [--trace] [--device NAME]\n";
    return false;
}

bool Parse(const std::vector<std::string>& args, Options& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return Usage(a + " needs a value");
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--trace") {
            o.trace = true;
        } else if (a == "--max-cycles") {
            if (!value(v)) return false;
            const auto n = Number(v, 1'000'000'000'000UL);
            if (!n || *n == 0)
                return Usage("--max-cycles takes a number of cycles from 1 to 10^12, not '" + v + "'");
            o.maxCycles = *n;
        } else if (a == "--break") {
            if (!value(v)) return false;
            const auto n = Number(v, 0xFFFF);
            if (!n) return Usage("--break takes an address from 0 to 0FFFFh, not '" + v + "'");
            o.breaks.push_back(static_cast<uint16_t>(*n));
        } else if (a == "--dump") {
            if (!value(v)) return false;
            const auto comma = v.find(',');
            const auto at = Number(v.substr(0, comma), 0xFFFF);
            const auto len = comma == std::string::npos ? std::nullopt : Number(v.substr(comma + 1), 0x10000);
            if (!at || !len || *len == 0 || *at + *len > 0x10000)
                return Usage(
                    "--dump takes ADDR,LEN (an address and 1 to 65536 bytes, not past 0FFFFh), not '" + v +
                    "'");
            o.dumps.emplace_back(static_cast<uint16_t>(*at), static_cast<unsigned>(*len));
        } else if (a == "--device") {
            if (!value(o.device)) return false;
            if (!sim::FindDeviceProfile(o.device)) return Usage("no device profile named '" + o.device + "'");
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option " + a);
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            return Usage("one program only ('" + a + "' is a second)");
        }
    }
    if (o.file.empty()) return Usage("no program named");
    return true;
}

// The file's bytes, but never more than limit of them: an executable is far smaller, and a large
// file named by mistake must not fill the memory before it is refused.
std::string ReadAtMost(const DosDevices& dd, const std::string& path, const std::string& name, size_t limit) {
    const std::filesystem::path host = dd.toHost(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(host, ec)) throw Error(CannotOpenFile(path));
    std::ifstream in(host, std::ios::binary);
    if (!in) throw Error(CannotOpenFile(path));
    std::string bytes(limit + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) throw Error(CannotOpenFile(path));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() > limit)
        throw Error(name + ": larger than " + std::to_string(limit / (1024 * 1024)) +
                    " MB: not a TMS370 executable");
    return bytes;
}

std::string State(const sim::Simulator& s) {
    const sim::Snapshot n = s.snapshot();
    return "A=" + Hex(n.a, 2) + " B=" + Hex(n.b, 2) + " SP=" + Hex(n.sp, 2) + " ST=" + Hex(n.st, 2) +
           " PC=" + Hex(n.pc, 4) + " cycles=" + std::to_string(n.cycles);
}

void Dump(const sim::Simulator& s, uint16_t at, unsigned len, std::ostream& out) {
    for (unsigned done = 0; done < len; done += 16) {
        const auto line = static_cast<uint16_t>(at + done);
        out << Hex(line, 4) << ':';
        for (unsigned i = done; i < len && i < done + 16; ++i)
            out << ' ' << Hex(s.read(static_cast<uint16_t>(at + i)), 2);
        out << '\n';
    }
}

} // namespace

int SimulateCommand(const std::vector<std::string>& args) {
    Options o;
    if (!Parse(args, o)) return 2;
    // A Windows path reaches the file through the drive mapping, as the other commands' files do.
    DosDevices dd{DosDevices::defaultRoot()};
    dd.ensureCreated();
    const std::string path = dd.absolute(dd.fromCommandLine(o.file));
    sim::ProgramImage image;
    try {
        image = sim::ReadProgramFile(ReadAtMost(dd, path, o.file, tms370::kCoffSizeLimit), o.file);
    } catch (const Error& e) {
        std::cerr << e.what() << '\n';
        return 2;
    }
    sim::Simulator s(o.device.empty() ? sim::DefaultDeviceProfile() : *sim::FindDeviceProfile(o.device));
    s.load(image);
    for (uint16_t b : o.breaks)
        s.setBreakpoint(b);
    if (o.trace) {
        s.onInstruction([&s](uint16_t pc, uint8_t length) {
            std::string bytes;
            for (uint8_t i = 0; i < length; ++i)
                bytes += Hex(s.read(static_cast<uint16_t>(pc + i)), 2) + ' ';
            std::cout << Hex(pc, 4) << ": " << bytes << std::string(3 * (5 - std::min<int>(length, 5)), ' ')
                      << Padded(sim::Disassemble(s, pc), 22) << State(s) << '\n';
        });
    }
    sim::RunLimits limits;
    limits.maxCycles = o.maxCycles;
    limits.stopAtWatch = false;
    const sim::StopReason why = s.run(limits);
    std::cout << State(s) << '\n';
    for (const auto& [at, len] : o.dumps)
        Dump(s, at, len, std::cout);
    switch (why) {
    case sim::StopReason::Idle:
    case sim::StopReason::Breakpoint:
        return 0;
    case sim::StopReason::CycleLimit:
        std::cerr << o.file << ": stopped at the cycle limit of " << o.maxCycles
                  << " cycles (--max-cycles)\n";
        return 1;
    default:
        std::cerr << o.file << ": stopped: "
                  << (s.events().empty() ? std::string("no reason") : sim::EventText(s.events().back()))
                  << '\n';
        return 1;
    }
}

} // namespace halyard
