// Fuzzes the module table (SOB_INIT.DAT); a loaded table takes a few bits and its read log must
// merge back. Seeds: `tessaro-tool sob init` files.
#include <cstddef>
#include <cstdint>

#include "support/sob_runtime_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<CSobRuntime> rt = fuzzsob::MakeRuntime(false, false, false);
    if (rt->LoadModuleTable(data, size) != 0) {
        if (rt->HasModuleTable())
            __builtin_trap();
        return 0;
    }
    for (uint32_t bit : {0u, 7u, 100u})
        rt->SetReadBit(bit, true), rt->SetChoiceBit(bit, true);
    const std::vector<uint8_t> log = rt->BuildReadLog();
    if (rt->MergeReadLog(log.data(), log.size()) != 0)
        __builtin_trap();
    return 0;
}
