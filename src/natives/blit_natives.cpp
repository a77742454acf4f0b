// Natives 333-385 (see blit_natives.h).
#include "natives/blit_natives.h"

#include "display/display_objects.h"
#include "natives/native_args.h"
#include "raster/blend_mode_ops.h"
#include "raster/blur_ops.h"
#include "raster/compose_ops.h"
#include "raster/device_copy_ops.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "raster/rotate_ops.h"
#include "raster/scale_ops.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kAbsent = 65535;

CImage* ImageAt(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr ? GetSurfaceImage(host->Object<CSurface>(args.U32(k))) : nullptr;
}

// The resolved words of one blit: both images, the point, the size of a scaled one and the
// source rectangle (null: the whole source).
struct Blit {
    CImage* dst = nullptr;
    CImage* src = nullptr;
    LONG x = 0, y = 0;
    SIZE size{};
    RECT rect{};
    const RECT* srcRect = nullptr;
};

// Layout: where the destination, source and point words are; the size follows the point when
// scaled, then the rectangle.
struct Layout {
    uint8_t dst, src, point;
    bool scaled;
};

bool ReadBlit(SobNativeArgs& args, const Layout& l, Blit* b)
{
    b->dst = ImageAt(args, l.dst);
    b->src = ImageAt(args, l.src);
    const uint32_t x = args.U32(l.point);
    const uint32_t rectAt = l.point + (l.scaled ? 4u : 2u);
    if (args.Faulted() || b->dst == nullptr || b->src == nullptr)
        return false;
    if (x == kAbsent) {
        // All defaults: the whole source at the origin, or onto the whole destination.
        b->size = {b->dst->GetWidth(), b->dst->GetHeight()};
        return true;
    }
    b->x = static_cast<LONG>(x);
    b->y = args.I32(l.point + 1);
    if (l.scaled)
        b->size = {args.I32(l.point + 2), args.I32(l.point + 3)};
    if (args.U32(rectAt) != kAbsent) {
        b->rect = {args.I32(rectAt), args.I32(rectAt + 1), args.I32(rectAt + 2), args.I32(rectAt + 3)};
        b->srcRect = &b->rect;
    }
    return !args.Faulted();
}

// The first word after the leading ones.
constexpr uint32_t After(const Layout& l)
{
    return l.point + (l.scaled ? 8u : 6u);
}

constexpr Layout kPlain{0, 1, 2, false};
constexpr Layout kScaled{0, 1, 2, true};

template <class Op>
uint32_t RunBlit(SobNativeArgs& args, const Layout& l, Op op)
{
    Blit b;
    if (!ReadBlit(args, l, &b))
        return kMinus1;
    return static_cast<uint32_t>(op(b));
}

uint8_t ByteAt(SobNativeArgs& args, uint32_t k)
{
    return static_cast<uint8_t>(args.U32(k));
}

} // namespace

