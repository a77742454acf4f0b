// Fuzzes the backlog's saved form: the input is loaded (byte 0: the capacity) and, when it loads,
// saved, loaded again into a second log and saved: the bytes must be equal, and a refused input
// must leave the log as it was.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "script/text_log.h"

namespace {

std::vector<uint8_t> Save(const CTextLog& log)
{
    std::vector<uint8_t> out(log.GetSaveSize(0, CTextLog::kAllSerials));
    uint8_t* p = out.data();
    if (!out.empty() && (log.Save(&p, 0, CTextLog::kAllSerials) != 0 || p != out.data() + out.size()))
        __builtin_trap();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CTextLog log;
    log.SetCapacity(data[0] % 16);
    static const uint8_t kept[] = {'k'};
    log.AddMessage(kept, 1, 0, "n", nullptr, 0);
    const std::vector<uint8_t> before = Save(log);
    const uint8_t* p = data + 1;
    const int r = log.Load(&p, data + size, true);
    if (r != 0) {
        if (Save(log) != before)
            __builtin_trap();
        return 0;
    }
    if (p < data + 1 || p > data + size)
        __builtin_trap();
    const std::vector<uint8_t> first = Save(log);
    CTextLog again;
    again.SetCapacity(data[0] % 16);
    const uint8_t* q = first.data();
    if (!first.empty() && again.Load(&q, first.data() + first.size(), true) != 0)
        __builtin_trap();
    if (!first.empty() && Save(again) != first)
        __builtin_trap();
    return 0;
}
