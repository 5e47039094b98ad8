// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test programs written as bytes, their opcodes looked up in the instruction table by mnemonic and
// operand kinds, so that a test names the instruction the way a listing does.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tms370/instruction_set.h"

namespace halyard::sim::test {

using K = tms370::Operand;

class Code {
public:
    explicit Code(uint16_t origin) : origin_(origin) {}

    uint16_t here() const { return static_cast<uint16_t>(origin_ + bytes_.size()); }
    Code& label(const std::string& name) {
        labels_[name] = here();
        return *this;
    }
    uint16_t at(const std::string& name) const { return labels_.at(name); }

    // One instruction: its operand kinds in source order and its field bytes. A jump names its
    // target label last; the offset is worked out from it (the label may come later).
    Code& op(const std::string& mnemonic, std::initializer_list<K> kinds = {},
             std::initializer_list<uint8_t> fields = {}, const std::string& target = "") {
        const tms370::Instruction* row = find(mnemonic, kinds);
        if (!row) {
            ADD_FAILURE() << "no row " << mnemonic;
            return *this;
        }
        const uint16_t start = here();
        if (row->prefix) bytes_.push_back(row->prefix);
        bytes_.push_back(row->opcode);
        bytes_.insert(bytes_.end(), fields);
        if (!target.empty()) {
            fixups_.push_back({bytes_.size(), static_cast<uint16_t>(start + row->length), target});
            bytes_.push_back(0);
        }
        EXPECT_EQ(here() - start, row->length) << mnemonic << ": fields do not fill the instruction";
        return *this;
    }
    Code& bytes(std::initializer_list<uint8_t> b) {
        bytes_.insert(bytes_.end(), b);
        return *this;
    }

    std::vector<uint8_t> finish() const {
        std::vector<uint8_t> out = bytes_;
        for (const auto& f : fixups_) {
            const int offset = labels_.at(f.label) - f.next;
            EXPECT_TRUE(offset >= -128 && offset <= 127) << "jump to " << f.label << " out of range";
            out[f.index] = static_cast<uint8_t>(offset);
        }
        return out;
    }

    static const tms370::Instruction* find(const std::string& mnemonic, std::initializer_list<K> kinds) {
        for (const tms370::Instruction* row : tms370::FormsOf(mnemonic)) {
            std::array<K, 3> want{K::None, K::None, K::None};
            size_t i = 0;
            for (K k : kinds)
                want[i++] = k;
            // The jump offset is written as a label, not a kind.
            std::array<K, 3> have = row->operands;
            for (auto& h : have)
                if (h == K::Rel8) h = K::None;
            if (have == want) return row;
        }
        return nullptr;
    }

private:
    struct Fixup {
        size_t index;
        uint16_t next;
        std::string label;
    };
    uint16_t origin_;
    std::vector<uint8_t> bytes_;
    std::map<std::string, uint16_t> labels_;
    std::vector<Fixup> fixups_;
};

// The code at its origin and a reset vector that points there.
inline ProgramImage WithResetVector(const Code& code, uint16_t origin) {
    ProgramImage image;
    image.blocks.push_back({".text", origin, code.finish(), true});
    image.blocks.push_back(
        {".reset", ResetVector, {static_cast<uint8_t>(origin >> 8), static_cast<uint8_t>(origin)}, true});
    return image;
}

} // namespace halyard::sim::test
