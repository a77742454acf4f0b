// LoadFileAt of arbitrary bytes into 8- and 32-bit images at arbitrary positions (and Load of the
// same bytes): the first 16 bytes choose the image and the placement, the rest is the file.
#include "files/gll_manager.h"
#include "raster/image.h"
#include "support/fuzz_input.h"

#include <cstdint>

namespace {

CGllManager* Manager()
{
    static CGllManager* manager = [] {
        auto* m = new CGllManager;
        RegisterBuiltinImageLoaders(*m);
        return m;
    }();
    return manager;
}

// Mostly small positions, sometimes the extremes of the 32-bit range.
LONG Position(uint32_t v)
{
    return (v & 0xC0000000u) == 0xC0000000u ? static_cast<LONG>(v) : static_cast<LONG>(v % 96) - 32;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    g_pGllManager = Manager();
    FuzzInput in{data, size < 16 ? size : 16};
    const uint32_t shape = in.U32();
    const LONG x = Position(in.U32());
    const LONG y = Position(in.U32());
    const uint32_t flags = in.U32();
    const uint8_t* file = size > 16 ? data + 16 : nullptr;
    const auto fileSize = static_cast<uint32_t>(size > 16 ? size - 16 : 0);

    CImage image;
    const int bits = (shape & 1) ? 32 : 8;
    if (image.Create(1 + static_cast<LONG>(shape >> 1 & 63), 1 + static_cast<LONG>(shape >> 7 & 63), bits,
                     kImageWithTracker | (flags & kImageWithDc)) != 0)
        return 0;
    if (flags & 2) {
        image.SetPaletteEntries(nullptr, 256, 0);
        image.GetUpdateRegion()->Reset();
        image.SetChanged(false);
    }
    const int code = image.LoadFileAt(nullptr, file, fileSize, x, y, (flags & 4) != 0);
    // A failure leaves nothing tracked; a success tracks only what lies inside the image.
    const CUpdateRegion* region = image.GetUpdateRegion();
    if (code != 0 && (image.IsChanged() || region->Count() != 0))
        __builtin_trap();
    if (code == 0 && region->Count() != 0) {
        const RECT& b = region->Bounds();
        if (b.left < 0 || b.top < 0 || b.right > image.GetWidth() || b.bottom > image.GetHeight())
            __builtin_trap();
    }
    if (flags & 8) {
        CImage loaded;
        loaded.Load(nullptr, file, fileSize, flags & 3);
        loaded.LoadWithPalette(nullptr, file, fileSize, 0);
    }
    g_pGllManager = nullptr;
    return 0;
}
