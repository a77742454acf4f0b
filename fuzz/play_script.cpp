// Fuzzes the headless host's play-script reader (TESSARO_PLAY files): any bytes give events or one
// error naming a line of the text, never a crash; events come in time order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "winapi/play_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<winapi::PlayEvent> events;
    std::string error;
    const bool ok = winapi::ParsePlayScript(text, "play.txt", &events, &error);
    if (!ok && error.rfind("play.txt:", 0) != 0)
        __builtin_trap();  // an error that names no line
    if (ok && !error.empty())
        __builtin_trap();
    uint64_t last = 0;
    for (const winapi::PlayEvent& e : events) {
        if (e.at < last || e.line < 1)
            __builtin_trap();  // out of order, or a line that is not one
        last = e.at;
    }
    return 0;
}
