// The pixel library as the raster sees it: the published library (g_pPixelLib), the rectangle in
// which the library reports what its last call changed, and the entry table that its GetLibrary
// export hands out, one typed pointer per entry. The library itself is ours (pixel_lib_entries.cpp),
// served as the built-in module "tvpgl.dll"; files/pixel_library.h loads it and fills the globals.
// Raster operations that have a library form hand their work to it while g_pPixelLib is set.
#pragma once

#include "raster/image.h"

struct CpuInfo;
class CPixelLibrary; // files/pixel_library.h

// The loaded library, or null: every raster operation then runs on its own paths.
extern CPixelLibrary* g_pPixelLib;
// Where the library reports the rectangle its last call changed (empty when nothing changed);
// null while no library is loaded.
extern RECT* g_pPixelLibChangedRect;

// A corner of entry 11 (destination pixels, doubles).
struct PixelLibPoint {
    double x;
    double y;
};
// Entry 12's source-to-destination mapping: x' = m11 x + m21 y + tx, y' = m12 x + m22 y + ty.
struct PixelLibTransform {
    double m11, m12, m21, m22, tx, ty;
};

// Entries by number. T: true on success; Z: 0 on success, non-zero on failure. o = opacity 0..255.
// Modes of 9-12: 0 cross-fade (at 255 a plain copy), 2 by source alpha (at 255 the alpha blend),
// 3 alpha over alpha, 4 add, 5 subtract; 1 and 6-31 draw nothing and fail.
//
// clang-format off
// | no. | member          | arguments after the destination -> result       | callers that fix the meaning           |
// |-----|-----------------|--------------------------------------------------|----------------------------------------|
// |  2  | fill32          | value, rect (null = clip) -> T                   | CDibSurface::FillRect, FillRect32;     |
// |     |                 |                                                  | tone and rotaxis transitions           |
// |  3  | fill8           | index, rect -> T                                 | CDibSurface::FillRect (8-bit)          |
// |  4  | fillColor       | 0xRRGGBB, o, rect -> T (alpha kept)              | FillRectAlpha, CImage::FillRgbKeepAlpha|
// |     |                 |                                                  | (o 255); tone transition               |
// |  5  | fillColorMode   | colour, level, rect, mode (0 fill, 1 add, 2 sub) | PixelLibOp5                            |
// |     |                 | -> T                                             |                                        |
// |  7  | fillAlpha       | alpha, rect -> T                                 | PixelLibOp7                            |
// |  9  | blend           | s, x, y, srcRect, mode, o, 0 -> Z                | BlendAlpha, CrossFade, AddBlendOpacity,|
// |     |                 |                                                  | BlendAlphaTable, BlendAlphaOnAlpha,    |
// |     |                 |                                                  | PixelLibBlend, CSprite::Draw           |
// | 10  | stretchBlend    | s, dstSize, x, y, srcRect, mode, filter, o, 0    | StretchCopy, StretchBlendAlpha, the    |
// |     |                 | -> Z; filter low nibble 0 stepped, else smooth   | other Stretch twins, PixelLibStretch-  |
// |     |                 |                                                  | Copy, CSprite::Render, scene background|
// | 11  | drawQuad        | s, corners[3] (TL, TR, BL), srcRect, mode,       | RotateZoom, RotateZoomBlend, CSprite:: |
// |     |                 | filter, o, 0, clear, fill, outRect -> Z          | RenderRotateZoom, rotcenter            |
// | 12  | drawTransformed | s, transform, srcRect, mode, filter, o, 0,       | PixelLibOp12; background effects       |
// |     |                 | clear, fill, outRect -> Z                        | (bg_blur)                              |
// | 13  | op13            | block w, block h, 0, 0 -> T: mosaic, top-left    | PixelLibOp13; the scenario's pixel op  |
// | 14  | mirror32        | rect (null = clip) -> T, left to right           | PixelLibOp14; picture and rule flags   |
// | 15  | mirror8         | rect -> T                                        | PixelLibOp14 (8-bit)                   |
// | 16  | flip32          | rect -> T, upside down                           | PixelLibOp16; picture and rule flags   |
// | 17  | flip8           | rect -> T                                        | PixelLibOp16 (8-bit)                   |
// | 21  | op21            | -> false                                         | PixelLibOp21 (no meaning given)        |
// | 22  | op22            | -> false                                         | PixelLibOp21 (no meaning given)        |
// | 23  | op23            | a1 -> false                                      | PixelLibOp23 (no meaning given)        |
// | 24  | op24            | a1 -> false                                      | PixelLibOp24 (no meaning given)        |
// | 25  | crossFade       | s1, s2, o, 0, dx, dy, w, h, s1x, s1y, s2x, s2y   | PixelLibOp25; cross transition,        |
// |     |                 | -> Z (colour faded, alpha of s1)                 | background effects                     |
// | 26  | ruleFade        | s1, s2, rule, p, softness, 0, dx, dy, w, h, s1x, | PixelLibOp26; rule transition          |
// |     |                 | s1y, s2x, s2y, rx, ry -> Z                       |                                        |
// | 93  | fadePixels      | (pixel pointers) dst, s1, s2, count, o -> Z      | wave transition                        |
// clang-format on
// Entries that no caller uses have no slot.
using PixelLibFill32Fn = bool (*)(CDibSurface* d, DWORD value, const RECT* rect);
using PixelLibFill8Fn = bool (*)(CDibSurface* d, DWORD index, const RECT* rect);
using PixelLibFillColorFn = bool (*)(CDibSurface* d, DWORD rgb, DWORD opacity, const RECT* rect);
using PixelLibFillColorModeFn = bool (*)(CDibSurface* d, DWORD rgb, DWORD level, const RECT* rect,
                                         DWORD mode);
