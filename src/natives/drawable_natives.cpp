// Natives 402-465 of drawables and scenes (see drawable_natives.h).
#include "natives/drawable_natives.h"

#include <algorithm>

#include "display/display_objects.h"
#include "display/image_object.h"
#include "display/screen.h"
#include "drawing/draw_list.h"
#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "natives/native_args.h"
#include "natives/surface_natives.h"
#include "raster/image.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kMinus2 = static_cast<uint32_t>(-2);
constexpr uint32_t kAbsent = 65535;

template <class T>
T* At(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr ? host->Object<T>(args.U32(k)) : nullptr;
}

CDrawable* DrawableAt(SobNativeArgs& a, uint32_t k) { return At<CDrawable>(a, k); }
CSprite* SpriteAt(SobNativeArgs& a, uint32_t k) { return At<CSprite>(a, k); }
CPrimitiveObject* PrimitiveAt(SobNativeArgs& a, uint32_t k) { return At<CPrimitiveObject>(a, k); }
CImage* ImageAt(SobNativeArgs& a, uint32_t k) { return GetSurfaceImage(At<CSurface>(a, k)); }
CScene* SceneAt(SobNativeArgs& a, uint32_t k) { return GetSurfaceScene(At<CSurface>(a, k)); }

uint8_t ByteAt(SobNativeArgs& a, uint32_t k) { return static_cast<uint8_t>(a.U32(k)); }
uint32_t Flag(bool b) { return b ? 1 : 0; }

// Words k .. k + 3 as a rectangle; null when word k is 65535.
const RECT* RectAt(SobNativeArgs& a, uint32_t k, RECT* r)
{
    *r = {a.I32(k), a.I32(k + 1), a.I32(k + 2), a.I32(k + 3)};
    return a.U32(k) == kAbsent ? nullptr : r;
}

bool SideFits(int32_t side) { return side >= 1 && side <= kMaxScriptImageSide; }

// A new drawable's handle, or 0 (deleted again when no handle is left for it).
template <class T>
uint32_t Adopt(SobNativeArgs& a, int code, T* object)
{
    CScriptHostBase* host = NativeHost(a);
    if (code != 0 || object == nullptr || host == nullptr)
        return 0;
    const uint32_t handle = host->ObjectHandle(object);
    if (handle == 0)
        g_pDisplay->DeleteDrawable(object);
    return handle;
}

// Out addresses in words first .. first + count - 1 (each may be 0): false when one is outside.
bool OutsFit(SobNativeArgs& a, uint32_t first, uint32_t count)
{
    for (uint32_t k = first; k < first + count; ++k)
        if (!a.IsNull(k) && a.Span(k, 4) == nullptr)
            return false;
    return !a.Faulted();
}

void StoreOuts(SobNativeArgs& a, uint32_t first, const uint32_t* values, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        if (!a.IsNull(first + i))
            a.Out32(first + i, values[i]);
}

} // namespace

// --- the screen's drawables ---
uint32_t NativeDrawable402(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    RECT r;
    const RECT* rect = RectAt(a, 1, &r);
    const int32_t x = a.I32(5), y = a.I32(6);
    if (a.Faulted() || image == nullptr || g_pDisplay == nullptr)
        return 0;
    CSprite* sprite = nullptr;
    const int code = g_pDisplay->CreateSprite(&sprite, image, rect, x, y);
    return Adopt(a, code, sprite);
}

uint32_t NativeDrawable403(SobNativeArgs& a)
{
    CSprite* source = SpriteAt(a, 0);
    if (source == nullptr || g_pDisplay == nullptr)
        return 0;
    CSprite* sprite = nullptr;
    const int code = g_pDisplay->CreateSpriteCopy(&sprite, source);
    return Adopt(a, code, sprite);
}

uint32_t NativeDrawable404(SobNativeArgs& a)
{
    const int32_t w = a.I32(0), h = a.I32(1);
    const uint32_t argb = a.U32(2);
    const int32_t x = a.I32(3), y = a.I32(4);
    if (a.Faulted() || g_pDisplay == nullptr || !SideFits(w) || !SideFits(h))
        return 0;
    CPrimitiveObject* primitive = nullptr;
    const int code = g_pDisplay->CreatePrimitive(&primitive, w, h, argb, x, y);
    return Adopt(a, code, primitive);
}

