// CScreen: the one display object. It presents one picture a frame into the game's window or full
// screen (by GDI, by a DirectDraw blit or flip, or as a Direct3D quad of the frame image), repaints
// the window on WM_PAINT, restores the display after a loss, is the task list that each frame
// draws, and is the factory that owns every surface, scene object and drawable made through it.
#pragma once

#include "display/d3d_device.h"
#include "display/display_device.h"
#include "display/display_device_list.h"
#include "display/image_object.h"
#include "display/task_list.h"
#include "drawing/font_list.h"
#include "platform/lock.h"
#include "platform/report_sources.h"
#include "raster/image.h"
#include "winapi/ddraw.h"

#include <cstdint>
#include <list>
#include <vector>

class CMonitorList;

class CDrawable;
class CSprite;
class CPrimitiveObject;
class CSurfaceSprite;
class CSurfaceSprite10;
class CDDImage;
class CBlankSurface;
class CDDSurface;
class CFont;
class CCanvasSurface;
class CFileImageSurface;
class CCanvasQuadObject;
class CCanvasRegionObject;
class CCanvasTexture;
class CColorRectObject;
class CImageRegionObject;
class CPrimitiveListObject;
class CRenderStateObjectA;
class CRenderStateObjectB;
class CTextSurface;
class CTexturedQuad;
class CTransitionObject;
class CTriangleObject;

// Display modes.
enum : uint8_t {
    kDisplayNone = 0,
    kDisplayFullScreen = 1,
    kDisplayWindow = 2,
};

class CScreen : public CTaskList, public CD3DDevice, public CSurfaceClipper, public IDisplayReportSource {
public:
    CScreen();
    // Every listed object deleted (scene objects, drawables, surfaces), the task list cleared.
    ~CScreen() override;

    // What the start-up report and the system information read: DirectDraw's facts, the texture
    // path, the general device's caps and texture formats.
    DisplayReportFacts GetDisplayReportFacts() override;

    // Test seam: CreateDisplay asks DirectDraw for Direct3D, so the general device is made on
    // the back buffer. Off by default; nothing in the engine sets it.
    void SetWantDirect3DForTests(bool on) { m_wantD3DForTests = on; }
    // Whether the general Direct3D device is in use (DirectDraw made with Direct3D wanted).
    bool UsesDirect3D() const { return m_wantD3D; }

    // --- presentation ---
    // 0 ok; 1 no output size (or a frame image of size 0) or DirectDraw not created; 2 display
    // mode or cooperative level refused; 3 to 6 a display surface failed (surface code + 2); 7 the
    // back buffer's format unreadable; 8 to 12 the general Direct3D device failed (its code + 7),
    // -1 its z-buffer. A texture path that fails is dropped, never the display.
    int CreateDisplay(HWND window, bool windowed, bool tripleBuffering, bool zBuffer);
    // 1 when either is below 1; else output rectangle := (0, 0, width, height), 0.
    int SetOutputSize(LONG width, LONG height);
    // Under the screen lock: stores the canvas (not owned); a canvas is marked changed whole and
    // gives the output rectangle its size. 0.
    int SetFrameImage(CImageObject* image);
    // 2 texture path, 1 back buffer, 0 neither (pure GDI).
    int GetPresentPath() const { return m_device != nullptr ? 2 : m_backBuffer != nullptr ? 1 : 0; }
    // 1 without back buffer; else 0, the back buffer filled with the clear colour (left alone
    // when a frame image is shown scaled: it draws only what changed).
    int ClearBackBuffer();
    // Without a frame image: Present. Else the frame image's changed rectangles go to the window
    // under the lock: 0 (also when nothing had changed); 2 the window's DC could not be had.
    int RenderFrameImage();
    // The back buffer to the screen: 0; 1 no back buffer; 2 the surface was lost (or the mode
    // changed under it).
    int Present();
    // WM_PAINT: rect (null: all) cut to the output, copied from the frame image (its filter
    // picture while one runs) under the lock. 0; E_FAIL without a frame image or when it has no
    // device context.
    HRESULT PaintToDC(HDC dc, const RECT* rect);
    // 0 (also without DirectDraw); 1 no back buffer; 2 the display surfaces could not be made
    // again; 3 the texture path or the general Direct3D device could not be made again.
    int RestoreDevice();
    // 0, or 1 without primary; both 0 at once for a driver without hardware.
    int FlipToGdi();
    int LeaveGdi();
    // Releases the clipper, the back buffer and the primary.
    void ReleaseSurfaces();
    // Whether DirectDraw's stretch blits filter (probed once on off-screen surfaces); false
    // without DirectDraw.
    bool IsStretchBlitSmooth();
    void SetTry60Hz(bool on) { m_try60 = on; }
    IDirectDrawSurface7* GetPrimary() const { return m_primary; }
    IDirectDrawSurface7* GetBackBuffer() const { return m_backBuffer; }
    IDirectDrawSurface7* GetTexture() const { return m_texture; }
    bool IsBackBufferInFlipChain() const { return m_backInChain; }
    bool IsGdiShown() const { return m_gdiShown; }

