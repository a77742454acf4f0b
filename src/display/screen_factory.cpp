// The screen's object factory and lists; see screen.h.
#include "display/screen.h"

#include "display/canvas_quad_object.h"
#include "display/canvas_region_object.h"
#include "display/canvas_texture.h"
#include "display/color_rect_object.h"
#include "display/file_image_surface.h"
#include "display/image_region_object.h"
#include "display/primitive_list_object.h"
#include "display/render_state_object_a.h"
#include "display/render_state_object_b.h"
#include "display/text_surface.h"
#include "display/textured_quad.h"
#include "display/transition_object.h"
#include "display/triangle_object.h"
#include "display/surface_borrowers.h"

#include "display/blank_surface.h"
#include "display/canvas_surface.h"
#include "display/dd_image.h"
#include "display/dd_surface.h"
#include "display/surface_sprite.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "drawing/text_image.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

// The creators' common road: out nulled, the object made and its creation step run (a failure
// deletes it and is returned as it is), then list(object) and out set.
template <class T, class Step, class List>
int Build(T** out, int noMemory, Step&& step, List&& list)
{
    if (!out)
        return noMemory;
    *out = nullptr;
    T* object = new (std::nothrow) T();
    if (!object)
        return noMemory;
    if (const int result = step(object); result != 0) {
        delete object;
        return result;
    }
    list(object);
    *out = object;
    return 0;
}

} // namespace

template <class T, class Step>
int CScreen::MakeSurface(T** out, int noMemory, Step&& step)
{
    return Build(out, noMemory, step, [this](T* object) { AdoptSurface(object); });
}

template <class T, class Step>
int CScreen::MakeDrawable(T** out, int noMemory, Step&& step)
{
    return Build(out, noMemory, step,
                 [this](T* object) { m_drawables.push_back(DrawableEntry{object, m_drawableGroup}); });
}

template <class T, class Step>
int CScreen::MakeSceneObject(T** out, int noMemory, Step&& step)
{
    return Build(out, noMemory, step, [this](T* object) { AdoptSceneObject(object); });
}

int CScreen::CreateFileImageSurface(CFileImageSurface** out, uint32_t format, const char* name, const void* data,
                                    uint32_t size, bool systemMemory)
{
    return MakeSurface(out, 11, [&](CFileImageSurface* texture) {
        return texture->Load(format, name, data, size, systemMemory);
    });
}

int CScreen::CreateImageRegion(CImageRegionObject** out, CSurface* surface, const RECT* srcRect, LONG x, LONG y)
{
    return MakeSceneObject(out, 2, [&](CImageRegionObject* region) { return region->Init(surface, srcRect, x, y); });
}

int CScreen::CreateColorRect(CColorRectObject** out, LONG width, LONG height, DWORD argb, LONG x, LONG y)
{
    return MakeSceneObject(out, 1, [&](CColorRectObject* rect) { return rect->Init(width, height, argb, x, y); });
}

int CScreen::CreatePrimitiveList(CPrimitiveListObject** out, LONG count, LONG* xs, LONG* ys, DWORD argb,
                                 uint8_t primitiveType, bool lend)
{
    return MakeSceneObject(out, 2, [&](CPrimitiveListObject* list) {
        return list->Init(count, xs, ys, argb, primitiveType, lend);
    });
}

int CScreen::CreateTriangle(CTriangleObject** out, LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2, DWORD argb,
                            LONG x, LONG y)
{
    return MakeSceneObject(out, 2, [&](CTriangleObject* triangle) {
        return triangle->Init(x0, y0, x1, y1, x2, y2, argb, x, y);
    });
}

int CScreen::CreateCanvasRegion(CCanvasRegionObject** out, CSurface* surface, const RECT* srcRect, LONG x, LONG y)
{
    return MakeSceneObject(out, 2, [&](CCanvasRegionObject* region) { return region->Init(surface, srcRect, x, y); });
}

int CScreen::CreateTexturedQuad(CTexturedQuad** out, CSurface* texture, LONG x, LONG y, const RECT* srcRect)
{
    return MakeSceneObject(out, 2, [&](CTexturedQuad* quad) { return quad->Init(texture, x, y, srcRect); });
}

int CScreen::CreateCanvasQuad(CCanvasQuadObject** out, CSurface* texture, LONG x, LONG y, const RECT* srcRect)
{
    return MakeSceneObject(out, 2, [&](CCanvasQuadObject* quad) { return quad->Init(texture, x, y, srcRect); });
}

int CScreen::CreateTextSurface(CTextSurface** out, uint32_t format, const char* text, CFont* font)
{
    return MakeSurface(out, 2, [&](CTextSurface* surface) { return surface->SetText(format, text, font); });
}

int CScreen::CreateCanvasTexture(CCanvasTexture** out, uint32_t format, LONG width, LONG height, int bitsPerPixel,
                                 int sceneMode, bool systemMemory)
{
    return MakeSurface(out, 4, [&](CCanvasTexture* canvas) {
        return canvas->Create(format, width, height, bitsPerPixel, sceneMode, systemMemory);
    });
}