uint32_t NativeDrawable405(SobNativeArgs&)
{
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->DeleteAllDrawables();
    return 0;
}

uint32_t NativeDrawable406(SobNativeArgs& a)
{
    const uint32_t group = a.U32(0);
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->SetDrawableGroup(group);
    return 0;
}

uint32_t NativeDrawable407(SobNativeArgs& a)
{
    const uint32_t group = a.U32(0);
    const bool invert = a.U32(1) != 0;
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->DeleteDrawablesByGroup(group, invert);
    return 0;
}

uint32_t NativeDrawable408(SobNativeArgs& a)
{
    CDrawable* drawable = DrawableAt(a, 0);
    if (drawable == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->DeleteDrawable(drawable));
}

// --- draw lists of a surface's scene ---
namespace {

template <class Op>
uint32_t OnScene(SobNativeArgs& a, Op op)
{
    CScene* scene = SceneAt(a, 0);
    if (a.Faulted() || scene == nullptr)
        return kMinus1;
    return op(*scene);
}

template <class Op>
uint32_t OnListWithDrawable(SobNativeArgs& a, Op op)
{
    CScene* scene = SceneAt(a, 0);
    CDrawable* drawable = DrawableAt(a, 1);
    if (a.Faulted() || scene == nullptr || drawable == nullptr)
        return kMinus1;
    return op(scene->GetList(), drawable);
}

} // namespace

uint32_t NativeDrawable409(SobNativeArgs& a)
{
    const uint32_t priority = a.U32(2), group = a.U32(3);
    return OnListWithDrawable(a, [&](CDrawList& l, CDrawable* d) { return static_cast<uint32_t>(l.Insert(d, priority, group)); });
}

uint32_t NativeDrawable410(SobNativeArgs& a)
{
    const uint32_t priority = a.U32(2), group = a.U32(3);
    return OnListWithDrawable(a, [&](CDrawList& l, CDrawable* d) {
        return static_cast<uint32_t>(l.InsertAfterEqual(d, priority, group));
    });
}

uint32_t NativeDrawable411(SobNativeArgs& a)
{
    return OnListWithDrawable(a, [&](CDrawList& l, CDrawable* d) { return Flag(l.Remove(d)); });
}

uint32_t NativeDrawable412(SobNativeArgs& a)
{
    const uint32_t priority = a.U32(1);
    const bool invert = a.U32(2) != 0;
    return OnScene(a, [&](CScene& s) {
        s.GetList().RemoveByPriority(priority, invert);
        return 0u;
    });
}

uint32_t NativeDrawable413(SobNativeArgs& a)
{
    const uint32_t group = a.U32(1), tag = a.U32(2);
    const bool invert = a.U32(3) != 0;
    return OnScene(a, [&](CScene& s) {
        s.GetList().RemoveWhere(group, tag, invert);
        if (CDrawList* overlay = s.GetOverlay())
            overlay->RemoveWhere(group, tag, invert);
        return 0u;
    });
}

uint32_t NativeDrawable414(SobNativeArgs& a)
{
    const uint32_t priority = a.U32(2);
    const bool onlyIfChanged = a.U32(3) != 0;
    return OnListWithDrawable(a, [&](CDrawList& l, CDrawable* d) { return Flag(l.SetPriority(d, priority, onlyIfChanged)); });
}

uint32_t NativeDrawable415(SobNativeArgs& a)
{
    const uint32_t priority = a.U32(2);
    const bool onlyIfChanged = a.U32(3) != 0;
    return OnListWithDrawable(a, [&](CDrawList& l, CDrawable* d) {
        return Flag(l.SetPriorityAfterEqual(d, priority, onlyIfChanged));
    });
}

uint32_t NativeDrawable416(SobNativeArgs& a)
{
    return OnScene(a, [](CScene& s) {
        s.GetList().Clear();
        return 0u;
    });
}

uint32_t NativeDrawable417(SobNativeArgs& a)
{
    const bool visible = a.U32(1) != 0;
    const uint32_t priority = a.U32(2), group = a.U32(3), tag = a.U32(4);
    const bool invert = a.U32(5) != 0;
    return OnScene(a, [&](CScene& s) {
        s.GetList().SetVisibleWhere(visible, priority, group, tag, invert);
        return 0u;
    });
}

