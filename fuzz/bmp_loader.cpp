// Fuzzes the BMP loader over arbitrary bytes: loads into caller memory (32-bit and eight-bit) and
// into a bitmap, which reach the RLE decoders and the mask expansion.
#include <cstddef>
#include <cstdint>

#include "files/bmp_loader.h"
#include "support/picture_target.h"
#include "winapi/kernel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    const auto n = static_cast<DWORD>(size);
    // Compressed bitmaps may name large pictures in a few bytes; keep the fuzzer's memory small.
    BmpInfo info;
    if (ParseBmpHeader(data, n, info) == 0
        && static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.height) > (uint64_t{1} << 22))
        return 0;
    CBmpLoader loader;
    for (BOOL eightBit : {FALSE, TRUE}) {
        PictureTarget t{3, {}, {}};
        loader.Load(data, n, PictureTarget::Allocate, &t, eightBit, nullptr, nullptr);
    }
    HGLOBAL infoBlock = nullptr;
    HGLOBAL bits = nullptr;
    if (loader.LoadPicture(data, n, &infoBlock, &bits, nullptr, nullptr) == 0) {
        GlobalFree(infoBlock);
        GlobalFree(bits);
    }
    return 0;
}