int CScreen::CreateTextImage(CImage** out, const char* text, CFont* font, uint32_t flags)
{
    return MakeSurface(out, 6, [&](CImage* image) { return ::CreateTextImage(image, text, font, flags); });
}

int CScreen::CreateTransition(CTransitionObject** out, CSurface* destination, CSurface* source, int32_t wipe,
                              LONG x, LONG y, int32_t progress)
{
    return MakeSceneObject(out, 2, [&](CTransitionObject* transition) {
        return transition->Init(destination, source, wipe, x, y, progress, 0, 0);
    });
}

int CScreen::CreateRenderStateA(CRenderStateObjectA** out)
{
    return MakeSceneObject(out, 1, [](CRenderStateObjectA*) { return 0; });
}

int CScreen::CreateRenderStateB(CRenderStateObjectB** out)
{
    return MakeSceneObject(out, 1, [](CRenderStateObjectB*) { return 0; });
}

int CScreen::CreateImage(CImage** out, LONG width, LONG height, int bitsPerPixel, uint32_t flags)
{
    return MakeSurface(out, 4, [&](CImage* image) { return image->Create(width, height, bitsPerPixel, flags); });
}

int CScreen::CreateImageFromFile(CImage** out, const char* name, const void* data, uint32_t size, uint32_t flags)
{
    return MakeSurface(out, 6, [&](CImage* image) { return image->Load(name, data, size, flags); });
}

int CScreen::CreateImageFromFileWithPalette(CImage** out, const char* name, const void* data, uint32_t size,
                                            uint32_t flags)
{
    return MakeSurface(out, 6, [&](CImage* image) { return image->LoadWithPalette(name, data, size, flags); });
}

int CScreen::CreateImageCopy(CImage** out, const CImage* source, uint32_t flags)
{
    return MakeSurface(out, 4, [&](CImage* image) { return image->CopyFrom(source, flags); });
}

int CScreen::CreateDDImage(CDDImage** out, LONG width, LONG height, bool systemMemory)
{
    return MakeSurface(out, 5,
                       [&](CDDImage* image) { return image->Create(width, height, systemMemory, false, nullptr); });
}

int CScreen::CreateDDImageFromFile(CDDImage** out, const char* name, const void* data, uint32_t size,
                                   bool systemMemory)
{
    return MakeSurface(out, 7, [&](CDDImage* image) { return image->Load(name, data, size, systemMemory); });
}

int CScreen::CreateDDSurface(CDDSurface** out, const char* text, CFont* font)
{
    return MakeSurface(out, 2, [&](CDDSurface* surface) { return surface->SetText(text, font); });
}

int CScreen::CreateBlankSurface(CBlankSurface** out)
{
    return MakeSurface(out, 1, [](CBlankSurface*) { return 0; });
}

int CScreen::CreateCanvasSurface(CCanvasSurface** out, LONG width, LONG height, int bitsPerPixel, int sceneMode)
{
    return MakeSurface(out, 4, [&](CCanvasSurface* canvas) {
        return canvas->Create(width, height, bitsPerPixel, sceneMode);
    });
}

int CScreen::CreateSurfaceSprite(CSurfaceSprite** out, LONG width, LONG height, int bitsPerPixel, int sceneMode)
{
    return MakeSurface(out, 2,
                       [&](CSurfaceSprite* canvas) { return canvas->Create(width, height, bitsPerPixel, sceneMode); });
}

int CScreen::CreateSurfaceSprite10(CSurfaceSprite10** out, LONG width, LONG height, int bitsPerPixel,
                                   int sceneMode)
{
    return MakeSurface(out, 2, [&](CSurfaceSprite10* canvas) {
        return canvas->Create(width, height, bitsPerPixel, sceneMode);
    });
}

int CScreen::AdoptSurface(CSurface* surface)
{
    if (!surface || HasSurface(surface))
        return 1;
    surface->SetGroup(m_objectGroup);
    m_surfaces.push_back(surface);
    return 0;
}

int CScreen::AdoptSceneObject(CTask* task)
{
    if (!task || HasSceneObject(task))
        return 1;
    task->SetGroup(m_objectGroup);
    m_sceneObjects.push_back(task);
    return 0;
}

int CScreen::CreateSprite(CSprite** out, CImage* image, const RECT* srcRect, LONG x, LONG y)
{
    return MakeDrawable(out, 3, [&](CSprite* sprite) { return sprite->SetImage(image, srcRect, x, y); });
}

int CScreen::CreatePrimitive(CPrimitiveObject** out, LONG width, LONG height, DWORD argb, LONG x, LONG y)
{
    return MakeDrawable(out, 1, [&](CPrimitiveObject* shape) { return shape->Setup(width, height, argb, x, y); });
}

