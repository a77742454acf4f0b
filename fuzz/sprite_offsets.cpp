// Fuzzes the offset tables of picture extension chains: the bytes as an ELG picture whose chain is
// looked up, and as a chain on its own; every key found is checked against a plain scan of the
// whole entries inside the first block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "files/elg_loader.h"
#include "script/tgs_layers.h"

namespace {

int32_t Plain(const uint8_t* chain, size_t size, int32_t key)
{
    if (size < 5)
        return 0;
    const uint64_t length = chain[1] | (uint64_t(chain[2]) << 8) | (uint64_t(chain[3]) << 16) | (uint64_t(chain[4]) << 24);
    if (length < 4)
        return 0;
    for (uint64_t at = 5; at + 6 <= 5 + (length - 4) && at + 6 <= size; at += 6) {
        if (static_cast<int16_t>(chain[at] | chain[at + 1] << 8) == key)
            return static_cast<int16_t>(chain[at + 4] | chain[at + 5] << 8);
    }
    return 0;
}

void Check(const uint8_t* chain, size_t size)
{
    // The keys the sprites ask for (the picture numbers 1-6 and around), and each key present.
    for (int32_t key = -2; key < 9; ++key) {
        if (FindPictureOffset(chain, size, key) != Plain(chain, size, key))
            std::abort();
    }
    for (size_t at = 5; at + 2 <= size && at < 5 + 6 * 64; at += 6) {
        const int32_t key = static_cast<int16_t>(chain[at] | chain[at + 1] << 8);
        if (FindPictureOffset(chain, size, key) != Plain(chain, size, key))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    Check(data, size);
    ElgHeader header;
    if (ParseElgHeader(data, static_cast<DWORD>(size), header) == 0 && header.chainSize != 0)
        Check(data + header.chainOffset, header.chainSize);
    return 0;
}
