// CFileImageSurface::Load of arbitrary bytes on a Direct3D device: the first byte chooses the
// texture format (555, 565, 888, x888, 1555, 4444, 8888 or an unknown code), the device's caps
// (powers of two, square only, a small maximum side) and whether the texture is lost and restored
// afterwards; the rest is the file.
#include "display/file_image_surface.h"
#include "display/screen.h"
#include "files/gll_manager.h"
#include "support/fuzz_input.h"
#include "winapi/ddraw_testing.h"
#include "winapi/user.h"

#include <cstdint>

namespace {

struct Setup {
    CGllManager manager;
    CScreen screen;
    HWND window = nullptr;
};

Setup& Get()
{
    static Setup* setup = [] {
        auto* s = new Setup;
        RegisterBuiltinImageLoaders(s->manager);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "TextureLoadFuzz";
        RegisterClassExA(&wc);
        s->window = CreateWindowExA(0, "TextureLoadFuzz", "f", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr,
                                    nullptr, nullptr);
        s->screen.SetOutputSize(64, 64);
        s->screen.SetWantDirect3DForTests(true);
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
    auto& sw = winapi::ddraw_testing::Current();
    const uint32_t codes[8] = {4, 8, 16, 32, 64, 128, 256, 2};
    const uint8_t caps = static_cast<uint8_t>(data[0] >> 3);
    sw.textureCaps = (caps & 1 ? D3DPTEXTURECAPS_POW2 : 0) | (caps & 2 ? D3DPTEXTURECAPS_SQUAREONLY : 0);
    sw.maxTextureSide = caps & 4 ? 32 : 4096;
    // The device reads the caps when it is made.
    if (s.screen.CreateDisplay(s.window, true, false, false) != 0)
        return 0;
    CFileImageSurface texture;
    const int code = texture.Load(codes[data[0] & 7], nullptr, size > 1 ? data + 1 : nullptr,
                                  static_cast<uint32_t>(size - 1), false);
    if (code != 0 && (texture.GetTextureSurface() != nullptr || texture.GetSourceWidth() != 0))
        __builtin_trap();
    if (code == 0) {
        if (texture.GetTexU(texture.GetSourceWidth() - 1) > 1.0 || texture.GetSourceWidth() < 1)
            __builtin_trap();
        s.screen.SetTexture(&texture);
        if (caps & 8) {
            winapi::ddraw_testing::LoseAllSurfaces();
            if (texture.Restore(true) != 0)
                __builtin_trap();
        }
    }
    return 0;
}
