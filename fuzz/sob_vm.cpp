// Fuzzes the SOB machine. Input: one word choosing the start address (low 2 bits: 0 inside the
// image, 1 below 64 KiB, 2 past the end of memory, 3 the word itself), then cells placed at
// 0x10000 in 1 MiB of script memory with a stack and three natives (integer, string and
// out-address words; the third also tries to run its own machine again). Seeds: `tessaro-tool sob asm` images behind a zero word. Each run must end
// with 0-3; the host block holds only usable addresses, so any stray access is an ASan report.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "script/script_memory.h"
#include "script/sob_vm.h"

namespace {

uint32_t Add(SobNativeArgs& args)
{
    return static_cast<uint32_t>(args.U32(0) + args.U32(1));
}
uint32_t Length(SobNativeArgs& args)
{
    return static_cast<uint32_t>(args.Str(0).size());
}
uint32_t Out(SobNativeArgs& args)
{
    uint8_t* bytes = args.Span(1, 8);
    if (bytes != nullptr)
        std::memset(bytes, 0x5A, 8);
    args.Out32(0, args.Address());
    return args.Machine() != nullptr ? static_cast<uint32_t>(args.Machine()->Run()) : 0;
}
const SobNative kNatives[] = {Add, Length, Out};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    uint32_t word = 0;
    std::memcpy(&word, data, 4);
    data += 4;
    size -= 4;
    CScriptMemory memory(1u << 20);
    const uint32_t imageSize = static_cast<uint32_t>(size < 0x80000 ? size : 0x80000);
    const uint32_t image = memory.Allocate(imageSize);
    if (image != CScriptMemory::kBase)
        __builtin_trap();
    std::memcpy(memory.Span(image, imageSize), data, imageSize);
    {
        CSobVM machine(memory);
        if (machine.AllocateStack(256) != 0)
            __builtin_trap();
        machine.SetNatives(kNatives, 3);
        machine.SetInstructionBudget(100000);
        uint32_t start = word;
        switch (word & 3) {
        case 0: start = image + (imageSize >= 4 ? (word >> 2) % (imageSize / 4) * 4 : 0); break;
        case 1: start = (word >> 2) & 0xFFFF; break;
        case 2: start = memory.End() + ((word >> 2) & 0xFFFF); break;
        }
        int result = machine.Call(start);
        for (int i = 0; i < 4 && result == kSobYield; ++i)
            result = machine.Run();
        if (result < 0 || result > 3)
            __builtin_trap();
    }
    return 0;
}
