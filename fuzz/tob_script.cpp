// Fuzzes the TOB loader: the bytes as a scenario file, then every label and message lookup of a
// script that loaded. Seeds: files made by `tessaro-tool tob pack`.
#include <cstddef>
#include <cstdint>

#include "support/tgs_frame_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzztgs::Host host;
    CTgsFrame& frame = *host.frame;
    if (frame.LoadScriptBytes("MAIN", data, size, true) != kTobLoadOk)
        return 0;
    const TobScript* script = frame.PreloadedScripts().back();
    const uint8_t* image = host.rt.Memory().Span(script->image, script->size + 1);
    uint32_t at = script->labels;
    for (uint32_t i = 0; i < script->labelCount; ++i) {
        const int64_t offset = frame.FindLabel(script, reinterpret_cast<const char*>(image + at + 1));
        if (offset < 0 || offset > script->textSize)
            __builtin_trap();
        at += image[at] + 1;
    }
    for (uint32_t i = 0; i <= script->messageCount; ++i) {
        uint32_t word;
        const int64_t offset = frame.GetMessageOffset(script, i);
        if ((i < script->messageCount) != (offset >= 0) || offset > script->textSize)
            __builtin_trap();
        frame.GetMessageWord(script, i, &word);
    }
    if (image[script->size] != 0)
        __builtin_trap();
    return frame.ReleasePreloaded(nullptr) == 0 ? 0 : (__builtin_trap(), 0);
}
