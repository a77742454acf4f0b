// Fuzzes the dialog filter conversion (script data): the copy must end in two NULs, hold no tab
// outside a Shift-JIS character, and never read past the text's end; its pairs are then parsed
// as the dialog stand-in parses them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "files/shell_dialogs.h"
#include "winapi/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto text = std::make_unique<char[]>(size + 1);
    std::memcpy(text.get(), data, size);
    text[size] = 0;
    const std::string filter = ConvertFilter(text.get());
    if (filter.size() < 2 || filter[filter.size() - 1] != 0 || filter[filter.size() - 2] != 0)
        __builtin_trap();  // not ended by two NULs
    if (filter.size() > std::strlen(text.get()) + 2)
        __builtin_trap();  // grew beyond the text and its end
    for (size_t i = 0; i < filter.size(); ++i) {
        if (winapi::IsSjisLeadByte(static_cast<unsigned char>(filter[i])) && i + 1 < filter.size())
            ++i;
        else if (filter[i] == '\t')
            __builtin_trap();  // a tab left outside a character
    }
    // Walk the list as a dialog does: strings until an empty one, never past the copy.
    const char* p = filter.c_str();
    const char* end = p + filter.size();
    while (p < end && *p != 0)
        p += std::strlen(p) + 1;
    if (p >= end)
        __builtin_trap();
    return 0;
}