// --- 333-350 ---
uint32_t NativeBlit333(SobNativeArgs& a) { return RunBlit(a, kPlain, [](Blit& b) { return b.dst->Copy(b.src, b.x, b.y, b.srcRect, false); }); }
uint32_t NativeBlit334(SobNativeArgs& a) { return RunBlit(a, kScaled, [](Blit& b) { return b.dst->StretchCopy(b.src, &b.size, b.x, b.y, b.srcRect, false); }); }
uint32_t NativeBlit335(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kPlain));
    return RunBlit(a, kPlain, [&](Blit& b) { return b.dst->CopyFlip(b.src, mode, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit336(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kScaled));
    return RunBlit(a, kScaled, [&](Blit& b) { return b.dst->StretchCopyFlip(b.src, mode, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit337(SobNativeArgs& a) { return RunBlit(a, kPlain, [](Blit& b) { return b.dst->BlendAlpha(b.src, b.x, b.y, b.srcRect, false); }); }
uint32_t NativeBlit338(SobNativeArgs& a) { return RunBlit(a, kScaled, [](Blit& b) { return b.dst->StretchBlendAlpha(b.src, &b.size, b.x, b.y, b.srcRect, false); }); }
uint32_t NativeBlit339(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kPlain));
    return RunBlit(a, kPlain, [&](Blit& b) { return b.dst->BlendAlphaFlip(b.src, mode, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit340(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kScaled));
    return RunBlit(a, kScaled, [&](Blit& b) { return b.dst->StretchBlendAlphaFlip(b.src, mode, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit341(SobNativeArgs& a) { return RunBlit(a, kPlain, [](Blit& b) { return b.dst->CopyAlphaPlane(b.src, b.x, b.y, b.srcRect, false); }); }
uint32_t NativeBlit342(SobNativeArgs& a) { return RunBlit(a, kScaled, [](Blit& b) { return b.dst->StretchCopyAlphaPlane(b.src, &b.size, b.x, b.y, b.srcRect, false); }); }
uint32_t NativeBlit343(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kPlain));
    return RunBlit(a, kPlain, [&](Blit& b) { return b.dst->CopyAlphaPlaneFlip(b.src, mode, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit344(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kScaled));
    return RunBlit(a, kScaled, [&](Blit& b) { return b.dst->StretchCopyAlphaPlaneFlip(b.src, mode, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit345(SobNativeArgs& a) { return RunBlit(a, kPlain, [](Blit& b) { return b.dst->CopyColorKeepAlpha(b.src, b.x, b.y, b.srcRect); }); }
uint32_t NativeBlit346(SobNativeArgs& a) { return RunBlit(a, kScaled, [](Blit& b) { return b.dst->StretchCopyColorKeepAlpha(b.src, &b.size, b.x, b.y, b.srcRect); }); }
uint32_t NativeBlit347(SobNativeArgs& a) { return RunBlit(a, kPlain, [](Blit& b) { return b.dst->CopyAlphaKeepColor(b.src, b.x, b.y, b.srcRect); }); }
uint32_t NativeBlit348(SobNativeArgs& a) { return RunBlit(a, kScaled, [](Blit& b) { return b.dst->StretchCopyAlphaKeepColor(b.src, &b.size, b.x, b.y, b.srcRect); }); }
uint32_t NativeBlit349(SobNativeArgs& a) { return RunBlit(a, kPlain, [](Blit& b) { return CopyFromAny(*b.dst, b.src, b.x, b.y, b.srcRect); }); }
uint32_t NativeBlit350(SobNativeArgs& a) { return RunBlit(a, kScaled, [](Blit& b) { return StretchCopyFromAny(*b.dst, b.src, &b.size, b.x, b.y, b.srcRect); }); }

// --- 357-368, 371-373 ---
// Cross-fade: destination, source, level, then the point (the level sits where the called
// operation has it).
namespace {
constexpr Layout kFadePlain{0, 1, 3, false};
constexpr Layout kFadeScaled{0, 1, 3, true};
// Blend mode: the mode first, then destination, source, point.
constexpr Layout kModePlain{1, 2, 3, false};
constexpr Layout kModeScaled{1, 2, 3, true};
} // namespace

uint32_t NativeBlit357(SobNativeArgs& a)
{
    const uint8_t level = ByteAt(a, 2);
    return RunBlit(a, kFadePlain, [&](Blit& b) { return CrossFade(*b.dst, b.src, level, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit358(SobNativeArgs& a)
{
    const uint8_t level = ByteAt(a, 2);
    return RunBlit(a, kFadeScaled, [&](Blit& b) { return StretchCrossFade(*b.dst, b.src, level, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit359(SobNativeArgs& a)
{
    const uint32_t d = a.U32(After(kPlain)), s = a.U32(After(kPlain) + 1);
    return RunBlit(a, kPlain, [&](Blit& b) { return MixChannels(*b.dst, b.src, d, s, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit360(SobNativeArgs& a)
{
    const uint32_t d = a.U32(After(kScaled)), s = a.U32(After(kScaled) + 1);
    return RunBlit(a, kScaled, [&](Blit& b) { return StretchMixChannels(*b.dst, b.src, d, s, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit361(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, 0);
    return RunBlit(a, kModePlain, [&](Blit& b) { return BlendMode(*b.dst, mode, b.src, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit362(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, 0);
    return RunBlit(a, kModeScaled, [&](Blit& b) { return StretchBlendMode(*b.dst, mode, b.src, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit363(SobNativeArgs& a)
{
    const uint8_t o = ByteAt(a, After(kPlain));
    return RunBlit(a, kPlain, [&](Blit& b) { return AddBlendOpacity(*b.dst, b.src, o, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit364(SobNativeArgs& a)
{
    const uint8_t o = ByteAt(a, After(kPlain));
    return RunBlit(a, kPlain, [&](Blit& b) { return SubBlendOpacity(*b.dst, b.src, o, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit365(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kPlain)), o = ByteAt(a, After(kPlain) + 1);
    return RunBlit(a, kPlain, [&](Blit& b) { return BlendAlphaTable(*b.dst, mode, b.src, o, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit366(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, After(kScaled)), o = ByteAt(a, After(kScaled) + 1);
    return RunBlit(a, kScaled, [&](Blit& b) { return StretchBlendAlphaTable(*b.dst, mode, b.src, o, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit367(SobNativeArgs& a)
{
    const uint8_t o = ByteAt(a, After(kPlain));
    return RunBlit(a, kPlain, [&](Blit& b) { return BlendAlphaOnAlpha(*b.dst, b.src, o, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit368(SobNativeArgs& a)
{
    const uint8_t o = ByteAt(a, After(kScaled));
    return RunBlit(a, kScaled, [&](Blit& b) { return StretchBlendAlphaOnAlpha(*b.dst, b.src, o, &b.size, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit371(SobNativeArgs& a)
{
    const uint8_t r = ByteAt(a, After(kPlain)), l = ByteAt(a, After(kPlain) + 1);
    return RunBlit(a, kPlain, [&](Blit& b) { return BlurBlend(*b.dst, b.src, r, l, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit372(SobNativeArgs& a)
{
    const uint8_t r = ByteAt(a, After(kPlain)), l = ByteAt(a, After(kPlain) + 1);
    return RunBlit(a, kPlain, [&](Blit& b) { return BlurBlendAlpha(*b.dst, b.src, r, l, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit373(SobNativeArgs& a) { return RunBlit(a, kScaled, [](Blit& b) { return SmoothStretchCopy(*b.dst, b.src, &b.size, b.x, b.y, b.srcRect); }); }

// 369, 370: the rule surface, level, progress and softness after the rectangle.
namespace {
template <class Op>
uint32_t RuleBlit(SobNativeArgs& a, Op op)
{
    const uint32_t k = After(kPlain);
    CImage* rule = ImageAt(a, k);
    const uint8_t level = ByteAt(a, k + 1);
    const int progress = a.I32(k + 2), softness = a.I32(k + 3);
    if (!a.IsNull(k) && rule == nullptr)
        return kMinus1;
    return RunBlit(a, kPlain, [&](Blit& b) { return op(b, rule, level, progress, softness); });
}

// Four points (x, y) from word k on.
void QuadAt(SobNativeArgs& a, uint32_t k, POINT* quad)
{
    for (uint32_t i = 0; i < 4; ++i)
        quad[i] = {a.I32(k + 2 * i), a.I32(k + 2 * i + 1)};
}

template <class Op>
uint32_t QuadBlit(SobNativeArgs& a, Op op)
{
    CImage* dst = ImageAt(a, 0);
    CImage* src = ImageAt(a, 1);
    POINT quad[4];
    QuadAt(a, 2, quad);
    RECT r{a.I32(10), a.I32(11), a.I32(12), a.I32(13)};
    const RECT* rect = a.U32(10) == kAbsent ? nullptr : &r;
    if (a.Faulted() || dst == nullptr || src == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(op(*dst, src, quad, rect));
}
} // namespace

uint32_t NativeBlit369(SobNativeArgs& a)
{
    return RuleBlit(a, [](Blit& b, CImage* rule, uint8_t level, int progress, int softness) {
        return BlendByRule(*b.dst, b.src, rule, level, progress, softness, b.x, b.y, b.srcRect);
    });
}
uint32_t NativeBlit370(SobNativeArgs& a)
{
    return RuleBlit(a, [](Blit& b, CImage* rule, uint8_t level, int progress, int softness) {
        return BlendAlphaByRule(*b.dst, b.src, rule, level, progress, softness, b.x, b.y, b.srcRect);
    });
}
uint32_t NativeBlit374(SobNativeArgs& a)
{
    return QuadBlit(a, [](CImage& d, CImage* s, const POINT* q, const RECT* r) { return MapQuad(d, s, q, r, nullptr); });
}
uint32_t NativeBlit375(SobNativeArgs& a)
{
    return QuadBlit(a, [](CImage& d, CImage* s, const POINT* q, const RECT* r) { return MapQuadToRect(d, s, q, r, nullptr); });
}
uint32_t NativeBlit376(SobNativeArgs& a)
{
    const uint32_t k = After(kPlain);
    const uint8_t anchor = ByteAt(a, k);
    const int angle = a.I32(k + 1), zoom = a.I32(k + 2);
    return RunBlit(a, kPlain, [&](Blit& b) { return RotateZoom(*b.dst, b.src, anchor, b.x, b.y, angle, zoom, b.srcRect, nullptr); });
}
uint32_t NativeBlit377(SobNativeArgs& a)
{
    const uint32_t k = After(kPlain);
    const uint8_t anchor = ByteAt(a, k), level = ByteAt(a, k + 3);
    const int angle = a.I32(k + 1), zoom = a.I32(k + 2);
    return RunBlit(a, kPlain, [&](Blit& b) {
        return RotateZoomBlend(*b.dst, b.src, anchor, b.x, b.y, angle, zoom, level, b.srcRect, nullptr);
    });
}

// --- 390-401: the pixel library's operations ---
uint32_t NativeBlit390(SobNativeArgs& a)
{
    const uint32_t k = After(kPlain);
    const uint32_t mode = a.U32(k), opacity = a.U32(k + 1), a4 = a.U32(k + 2);
    return RunBlit(a, kPlain, [&](Blit& b) { return PixelLibBlend(*b.dst, b.src, mode, opacity, a4, b.x, b.y, b.srcRect); });
}
uint32_t NativeBlit391(SobNativeArgs& a)
{
    const uint32_t k = After(kScaled);
    const uint32_t mode = a.U32(k), filter = a.U32(k + 1), opacity = a.U32(k + 2), a5 = a.U32(k + 3);
    return RunBlit(a, kScaled, [&](Blit& b) {
        return PixelLibStretchCopy(*b.dst, b.src, mode, filter, opacity, a5, &b.size, b.x, b.y, b.srcRect);
    });
}

namespace {
// Destination, source, `floats` float words from word 2, source rectangle after them (65535 in
// its left: whole), then mode, filter, opacity, a7, clear, fill.
template <class Op>
uint32_t MappedBlit(SobNativeArgs& a, uint32_t floats, Op op)
{
    CImage* dst = ImageAt(a, 0);
    CImage* src = ImageAt(a, 1);
    double v[8] = {};
    for (uint32_t i = 0; i < floats; ++i)
        v[i] = a.F32(2 + i);
    const uint32_t rectAt = 2 + floats;
    RECT r{a.I32(rectAt), a.I32(rectAt + 1), a.I32(rectAt + 2), a.I32(rectAt + 3)};
    const RECT* rect = a.U32(rectAt) == kAbsent ? nullptr : &r;
    DWORD w[6];
    for (uint32_t i = 0; i < 6; ++i)
        w[i] = a.U32(rectAt + 4 + i);
    if (a.Faulted() || dst == nullptr || src == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(op(*dst, src, v, rect, w));
}
} // namespace

uint32_t NativeBlit392(SobNativeArgs& a)
{
    return MappedBlit(a, 8, [](CImage& d, CImage* s, const double* v, const RECT* r, const DWORD* w) {
        const PixelLibPoint corners[4] = {{v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}, {v[6], v[7]}};
        return PixelLibOp11(d, s, corners, r, w[0], w[1], w[2], w[3], w[4], w[5], nullptr);
    });
}
uint32_t NativeBlit393(SobNativeArgs& a)
{
    return MappedBlit(a, 6, [](CImage& d, CImage* s, const double* v, const RECT* r, const DWORD* w) {
        const PixelLibTransform t{v[0], v[1], v[2], v[3], v[4], v[5]};
        return PixelLibOp12(d, s, &t, r, w[0], w[1], w[2], w[3], w[4], w[5], nullptr);
    });
}
uint32_t NativeBlit394(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint32_t a1 = a.U32(1), a2 = a.U32(2), a3 = a.U32(3), a4 = a.U32(4);
    return image != nullptr ? static_cast<uint32_t>(PixelLibOp13(*image, a1, a2, a3, a4)) : kMinus1;
}

// --- filters: surface, own words, rectangle (65535 in its left: the whole image) ---
namespace {
template <class Op>
uint32_t RunFilter(SobNativeArgs& a, uint32_t rectAt, Op op, uint32_t null = kMinus1)
{
    CImage* image = ImageAt(a, 0);
    RECT r{a.I32(rectAt), a.I32(rectAt + 1), a.I32(rectAt + 2), a.I32(rectAt + 3)};
    const RECT* rect = a.U32(rectAt) == kAbsent ? nullptr : &r;
    if (a.Faulted() || image == nullptr)
        return null;
    return static_cast<uint32_t>(op(*image, rect));
}
} // namespace

uint32_t NativeBlit352(SobNativeArgs& a)
{
    const uint8_t r = ByteAt(a, 1), g = ByteAt(a, 2), b = ByteAt(a, 3), al = ByteAt(a, 4);
    return RunFilter(a, 5, [&](CImage& i, const RECT* rc) { return FillRectAlpha(i, r, g, b, al, rc); });
}
uint32_t NativeBlit353(SobNativeArgs& a)
{
    const uint8_t r = ByteAt(a, 1), g = ByteAt(a, 2), b = ByteAt(a, 3);
    return RunFilter(a, 4, [&](CImage& i, const RECT* rc) { return AddColor(i, r, g, b, rc); });
}
uint32_t NativeBlit354(SobNativeArgs& a)
{
    const uint8_t r = ByteAt(a, 1), g = ByteAt(a, 2), b = ByteAt(a, 3);
    return RunFilter(a, 4, [&](CImage& i, const RECT* rc) { return SubColor(i, r, g, b, rc); });
}
uint32_t NativeBlit378(SobNativeArgs& a)
{
    return RunFilter(a, 1, [](CImage& i, const RECT* rc) { return Grayscale(i, rc); });
}
uint32_t NativeBlit379(SobNativeArgs& a)
{
    int v[6];
    for (uint32_t k = 0; k < 6; ++k)
        v[k] = a.I32(1 + k);
    return RunFilter(a, 7, [&](CImage& i, const RECT* rc) { return Colorize(i, v[0], v[1], v[2], v[3], v[4], v[5], rc); });
}
uint32_t NativeBlit380(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, 1);
    return RunFilter(a, 2, [&](CImage& i, const RECT* rc) { return Invert(i, mode, rc); });
}
uint32_t NativeBlit381(SobNativeArgs& a)
{
    const uint8_t mode = ByteAt(a, 1);
    return RunFilter(a, 2, [&](CImage& i, const RECT* rc) { return Blur(i, mode, rc); });
}
uint32_t NativeBlit382(SobNativeArgs& a)
{
    const uint32_t block = a.U32(1);
    const uint8_t align = ByteAt(a, 2);
    return RunFilter(a, 3, [&](CImage& i, const RECT* rc) { return Mosaic(i, block, align, rc); });
}
uint32_t NativeBlit383(SobNativeArgs& a)
{
    const uint8_t direction = ByteAt(a, 1);
    auto colour = [&](uint32_t k) {
        return (static_cast<DWORD>(ByteAt(a, k)) << 16) | (static_cast<DWORD>(ByteAt(a, k + 1)) << 8) | ByteAt(a, k + 2);
    };
    const DWORD from = colour(2), to = colour(5);
    return RunFilter(a, 8, [&](CImage& i, const RECT* rc) { return GradientFill(i, direction, from, to, rc); },
                     static_cast<uint32_t>(-2));
}
uint32_t NativeBlit395(SobNativeArgs& a)
{
    return RunFilter(a, 1, [](CImage& i, const RECT* rc) { return PixelLibOp14(i, rc); });
}
uint32_t NativeBlit396(SobNativeArgs& a)
{
    return RunFilter(a, 1, [](CImage& i, const RECT* rc) { return PixelLibOp16(i, rc); });
}
uint32_t NativeBlit397(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint8_t a1 = ByteAt(a, 1);
    return image != nullptr ? (PixelLibOp21(*image, a1) ? 1u : 0u) : kMinus1;
}
uint32_t NativeBlit398(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint32_t a1 = a.U32(1);
    return image != nullptr ? (PixelLibOp23(*image, a1) ? 1u : 0u) : kMinus1;
}
uint32_t NativeBlit399(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    const uint32_t a1 = a.U32(1);
    return image != nullptr ? (PixelLibOp24(*image, a1) ? 1u : 0u) : kMinus1;
}
uint32_t NativeBlit400(SobNativeArgs& a)
{
    CImage* dst = ImageAt(a, 0);
    CImage* s1 = ImageAt(a, 1);
    CImage* s2 = ImageAt(a, 2);
    int32_t w[10];
    for (uint32_t i = 0; i < 10; ++i)
        w[i] = a.I32(3 + i);
    if (a.Faulted() || dst == nullptr || s1 == nullptr || s2 == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(PixelLibOp25(*dst, s1, s2, static_cast<DWORD>(w[0]), static_cast<DWORD>(w[1]), w[2], w[3],
                                              w[4], w[5], w[6], w[7], w[8], w[9]));
}
uint32_t NativeBlit401(SobNativeArgs& a)
{
    CImage* dst = ImageAt(a, 0);
    CImage* s1 = ImageAt(a, 1);
    CImage* s2 = ImageAt(a, 2);
    CImage* rule = ImageAt(a, 3);
    int32_t w[13];
    for (uint32_t i = 0; i < 13; ++i)
        w[i] = a.I32(4 + i);
    if (a.Faulted() || dst == nullptr || s1 == nullptr || s2 == nullptr || rule == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(PixelLibOp26(*dst, s1, s2, rule, static_cast<DWORD>(w[0]), static_cast<DWORD>(w[1]),
                                              static_cast<DWORD>(w[2]), w[3], w[4], w[5], w[6], w[7], w[8], w[9], w[10],
                                              w[11], w[12]));
}
uint32_t NativeBlit384(SobNativeArgs& a)
{
    const int level = a.I32(1);
    return RunFilter(a, 2, [&](CImage& i, const RECT* rc) { return AdjustAlphaLevel(i, level, rc) ? 1 : 0; });
}
uint32_t NativeBlit385(SobNativeArgs& a)
{
    const int gain = a.I32(1), offset = a.I32(2);
    return RunFilter(a, 3, [&](CImage& i, const RECT* rc) { return ScaleOffsetAlpha(i, gain, offset, rc) ? 1 : 0; });
}

