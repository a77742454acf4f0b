// Fuzzes the background table's parser (DATA/BG.TXT): every input gives a code; an error leaves no
// values, and "*" never repeats a positive value.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "script/bg_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<int32_t> values{1};
    const int r = ParseBackgroundTable(data, size, &values);
    if (r < 0 || r > 6 || (r != 0 && !values.empty()))
        __builtin_trap();
    if (values.size() > size)
        __builtin_trap();
    return 0;
}
