// The SOB instruction set as one table: opcode, mnemonic and the kinds of its operand cells. The
// interpreter takes each instruction's length from it, and the assembler and disassembler their
// syntax, so the three cannot disagree.
//
// Operand kinds: V an immediate value (the cell's content), A the address of a data cell,
// S a byte offset below sp (a stack slot), C the address of a code cell. The switch (opcode 7)
// has one V operand followed by a table of C cells ended by a cell holding -1.
#pragma once

#include <cstdint>
#include <string_view>

struct SobInstructionInfo {
    int opcode;
    const char* mnemonic;
    const char* operands; // one letter per operand cell: V, A, S or C
};

inline constexpr int kSobOpcodeCount = 47;

inline constexpr SobInstructionInfo kSobInstructions[kSobOpcodeCount] = {
    {0, "yield", ""},      // Run answers 1, ip at the next cell
    {1, "ret", ""},        // pop; 0 leaves (Run answers 0), else ip = popped
    {2, "retv", "V"},      // pop; 0 leaves, else accumulator = op1 and ip = popped
    {3, "stacc", "A"},     // [op1] = accumulator
    {4, "call", "C"},      // push the address after op1; ip = op1
    {5, "ncall", "VVA"},   // [op3] = native op1 (argument words at op2)
    {6, "jmp", "C"},       // ip = op1
    {7, "switch", "V"},    // ip = table[op1]; the table follows op1, ended by -1
    {8, "push", "V"},      // push op1
    {9, "pushm", "A"},     // push [op1]
    {10, "pop", "A"},      // pop into [op1]
    {11, "spadd", "V"},    // sp += op1 bytes
    {12, "spsub", "V"},    // sp -= op1 bytes
    {13, "add", "VVA"},    // [op3] = op1 + op2
    {14, "sub", "VVA"},    // [op3] = op1 - op2
    {15, "mul", "VVA"},    // [op3] = op1 * op2 (low 32 bits)
    {16, "div", "VVA"},    // [op3] = op1 / op2 (truncating)
    {17, "rem", "VVA"},    // [op3] = op1 % op2 (sign of op1)
    {18, "mod", "VVA"},    // [op3] = op1 % op2, plus op2 when negative
    {19, "and", "VVA"},    // [op3] = op1 & op2
    {20, "or", "VVA"},     // [op3] = op1 | op2
    {21, "xor", "VVA"},    // [op3] = op1 ^ op2
    {22, "not", "VA"},     // [op2] = ~op1
    {23, "lnot", "VA"},    // [op2] = op1 == 0
    {24, "sar", "VVA"},    // [op3] = op1 >> (op2 mod 32), arithmetic
    {25, "shl", "VVA"},    // [op3] = op1 << (op2 mod 32)
    {26, "inc", "A"},      // [op1] += 1
    {27, "dec", "A"},      // [op1] -= 1
    {28, "sinc", "S"},     // slot op1 += 1
    {29, "sdec", "S"},     // slot op1 -= 1
    {30, "jz", "VC"},      // if op1 == 0: ip = op2
    {31, "mov", "VA"},     // [op2] = op1
    {32, "movm", "AA"},    // [op2] = [op1]
    {33, "movp", "VA"},    // [[op2]] = op1
    {34, "sset", "VS"},    // slot op2 = op1
    {35, "sget", "SA"},    // [op2] = slot op1
    {36, "sput", "AS"},    // slot op2 = [op1]
    {37, "scopy", "SS"},   // slot op2 = slot op1
    {38, "sderef", "SA"},  // [op2] = [slot op1]
    {39, "deref", "AA"},   // [op2] = [[op1]]
    {40, "saddr", "VA"},   // [op2] = sp - op1
    {41, "lt", "VVA"},     // [op3] = op1 < op2
    {42, "le", "VVA"},     // [op3] = op1 <= op2
    {43, "gt", "VVA"},     // [op3] = op1 > op2
    {44, "ge", "VVA"},     // [op3] = op1 >= op2
    {45, "eq", "VVA"},     // [op3] = op1 == op2
    {46, "ne", "VVA"},     // [op3] = op1 != op2
};

inline constexpr int kSobSwitchOpcode = 7;
inline constexpr uint32_t kSobSwitchEnd = 0xFFFFFFFFu;

// Number of operand cells before any switch table.
constexpr uint32_t SobOperandCount(int opcode)
{
    return static_cast<uint32_t>(std::string_view(kSobInstructions[opcode].operands).size());
}

// The instruction with that mnemonic (exact, lower case), or null.
const SobInstructionInfo* FindSobInstruction(std::string_view mnemonic);
