// Natives 260-314 of scene objects and the task list (see scene_natives.h).
#include "natives/scene_natives.h"

#include <cstring>
#include <type_traits>
#include <vector>

#include "display/canvas_quad_object.h"
#include "display/canvas_region_object.h"
#include "display/color_rect_object.h"
#include "display/image_region_object.h"
#include "display/primitive_list_object.h"
#include "display/render_state_object_a.h"
#include "display/render_state_object_b.h"
#include "display/screen.h"
#include "display/textured_quad.h"
#include "display/transition_object.h"
#include "display/triangle_object.h"
#include "natives/native_args.h"
#include "natives/surface_natives.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kAbsent = 65535;
// Point lists from scripts: at least 2 points, at most this many (and inside script memory).
constexpr uint32_t kMaxPoints = 65536;

CScriptHostBase* Host(SobNativeArgs& a) { return NativeHost(a); }

CTask* TaskAt(SobNativeArgs& a, uint32_t k)
{
    CScriptHostBase* host = Host(a);
    return host != nullptr ? host->Object<CTask>(a.U32(k)) : nullptr;
}

CSurface* SurfaceAt(SobNativeArgs& a, uint32_t k)
{
    CScriptHostBase* host = Host(a);
    return host != nullptr ? host->Object<CSurface>(a.U32(k)) : nullptr;
}

const RECT* RectAt(SobNativeArgs& a, uint32_t k, RECT* r)
{
    *r = {a.I32(k), a.I32(k + 1), a.I32(k + 2), a.I32(k + 3)};
    return a.U32(k) == kAbsent ? nullptr : r;
}

uint32_t Flag(bool b) { return b ? 1 : 0; }

// A new scene object's handle (as a task), or 0; deleted again when no handle is left for it.
uint32_t Adopt(SobNativeArgs& a, int code, CTask* task)
{
    CScriptHostBase* host = Host(a);
    if (code != 0 || task == nullptr || host == nullptr)
        return 0;
    const uint32_t handle = host->ObjectHandle(task);
    if (handle == 0)
        g_pDisplay->DeleteSceneObject(task);
    return handle;
}

bool Ready(SobNativeArgs& a)
{
    return !a.Faulted() && g_pDisplay != nullptr && Host(a) != nullptr;
}

bool SideFits(int32_t side) { return side >= 0 && side <= kMaxScriptImageSide; }

} // namespace

uint32_t NativeScene260(SobNativeArgs& a)
{
    CSurface* surface = SurfaceAt(a, 0);
    RECT r;
    const RECT* rect = RectAt(a, 1, &r);
    const int32_t x = a.I32(5), y = a.I32(6);
    if (!Ready(a) || surface == nullptr)
        return 0;
    CImageRegionObject* object = nullptr;
    const int code = g_pDisplay->CreateImageRegion(&object, surface, rect, x, y);
    return Adopt(a, code, object);
}

uint32_t NativeScene261(SobNativeArgs& a)
{
    CSurface* texture = SurfaceAt(a, 0);
    const int32_t x = a.I32(1), y = a.I32(2);
    RECT r;
    const RECT* rect = RectAt(a, 3, &r);
    if (!Ready(a) || texture == nullptr)
        return 0;
    CTexturedQuad* object = nullptr;
    const int code = g_pDisplay->CreateTexturedQuad(&object, texture, x, y, rect);
    return Adopt(a, code, object);
}

uint32_t NativeScene262(SobNativeArgs& a)
{
    const uint32_t count = a.U32(0);
    const uint32_t argb = a.U32(3);
    const uint8_t type = static_cast<uint8_t>(a.U32(4));
    const bool lend = a.U32(5) != 0;
    if (count < 2 || count > kMaxPoints)
        return 0;
    // Each list must lie inside the script block that holds it.
    uint8_t* xs = NativeBlockSpan(a, a.U32(1), 4 * count);
    uint8_t* ys = xs != nullptr ? NativeBlockSpan(a, a.U32(2), 4 * count) : nullptr;
    if (!Ready(a) || xs == nullptr || ys == nullptr)
        return 0;
    std::vector<LONG> px(count), py(count);
    std::memcpy(px.data(), xs, 4 * count);
    std::memcpy(py.data(), ys, 4 * count);
    CPrimitiveListObject* object = nullptr;
    const int code = g_pDisplay->CreatePrimitiveList(&object, static_cast<LONG>(count), px.data(), py.data(), argb, type, lend);
    return Adopt(a, code, object);
}

