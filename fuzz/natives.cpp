// The generic native harness: a live host with a sprite and a text panel, a stale handle, strings
// and buffers in script memory; the input picks natives and their words (raw, 0, 65535, -1, live,
// stale and wrong-type handles, string and buffer addresses, block ends, below 0x10000, past
// memory) and runs each through the native opcode. After a fault the call stack is reset. Native
// issues add seeds for their groups.
#include <cstddef>
#include <cstdint>

#include "controls/text_panel.h"
#include "drawing/sprite.h"
#include "natives/native_table.h"
#include "support/fuzz_input.h"
#include "support/script_host_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CScriptHost& host = fuzzhost::Host();
    CScriptMemory& memory = host.Memory();
    static CSprite sprite;
    static uint32_t live = host.ObjectHandle(&sprite);
    static CTextPanel panel;
    static uint32_t control = host.ObjectHandle(&panel);
    static uint32_t stale = [&] {
        auto* gone = new CSprite();
        const uint32_t h = host.ObjectHandle(gone);
        delete gone;
        return h;
    }();
    static uint32_t code = memory.Allocate(32);
    static uint32_t args = memory.Allocate(64);
    static uint32_t text = [&] {
        const uint32_t at = memory.Allocate(16);
        std::memcpy(memory.Span(at, 12), "SLOT.DAT\0ab", 12);
        return at;
    }();
    static uint32_t buffer = memory.Allocate(16);
    const uint32_t words[] = {0, 65535, 0xFFFFFFFFu, live, stale, live ^ 0x100, control, text, buffer, buffer + 16, buffer + 15,
                              0x100, memory.End(), memory.End() - 2, host.VariableRecords().empty() ? 0 : host.VariableRecords()[0].address};
    FuzzInput in{data, size};
    for (int call = 0; call < 8 && !in.AtEnd(); ++call) {
        const uint32_t n = in.U32() % kNativeCount;
        // Natives that end or replace the running script are served by the run step, not here.
        if (n <= 2)
            continue;
        for (uint32_t k = 0; k < 8; ++k) {
            const uint32_t pick = in.U32();
            memory.Store32(args + 4 * k, pick & 0x80000000u ? pick : words[pick % (sizeof words / sizeof words[0])]);
        }
        const uint32_t cells[] = {5, 0x7F000000u + n, args, args + 60, 0};
        for (uint32_t k = 0; k < 5; ++k)
            memory.Store32(code + 4 * k, cells[k]);
        host.Machine().SetIp(code);
        if (host.Machine().Run() == kSobFault)
            host.ResetCallStack(0);
    }
    return 0;
}
