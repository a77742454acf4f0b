// Natives 317-332, 351, 355, 356 (see image_natives.h).
#include "natives/image_natives.h"

#include <string>

#include "display/display_objects.h"
#include "natives/native_args.h"
#include "raster/dib_surface.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kAbsent = 65535;
constexpr uint8_t kMemoryImageKind = 4;

CSurface* SurfaceAt(SobNativeArgs& a, uint32_t k)
{
    CScriptHostBase* host = NativeHost(a);
    return host != nullptr ? host->Object<CSurface>(a.U32(k)) : nullptr;
}

CImage* ImageAt(SobNativeArgs& a, uint32_t k) { return GetSurfaceImage(SurfaceAt(a, k)); }

// The image of a kind-4 surface only (the rows that serve memory images alone).
CImage* MemoryImageAt(SobNativeArgs& a, uint32_t k)
{
    CSurface* surface = SurfaceAt(a, k);
    return surface != nullptr && surface->GetKind() == kMemoryImageKind ? GetSurfaceImage(surface) : nullptr;
}

uint8_t ByteAt(SobNativeArgs& a, uint32_t k) { return static_cast<uint8_t>(a.U32(k)); }
uint32_t Flag(bool b) { return b ? 1 : 0; }

const RECT* RectAt(SobNativeArgs& a, uint32_t k, RECT* r)
{
    *r = {a.I32(k), a.I32(k + 1), a.I32(k + 2), a.I32(k + 3)};
    return a.U32(k) == kAbsent ? nullptr : r;
}

// A file name that must lead inside the script roots → its full path, or empty.
std::string RootedPath(SobNativeArgs& a, uint32_t k)
{
    CScriptHostBase* host = NativeHost(a);
    const char* name = NativeOptionalString(a, k);
    std::string full;
    if (name == nullptr || host == nullptr || a.Faulted() || !host->ResolveScriptPath(name, &full))
        return {};
    return full;
}

bool HasPalette(const CImage& image) { return image.GetBitsPerPixel() == 8 && image.GetPalette() != nullptr; }

} // namespace

uint32_t NativeImage317(SobNativeArgs& a)
{
    CImage* image = MemoryImageAt(a, 0);
    const bool on = ByteAt(a, 1) != 0;
    if (image == nullptr)
        return 0;
    image->SetAlphaFlag(on);
    return 1;
}

uint32_t NativeImage318(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const std::string path = RootedPath(a, 1);
    const int32_t option = a.I32(2);
    const uint32_t type = a.U32(3);
    if (a.Faulted() || image == nullptr || path.empty())
        return kMinus1;
    return static_cast<uint32_t>(image->ExportPixels(path.c_str(), option, type));
}

uint32_t NativeImage319(SobNativeArgs& a)
{
    CImage* image = MemoryImageAt(a, 0);
    return image != nullptr ? Flag(image->HasAlpha()) : 0;
}

uint32_t NativeImage320(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const std::string path = RootedPath(a, 1);
    const int32_t x = a.I32(2), y = a.I32(3);
    const bool palette = a.U32(4) != 0;
    if (a.Faulted() || image == nullptr || path.empty())
        return kMinus1;
    // The name as the script gave it: the loaders search the game's folders and archives.
    return static_cast<uint32_t>(image->LoadFileAt(NativeOptionalString(a, 1), nullptr, 0, x, y, palette));
}

