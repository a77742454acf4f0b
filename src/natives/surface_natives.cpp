// Natives 200-259 (see surface_natives.h).
#include "natives/surface_natives.h"

#include <bit>
#include <cstring>
#include <string>

#include "display/canvas_surface.h"
#include "display/dd_image.h"
#include "display/dd_surface.h"
#include "display/display_objects.h"
#include "display/file_image_surface.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "display/canvas_texture.h"
#include "display/text_surface.h"
#include "drawing/font.h"
#include "effects/bg_anime.h"
#include "effects/bg_effects.h"
#include "effects/bg_panime.h"
#include "effects/sp_panime.h"
#include "files/gll_manager.h"
#include "files/object_plugin_manager.h"
#include "natives/native_args.h"
#include "natives/plugin_natives.h"
#include "platform/timer_manager.h"
#include "raster/draw_transition.h"
#include "raster/image.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kMinus2 = static_cast<uint32_t>(-2);
constexpr uint32_t kAbsent = 65535;

bool SideFits(int32_t side)
{
    return side >= 1 && side <= kMaxScriptImageSide;
}

CSurface* SurfaceAt(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr ? host->Object<CSurface>(args.U32(k)) : nullptr;
}

// An optional surface word: 0 is none; false for a word that names no surface.
bool OptionalSurface(SobNativeArgs& args, uint32_t k, CSurface** surface)
{
    *surface = nullptr;
    if (args.IsNull(k))
        return true;
    *surface = SurfaceAt(args, k);
    return *surface != nullptr;
}

// A file name word that must lead inside the script roots: the name itself for the loaders
// (which search the game's folders and archives), null when missing or outside every root.
const char* RootedName(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    const char* name = NativeOptionalString(args, k);
    if (name == nullptr || host == nullptr || args.Faulted())
        return nullptr;
    std::string full;
    return host->ResolveScriptPath(name, &full) ? name : nullptr;
}

// Words k, k + 1: the address and size of file bytes in script memory (size 1 or more).
const uint8_t* DataSpan(SobNativeArgs& args, uint32_t k, uint32_t* size)
{
    *size = args.U32(k + 1);
    if (*size == 0 || args.Faulted())
        return nullptr;
    return args.Span(k, *size);
}

// The handle of a new object as its surface kind, or 0; the object is deleted when no handle is
// left for it (nothing a script could reach).
template <class T>
uint32_t Adopt(SobNativeArgs& args, int code, T* object)
{
    CScriptHostBase* host = NativeHost(args);
    if (code != 0 || object == nullptr)
        return 0;
    const uint32_t handle = host->ObjectHandle(object);
    if (handle == 0)
        g_pDisplay->DeleteSurface(object);
    return handle;
}

uint32_t AdoptSurface(SobNativeArgs& args, int code, CSurface* surface)
{
    return Adopt(args, code, surface);
}

bool CanCreate(SobNativeArgs& args)
{
    return !args.Faulted() && g_pDisplay != nullptr && NativeHost(args) != nullptr;
}

// Words k .. k + 3 as a rectangle; false when word k is 65535 (absent: the whole area).
bool RectAt(SobNativeArgs& args, uint32_t k, RECT* r)
{
    r->left = args.I32(k);
    r->top = args.I32(k + 1);
    r->right = args.I32(k + 2);
    r->bottom = args.I32(k + 3);
    return static_cast<uint32_t>(r->left) != kAbsent;
}

CImageObject* CanvasAt(SobNativeArgs& args, uint32_t k)
{
    return GetSurfaceCanvas(SurfaceAt(args, k));
}

} // namespace

uint32_t NativeDeleteAllObjects(SobNativeArgs&)
{
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->DeleteAllObjects();
    return 0;
}

uint32_t NativeSetObjectGroup(SobNativeArgs& args)
{
    const uint32_t group = args.U32(0);
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->SetGroup(group);
    return 0;
}

uint32_t NativeDeleteObjectsByGroup(SobNativeArgs& args)
{
    const uint32_t group = args.U32(0), flags = args.U32(1);
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->DeleteObjectsByGroup(group, flags);
    return 0;
}

uint32_t NativeSetImageCacheBudget(SobNativeArgs& args)
{
    const int32_t megabytes = args.I32(0);
    if (g_pGllManager == nullptr)
        return kMinus1;
    g_pGllManager->SetCacheBudgetFromMemory(megabytes);
    return 0;
}

