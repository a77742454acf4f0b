#include "script/sob_instructions.h"

static_assert([] {
    for (int i = 0; i < kSobOpcodeCount; ++i) {
        if (kSobInstructions[i].opcode != i)
            return false;
    }
    return true;
}(), "the instruction table is indexed by opcode");

const SobInstructionInfo* FindSobInstruction(std::string_view mnemonic)
{
    for (const SobInstructionInfo& info : kSobInstructions) {
        if (mnemonic == info.mnemonic)
            return &info;
    }
    return nullptr;
}
