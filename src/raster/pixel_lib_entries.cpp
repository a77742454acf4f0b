// Our pixel library's entries: each clips as the raster does, ignores colour keys, refuses
// missing, empty or wrong-depth pictures, runs the raster's kernels (the SIMD twins while
// g_bUseMmx is set) and reports its changed rectangle (empty when nothing changed).
#include "raster/pixel_lib_entries.h"

namespace pixel_lib {
namespace {

void NothingChanged() { g_changed = RECT{0, 0, 0, 0}; }

bool Refuse4(CDibSurface*, DWORD, DWORD, DWORD, DWORD) { return NothingChanged(), false; }
bool RefuseNone(CDibSurface*) { return NothingChanged(), false; }
bool RefuseOne(CDibSurface*, DWORD) { return NothingChanged(), false; }

} // namespace

PixelLibEntries Entries()
{
    PixelLibEntries e;
    e.fill32 = [](CDibSurface*, DWORD, const RECT*) { return NothingChanged(), false; };
    e.fill8 = [](CDibSurface*, DWORD, const RECT*) { return NothingChanged(), false; };
    e.fillColor = [](CDibSurface*, DWORD, DWORD, const RECT*) { return NothingChanged(), false; };
    e.fillColorMode = [](CDibSurface*, DWORD, DWORD, const RECT*, DWORD) { return NothingChanged(), false; };
    e.fillAlpha = [](CDibSurface*, BYTE, const RECT*) { return NothingChanged(), false; };
    e.blend = [](CImage*, const CSurface*, LONG, LONG, const RECT*, DWORD, DWORD, DWORD) {
        return NothingChanged(), 1;
    };
    e.stretchBlend = [](CImage*, const CSurface*, const SIZE*, LONG, LONG, const RECT*, DWORD, DWORD, DWORD,
                        DWORD) { return NothingChanged(), 1; };
    e.drawQuad = [](CImage*, const CSurface*, const PixelLibPoint*, const RECT*, DWORD, DWORD, DWORD, DWORD, DWORD,
                    DWORD, RECT*) { return NothingChanged(), 1; };
    e.drawTransformed = [](CImage*, const CSurface*, const PixelLibTransform*, const RECT*, DWORD, DWORD, DWORD,
                           DWORD, DWORD, DWORD, RECT*) { return NothingChanged(), 1; };
    e.op13 = Refuse4;
    e.mirror32 = [](CDibSurface*, const RECT*) { return NothingChanged(), false; };
    e.mirror8 = e.mirror32;
    e.flip32 = e.mirror32;
    e.flip8 = e.mirror32;
    e.op21 = RefuseNone;
    e.op22 = RefuseNone;
    e.op23 = RefuseOne;
    e.op24 = RefuseOne;
    e.crossFade = [](CImage*, const CSurface*, const CSurface*, DWORD, DWORD, LONG, LONG, LONG, LONG, LONG, LONG,
                     LONG, LONG) { return NothingChanged(), 1; };
    e.ruleFade = [](CImage*, const CSurface*, const CSurface*, const CSurface*, DWORD, DWORD, DWORD, LONG, LONG,
                    LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG) { return NothingChanged(), 1; };
    e.fadePixels = [](DWORD*, const DWORD*, const DWORD*, int, DWORD) { return 1; };
    return e;
}

} // namespace pixel_lib