uint32_t NativeReleaseCachedImage(SobNativeArgs&)
{
    // Our loader manager keeps no single-image release: its cache evicts by budget.
    return kMinus1;
}

uint32_t NativePreloadCachedImage(SobNativeArgs& args)
{
    const char* name = RootedName(args, 0);
    if (args.Faulted() || name == nullptr || g_pGllManager == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pGllManager->PreloadCachedImage(name));
}

uint32_t NativeHasImageLoader(SobNativeArgs& args)
{
    const uint32_t type = args.U32(0);
    if (g_pGllManager == nullptr)
        return 0;
    return g_pGllManager->FindPluginByType(type) != nullptr ? 1 : 0;
}

uint32_t NativeUnloadImageLoaders(SobNativeArgs& args)
{
    const uint32_t type = args.U32(0);
    if (g_pGllManager == nullptr)
        return 0;
    if (type != kMinus1)
        g_pGllManager->UnloadType(type);
    else
        g_pGllManager->UnloadAll();
    return 0;
}

uint32_t NativeHasAssistFunc(SobNativeArgs& args)
{
    const uint32_t type = args.U32(0);
    if (g_pGllManager == nullptr)
        return 0;
    // The function itself means nothing in script memory: whether there is one.
    return g_pGllManager->GetAssistFunc2ByType(type) != nullptr ? 1 : 0;
}

uint32_t NativeGetScreenMode(SobNativeArgs&)
{
    return g_pDisplay != nullptr ? g_pDisplay->GetMode() : 0;
}

uint32_t NativeGetOutputRect(SobNativeArgs& args)
{
    for (uint32_t k = 0; k < 4; ++k)
        if (!args.IsNull(k) && args.Span(k, 4) == nullptr)
            return 0;
    if (args.Faulted() || g_pDisplay == nullptr)
        return 0;
    const RECT& r = g_pDisplay->GetOutputRect();
    const LONG values[4] = {r.left, r.top, r.right, r.bottom};
    for (uint32_t k = 0; k < 4; ++k)
        if (!args.IsNull(k))
            args.Out32(k, static_cast<uint32_t>(values[k]));
    return 1;
}

uint32_t NativeCancelKind(SobNativeArgs& args)
{
    const int32_t kind = args.I32(0);
    if (g_pObjectManager != nullptr)
        g_pObjectManager->CancelKind(kind);
    return 0;
}

uint32_t NativePauseKind(SobNativeArgs& args)
{
    const int32_t kind = args.I32(0);
    if (g_pObjectManager != nullptr)
        g_pObjectManager->PauseKind(kind);
    return 0;
}

uint32_t NativeResumeKind(SobNativeArgs& args)
{
    const int32_t kind = args.I32(0);
    if (g_pObjectManager != nullptr)
        g_pObjectManager->ResumeKind(kind);
    return 0;
}

uint32_t NativeIsSceneActive(SobNativeArgs& args)
{
    CImageObject* canvas = CanvasAt(args, 0);
    return canvas != nullptr ? (canvas->IsSceneActive() ? 1 : 0) : 0;
}

namespace {

// The second callbacks the engine registers, each with the layout of its words: c a surface
// whose canvas is the display object, s a drawable, i an integer, t a text, f a float word
// handed on as a double; outs: per out value its pack index and i (integer) or f (float). A
// callback whose first word picks its form has a row per form (first: 0 zero, 1 non-zero).
struct AssistSignature {
    EffectCallbackFunc callback;
    int first; // -1 any
    const char* in;
    uint8_t outIndex;
    const char* outs;
};

const AssistSignature kAssistSignatures[] = {
    {&ApplyBgZoomDirect, -1, "ciit", 4, "iiii"},
    {&ApplyBgBlurDirect, -1, "ciiff", 5, "iiii"},
    {&ApplyBgPanimeDirect, -1, "ct", 2, "ii"},
    {&ApplySpPanimeDirect, 0, "iii", 0, ""},
    {&ApplySpPanimeDirect, 1, "ist", 3, "iiiiiffii"},
    {&SetBgAnimeFlag, -1, "i", 0, ""},
};

const AssistSignature* FindAssistSignature(EffectCallbackFunc callback, SobNativeArgs& args)
{
    for (const AssistSignature& row : kAssistSignatures) {
        if (row.callback != callback)
            continue;
        if (row.first < 0 || (row.first == 0) == (args.I32(1) == 0))
            return &row;
    }
    return nullptr;
}

} // namespace