    // Options the game copies from its settings.
    void SetWaitMode(uint8_t mode) { m_waitMode = mode; }
    void SetPresentPathRequest(uint8_t request) { m_presentPathRequest = request; }
    uint8_t GetPresentPathRequest() const { return m_presentPathRequest; }
    void SetTexturePathInWindow(bool on) { m_texturePathInWindow = on ? 1 : 0; }
    void SetPowerOfTwoTexture(bool on) { m_powerOfTwo = on ? 1 : 0; }
    void SetLinearFilter(bool on) { m_linearFilter = on ? 1 : 0; }
    void SetDrawThroughBackBuffer(bool on) { m_drawThroughBackBuffer = on ? 1 : 0; }
    void SetClearColor(BYTE r, BYTE g, BYTE b) { m_clear[0] = r, m_clear[1] = g, m_clear[2] = b; }

    uint8_t GetMode() const { return m_mode; }
    uint8_t GetColorDepth() const { return m_colorDepth; }
    uint32_t GetPixelFormatCode() const { return m_pixelFormat; }
    const RECT& GetOutputRect() const { return m_output; }
    HWND GetWindow() const { return m_window; }
    CImageObject* GetFrameImage() const { return m_frameImage; }
    CLock& GetLock() { return m_lock; }

    // --- display devices, mode selection and scaled output ---
    // 0 ok; 1 no monitor list; -1 the list is empty, a monitor has no DirectDraw driver, or the
    // driver list could not be built (the records made before stay).
    int EnumDisplayDevices(const CMonitorList* monitors, LONG width, LONG height, bool exclusive);
    void ClearDisplayDeviceList();
    // 0 ok; 1 no record; 3 neither the wanted depth nor 32, 24 or 16 is there; 4 the scaled
    // output could not be set.
    int SelectDisplayMode(bool fullScreen, HMONITOR monitor, size_t index, DWORD depth, const CMonitorList* monitors);
    // -1 the target has the game's size (scaling off); 0 scaling set (or off: same aspect with
    // keep); 1 a size below 1.
    int SetScaledOutput(LONG targetWidth, LONG targetHeight, bool keepWhenSameAspect);
    // Scaling off; window size = the output size.
    void ClearScaledOutput();
    // 0 ok; 1 refused. RestoreDisplaySettings: 0; 1 when no change is active.
    int ChangeDisplaySettings(DWORD width, DWORD height, const char* deviceName);
    int RestoreDisplaySettings();
    const std::vector<CDisplayDeviceRecord>& GetDisplayDevices() const { return m_displayDevices; }
    const CScaledOutput& GetScaledOutput() const { return m_scaled; }
    bool IsFullScreenMode() const { return m_fullScreenMode; }
    DWORD GetChosenDepth() const { return m_chosenDepth; }
    HMONITOR GetChosenMonitor() const { return m_chosenMonitor; }
    bool IsDisplaySettingsChanged() const { return m_displaySettingsActive; }

