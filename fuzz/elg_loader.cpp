// Fuzzes the ELG loader over arbitrary bytes: loads into caller memory (32-bit and eight-bit,
// contiguous and pitched) and into a bitmap; every stream decoder is reached through them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/elg_loader.h"
#include "winapi/kernel.h"

namespace {

struct Target {
    int extra;
    std::vector<BYTE> pixels;
    std::vector<BYTE> palette;
};

void* Allocate(int width, int height, int bits, BOOL, int* pitch, BYTE** palette, void* user)
{
    auto* t = static_cast<Target*>(user);
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > (uint64_t{1} << 24))
        return nullptr;
    *pitch = width * (bits / 8) + t->extra;
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
    ElgHeader header;
    if (ParseElgHeader(data, n, header) == 0
        && static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height) > (uint64_t{1} << 24))
        return 0;
    CElgLoader loader;
    for (BOOL eightBit : {FALSE, TRUE}) {
        for (int extra : {0, 5}) {
            Target t{extra, {}, {}};
            loader.Load(data, n, Allocate, &t, eightBit, nullptr, nullptr);
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