// --- the scene's background and drawing ---
uint32_t NativeDrawable418(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    const uint32_t word = a.U32(1);
    CSurface* image = host != nullptr && word != 0 ? host->Object<CSurface>(word) : nullptr;
    const int32_t x = a.I32(2), y = a.I32(3);
    const bool redraw = a.U32(4) != 0;
    if (word != 0 && image == nullptr)
        return kMinus1;
    return OnScene(a, [&](CScene& s) { return Flag(s.SetBackgroundImage(image, x, y, redraw)); });
}

uint32_t NativeDrawable419(SobNativeArgs& a)
{
    const uint32_t rgb = a.U32(1);
    const bool redraw = a.U32(2) != 0;
    return OnScene(a, [&](CScene& s) {
        s.SetBackgroundColor(rgb & 0xFFFFFF, redraw);
        return 0u;
    });
}

uint32_t NativeDrawable420(SobNativeArgs& a)
{
    return OnScene(a, [](CScene& s) { return static_cast<uint32_t>(s.InvalidateAll()); });
}

uint32_t NativeDrawable421(SobNativeArgs& a)
{
    const int32_t x = a.I32(1), y = a.I32(2), w = a.I32(3), h = a.I32(4);
    RECT r;
    const RECT* rect = RectAt(a, 5, &r);
    return OnScene(a, [&](CScene& s) { return Flag(s.SetBackgroundView(x, y, w, h, rect)); });
}

uint32_t NativeDrawable422(SobNativeArgs& a)
{
    const int32_t mode = a.I32(1), x = a.I32(2), y = a.I32(3);
    return OnScene(a, [&](CScene& s) { return Flag(s.SetBackgroundAnchor(mode, x, y)); });
}

uint32_t NativeDrawable423(SobNativeArgs& a)
{
    const int32_t cx = a.I32(1), cy = a.I32(2), angle = a.I32(3);
    const double zoom = a.F32(4);
    return OnScene(a, [&](CScene& s) { return Flag(s.SetBackgroundRotateZoom(cx, cy, angle, zoom)); });
}

