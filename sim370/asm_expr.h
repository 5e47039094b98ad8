// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Operands and expressions of asm370's source: how an operand is written decides its addressing
// mode (R10, P021, #5, @R10, 2(R10), table(B), 1234h), and an expression is a sum of numbers,
// characters, symbols and "$" (the address of the instruction).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "tms370/instruction_set.h"

namespace halyard::sim370 {

// The written form of one operand.
enum class Syntax { A, B, St, Reg, Periph, Imm, ImmIndexB, Indirect, IndexB, Offset, Expr };

struct ParsedOperand {
    Syntax syntax = Syntax::Expr;
    int reg = 0;      // Reg, Periph, Indirect, Offset: the register or peripheral number
    std::string expr; // Imm, ImmIndexB, IndexB, Offset, Expr: the expression text
};

// Register aliases ("COUNT .equ R5") are looked up by name; an unknown name is an expression.
using AliasLookup = std::function<std::optional<std::string>(const std::string&)>;

// nullopt with *why set when the text is no operand at all (R300, an empty operand).
std::optional<ParsedOperand> ParseOperand(const std::string& text, const AliasLookup& aliases,
                                          std::string* why);

// Whether a written form fits an operand kind of the instruction table.
bool Fits(Syntax s, tms370::Operand k);

// An expression's value: a number, or a number relative to a section of this module or to a
// symbol of another module.
struct ExprValue {
    enum Base { Absolute, Section, External } base = Absolute;
    std::string name; // the section or the external symbol
    std::int64_t value = 0;
};

// What a name stands for when an expression is evaluated; nullopt for an unknown name.
using SymbolLookup = std::function<std::optional<ExprValue>(const std::string&)>;

// here: the value of "$". nullopt with *why set for a malformed expression or an unknown symbol.
std::optional<ExprValue> Evaluate(const std::string& text, const SymbolLookup& symbols, const ExprValue& here,
                                  std::string* why);

// Numbers as the assembler writes them: 10, 0Ah, 0x0A, 1010b, 'A'.
std::optional<std::int64_t> ParseAsmNumber(const std::string& text);

} // namespace halyard::sim370
