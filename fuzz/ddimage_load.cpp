// CDDImage::Load of arbitrary bytes in each display depth (16, 24, 32 bits; odd widths are widened
// in the 24-bit mode): the first byte chooses the depth and whether the image is lost and restored
// afterwards, the rest is the file.
#include "display/dd_image.h"
#include "files/gll_manager.h"
#include "support/fuzz_input.h"
#include "winapi/ddraw_testing.h"
#include "winapi/user.h"

#include <cstdint>

namespace {

struct Setup {
    CGllManager manager;
    CDisplayDevice device;
    HWND window = nullptr;
    DWORD depth = 0;
};

Setup& Get()
{
    static Setup* setup = [] {
        auto* s = new Setup;
        RegisterBuiltinImageLoaders(s->manager);
        winapi::ddraw_testing::Current().offer24Bits = true;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "DDImageLoadFuzz";
        RegisterClassExA(&wc);
        s->window = CreateWindowExA(0, "DDImageLoadFuzz", "f", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr,
                                    nullptr, nullptr);
        s->device.Create(false, false, nullptr, nullptr, 0, false, 0, 0, false, true, false);
        s->device.SetDepthMask(DepthBit(16) | DepthBit(24) | DepthBit(32));
        return s;
    }();
    return *setup;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    Setup& s = Get();
    g_pGllManager = &s.manager;
    g_pSurfaceDisplayDevice = &s.device;
    const DWORD depths[3] = {16, 24, 32};
    const DWORD depth = depths[(data[0] & 3) % 3];
    if (depth != s.depth && s.device.SetFullScreenMode(s.window, 640, 480, depth, false) == 0)
        s.depth = depth;
    CDDImage image;
    const int code = image.Load(nullptr, size > 1 ? data + 1 : nullptr, static_cast<uint32_t>(size - 1), false);
    if (code != 0 && image.GetDirectDrawSurface())
        __builtin_trap();
    if (code == 0) {
        image.GetPixelValue(image.GetWidth() - 1, image.GetHeight() - 1);
        if (data[0] & 4) {
            winapi::ddraw_testing::LoseAllSurfaces();
            if (image.Restore(true) != 0)
                __builtin_trap();
        }
        if (data[0] & 8)
            image.SetColorKeyAt(0, 0);
    }
    return 0;
}
