// CImageObject: the canvas part shared by the canvas kinds (7, 8) and the memory canvases (9,
// 10): a memory image, an optional scene composing into it with an overlay list, and an optional
// running screen filter that composes each frame from this canvas and a back canvas. At the
// filter's end the canvas may take over the back canvas's scene (mode 1) or background (mode 2).
#pragma once

#include "display/screen_filter.h"
#include "drawing/scene.h"
#include "raster/image.h"
#include "winapi/ddraw.h"
#include "winapi/gdi.h"

#include <cstdint>

// Filter modes.
enum : uint8_t {
    kFilterModeImage = 0,
    kFilterModeScene = 1,
    kFilterModeBackground = 2,
};

class CImageObject {
public:
    CImageObject() = default;
    CImageObject(const CImageObject&) = delete;
    CImageObject& operator=(const CImageObject&) = delete;
    // Release; the image goes with the object.
    virtual ~CImageObject();

    // 7, 8, 9 or 10.
    virtual uint8_t GetKind() const = 0;
    virtual CImage* GetImage() { return &m_image; }
    virtual CScene* GetScene() const { return m_scene; }
    virtual CDrawList* GetOverlayList() const { return m_overlay; }
    virtual CImageObject* GetBackCanvas() const { return m_backCanvas; }
    virtual CImage* GetFilterImage() const { return m_filterImage; }
    virtual uint8_t GetBitsPerPixel() const { return m_image.GetBitsPerPixel(); }
    virtual bool IsSceneActive() const { return m_sceneActive != 0; }
    virtual bool GetApplyOnEnd() const { return m_applyOnEnd != 0; }
    // Stores the byte (active: the image's tracker off; inactive: on) → the previous value.
    virtual bool SetSceneActive(bool active);
    // Active scene: the scene's InvalidateRect only. Otherwise rect (null: all) joins the image's
    // active tracker when there is one, and the image is marked changed.
    virtual void InvalidateRect(const RECT* rect);
    virtual void SetSceneNoBackground(uint8_t value);
    virtual void SetSceneListsHidden(uint8_t hideOwn, uint8_t hideOverlay);
    // The kinds' codes (see each kind).
    virtual int SetDepth(int bitsPerPixel) = 0;
    // Exchanges scenes with other, each canvas keeping its overlay list; both retargeted and
    // invalidated. Nothing when either has no scene or other is null.
    virtual void SwapScenes(CImageObject* other);
    // Told after every scene swap this canvas takes part in, from either side (null: no one), so
    // that what belongs to the canvas rather than to a page can follow its scene.
    using SceneSwapHandler = void (*)(void* context);
    void SetSceneSwapHandler(SceneSwapHandler handler, void* context)
    {
        m_onSceneSwap = handler;
        m_onSceneSwapContext = context;
    }
    // CScene::SwapBackground with other's scene when both have one.
    virtual void SwapBackgrounds(CImageObject* other);
    virtual void ReleaseFilterImage();
    // The filter image's DC while a filter runs, else the image's.
    virtual HDC GetDrawDC() const;
    virtual bool HasFilter() const { return m_filter != nullptr; }
    virtual CScreenFilter* GetFilter() const { return m_filter; }
    // 0 stored (null clears); 1 refused: other's image differs in width, height or depth.
    virtual int SetBackCanvas(CImageObject* other);
    // 0 attached (null: detached); 1 no scene (nothing changes); 2 no back canvas; 3 the back
    // canvas has no scene, or the filter image could not be made; 4 mode 2 without the background
    // images it needs. On 2, 3 and 4 a previous filter has been detached. Kind 10: -1.
    virtual int AttachFilter(CScreenFilter* filter, uint8_t mode, uint8_t applyOnEnd, uint8_t lowerPriority);
    // Drops the filter (deleted by its last holder); apply: the mode's scene or background swap.
    // The whole canvas is marked for redraw when the mode is not 0.
    virtual void DetachFilter(bool apply);
    // The frame-image presentation (memory canvases; see CSurfaceSprite). Others: 1.
    virtual int Present(HWND window, HDC dc, IDirectDrawSurface7* surface, uint32_t pixelFormat, bool incremental);

    // Filter, scene, overlay list and filter image released, back canvas cleared; the image
    // keeps its pixels.
    void Release();

protected:
    // The common creation steps after the image, which was just made: scene (sceneMode != 0),
    // overlay list (sceneMode 2 when withOverlay), scene active. The image stays black as it came
    // (its pixels zeroed): no clearing pass makes every page of it resident. 0, or sceneCode for an
    // allocation failure, targetCode when the scene refuses the image; the canvas is released on
    // failure.
    int CreateScene(int sceneMode, bool withOverlay, bool withTracker, int sceneCode, int targetCode);
    // One frame of the attached filter into a DC (window's or given) or a locked surface. 0 done;
    // 1 the target could not be opened; 2 an 8-bit image without a palette could not get one; else
    // the filter's Step or IsDone answer.
    int DrawFilterFrame(HWND window, HDC dc, IDirectDrawSurface7* surface, uint32_t pixelFormat);

    CImage m_image;
    CScene* m_scene = nullptr;
    CDrawList* m_overlay = nullptr;
    uint8_t m_sceneActive = 0;
    CImageObject* m_backCanvas = nullptr;
    CImage* m_filterImage = nullptr;
    CScreenFilter* m_filter = nullptr;
    uint8_t m_filterMode = 0;
    uint8_t m_applyOnEnd = 0;
    uint8_t m_lowerPriority = 0;
    SceneSwapHandler m_onSceneSwap = nullptr;
    void* m_onSceneSwapContext = nullptr;

private:
    // The whole canvas marked for redraw after a filter (see DetachFilter).
    void InvalidateWhole();
    // The drawables shown over the filter's result in band, in drawing order.
    void DrawOverResult(const RECT& band);
};
