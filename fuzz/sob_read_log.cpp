// Fuzzes the read log (TLOG) merged into the sample module table; a merged log saved again and
// merged into a fresh table gives the same bits. Seeds: logs of the sample table.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/sob_runtime_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<CSobRuntime> rt = fuzzsob::MakeRuntime(true, false, false);
    if (rt->MergeReadLog(data, size) != 0)
        return 0;
    const std::vector<uint8_t> log = rt->BuildReadLog();
    std::unique_ptr<CSobRuntime> again = fuzzsob::MakeRuntime(true, false, false);
    if (again->MergeReadLog(log.data(), log.size()) != 0 || again->BuildReadLog() != log)
        __builtin_trap();
    return 0;
}