    // --- factory (each creator: out pointer nulled, object made, its creation step run, group
    // stamped, listed, stored in out; a failed step's code is returned unchanged, nothing listed) ---
    void SetGroup(DWORD group) { m_objectGroup = group; }
    DWORD GetGroup() const { return m_objectGroup; }
    void SetDrawableGroup(DWORD group) { m_drawableGroup = group; }
    DWORD GetDrawableGroup() const { return m_drawableGroup; }
    // CImage::Create; no memory 4.
    int CreateImage(CImage** out, LONG width, LONG height, int bitsPerPixel, uint32_t flags);
    // CImage::Load and LoadWithPalette; no memory 6.
    int CreateImageFromFile(CImage** out, const char* name, const void* data, uint32_t size, uint32_t flags);
    int CreateImageFromFileWithPalette(CImage** out, const char* name, const void* data, uint32_t size,
                                       uint32_t flags);
    // The text-image routine (the image made just large enough for the text); no memory 6.
    int CreateTextImage(CImage** out, const char* text, CFont* font, uint32_t flags);
    // CImage::CopyFrom; no memory 4.
    int CreateImageCopy(CImage** out, const CImage* source, uint32_t flags);
    // The memory canvases' Create; no memory 2.
    int CreateSurfaceSprite(CSurfaceSprite** out, LONG width, LONG height, int bitsPerPixel, int sceneMode);
    int CreateSurfaceSprite10(CSurfaceSprite10** out, LONG width, LONG height, int bitsPerPixel, int sceneMode);
    // The DirectDraw surface kinds on this screen's device: CDDImage::Create (system memory when
    // asked, no memory 5), CDDImage::Load (no memory 7), an empty CBlankSurface (no memory 1).
    int CreateDDImage(CDDImage** out, LONG width, LONG height, bool systemMemory);
    int CreateDDImageFromFile(CDDImage** out, const char* name, const void* data, uint32_t size, bool systemMemory);
    int CreateBlankSurface(CBlankSurface** out);
    // CDDSurface::SetText (null font: the default font); no memory 2.
    int CreateDDSurface(CDDSurface** out, const char* text, CFont* font);
    // CCanvasSurface::Create; no memory 4.
    int CreateCanvasSurface(CCanvasSurface** out, LONG width, LONG height, int bitsPerPixel, int sceneMode);
    // CFileImageSurface::Load (format code, name or data); no memory 11.
    int CreateFileImageSurface(CFileImageSurface** out, uint32_t format, const char* name, const void* data,
                               uint32_t size, bool systemMemory);
    // CTextSurface::SetText (format code, text, font or null); no memory 2.
    int CreateTextSurface(CTextSurface** out, uint32_t format, const char* text, CFont* font);
    // CCanvasTexture::Create (format code, width, height, bits per pixel, scene mode, system
    // memory); no memory 4.
    int CreateCanvasTexture(CCanvasTexture** out, uint32_t format, LONG width, LONG height, int bitsPerPixel,
                            int sceneMode, bool systemMemory);
    // CImageRegionObject::Init (surface, source rectangle or null, x, y); no memory 2.
    int CreateImageRegion(CImageRegionObject** out, CSurface* surface, const RECT* srcRect, LONG x, LONG y);
    // CColorRectObject::Init (width, height, 0xAARRGGBB, x, y); no memory 1.
    int CreateColorRect(CColorRectObject** out, LONG width, LONG height, DWORD argb, LONG x, LONG y);
    // CPrimitiveListObject::Init (count, x array, y array, 0xAARRGGBB, primitive type, lend); no
    // memory 2.
    int CreatePrimitiveList(CPrimitiveListObject** out, LONG count, LONG* xs, LONG* ys, DWORD argb,
                            uint8_t primitiveType, bool lend);
    // CTriangleObject::Init (three points, 0xAARRGGBB, x, y); no memory 2.
    int CreateTriangle(CTriangleObject** out, LONG x0, LONG y0, LONG x1, LONG y1, LONG x2, LONG y2, DWORD argb,
                       LONG x, LONG y);
    // The render-state objects have no Init; no memory 1.
    int CreateRenderStateA(CRenderStateObjectA** out);
    int CreateRenderStateB(CRenderStateObjectB** out);
    // CTransitionObject::Init (destination or null, source, wipe index, screen x, screen y, progress,
    // offsets 0); no memory 2.
    int CreateTransition(CTransitionObject** out, CSurface* destination, CSurface* source, int32_t wipe, LONG x,
                         LONG y, int32_t progress);
    // CTexturedQuad::Init (texture, x, y, source rectangle or null); no memory 2.
    int CreateTexturedQuad(CTexturedQuad** out, CSurface* texture, LONG x, LONG y, const RECT* srcRect);
    // CCanvasRegionObject::Init (canvas surface, source rectangle or null, x, y); no memory 2.
    int CreateCanvasRegion(CCanvasRegionObject** out, CSurface* surface, const RECT* srcRect, LONG x, LONG y);
    // CCanvasQuadObject::Init (canvas texture, x, y, source rectangle or null); no memory 2.
    int CreateCanvasQuad(CCanvasQuadObject** out, CSurface* texture, LONG x, LONG y, const RECT* srcRect);
    // Lists a surface made by a creator (the current object group stamped). 0; 1 null or already
    // listed.
    int AdoptSurface(CSurface* surface);
    // Lists a scene object made by a creator (the current object group stamped). 0; 1 null or
    // already listed.
    int AdoptSceneObject(CTask* task);
    // CSprite::SetImage; no memory 3. CPrimitiveObject::Setup; no memory 1. CSprite::CopyFrom;
    // no memory 2.
    int CreateSprite(CSprite** out, CImage* image, const RECT* srcRect, LONG x, LONG y);
    int CreatePrimitive(CPrimitiveObject** out, LONG width, LONG height, DWORD argb, LONG x, LONG y);
    int CreateSpriteCopy(CSprite** out, const CSprite* source);
    // The screen's fonts (CFontList's codes): made with SetFont(height, 0, 0, face), deleted singly,
    // all at once, or with the screen.
    int CreateGdiFont(CFont** out, const char* face, int32_t height) { return m_fonts.CreateGdiFont(out, face, height); }
    int CreateGlyphFont(CFont** out, const char* face, int32_t height) { return m_fonts.CreateGlyphFont(out, face, height); }
    int DeleteFont(CFont** font) { return m_fonts.DeleteFont(font); }
    void DeleteAllFonts() { m_fonts.DeleteAllFonts(); }
    const CFontList& GetFonts() const { return m_fonts; }