uint32_t NativeImage321(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint32_t size = a.U32(2);
    const uint8_t* data = size != 0 ? a.Span(1, size) : nullptr;
    const int32_t x = a.I32(3), y = a.I32(4);
    const bool palette = a.U32(5) != 0;
    if (a.Faulted() || image == nullptr || data == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(image->LoadFileAt(nullptr, data, size, x, y, palette));
}

uint32_t NativeImage322(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    RECT r;
    const RECT* rect = RectAt(a, 1, &r);
    const uint8_t red = ByteAt(a, 5), green = ByteAt(a, 6), blue = ByteAt(a, 7);
    if (a.Faulted() || image == nullptr)
        return kMinus1;
    return Flag(image->FillRect(red, green, blue, rect));
}

uint32_t NativeImage323(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    RECT r;
    const RECT* rect = RectAt(a, 1, &r);
    if (a.Faulted() || image == nullptr)
        return kMinus1;
    image->MarkChanged(rect != nullptr ? *rect : RECT{0, 0, image->GetWidth(), image->GetHeight()});
    return 0;
}

uint32_t NativeImage324(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint8_t red = ByteAt(a, 1), green = ByteAt(a, 2), blue = ByteAt(a, 3);
    RECT r;
    const RECT* rect = RectAt(a, 4, &r);
    if (a.Faulted() || image == nullptr)
        return kMinus1;
    return Flag(image->FillRgbKeepAlpha(red, green, blue, rect));
}

uint32_t NativeImage325(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint8_t alpha = ByteAt(a, 1);
    RECT r;
    const RECT* rect = RectAt(a, 2, &r);
    if (a.Faulted() || image == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(PixelLibOp7(*image, alpha, rect));
}

uint32_t NativeImage326(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint8_t alpha = ByteAt(a, 1);
    if (image == nullptr)
        return kMinus1;
    SetImageAlpha(image, alpha);
    return 0;
}

uint32_t NativeImage327(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint8_t red = ByteAt(a, 1), green = ByteAt(a, 2), blue = ByteAt(a, 3);
    if (image == nullptr)
        return kMinus1;
    return Flag(image->FillRect(red, green, blue, nullptr));
}

uint32_t NativeImage328(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const int32_t x = a.I32(1), y = a.I32(2);
    return image != nullptr ? static_cast<uint32_t>(image->GetPixel(x, y)) : kMinus1;
}

uint32_t NativeImage329(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint8_t red = ByteAt(a, 1), green = ByteAt(a, 2), blue = ByteAt(a, 3);
    if (image == nullptr || !HasPalette(*image))
        return kMinus1;
    return static_cast<uint32_t>(image->FindPaletteIndex(red, green, blue));
}

uint32_t NativeImage330(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    CImage* source = ImageAt(a, 1);
    if (image == nullptr || source == nullptr || !HasPalette(*image))
        return kMinus1;
    return Flag(image->CopyPalette(source));
}

uint32_t NativeImage331(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const int32_t index = a.I32(1);
    const uint32_t color = a.U32(2);
    const bool apply = a.U32(3) != 0;
    // An index past the 256 entries used to wrap onto another entry.
    if (image == nullptr || !HasPalette(*image) || index < 0 || index > 255)
        return kMinus1;
    return Flag(image->SetPaletteEntry(index, color, apply));
}

uint32_t NativeImage332(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint32_t color = a.U32(1);
    const bool apply = a.U32(2) != 0;
    if (image == nullptr || !HasPalette(*image))
        return kMinus1;
    return Flag(image->FillPalette(color, apply));
}

uint32_t NativeImage351(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint32_t level = a.U32(1);
    RECT r;
    const RECT* rect = RectAt(a, 2, &r);
    if (a.Faulted() || image == nullptr || level > 510)
        return kMinus1;
    if (image->GetBitsPerPixel() == 8 && !HasPalette(*image))
        return kMinus1;
    return Flag(image->AdjustBrightness(static_cast<uint16_t>(level), rect));
}

uint32_t NativeImage355(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint32_t color = a.U32(1), level = a.U32(2), mode = a.U32(3);
    RECT r;
    const RECT* rect = RectAt(a, 4, &r);
    if (a.Faulted() || image == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(PixelLibOp5(*image, color, level, mode, rect));
}

uint32_t NativeImage356(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    CImage* mask = ImageAt(a, 1);
    const uint32_t xWord = a.U32(2);
    LONG x = 0, y = 0;
    RECT r;
    const RECT* rect = nullptr;
    if (xWord != kAbsent) {
        x = static_cast<int32_t>(xWord);
        y = a.I32(3);
        rect = RectAt(a, 4, &r);
    }
    const uint8_t mode = ByteAt(a, 8), level = ByteAt(a, 9), red = ByteAt(a, 10), green = ByteAt(a, 11),
                  blue = ByteAt(a, 12);
    if (a.Faulted() || image == nullptr || mask == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(PaintThroughMask(*image, mode, mask, level, red, green, blue, x, y, rect));
}