int CScreen::CreateSpriteCopy(CSprite** out, const CSprite* source)
{
    return MakeDrawable(out, 2, [&](CSprite* sprite) { return sprite->CopyFrom(source); });
}

bool CScreen::HasSurface(const CSurface* surface) const
{
    return std::find(m_surfaces.begin(), m_surfaces.end(), surface) != m_surfaces.end();
}

bool CScreen::HasSceneObject(const CTask* task) const
{
    return std::find(m_sceneObjects.begin(), m_sceneObjects.end(), task) != m_sceneObjects.end();
}

bool CScreen::HasDrawable(const CDrawable* drawable) const
{
    return std::any_of(m_drawables.begin(), m_drawables.end(),
                       [&](const DrawableEntry& entry) { return entry.drawable == drawable; });
}

int CScreen::DeleteSurface(CSurface* surface)
{
    if (!surface)
        return 1;
    auto it = std::find(m_surfaces.begin(), m_surfaces.end(), surface);
    if (it == m_surfaces.end())
        return 2;
    m_surfaces.erase(it);
    DestroySurface(surface);
    return 0;
}

void CScreen::DestroySurface(CSurface* surface)
{
    // Scene objects drawing it forget it first: they used to blit from freed memory.
    SurfaceGone(surface);
    // The frame image deleted under the screen used to stay its frame image, and the next frame
    // drew from freed memory.
    if (m_frameImage && dynamic_cast<CImageObject*>(surface) == m_frameImage)
        SetFrameImage(nullptr);
    delete surface;
}

int CScreen::DeleteSurfaceAndClear(CSurface** surface)
{
    if (!surface)
        return 1;
    const int result = DeleteSurface(*surface);
    if (result == 0)
        *surface = nullptr;
    return result;
}

int CScreen::DeleteSceneObject(CTask* task)
{
    if (!task)
        return 1;
    auto it = std::find(m_sceneObjects.begin(), m_sceneObjects.end(), task);
    if (it == m_sceneObjects.end())
        return 2;
    m_sceneObjects.erase(it);
    delete task; // leaves the task list on its way
    return 0;
}

int CScreen::DeleteDrawable(CDrawable* drawable)
{
    if (!drawable)
        return 1;
    auto it = std::find_if(m_drawables.begin(), m_drawables.end(),
                           [&](const DrawableEntry& entry) { return entry.drawable == drawable; });
    if (it == m_drawables.end())
        return 2;
    m_drawables.erase(it);
    delete drawable; // leaves its display list on its way
    return 0;
}

int CScreen::DeleteDrawableAndClear(CDrawable** drawable)
{
    if (!drawable)
        return 1;
    const int result = DeleteDrawable(*drawable);
    if (result == 0)
        *drawable = nullptr;
    return result;
}

namespace {

// Deletes (and unlists) every element for which doomed answers true.
template <class List, class Doomed, class Destroy>
void DeleteWhere(List& list, Doomed&& doomed, Destroy&& destroy)
{
    // Taken out of the list in one pass first, so a destructor never sees it half changed.
    std::vector<typename List::value_type> gone;
    gone.reserve(list.size());
    std::erase_if(list, [&](const auto& element) {
        if (!doomed(element))
            return false;
        gone.push_back(element);
        return true;
    });
    for (const auto& element : gone)
        destroy(element);
}

} // namespace

void CScreen::DeleteObjectsByGroup(DWORD group, DWORD flags)
{
    const bool others = (flags & 2) != 0;
    DeleteWhere(
        m_sceneObjects, [&](CTask* task) { return (task->GetGroup() == group) != others; },
        [](CTask* task) { delete task; });
    if (flags & 1)
        DeleteWhere(
            m_surfaces, [&](CSurface* surface) { return (surface->GetGroup() == group) != others; },
            [this](CSurface* surface) { DestroySurface(surface); });
}

void CScreen::DeleteDrawablesByGroup(DWORD group, bool invert)
{
    DeleteWhere(
        m_drawables, [&](const DrawableEntry& entry) { return (entry.group == group) != invert; },
        [](const DrawableEntry& entry) { delete entry.drawable; });
}

void CScreen::DeleteAllObjects()
{
    DeleteWhere(m_sceneObjects, [](CTask*) { return true; }, [](CTask* task) { delete task; });
    DeleteAllDrawables();
    DeleteWhere(m_surfaces, [](CSurface*) { return true; }, [this](CSurface* surface) { DestroySurface(surface); });
    Clear();
}

void CScreen::DeleteAllDrawables()
{
    DeleteWhere(m_drawables, [](const DrawableEntry&) { return true; },
                [](const DrawableEntry& entry) { delete entry.drawable; });
}

int CScreen::RestoreSurfaces(bool onlyIfLost)
{
    for (CSurface* surface : m_surfaces)
        if (const int result = surface->Restore(onlyIfLost); result != 0)
            return result;
    if (const int result = ReapplyStates(); result != 0)
        return result;
    return RestoreAll();
}