    // 0 deleted; 1 null; 2 not in the list. The ...AndClear forms null the caller's pointer on 0.
    int DeleteSurface(CSurface* surface);
    int DeleteSurfaceAndClear(CSurface** surface);
    int DeleteSceneObject(CTask* task);
    int DeleteDrawable(CDrawable* drawable);
    int DeleteDrawableAndClear(CDrawable** drawable);
    // Flag 2 clear: the scene objects of group; set: those of any other group. Flag 1: the same
    // then for the surfaces.
    void DeleteObjectsByGroup(DWORD group, DWORD flags);
    // invert 0: the drawables of group; else all others.
    void DeleteDrawablesByGroup(DWORD group, bool invert);
    // Scene objects, drawables, surfaces, then the task list cleared.
    void DeleteAllObjects();
    void DeleteAllDrawables();
    // Restore on each listed surface in order (the first non-zero answer is returned at once),
    // then the render states (0 until there is a Direct3D device), then RestoreAll of the tasks.
    int RestoreSurfaces(bool onlyIfLost);

    size_t SurfaceCount() const { return m_surfaces.size(); }
    size_t SceneObjectCount() const { return m_sceneObjects.size(); }
    size_t DrawableCount() const { return m_drawables.size(); }
    bool HasSurface(const CSurface* surface) const;
    bool HasSceneObject(const CTask* task) const;
    bool HasDrawable(const CDrawable* drawable) const;

private:
    CFontList m_fonts;
    std::vector<CDisplayDeviceRecord> m_displayDevices;
    int m_selectedDevice = -1;
    bool m_fullScreenMode = false;
    DWORD m_chosenDepth = 0;
    HMONITOR m_chosenMonitor = nullptr;
    bool m_exclusive = false;
    bool m_displaySettingsActive = false;
    std::string m_displaySettingsDevice;
    CScaledOutput m_scaled;

