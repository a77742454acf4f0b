// The scripts' formatter: any format text and any argument words (raw values, string addresses,
// addresses past memory) under any bound; the output never passes its bound, and a bad string
// address marks the call instead of being read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "natives/script_format.h"
#include "script/script_memory.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CScriptMemory memory(1u << 16);
    static uint32_t words = memory.Allocate(64);
    static uint32_t format = memory.Allocate(256);
    static uint32_t text = [] {
        const uint32_t at = memory.Allocate(16);
        std::memcpy(memory.Span(at, 6), "ab\x83\x41z", 6);
        return at;
    }();
    FuzzInput in{data, size};
    const uint32_t limit = in.U32() % 2048;
    const uint32_t picks[] = {0, text, text + 3, memory.End(), memory.End() - 1, 0x7FFFFFFFu, 0x80000000u};
    memory.Store32(words, format);
    for (uint32_t k = 1; k < 16; ++k) {
        const uint32_t pick = in.U32();
        memory.Store32(words + 4 * k, pick & 0x80000000u ? pick : picks[pick % (sizeof picks / sizeof picks[0])]);
    }
    uint8_t* f = memory.Span(format, 256);
    size_t n = 0;
    while (n < 255 && !in.AtEnd())
        f[n++] = in.Byte();
    f[n] = 0;
    SobNativeArgs args(memory, nullptr, words, nullptr);
    std::string out;
    const bool fits = FormatScriptText(args, 0, 1, limit, &out);
    if (out.size() > limit || (!fits && !args.Faulted() && out.size() != limit))
        std::abort();
    return 0;
}
