// Fuzzes the ELG loader over arbitrary bytes: loads into caller memory (32-bit and eight-bit,
// contiguous and pitched) and into a bitmap; every stream decoder is reached through them.
#include <cstddef>
#include <cstdint>

#include "files/elg_loader.h"
#include "support/picture_target.h"
#include "winapi/kernel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    const auto n = static_cast<DWORD>(size);
    ElgHeader header;
    if (ParseElgHeader(data, n, header) == 0
        && static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height) > (uint64_t{1} << 24))
        return 0;
    CElgLoader loader;
    for (BOOL eightBit : {FALSE, TRUE}) {
        for (int extra : {0, 5}) {
            PictureTarget t{extra, {}, {}};
            loader.Load(data, n, PictureTarget::Allocate, &t, eightBit, nullptr, nullptr);
        }
    }
    HGLOBAL info = nullptr;
    HGLOBAL bits = nullptr;
    if (loader.LoadPicture(data, n, &info, &bits, nullptr, nullptr) == 0) {
        GlobalFree(info);
        GlobalFree(bits);
    }
    return 0;
}
