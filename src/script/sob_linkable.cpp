#include "script/sob_linkable.h"

bool ParseSobLinkable(const uint8_t* data, size_t size, SobLinkable* out, bool checkCells)
{
    if (data == nullptr || size < 4)
        return false;
    const uint64_t headerLength = SobLinkTable::Word(data);
    // H, the header, C and S.
    if (headerLength > size - 4 || size - 4 - headerLength < 8)
        return false;
    const uint8_t* header = data + 4;
    uint64_t at = 0;
    SobLinkable result;
    result.headerLength = static_cast<uint32_t>(headerLength);
    for (SobLinkTable& table : result.tables) {
        if (at + 4 > headerLength)
            return false;
        table.count = SobLinkTable::Word(header + at);
        at += 4;
        if (table.count > (headerLength - at) / 8)
            return false;
        table.entries = header + at;
        at += 8ull * table.count;
    }
    if (at + 4 > headerLength || SobLinkTable::Word(header + at) != 0)
        return false;
    const uint8_t* sizes = header + headerLength;
    result.codeLength = SobLinkTable::Word(sizes);
    result.imageSize = SobLinkTable::Word(sizes + 4);
    const size_t imageStart = 4 + headerLength + 8;
    if (result.imageSize > size - imageStart || result.codeLength > result.imageSize)
        return false;
    result.image = data + imageStart;
    for (const SobLinkTable& table : result.tables) {
        for (uint32_t i = 0; checkCells && i < table.count; ++i) {
            if (static_cast<uint64_t>(table.Offset(i)) + 4 > result.imageSize)
                return false;
        }
    }
    *out = result;
    return true;
}
