// Fuzzes the BMP loader over arbitrary bytes: loads into caller memory (32-bit and eight-bit) and
// into a bitmap, which reach the RLE decoders and the mask expansion.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/bmp_loader.h"
#include "winapi/kernel.h"

namespace {

struct Target {
    std::vector<BYTE> pixels;
    std::vector<BYTE> palette;
};

void* Allocate(int width, int height, int bits, BOOL, int* pitch, BYTE** palette, void* user)
{
    auto* t = static_cast<Target*>(user);
    *pitch = width * (bits / 8) + 3;
    t->pixels.assign(static_cast<size_t>(*pitch) * height, 0);
    if (palette != nullptr) {
        t->palette.assign(1024, 0);
        *palette = t->palette.data();
    }
    return t->pixels.data();
}

}  // namespace

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
        Target t;
        loader.Load(data, n, Allocate, &t, eightBit, nullptr, nullptr);
    }
    HGLOBAL infoBlock = nullptr;
    HGLOBAL bits = nullptr;
    if (loader.LoadPicture(data, n, &infoBlock, &bits, nullptr, nullptr) == 0) {
        GlobalFree(infoBlock);
        GlobalFree(bits);
    }
    return 0;
}