uint32_t NativeDrawable424(SobNativeArgs& a)
{
    CScriptHostBase* host = NativeHost(a);
    if (!OutsFit(a, 1, 4))
        return kMinus1;
    return OnScene(a, [&](CScene& s) {
        CSurface* image = nullptr;
        LONG x = 0, y = 0;
        BYTE r = 0, g = 0, b = 0;
        s.GetBackground(&image, &x, &y, &r, &g, &b);
        const uint32_t values[4] = {image != nullptr ? host->ObjectHandle(image) : 0u, static_cast<uint32_t>(x),
                                    static_cast<uint32_t>(y),
                                    (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b};
        StoreOuts(a, 1, values, 4);
        return 1u;
    });
}

uint32_t NativeDrawable425(SobNativeArgs& a)
{
    return NativeDrawable420(a);
}

uint32_t NativeDrawable426(SobNativeArgs& a)
{
    RECT r{a.I32(1), a.I32(2), a.I32(3), a.I32(4)};
    return OnScene(a, [&](CScene& s) { return Flag(s.InvalidateClippedRect(&r)); });
}

uint32_t NativeDrawable427(SobNativeArgs& a)
{
    CImageObject* canvas = GetSurfaceCanvas(At<CSurface>(a, 0));
    const bool on = a.U32(1) != 0;
    if (canvas == nullptr)
        return 0;
    return Flag(canvas->SetSceneActive(on));
}

uint32_t NativeDrawable428(SobNativeArgs& a)
{
    return OnScene(a, [](CScene& s) { return static_cast<uint32_t>(s.Redraw(nullptr, nullptr, 0, 0)); });
}

uint32_t NativeDrawable429(SobNativeArgs& a)
{
    CImage* target = ImageAt(a, 1);
    const int32_t filter = a.I32(2);
    const uint32_t tag = a.U32(3);
    const bool overlay = a.U32(4) != 0;
    if (target == nullptr)
        return kMinus1;
    return OnScene(a, [&](CScene& s) { return static_cast<uint32_t>(s.RenderToImage(target, filter, tag, overlay)); });
}

uint32_t NativeDrawable430(SobNativeArgs& a)
{
    const bool list = a.U32(1) != 0, overlay = a.U32(2) != 0;
    return OnScene(a, [&](CScene& s) {
        s.SetHideList(list);
        s.SetHideOverlay(overlay);
        s.InvalidateAll();
        return 0u;
    });
}

uint32_t NativeDrawable431(SobNativeArgs& a)
{
    const bool on = a.U32(1) != 0;
    return OnScene(a, [&](CScene& s) {
        s.SetNoBackground(on);
        s.InvalidateAll();
        return 0u;
    });
}

uint32_t NativeDrawable432(SobNativeArgs&)
{
    // No program-wide drawing flag of that shape exists in our drawing layers.
    return 0;
}

// --- drawables ---
uint32_t NativeDrawable433(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    const bool visible = a.U32(1) != 0;
    if (d != nullptr)
        d->SetVisible(visible);
    return 0;
}

uint32_t NativeDrawable434(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    if (d == nullptr || d->GetOwnerList() == nullptr)
        return 0;
    return d->IsVisible() ? 2 : 1;
}

uint32_t NativeDrawable435(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    if (d == nullptr)
        return 0;
    d->SetDirty(true);
    return 1;
}

uint32_t NativeDrawable436(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    const RECT clip{a.I32(1), a.I32(2), a.I32(3), a.I32(4)};
    if (d == nullptr)
        return 0;
    RECT screen{};
    d->GetScreenRect(&screen);
    // In 64 bits: rectangles near the 32-bit limits must not wrap.
    const int64_t l = std::max<int64_t>(screen.left, clip.left), t = std::max<int64_t>(screen.top, clip.top);
    const int64_t r = std::min<int64_t>(screen.right, clip.right), b = std::min<int64_t>(screen.bottom, clip.bottom);
    return Flag(l < r && t < b);
}

uint32_t NativeDrawable437(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    const uint8_t mode = ByteAt(a, 1);
    return d != nullptr ? static_cast<uint32_t>(d->SetBlendMode(mode)) : kMinus2;
}

uint32_t NativeDrawable438(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    const uint8_t alpha = ByteAt(a, 1);
    return d != nullptr ? static_cast<uint32_t>(d->SetAlpha(alpha)) : kMinus2;
}

uint32_t NativeDrawable440(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    const uint32_t tag = a.U32(1);
    if (d != nullptr)
        d->SetTag(tag);
    return 0;
}

uint32_t NativeDrawable441(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    const int32_t dx = a.I32(1), dy = a.I32(2);
    return d != nullptr ? Flag(d->MoveBy(dx, dy)) : 0;
}

uint32_t NativeDrawable442(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    const int32_t x = a.I32(1), y = a.I32(2);
    const bool exact = a.U32(3) != 0;
    return d != nullptr ? Flag(d->HitTest(x, y, exact)) : 0;
}

uint32_t NativeDrawable443(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    CDrawable* other = DrawableAt(a, 1);
    return d != nullptr && other != nullptr ? Flag(d->Intersects(other)) : 0;
}

uint32_t NativeDrawable444(SobNativeArgs& a)
{
    CDrawable* d = DrawableAt(a, 0);
    if (!OutsFit(a, 1, 4) || d == nullptr)
        return 0;
    RECT r{};
    d->GetScreenRect(&r);
    const uint32_t values[4] = {static_cast<uint32_t>(r.left), static_cast<uint32_t>(r.top),
                                static_cast<uint32_t>(r.right), static_cast<uint32_t>(r.bottom)};
    StoreOuts(a, 1, values, 4);
    return 1;
}

uint32_t NativeDrawable445(SobNativeArgs& a)
{
    CImage* image = ImageAt(a, 0);
    CSprite* sprite = SpriteAt(a, 1);
    if (image == nullptr)
        return kMinus1;
    if (sprite == nullptr)
        return kMinus2;
    return static_cast<uint32_t>(sprite->ReplaceImage(image));
}

// --- sprites ---
uint32_t NativeDrawable451(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    CSprite* other = SpriteAt(a, 1);
    return s != nullptr && other != nullptr ? static_cast<uint32_t>(s->CopyFrom(other)) : kMinus1;
}

uint32_t NativeDrawable452(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    CSprite* other = SpriteAt(a, 1);
    return s != nullptr && other != nullptr && s != other ? static_cast<uint32_t>(s->ShareFrom(other)) : kMinus1;
}

uint32_t NativeDrawable453(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    const int32_t w = a.I32(1), h = a.I32(2);
    if (s == nullptr || !SideFits(w) || !SideFits(h))
        return kMinus1;
    return static_cast<uint32_t>(s->CreateWorkImage(w, h));
}

uint32_t NativeDrawable454(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    RECT r;
    const RECT* rect = RectAt(a, 1, &r);
    return s != nullptr ? static_cast<uint32_t>(s->SetSourceRect(rect)) : kMinus1;
}

uint32_t NativeDrawable455(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    const int32_t x = a.I32(1), y = a.I32(2);
    return s != nullptr ? static_cast<uint32_t>(s->SetSourceOrigin(x, y)) : kMinus1;
}

uint32_t NativeDrawable456(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    const uint8_t mode = ByteAt(a, 1);
    return s != nullptr ? Flag(s->SetDrawMode(mode)) : kMinus1;
}

uint32_t NativeDrawable457(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    const int32_t mode = a.I32(1), x = a.I32(2), y = a.I32(3);
    return s != nullptr ? Flag(s->SetRotationPivot(mode, x, y)) : kMinus1;
}

uint32_t NativeDrawable458(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    const int32_t angle = a.I32(1);
    const float zoom = a.F32(2);
    // The work image grows with the zoom: a zoom that is not a finite positive number up to 64 is
    // refused (a huge one used to ask for a gigantic picture).
    if (s == nullptr || !(zoom > 0.0f && zoom <= 64.0f))
        return kMinus1;
    return Flag(s->SetRotateZoom(angle, zoom));
}

uint32_t NativeDrawable459(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    const float zoom = a.F32(1);
    if (s == nullptr || !(zoom > 0.0f && zoom <= 64.0f))
        return kMinus1;
    return static_cast<uint32_t>(s->CreateRotationWorkImage(zoom));
}

uint32_t NativeDrawable460(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    if (s == nullptr)
        return kMinus1;
    s->DropWorkImage();
    return 0;
}

uint32_t NativeDrawable461(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    CImage* image = ImageAt(a, 1);
    RECT r;
    const RECT* rect = RectAt(a, 2, &r);
    const uint32_t xWord = a.U32(6);
    const int32_t y = a.I32(7);
    if (a.Faulted() || s == nullptr || image == nullptr)
        return kMinus1;
    // x = 65535: the image replaced in place, the placement kept.
    if (xWord == kAbsent)
        return static_cast<uint32_t>(s->ReplaceImage(image));
    return static_cast<uint32_t>(s->SetImage(image, rect, static_cast<int32_t>(xWord), y));
}

uint32_t NativeDrawable462(SobNativeArgs& a)
{
    CSprite* s = SpriteAt(a, 0);
    const bool clear = a.U32(1) != 0;
    return s != nullptr ? Flag(s->RedrawWorkImage(clear)) : kMinus1;
}

// --- primitives ---
uint32_t NativeDrawable463(SobNativeArgs& a)
{
    CPrimitiveObject* p = PrimitiveAt(a, 0);
    const uint32_t rgb = a.U32(1);
    return p != nullptr ? Flag(p->SetColor(rgb)) : kMinus1;
}

uint32_t NativeDrawable464(SobNativeArgs& a)
{
    CPrimitiveObject* p = PrimitiveAt(a, 0);
    const int32_t w = a.I32(1), h = a.I32(2);
    if (p == nullptr || w < 0 || h < 0 || w > kMaxScriptImageSide || h > kMaxScriptImageSide)
        return kMinus1;
    return Flag(p->SetSize(w, h));
}

uint32_t NativeDrawable465(SobNativeArgs& a)
{
    CPrimitiveObject* p = PrimitiveAt(a, 0);
    const int32_t w = a.I32(1), h = a.I32(2), x = a.I32(3), y = a.I32(4);
    if (p == nullptr || w < 0 || h < 0 || w > kMaxScriptImageSide || h > kMaxScriptImageSide)
        return kMinus1;
    return Flag(p->SetSizeAndPosition(w, h, x, y));
}