uint32_t NativeScene263(SobNativeArgs& a)
{
    const int32_t w = a.I32(0), h = a.I32(1), x = a.I32(3), y = a.I32(4);
    const uint32_t argb = a.U32(2);
    if (!Ready(a) || !SideFits(w) || !SideFits(h))
        return 0;
    CColorRectObject* object = nullptr;
    const int code = g_pDisplay->CreateColorRect(&object, w, h, argb, x, y);
    return Adopt(a, code, object);
}

uint32_t NativeScene264(SobNativeArgs& a)
{
    int32_t v[6];
    for (uint32_t i = 0; i < 6; ++i)
        v[i] = a.I32(i);
    const uint32_t argb = a.U32(6);
    const int32_t x = a.I32(7), y = a.I32(8);
    if (!Ready(a))
        return 0;
    CTriangleObject* object = nullptr;
    const int code = g_pDisplay->CreateTriangle(&object, v[0], v[1], v[2], v[3], v[4], v[5], argb, x, y);
    return Adopt(a, code, object);
}

uint32_t NativeScene265(SobNativeArgs& a)
{
    if (!Ready(a))
        return 0;
    CRenderStateObjectA* object = nullptr;
    const int code = g_pDisplay->CreateRenderStateA(&object);
    return Adopt(a, code, object);
}

uint32_t NativeScene266(SobNativeArgs& a)
{
    if (!Ready(a))
        return 0;
    CRenderStateObjectB* object = nullptr;
    const int code = g_pDisplay->CreateRenderStateB(&object);
    return Adopt(a, code, object);
}

uint32_t NativeScene267(SobNativeArgs& a)
{
    CSurface* surface = SurfaceAt(a, 0);
    RECT r;
    const RECT* rect = RectAt(a, 1, &r);
    const int32_t x = a.I32(5), y = a.I32(6);
    if (!Ready(a) || surface == nullptr)
        return 0;
    CCanvasRegionObject* object = nullptr;
    const int code = g_pDisplay->CreateCanvasRegion(&object, surface, rect, x, y);
    return Adopt(a, code, object);
}

uint32_t NativeScene268(SobNativeArgs& a)
{
    CSurface* texture = SurfaceAt(a, 0);
    const int32_t x = a.I32(1), y = a.I32(2);
    RECT r;
    const RECT* rect = RectAt(a, 3, &r);
    if (!Ready(a) || texture == nullptr)
        return 0;
    CCanvasQuadObject* object = nullptr;
    const int code = g_pDisplay->CreateCanvasQuad(&object, texture, x, y, rect);
    return Adopt(a, code, object);
}

uint32_t NativeScene269(SobNativeArgs& a)
{
    CScriptHostBase* host = Host(a);
    const uint32_t dstWord = a.U32(0);
    CSurface* destination = host != nullptr && dstWord != 0 ? host->Object<CSurface>(dstWord) : nullptr;
    CSurface* source = SurfaceAt(a, 1);
    const int32_t wipe = a.I32(2), x = a.I32(3), y = a.I32(4), progress = a.I32(5);
    if (!Ready(a) || source == nullptr || (dstWord != 0 && destination == nullptr))
        return 0;
    CTransitionObject* object = nullptr;
    const int code = g_pDisplay->CreateTransition(&object, destination, source, wipe, x, y, progress);
    return Adopt(a, code, object);
}

uint32_t NativeScene270(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    if (task == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->DeleteSceneObject(task));
}

// --- the screen's task list ---
uint32_t NativeScene271(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const uint32_t priority = a.U32(1);
    const uint8_t group = static_cast<uint8_t>(a.U32(2));
    if (task == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->Insert(task, priority, group));
}

uint32_t NativeScene272(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const uint32_t priority = a.U32(1);
    const uint8_t group = static_cast<uint8_t>(a.U32(2));
    if (task == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->InsertFirst(task, priority, group));
}