uint32_t NativeCallAssist2(SobNativeArgs& args)
{
    const char* name = NativeOptionalString(args, 0);
    if (args.Faulted())
        return 0;
    EffectCallbackFunc callback =
        name != nullptr && g_pObjectPluginManager != nullptr ? g_pObjectPluginManager->FindCallbackFunc2(name) : nullptr;
    if (callback == nullptr)
        return kMinus2;
    CEffectArgs in;
    const AssistSignature* signature = FindAssistSignature(callback, args);
    if (signature == nullptr) {
        for (uint32_t k = 1; k <= kPluginWords; ++k)
            in.AddInt(args.I32(k));
        if (args.Faulted())
            return 0;
        CEffectArgs out;
        return static_cast<uint32_t>(callback(in, &out));
    }
    // Every word and out address is checked before the callback runs.
    uint32_t k = 1;
    for (const char* kind = signature->in; *kind != 0; ++kind, ++k) {
        switch (*kind) {
        case 'c': {
            CImageObject* canvas = CanvasAt(args, k);
            if (canvas == nullptr)
                return kMinus1;
            in.AddObject(canvas);
            break;
        }
        case 's': {
            CScriptHostBase* host = NativeHost(args);
            CDrawable* drawable = host != nullptr ? host->Object<CDrawable>(args.U32(k)) : nullptr;
            if (drawable == nullptr)
                return kMinus1;
            in.AddObject(drawable);
            break;
        }
        case 't':
            in.AddText(NativeOptionalString(args, k));
            break;
        case 'f':
            in.AddDouble(static_cast<double>(args.F32(k)));
            break;
        default:
            in.AddInt(args.I32(k));
            break;
        }
    }
    const uint32_t firstOut = k;
    const size_t outCount = std::strlen(signature->outs);
    for (uint32_t j = 0; j < outCount; ++j)
        if (!args.IsNull(firstOut + j))
            args.Span(firstOut + j, 4);
    if (args.Faulted())
        return 0;
    CEffectArgs out;
    const int result = callback(in, &out);
    for (uint32_t j = 0; j < outCount; ++j) {
        if (args.IsNull(firstOut + j))
            continue;
        const size_t index = signature->outIndex + j;
        uint32_t value = 0;
        if (signature->outs[j] == 'f') {
            double d = 0;
            out.GetDouble(index, &d);
            value = std::bit_cast<uint32_t>(static_cast<float>(d));
        } else {
            value = static_cast<uint32_t>(out.IntAt(index));
        }
        args.Out32(firstOut + j, value);
    }
    return static_cast<uint32_t>(result);
}

uint32_t NativeCreateDDImage(SobNativeArgs& args)
{
    const int32_t w = args.I32(0), h = args.I32(1);
    const bool system = static_cast<uint8_t>(args.U32(2)) != 0;
    if (!CanCreate(args) || !SideFits(w) || !SideFits(h))
        return 0;
    CDDImage* image = nullptr;
    const int code = g_pDisplay->CreateDDImage(&image, w, h, system);
    return AdoptSurface(args, code, image);
}

uint32_t NativeCreateDDImageFromFile(SobNativeArgs& args)
{
    const char* name = RootedName(args, 0);
    const bool system = static_cast<uint8_t>(args.U32(1)) != 0;
    if (!CanCreate(args) || name == nullptr)
        return 0;
    CDDImage* image = nullptr;
    const int code = g_pDisplay->CreateDDImageFromFile(&image, name, nullptr, 0, system);
    return AdoptSurface(args, code, image);
}

uint32_t NativeCreateDDImageFromData(SobNativeArgs& args)
{
    uint32_t size = 0;
    const uint8_t* data = DataSpan(args, 0, &size);
    const bool system = static_cast<uint8_t>(args.U32(2)) != 0;
    if (!CanCreate(args) || data == nullptr)
        return 0;
    CDDImage* image = nullptr;
    const int code = g_pDisplay->CreateDDImageFromFile(&image, nullptr, data, size, system);
    return AdoptSurface(args, code, image);
}

uint32_t NativeCreateDDSurface(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const char* text = NativeOptionalString(args, 0);
    const uint32_t fontWord = args.U32(1);
    CFont* font = host != nullptr && fontWord != 0 ? host->Object<CFont>(fontWord) : nullptr;
    if (!CanCreate(args) || (fontWord != 0 && font == nullptr))
        return 0;
    CDDSurface* surface = nullptr;
    const int code = g_pDisplay->CreateDDSurface(&surface, text, font);
    return AdoptSurface(args, code, surface);
}

