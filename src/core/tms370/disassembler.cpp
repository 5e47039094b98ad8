// SPDX-License-Identifier: GPL-3.0-or-later
#include "tms370/disassembler.h"

#include <map>
#include <set>

#include "tms370/instruction_set.h"

namespace halyard::tms370 {

namespace {

constexpr const char* kDigits = "0123456789ABCDEF";

std::string hexDigits(std::uint32_t v, int digits) {
    std::string s;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        s += kDigits[(v >> shift) & 0xF];
    return s;
}

std::string byteList(std::span<const std::uint8_t> bytes) {
    std::string s;
    for (auto b : bytes)
        s += (s.empty() ? "" : " ") + hexDigits(b, 2);
    return s;
}

std::string pad(std::string s, size_t width) {
    if (s.size() < width) s.resize(width, ' ');
    return s;
}

// A comment after a code column, at least one blank apart.
std::string withComment(const std::string& code, const std::string& comment) {
    std::string s = pad(code, 40);
    if (s.back() != ' ') s += ' ';
    return s + "; " + comment;
}

std::string signedText(int v) {
    return std::to_string(v);
}

// The jump's target: its label when the listing has one there, else relative to this instruction.
std::string target(std::int64_t to, std::uint32_t address, const LabelAt& labels) {
    if (labels)
        if (auto l = labels(static_cast<std::uint32_t>(to & 0xFFFF))) return *l;
    const std::int64_t d = to - address;
    return d >= 0 ? "$+" + std::to_string(d) : "$-" + std::to_string(-d);
}

} // namespace

std::string AsmHex(std::uint32_t value, int digits) {
    if (value < 10) return std::to_string(value);
    std::string s = hexDigits(value, digits);
    while (s.size() > 1 && s[0] == '0' && !(s[1] >= 'A' && s[1] <= 'F'))
        s.erase(0, 1);
    if (s[0] >= 'A') s = "0" + s;
    return s + "h";
}

Disassembled DisassembleOne(std::span<const std::uint8_t> bytes, std::uint32_t address,
                            const LabelAt& labels) {
    Disassembled out;
    const auto asByte = [&] {
        out = {1, ".byte", AsmHex(bytes.empty() ? 0 : bytes[0])};
        return out;
    };
    if (bytes.empty()) return asByte();
    const Instruction* ins = Decode(bytes[0], bytes.size() > 1 ? bytes[1] : 0);
    if (!ins || (bytes[0] == kPagePrefix && bytes.size() < 2) || ins->length > bytes.size()) return asByte();
    std::size_t at = ins->prefix ? 2 : 1;
    const std::uint32_t next = address + ins->length;
    std::string ops;
    for (int i = 0; i < ins->operandCount(); ++i) {
        const Operand k = ins->operands[static_cast<size_t>(i)];
        const std::uint32_t b0 = at < bytes.size() ? bytes[at] : 0;
        const std::uint32_t w = (b0 << 8) | (at + 1 < bytes.size() ? bytes[at + 1] : 0);
        std::string t;
        switch (k) {
        case Operand::A:
            t = "A";
            break;
        case Operand::B:
            t = "B";
            break;
        case Operand::St:
            t = "ST";
            break;
        case Operand::Reg:
            t = "R" + std::to_string(b0);
            break;
        case Operand::Periph:
            t = "P" + hexDigits(b0, 3);
            break;
        case Operand::Imm8:
            t = "#" + AsmHex(b0);
            break;
        case Operand::Imm16:
            t = "#" + AsmHex(w, 4);
            break;
        case Operand::Imm16IndexB:
            t = "#" + AsmHex(w, 4) + "(B)";
            break;
        case Operand::Direct:
            t = AsmHex(w, 4);
            break;
        case Operand::Indirect:
            t = "@R" + std::to_string(b0);
            break;
        case Operand::IndexB:
            t = AsmHex(w, 4) + "(B)";
            break;
        case Operand::Offset:
            t = signedText(static_cast<std::int8_t>(b0)) + "(R" + std::to_string(w & 0xFF) + ")";
            break;
        case Operand::Rel8:
            t = target(next + static_cast<std::int8_t>(b0), address, labels);
            break;
        case Operand::Rel16:
            t = target(next + static_cast<std::int16_t>(w), address, labels);
            break;
        case Operand::Rel16IndexB:
            t = target(next + static_cast<std::int16_t>(w), address, labels) + "(B)";
            break;
        case Operand::TrapNumber:
            t = std::to_string(ins->trap);
            break;
        case Operand::None:
            break;
        }
        at += static_cast<std::size_t>(FieldSize(k));
        ops += (ops.empty() ? "" : ",") + t;
    }
    return {ins->length, ins->mnemonic, ops};
}

std::vector<std::string> DisassembleListing(const CoffFile& f) {
    std::vector<std::string> out;
    // A name defined twice (local labels of two modules) would not assemble: only its first
    // address gets the label, the others a comment.
    std::set<std::string> used;
    std::map<std::pair<size_t, std::uint32_t>, std::vector<std::string>> labels, comments;
    for (const auto& s : f.symbols) {
        if (s.section < 1 || static_cast<size_t>(s.section) > f.sections.size() ||
            s.storageClass == kClassFile)
            continue;
        const auto key = std::make_pair(static_cast<size_t>(s.section - 1), s.value);
        (used.insert(s.name).second ? labels : comments)[key].push_back(s.name);
    }
    for (size_t i = 0; i < f.sections.size(); ++i) {
        const CoffSection& s = f.sections[i];
        out.push_back("");
        const std::string where = "; " + AsmHex(s.address, 4) + ", " + std::to_string(s.size) + " bytes";
        if (!s.hasData()) {
            out.push_back("; section " + s.name + " " + where.substr(2) + ", no contents");
            continue;
        }
        out.push_back(withComment("        .sect   \"" + s.name + "\"", where.substr(2)));
        const LabelAt labelAt = [&](std::uint32_t a) -> std::optional<std::string> {
            auto it = labels.find({i, a});
            if (it == labels.end() || a < s.address || a >= s.address + s.size) return std::nullopt;
            return it->second.front();
        };
        const auto* data = reinterpret_cast<const std::uint8_t*>(s.data.data());
        const bool code = s.flags & kSectText;
        for (std::size_t at = 0; at < s.data.size();) {
            const std::uint32_t address = s.address + static_cast<std::uint32_t>(at);
            if (auto it = labels.find({i, address}); it != labels.end())
                for (const auto& l : it->second)
                    out.push_back(l + ":");
            if (auto it = comments.find({i, address}); it != comments.end())
                for (const auto& l : it->second)
                    out.push_back("; " + l + " (a label of the same name is above)");
            std::span<const std::uint8_t> rest(data + at, s.data.size() - at);
            Disassembled d;
            if (code) {
                d = DisassembleOne(rest, address, labelAt);
            } else {
                // Data rows stop at the next label so that every label stays on a line of its own.
                std::size_t n = 1;
                while (n < 8 && n < rest.size() &&
                       !labels.count({i, address + static_cast<std::uint32_t>(n)}))
                    ++n;
                d.length = static_cast<int>(n);
                d.mnemonic = ".byte";
                for (std::size_t k = 0; k < n; ++k)
                    d.operands += (k ? "," : "") + AsmHex(rest[k]);
            }
            const auto taken = rest.subspan(0, static_cast<std::size_t>(d.length));
            out.push_back(withComment("        " + pad(d.mnemonic, 8) + d.operands,
                                      hexDigits(address, 4) + ": " + byteList(taken)));
            at += static_cast<std::size_t>(d.length);
        }
    }
    return out;
}

} // namespace halyard::tms370