uint32_t NativeScene273(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    if (task == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->Remove(task);
    return 0;
}

uint32_t NativeScene274(SobNativeArgs& a)
{
    const uint32_t priority = a.U32(0);
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->RemovePriority(priority);
    return 0;
}

uint32_t NativeScene275(SobNativeArgs&)
{
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->CTaskList::Clear();
    return 0;
}

uint32_t NativeScene276(SobNativeArgs&)
{
    return g_pDisplay != nullptr ? static_cast<uint32_t>(g_pDisplay->RestoreAll()) : kMinus1;
}

uint32_t NativeScene277(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const uint8_t enabled = static_cast<uint8_t>(a.U32(1));
    return task != nullptr ? task->SetEnabled(enabled) : kMinus1;
}

uint32_t NativeScene278(SobNativeArgs& a)
{
    const uint8_t enabled = static_cast<uint8_t>(a.U32(0));
    const uint32_t priority = a.U32(1);
    const int32_t group = a.I32(2);
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->SetEnabledWhere(enabled, priority, group);
    return 0;
}

uint32_t NativeScene279(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const uint32_t priority = a.U32(1);
    const bool onlyIfChanged = a.U32(2) != 0;
    if (task == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->SetPriority(task, priority, onlyIfChanged));
}

uint32_t NativeScene280(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const uint32_t priority = a.U32(1);
    const bool onlyIfChanged = a.U32(2) != 0;
    if (task == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->SetPriorityFirst(task, priority, onlyIfChanged));
}

// --- the task interface ---
uint32_t NativeScene283(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const int32_t x = a.I32(1), y = a.I32(2);
    if (task == nullptr)
        return 0;
    task->SetPosition(x, y);
    return 1;
}

uint32_t NativeScene284(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const int32_t w = a.I32(1), h = a.I32(2);
    if (task == nullptr || !SideFits(w) || !SideFits(h))
        return 0;
    task->SetSize(w, h);
    return 1;
}

uint32_t NativeScene285(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const int32_t w = a.I32(1), h = a.I32(2), x = a.I32(3), y = a.I32(4);
    if (task == nullptr || !SideFits(w) || !SideFits(h))
        return 0;
    task->SetSizeAndPosition(w, h, x, y);
    return 1;
}

uint32_t NativeScene286(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const int32_t dx = a.I32(1), dy = a.I32(2);
    if (task == nullptr)
        return 0;
    task->MoveBy(dx, dy);
    return 1;
}

uint32_t NativeScene287(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    const int32_t x = a.I32(1), y = a.I32(2);
    const bool exact = a.U32(3) != 0;
    return task != nullptr ? Flag(task->HitTest(x, y, exact)) : 0;
}

uint32_t NativeScene288(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    CTask* other = TaskAt(a, 1);
    return task != nullptr && other != nullptr ? Flag(task->Overlaps(other)) : 0;
}

uint32_t NativeScene314(SobNativeArgs& a)
{
    CTask* task = TaskAt(a, 0);
    for (uint32_t k = 1; k <= 4; ++k)
        if (!a.IsNull(k) && a.Span(k, 4) == nullptr)
            return kMinus1;
    if (a.Faulted() || task == nullptr)
        return kMinus1;
    RECT r{};
    if (!task->GetBounds(&r))
        return 0;
    const LONG values[4] = {r.left, r.top, r.right, r.bottom};
    for (uint32_t k = 1; k <= 4; ++k)
        if (!a.IsNull(k))
            a.Out32(k, static_cast<uint32_t>(values[k - 1]));
    return 1;
}

// --- colour and geometry by kind: each row calls the operation of the object's own kind ---
namespace {

// Runs op on the task as the first of the kinds Ts it is; -1 when it is none of them.
template <class... Ts, class Op>
uint32_t ByKind(SobNativeArgs& a, Op op)
{
    CTask* task = TaskAt(a, 0);
    if (a.Faulted() || task == nullptr)
        return kMinus1;
    uint32_t result = kMinus1;
    bool done = false;
    auto attempt = [&](auto* typed) {
        if (!done && typed != nullptr) {
            result = op(*typed);
            done = true;
        }
    };
    (attempt(dynamic_cast<Ts*>(task)), ...);
    return result;
}

CSurface* OptionalSurfaceAt(SobNativeArgs& a, uint32_t k, bool* ok)
{
    const uint32_t word = a.U32(k);
    CSurface* surface = word != 0 ? SurfaceAt(a, k) : nullptr;
    *ok = word == 0 || surface != nullptr;
    return surface;
}

} // namespace

uint32_t NativeScene281(SobNativeArgs& a)
{
    CSurface* source = SurfaceAt(a, 1);
    if (source == nullptr)
        return kMinus1;
    return ByKind<CTransitionObject>(a, [&](CTransitionObject& t) { return static_cast<uint32_t>(t.SetSource(source)); });
}

uint32_t NativeScene282(SobNativeArgs& a)
{
    const int32_t x = a.I32(1), y = a.I32(2);
    RECT r;
    const RECT* rect = RectAt(a, 3, &r);
    return ByKind<CTransitionObject, CTexturedQuad, CImageRegionObject>(a, [&](auto& o) { return Flag(o.SetPositionRect(x, y, rect)); });
}

uint32_t NativeScene289(SobNativeArgs& a)
{
    const int32_t angle = a.I32(1), pivot = a.I32(2);
    return ByKind<CTexturedQuad, CColorRectObject, CPrimitiveListObject>(a, [&](auto& o) {
        if constexpr (std::is_same_v<std::decay_t<decltype(o)>, CPrimitiveListObject>)
            return Flag(o.Rotate(angle, pivot));
        else {
            o.Rotate(angle, pivot);
            return 0u;
        }
    });
}

uint32_t NativeScene290(SobNativeArgs& a)
{
    const uint8_t e = static_cast<uint8_t>(a.U32(1)), src = static_cast<uint8_t>(a.U32(2)), dst = static_cast<uint8_t>(a.U32(3));
    return ByKind<CTexturedQuad, CColorRectObject, CTriangleObject, CPrimitiveListObject>(a, [&](auto& o) {
        o.SetBlendStates(e, src, dst);
        return 0u;
    });
}

uint32_t NativeScene291(SobNativeArgs& a)
{
    const bool additive = a.U32(1) != 0;
    const int32_t alpha = a.I32(2), brightness = a.I32(3);
    return ByKind<CTexturedQuad, CColorRectObject, CTriangleObject, CPrimitiveListObject>(a, [&](auto& o) {
        if constexpr (std::is_same_v<std::decay_t<decltype(o)>, CTexturedQuad>)
            o.SetBlend(additive, alpha, brightness);
        else
            o.SetBlend(additive, alpha);
        return 0u;
    });
}

uint32_t NativeScene292(SobNativeArgs& a)
{
    const uint32_t rgb = a.U32(1);
    return ByKind<CTexturedQuad, CColorRectObject, CTriangleObject, CPrimitiveListObject>(a, [&](auto& o) {
        o.SetRgb(rgb);
        return 0u;
    });
}

uint32_t NativeScene293(SobNativeArgs& a)
{
    const int32_t index = a.I32(1);
    const uint32_t rgb = a.U32(2);
    return ByKind<CTexturedQuad, CColorRectObject, CTriangleObject, CPrimitiveListObject>(a, [&](auto& o) {
        o.SetVertexRgb(index, rgb);
        return 0u;
    });
}

uint32_t NativeScene294(SobNativeArgs& a)
{
    uint32_t rgb[4];
    for (uint32_t i = 0; i < 4; ++i)
        rgb[i] = a.U32(1 + i);
    return ByKind<CTexturedQuad, CColorRectObject>(a, [&](auto& o) {
        for (int i = 0; i < 4; ++i)
            o.SetVertexRgb(i, rgb[i]);
        return 0u;
    });
}

uint32_t NativeScene295(SobNativeArgs& a)
{
    uint32_t rgb[3];
    for (uint32_t i = 0; i < 3; ++i)
        rgb[i] = a.U32(1 + i);
    return ByKind<CTriangleObject>(a, [&](CTriangleObject& o) {
        for (int i = 0; i < 3; ++i)
            o.SetVertexRgb(i, rgb[i]);
        return 0u;
    });
}

uint32_t NativeScene296(SobNativeArgs& a)
{
    const int32_t alpha = a.I32(1);
    return ByKind<CTexturedQuad, CColorRectObject, CTriangleObject, CPrimitiveListObject>(a, [&](auto& o) {
        o.SetAlpha(alpha);
        return 0u;
    });
}

uint32_t NativeScene297(SobNativeArgs& a)
{
    const int32_t index = a.I32(1), alpha = a.I32(2);
    return ByKind<CTexturedQuad, CColorRectObject, CTriangleObject, CPrimitiveListObject>(a, [&](auto& o) {
        o.SetVertexAlpha(index, alpha);
        return 0u;
    });
}

uint32_t NativeScene298(SobNativeArgs& a)
{
    int32_t alpha[4];
    for (uint32_t i = 0; i < 4; ++i)
        alpha[i] = a.I32(1 + i);
    return ByKind<CTexturedQuad, CColorRectObject>(a, [&](auto& o) {
        for (int i = 0; i < 4; ++i)
            o.SetVertexAlpha(i, alpha[i]);
        return 0u;
    });
}

uint32_t NativeScene299(SobNativeArgs& a)
{
    int32_t alpha[3];
    for (uint32_t i = 0; i < 3; ++i)
        alpha[i] = a.I32(1 + i);
    return ByKind<CTriangleObject>(a, [&](CTriangleObject& o) {
        for (int i = 0; i < 3; ++i)
            o.SetVertexAlpha(i, alpha[i]);
        return 0u;
    });
}

uint32_t NativeScene300(SobNativeArgs& a)
{
    const uint8_t op = static_cast<uint8_t>(a.U32(1)), a1 = static_cast<uint8_t>(a.U32(2)), a2 = static_cast<uint8_t>(a.U32(3));
    return ByKind<CTexturedQuad>(a, [&](CTexturedQuad& q) {
        q.SetColorStage(op, a1, a2);
        return 0u;
    });
}

uint32_t NativeScene301(SobNativeArgs& a)
{
    const uint8_t op = static_cast<uint8_t>(a.U32(1)), a1 = static_cast<uint8_t>(a.U32(2)), a2 = static_cast<uint8_t>(a.U32(3));
    return ByKind<CTexturedQuad>(a, [&](CTexturedQuad& q) {
        q.SetAlphaStage(op, a1, a2);
        return 0u;
    });
}

uint32_t NativeScene302(SobNativeArgs& a)
{
    int32_t v[8];
    for (uint32_t i = 0; i < 8; ++i)
        v[i] = a.I32(1 + i);
    return ByKind<CTexturedQuad, CColorRectObject>(a, [&](auto& o) {
        o.SetCorners(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        return 0u;
    });
}

uint32_t NativeScene303(SobNativeArgs& a)
{
    const int32_t w = a.I32(1), h = a.I32(2);
    if (!SideFits(w) || !SideFits(h))
        return kMinus1;
    return ByKind<CColorRectObject>(a, [&](CColorRectObject& o) {
        o.SetSize(w, h);
        return 0u;
    });
}

uint32_t NativeScene304(SobNativeArgs& a)
{
    const int32_t w = a.I32(1), h = a.I32(2), x = a.I32(3), y = a.I32(4);
    if (!SideFits(w) || !SideFits(h))
        return kMinus1;
    return ByKind<CColorRectObject>(a, [&](CColorRectObject& o) {
        o.SetSizeAndPosition(w, h, x, y);
        return 0u;
    });
}

uint32_t NativeScene305(SobNativeArgs& a)
{
    const uint8_t type = static_cast<uint8_t>(a.U32(1));
    return ByKind<CPrimitiveListObject>(a, [&](CPrimitiveListObject& o) {
        o.SetPrimitiveType(type);
        return 0u;
    });
}

uint32_t NativeScene306(SobNativeArgs& a)
{
    const int32_t index = a.I32(1), x = a.I32(2), y = a.I32(3);
    return ByKind<CTriangleObject, CPrimitiveListObject>(a, [&](auto& o) { return Flag(o.SetPoint(index, x, y)); });
}

uint32_t NativeScene307(SobNativeArgs& a)
{
    const int32_t x0 = a.I32(1), y0 = a.I32(2), x1 = a.I32(3), y1 = a.I32(4);
    return ByKind<CPrimitiveListObject>(a, [&](CPrimitiveListObject& o) { return Flag(o.SetLine(x0, y0, x1, y1)); });
}

uint32_t NativeScene308(SobNativeArgs& a)
{
    int32_t v[6];
    for (uint32_t i = 0; i < 6; ++i)
        v[i] = a.I32(1 + i);
    return ByKind<CTriangleObject>(a, [&](CTriangleObject& o) {
        o.SetPoints(v[0], v[1], v[2], v[3], v[4], v[5]);
        return 0u;
    });
}

uint32_t NativeScene309(SobNativeArgs& a)
{
    const int32_t progress = a.I32(1);
    return ByKind<CTransitionObject>(a, [&](CTransitionObject& t) { return static_cast<uint32_t>(t.DrawStep(progress)); });
}

uint32_t NativeScene310(SobNativeArgs&)
{
    // No public transition operation without words besides those named elsewhere.
    return kMinus1;
}

uint32_t NativeScene311(SobNativeArgs& a)
{
    bool ok = false;
    CSurface* destination = OptionalSurfaceAt(a, 1, &ok);
    if (!ok)
        return kMinus1;
    return ByKind<CTransitionObject>(a, [&](CTransitionObject& t) { return static_cast<uint32_t>(t.SetDestination(destination)); });
}

uint32_t NativeScene312(SobNativeArgs&)
{
    // No further transition operation of that shape exists in our transition object.
    return kMinus1;
}

uint32_t NativeScene313(SobNativeArgs&)
{
    return kMinus1;
}