namespace {

template <class T, class Make>
uint32_t CreateCanvas(SobNativeArgs& args, Make make)
{
    const int32_t w = args.I32(0), h = args.I32(1), bits = args.I32(2), mode = args.I32(3);
    if (!CanCreate(args) || !SideFits(w) || !SideFits(h))
        return 0;
    T* surface = nullptr;
    const int code = make(&surface, w, h, bits, mode);
    return AdoptSurface(args, code, surface);
}

} // namespace

uint32_t NativeCreateCanvasSurface(SobNativeArgs& args)
{
    return CreateCanvas<CCanvasSurface>(args, [](CCanvasSurface** out, LONG w, LONG h, int bits, int mode) {
        return g_pDisplay->CreateCanvasSurface(out, w, h, bits, mode);
    });
}

uint32_t NativeCreateSurfaceSprite(SobNativeArgs& args)
{
    return CreateCanvas<CSurfaceSprite>(args, [](CSurfaceSprite** out, LONG w, LONG h, int bits, int mode) {
        return g_pDisplay->CreateSurfaceSprite(out, w, h, bits, mode);
    });
}

uint32_t NativeCreateSurfaceSprite10(SobNativeArgs& args)
{
    return CreateCanvas<CSurfaceSprite10>(args, [](CSurfaceSprite10** out, LONG w, LONG h, int bits, int mode) {
        return g_pDisplay->CreateSurfaceSprite10(out, w, h, bits, mode);
    });
}

uint32_t NativeCreateFileImageSurface(SobNativeArgs& args)
{
    const uint32_t format = args.U32(0);
    const char* name = RootedName(args, 1);
    const bool system = static_cast<uint8_t>(args.U32(2)) != 0;
    if (!CanCreate(args) || name == nullptr)
        return 0;
    CFileImageSurface* surface = nullptr;
    const int code = g_pDisplay->CreateFileImageSurface(&surface, format, name, nullptr, 0, system);
    return AdoptSurface(args, code, static_cast<CDDImage*>(surface));
}

uint32_t NativeCreateFileImageSurfaceFromData(SobNativeArgs& args)
{
    const uint32_t format = args.U32(0);
    uint32_t size = 0;
    const uint8_t* data = DataSpan(args, 1, &size);
    const bool system = static_cast<uint8_t>(args.U32(3)) != 0;
    if (!CanCreate(args) || data == nullptr)
        return 0;
    CFileImageSurface* surface = nullptr;
    const int code = g_pDisplay->CreateFileImageSurface(&surface, format, nullptr, data, size, system);
    return AdoptSurface(args, code, static_cast<CDDImage*>(surface));
}

uint32_t NativeCreateImage(SobNativeArgs& args)
{
    const int32_t w = args.I32(0), h = args.I32(1), bits = args.I32(2);
    const uint32_t flags = args.U32(3);
    if (!CanCreate(args) || !SideFits(w) || !SideFits(h))
        return 0;
    CImage* image = nullptr;
    const int code = g_pDisplay->CreateImage(&image, w, h, bits, flags);
    return Adopt(args, code, image);
}

namespace {

uint32_t ImageFromFile(SobNativeArgs& args, bool palette)
{
    const char* name = RootedName(args, 0);
    const uint32_t flags = args.U32(1);
    if (!CanCreate(args) || name == nullptr)
        return 0;
    CImage* image = nullptr;
    const int code = palette ? g_pDisplay->CreateImageFromFileWithPalette(&image, name, nullptr, 0, flags)
                             : g_pDisplay->CreateImageFromFile(&image, name, nullptr, 0, flags);
    return Adopt(args, code, image);
}

uint32_t ImageFromData(SobNativeArgs& args, bool palette)
{
    uint32_t size = 0;
    const uint8_t* data = DataSpan(args, 0, &size);
    const uint32_t flags = args.U32(2);
    if (!CanCreate(args) || data == nullptr)
        return 0;
    CImage* image = nullptr;
    const int code = palette ? g_pDisplay->CreateImageFromFileWithPalette(&image, nullptr, data, size, flags)
                             : g_pDisplay->CreateImageFromFile(&image, nullptr, data, size, flags);
    return Adopt(args, code, image);
}

} // namespace

