// CKadFile from arbitrary bytes; on success every group range, FindGroup of every entry index
// and one past, and every entry's data read to the blob's end.
#include <cstddef>
#include <cstdint>

#include "drawing/kad_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    CKadFile file;
    if (file.LoadFromMemory(data, static_cast<uint32_t>(size)) != 0)
        return 0;
    const uint32_t entries = file.GetEntryCount();
    for (uint32_t g = 0; g <= file.GetGroupCount(); ++g) {
        const int32_t start = file.GetGroupStart(g);
        const int32_t end = file.GetGroupEnd(g);
        if ((start < 0) != (end < 0) || (start >= 0 && (end < start || static_cast<uint32_t>(end) >= entries)))
            __builtin_trap();
    }
    uint32_t sum = 0;
    for (uint32_t i = 0; i <= entries; ++i) {
        uint32_t offset = 0;
        const int32_t g = file.FindGroup(i, &offset);
        if (i == entries ? g != -1 : (g < 0 || offset > i))
            __builtin_trap();
        uint32_t left = 0;
        if (const uint8_t* p = file.GetEntryData(i, &left))
            for (uint32_t k = 0; k < left; ++k)
                sum += p[k];
    }
    if (file.GetLongestGroup() > entries)
        __builtin_trap();
    return static_cast<int>(sum & 0);
}