using PixelLibFillAlphaFn = bool (*)(CDibSurface* d, BYTE alpha, const RECT* rect);
using PixelLibBlendFn = int (*)(CImage* d, const CSurface* s, LONG x, LONG y, const RECT* srcRect, DWORD mode,
                                DWORD opacity, DWORD reserved);
using PixelLibStretchBlendFn = int (*)(CImage* d, const CSurface* s, const SIZE* dstSize, LONG x, LONG y,
                                       const RECT* srcRect, DWORD mode, DWORD filter, DWORD opacity,
                                       DWORD reserved);
using PixelLibDrawQuadFn = int (*)(CImage* d, const CSurface* s, const PixelLibPoint* corners,
                                   const RECT* srcRect, DWORD mode, DWORD filter, DWORD opacity,
                                   DWORD reserved, DWORD clear, DWORD fill, RECT* outRect);
using PixelLibDrawTransformedFn = int (*)(CImage* d, const CSurface* s, const PixelLibTransform* transform,
                                          const RECT* srcRect, DWORD mode, DWORD filter, DWORD opacity,
                                          DWORD reserved, DWORD clear, DWORD fill, RECT* outRect);
using PixelLibOp4ArgsFn = bool (*)(CDibSurface* d, DWORD a1, DWORD a2, DWORD a3, DWORD a4);
using PixelLibRectOpFn = bool (*)(CDibSurface* d, const RECT* rect);
using PixelLibNoArgsFn = bool (*)(CDibSurface* d);
using PixelLibOneArgFn = bool (*)(CDibSurface* d, DWORD a1);
using PixelLibCrossFadeFn = int (*)(CImage* d, const CSurface* s1, const CSurface* s2, DWORD opacity,
                                    DWORD reserved, LONG dx, LONG dy, LONG width, LONG height, LONG s1x,
                                    LONG s1y, LONG s2x, LONG s2y);
using PixelLibRuleFadeFn = int (*)(CImage* d, const CSurface* s1, const CSurface* s2, const CSurface* rule,
                                   DWORD progress, DWORD softness, DWORD reserved, LONG dx, LONG dy,
                                   LONG width, LONG height, LONG s1x, LONG s1y, LONG s2x, LONG s2y, LONG rx,
                                   LONG ry);
using PixelLibFadePixelsFn = int (*)(DWORD* dst, const DWORD* s1, const DWORD* s2, int count, DWORD opacity);

// The entry pointers of one table (null = the library does not serve that entry).
struct PixelLibEntries {
    PixelLibFill32Fn fill32 = nullptr;                   // 2
    PixelLibFill8Fn fill8 = nullptr;                     // 3
    PixelLibFillColorFn fillColor = nullptr;             // 4
    PixelLibFillColorModeFn fillColorMode = nullptr;     // 5
    PixelLibFillAlphaFn fillAlpha = nullptr;             // 7
    PixelLibBlendFn blend = nullptr;                     // 9
    PixelLibStretchBlendFn stretchBlend = nullptr;       // 10
    PixelLibDrawQuadFn drawQuad = nullptr;               // 11
    PixelLibDrawTransformedFn drawTransformed = nullptr; // 12
    PixelLibOp4ArgsFn op13 = nullptr;                    // 13
    PixelLibRectOpFn mirror32 = nullptr;                 // 14
    PixelLibRectOpFn mirror8 = nullptr;                  // 15
    PixelLibRectOpFn flip32 = nullptr;                   // 16
    PixelLibRectOpFn flip8 = nullptr;                    // 17
    PixelLibNoArgsFn op21 = nullptr;                     // 21
    PixelLibNoArgsFn op22 = nullptr;                     // 22
    PixelLibOneArgFn op23 = nullptr;                     // 23
    PixelLibOneArgFn op24 = nullptr;                     // 24
    PixelLibCrossFadeFn crossFade = nullptr;             // 25
    PixelLibRuleFadeFn ruleFade = nullptr;               // 26
    PixelLibFadePixelsFn fadePixels = nullptr;           // 93
};

// The table GetLibrary returns: an object the loader deletes (never a slot called by number),
// the changed rectangle (entry 1) and the entries.
class CPixelLibTable {
public:
    virtual ~CPixelLibTable() = default;
    RECT* changedRect = nullptr;
    PixelLibEntries entries;
};

// The entries of the loaded library (all null while none is loaded).
extern PixelLibEntries g_PixelLibFuncs;

// The module's two exports, looked up by these names.
using PixelLibCopyKernel = void (*)(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width,
                                    int height);
// (0, copyRows, copyColorRows, copyAlphaRows): the row kernels the library uses for its plain copies.
using PixelLibConfigProc = void (*)(int reserved, PixelLibCopyKernel copyRows,
                                    PixelLibCopyKernel copyColorRows, PixelLibCopyKernel copyAlphaRows);
// (processor record) -> the table (the caller deletes it), or null.
using PixelLibGetLibraryProc = CPixelLibTable* (*)(const CpuInfo* record);
constexpr const char* kPixelLibModuleName = "tvpgl.dll";
constexpr const char* kPixelLibConfigExport = "tvpglConfig";
constexpr const char* kPixelLibGetLibraryExport = "GetLibrary";

// Registers our library as the built-in module "tvpgl.dll" (idempotent). → true when registered.
// Start-up and tests call it; tests remove it with winapi::UnregisterBuiltinModule.
bool RegisterPixelLibraryModule();
// Our library's two exports (what the module table serves).
void PixelLibConfig(int reserved, PixelLibCopyKernel copyRows, PixelLibCopyKernel copyColorRows,
                    PixelLibCopyKernel copyAlphaRows);
CPixelLibTable* PixelLibGetLibrary(const CpuInfo* record);