uint32_t NativeCreateImageFromFile(SobNativeArgs& args)
{
    return ImageFromFile(args, false);
}

uint32_t NativeCreateImageFromFilePal(SobNativeArgs& args)
{
    return ImageFromFile(args, true);
}

uint32_t NativeCreateImageFromData(SobNativeArgs& args)
{
    return ImageFromData(args, false);
}

uint32_t NativeCreateImageFromDataPal(SobNativeArgs& args)
{
    return ImageFromData(args, true);
}

namespace {

// The font of word k: 0 the default (null); a word naming no font sets *bad.
CFont* OptionalFont(SobNativeArgs& args, uint32_t k, bool* bad)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t word = args.U32(k);
    CFont* font = host != nullptr && word != 0 ? host->Object<CFont>(word) : nullptr;
    *bad = word != 0 && font == nullptr;
    return font;
}

} // namespace

uint32_t NativeCreateTextSurface(SobNativeArgs& args)
{
    const uint32_t format = args.U32(0);
    const char* text = NativeOptionalString(args, 1);
    bool badFont = false;
    CFont* font = OptionalFont(args, 2, &badFont);
    if (!CanCreate(args) || badFont)
        return 0;
    CTextSurface* surface = nullptr;
    const int code = g_pDisplay->CreateTextSurface(&surface, format, text, font);
    return AdoptSurface(args, code, static_cast<CDDSurface*>(surface));
}

uint32_t NativeCreateCanvasTexture(SobNativeArgs& args)
{
    const uint32_t format = args.U32(0);
    const int32_t w = args.I32(1), h = args.I32(2), bits = args.I32(3), mode = args.I32(4);
    const bool system = static_cast<uint8_t>(args.U32(5)) != 0;
    if (!CanCreate(args) || !SideFits(w) || !SideFits(h))
        return 0;
    CCanvasTexture* surface = nullptr;
    const int code = g_pDisplay->CreateCanvasTexture(&surface, format, w, h, bits, mode, system);
    return AdoptSurface(args, code, static_cast<CDDImage*>(surface));
}

uint32_t NativeCreateTextImage(SobNativeArgs& args)
{
    const char* text = NativeOptionalString(args, 0);
    bool badFont = false;
    CFont* font = OptionalFont(args, 1, &badFont);
    const uint32_t flags = args.U32(2);
    if (!CanCreate(args) || badFont || text == nullptr)
        return 0;
    CImage* image = nullptr;
    const int code = g_pDisplay->CreateTextImage(&image, text, font, flags);
    return Adopt(args, code, image);
}

uint32_t NativeCreateImageCopy(SobNativeArgs& args)
{
    CImage* source = GetSurfaceImage(SurfaceAt(args, 0));
    const uint32_t flags = args.U32(1);
    if (!CanCreate(args) || source == nullptr)
        return 0;
    CImage* image = nullptr;
    const int code = g_pDisplay->CreateImageCopy(&image, source, flags);
    return Adopt(args, code, image);
}

uint32_t NativeSurfaceSecondValue(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    const uint32_t word = args.U32(1);
    if (surface == nullptr)
        return kMinus1;
    surface->SetUserValue2(word == 0 ? 0 : surface->GetUserValue1());
    return 1;
}

uint32_t NativeGetFrameSurface(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    if (host == nullptr || g_pDisplay == nullptr)
        return 0;
    CSurface* surface = GetEffectTargetImage(g_pDisplay->GetFrameImage());
    return surface != nullptr ? host->ObjectHandle(surface) : 0;
}

uint32_t NativeSetFrameImage(SobNativeArgs& args)
{
    CSurface* surface = nullptr;
    const bool ok = OptionalSurface(args, 0, &surface);
    CImageObject* canvas = GetSurfaceCanvas(surface);
    if (!ok || g_pDisplay == nullptr || (surface != nullptr && canvas == nullptr))
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->SetFrameImage(canvas));
}

uint32_t NativeDeleteSurface(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    if (surface == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->DeleteSurface(surface));
}

uint32_t NativeSurfaceWidth(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    return surface != nullptr ? static_cast<uint32_t>(surface->GetWidth()) : 0;
}

uint32_t NativeSurfaceHeight(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    return surface != nullptr ? static_cast<uint32_t>(surface->GetHeight()) : 0;
}