    struct DrawableEntry {
        CDrawable* drawable;
        DWORD group; // the current drawable group when it was made
    };
    // Deletes a surface that left the list; the frame image pointer is cleared when it was that.
    void DestroySurface(CSurface* surface);
    template <class T, class Step>
    int MakeSurface(T** out, int noMemory, Step&& step);
    template <class T, class Step>
    int MakeDrawable(T** out, int noMemory, Step&& step);
    template <class T, class Step>
    int MakeSceneObject(T** out, int noMemory, Step&& step);

    // 0; 1 no DirectDraw; 2 primary (or flip chain); 3 back buffer; 4 clipper. texturePath: the
    // back buffer can carry a Direct3D device and, with a scaled frame image, has the scaled size.
    int CreateSurfaces(bool fullScreen, bool texturePath = false);
    // The surfaces, their format and the texture path when wanted, else the general Direct3D
    // device when in use: 0; 3 to 6 the surface code + 2; 7 the back buffer's format unreadable;
    // 8 to 12 the device's code + 7 (surfaces released), -1 its z-buffer. A texture path that
    // cannot be had is dropped (request 0): full screen goes on without it, the window answers
    // kTexturePathDropped (pure GDI then).
    static constexpr int kTexturePathDropped = -100;
    int CreateDisplaySurfaces(bool fullScreen, bool texturePath);
    // The Direct3D way of showing the frame image: 0; 1 no DirectDraw or back buffer; 2 no
    // Direct3D; 3 no device; 4 no caps; 5 texture larger than the device allows; 6 no texture;
    // 7 the texture's format is not a 16, 24 or 32-bit one. Failures release what was built.
    int CreateTexturePath();
    void ReleaseTexturePath();
    // Whether the texture path is wanted for the request (1: when stretches do not smooth; 3: always).
    bool WantsTexturePath();
    // The frame image's quad drawn into the back buffer; the DirectDraw result.
    HRESULT DrawTextureQuad();
    // The back buffer's format, clears; 0 or 7 when unreadable.
    int ReadBackBufferFormat();
    // Where the back buffer goes on the primary (window: at the client origin).
    RECT PresentTarget() const;
    // What of the back buffer is shown: the scaled picture the quad drew, else the output.
    RECT PresentSource() const;
    // The client origin in the primary's coordinates.
    POINT ClientOnPrimary() const;
    void FillBorders();
    HRESULT BlitToPrimary(DWORD flags, bool wait);
    // The frame image into the back buffer (DC or lock): the image's answer; 2 no DC.
    int DrawFrameImageToBackBuffer(bool incremental);

    IDirectDrawSurface7* m_primary = nullptr;
    IDirectDrawSurface7* m_backBuffer = nullptr;
    IDirect3D7* m_d3d = nullptr;
    IDirect3DDevice7* m_device = nullptr;
    IDirectDrawSurface7* m_texture = nullptr;
    uint32_t m_textureFormat = 0;
    LONG m_textureWidth = 0;
    LONG m_textureHeight = 0;
    bool m_texture32 = false;
    float m_quad[4][6]{};
    bool m_backInChain = false;
    bool m_tripleBuffering = false;
    bool m_gdiShown = false;
    bool m_try60 = false;
    bool m_scaledConfigured = false;
    uint8_t m_stretchTest = 0;
    HWND m_window = nullptr;
    CImageObject* m_frameImage = nullptr;
    RECT m_output{0, 0, 0, 0};
    uint8_t m_waitMode = 0;
    uint8_t m_mode = kDisplayNone;
    uint8_t m_colorDepth = 0;
    uint32_t m_pixelFormat = 0;
    uint8_t m_presentPathRequest = 0;
    uint8_t m_texturePathInWindow = 0;
    uint8_t m_powerOfTwo = 0;
    uint8_t m_linearFilter = 1;
    uint8_t m_drawThroughBackBuffer = 1;
    uint8_t m_zBuffer = 0;
    bool m_wantD3DForTests = false;
    BYTE m_clear[3]{0, 0, 0};

    std::vector<CSurface*> m_surfaces;
    std::vector<CTask*> m_sceneObjects;
    std::list<DrawableEntry> m_drawables;
    DWORD m_objectGroup = 0;
    DWORD m_drawableGroup = 0;

    CLock m_lock;
};

// The game's screen, published by its device set-up (the natives' factories and screen queries
// reach it here); null before and after the game.
extern CScreen* g_pDisplay;