uint32_t NativeColorKeyAt(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    const int32_t x = args.I32(1), y = args.I32(2);
    if (surface == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(surface->SetColorKeyAt(x, y));
}

uint32_t NativeColorKeyRgb(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    const uint8_t r = static_cast<uint8_t>(args.U32(1)), g = static_cast<uint8_t>(args.U32(2)),
                  b = static_cast<uint8_t>(args.U32(3));
    if (surface == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(surface->SetColorKeyRgb(r, g, b));
}

uint32_t NativeClearColorKey(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    if (surface == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(surface->ClearColorKey());
}

uint32_t NativeSurfaceTag(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    const uint32_t value = args.U32(1);
    if (surface == nullptr)
        return kMinus1;
    return surface->SetUserValue1(value);
}

uint32_t NativeSurfaceGroup(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    const uint32_t value = args.U32(1);
    if (surface == nullptr)
        return kMinus1;
    return surface->SetGroup(value);
}

uint32_t NativeFillSurface(SobNativeArgs& args)
{
    CSurface* surface = SurfaceAt(args, 0);
    const uint8_t r = static_cast<uint8_t>(args.U32(1)), g = static_cast<uint8_t>(args.U32(2)),
                  b = static_cast<uint8_t>(args.U32(3));
    RECT rect{};
    const bool part = RectAt(args, 4, &rect);
    if (surface == nullptr)
        return kMinus1;
    if (CImage* image = GetSurfaceImage(surface))
        return image->FillRect(r, g, b, part ? &rect : nullptr) ? 1 : 0;
    if (CDDImage* device = dynamic_cast<CDDImage*>(surface))
        return static_cast<uint32_t>(device->FillColor(r, g, b));
    return kMinus1;
}

uint32_t NativeDrawTransition(SobNativeArgs& args)
{
    const int32_t index = args.I32(0);
    CSurface *dst = nullptr, *src = nullptr;
    const bool dstOk = OptionalSurface(args, 1, &dst);
    const bool srcOk = OptionalSurface(args, 2, &src);
    const int32_t progress = args.I32(3), x = args.I32(4), y = args.I32(5), mode = args.I32(6);
    if (args.Faulted() || !dstOk || !srcOk)
        return kMinus1;
    return static_cast<uint32_t>(DrawTransition(index, dst, src, progress, x, y, mode, nullptr));
}

uint32_t NativeSetBackCanvas(SobNativeArgs& args)
{
    CImageObject* canvas = CanvasAt(args, 0);
    CSurface* other = nullptr;
    const bool ok = OptionalSurface(args, 1, &other);
    CImageObject* back = GetSurfaceCanvas(other);
    if (canvas == nullptr || !ok || (other != nullptr && back == nullptr))
        return kMinus1;
    return static_cast<uint32_t>(canvas->SetBackCanvas(back));
}

uint32_t NativeCanvasNull(SobNativeArgs&)
{
    return kMinus1;
}

uint32_t NativeSetSceneActive(SobNativeArgs& args)
{
    CImageObject* canvas = CanvasAt(args, 0);
    const bool on = args.U32(1) != 0;
    if (canvas == nullptr)
        return kMinus1;
    return canvas->SetSceneActive(on) ? 1 : 0;
}

uint32_t NativeSetSceneNoBackground(SobNativeArgs& args)
{
    CImageObject* canvas = CanvasAt(args, 0);
    const uint8_t value = static_cast<uint8_t>(args.U32(1));
    if (canvas == nullptr)
        return kMinus1;
    canvas->SetSceneNoBackground(value);
    return 0;
}

uint32_t NativeSetSceneListsHidden(SobNativeArgs& args)
{
    CImageObject* canvas = CanvasAt(args, 0);
    const uint8_t own = static_cast<uint8_t>(args.U32(1)), overlay = static_cast<uint8_t>(args.U32(2));
    if (canvas == nullptr)
        return kMinus1;
    canvas->SetSceneListsHidden(own, overlay);
    return 0;
}

uint32_t NativeInvalidateCanvas(SobNativeArgs& args)
{
    CImageObject* canvas = CanvasAt(args, 0);
    RECT rect{};
    const bool part = RectAt(args, 1, &rect);
    if (canvas == nullptr)
        return kMinus1;
    canvas->InvalidateRect(part ? &rect : nullptr);
    return 0;
}

uint32_t NativeSetCanvasDepth(SobNativeArgs& args)
{
    CImageObject* canvas = CanvasAt(args, 0);
    const int32_t bits = args.I32(1);
    if (canvas == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(canvas->SetDepth(bits));
}
