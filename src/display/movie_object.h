// The movie wrappers over the three movie libraries (files/movie_library.h holds their holders):
// CMovieSprite (drawable kind 2) and CMoviePrimitive (kind 3) draw the frames the library renders
// into their two frame images; CMovieObject plays a movie into a child window of the game's window.
// Open answers 0, or 1 library not loaded, 2 bad arguments (no file manager, no pixel library),
// 3 an archived file without a movie extension, 4 not found or not openable, 5 the frame images
// could not be made (primitive), 6 refused by the library. Transport calls answer the control's
// result, or -1 (0 where marked) without a control.
#pragma once

#include <cstdint>

#include "drawing/drawable.h"
#include "platform/lock.h"
#include "raster/image.h"
#include "winapi/movie.h"

class CFileManager;
class CReadStream;
class CScreen;

// The volume (0..256) as the library takes it: -10000 at 0 or below, 0 at 256 and above, else
// -trunc((17.2 - v × 0.0671875)³) hundredths of a decibel.
LONG MovieVolumeToHundredthsDb(int volume);

// Where a movie comes from: a plain file by path, or an archive entry as a stream.
struct MovieInput;

// The two frame images and the control shared by the sprite and the primitive.
class CMovieDrawable : public CDrawable {
public:
    ~CMovieDrawable() override;

    // A playing movie changes every frame: the scene redraws it each time it composes.
    bool IsDirty() const override { return (m_ctrl != nullptr && m_visible != 0) || CDrawable::IsDirty(); }
    LONG GetWidth() const override;
    LONG GetHeight() const override;
    int SetBlendMode(BYTE mode) override;
    int SetAlpha(BYTE alpha) override;
    bool SetPosition(LONG x, LONG y) override;
    bool MoveBy(LONG dx, LONG dy) override;
    // The requested display size (0, 0 = natural).
    bool SetSize(LONG width, LONG height) override;
    bool SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) override;
    bool InvalidateLocalRect(RECT* rect) override;
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Intersects(CDrawable* other) override;
    const RECT* GetScreenRectPtr() const override { return &m_screenRect; }
    RECT* GetScreenRect(RECT* out) const override;
    // 0 (also invisible or alpha 0); 1 no target or no control; 3 the pixel library failed.
    int Draw(CImage* target, RECT* outRect) override;
    void DrawRegion(CImage* target, const RECT& rect) override;
    // Releases the control and the stream; sizes back to 0.
    void Reset() override;

    // Transport (entries 3-13 of the control).
    int Play();
    int CallDllSlot4();
    int CallDllSlot5();
    int Stop();
    int CallDllSlot7(int64_t* position); // 0 without control
    int SetMoviePosition(int64_t position);
    int CallDllSlot9(int64_t* duration); // 0 without control
    int CallDllSlot10(DWORD* state);
    int SetVolume(int volume);
    int CallDllSlot12(double value);
    int CallDllSlot13(double value);

    bool HasControl() const { return m_ctrl != nullptr; }
    int GetVolume() const { return m_volume; }
    void SetLoop(bool loop) { m_loop = loop; }
    bool GetLoop() const { return m_loop; }
    LONG GetNaturalWidth() const { return m_naturalWidth; }
    LONG GetNaturalHeight() const { return m_naturalHeight; }

protected:
    // Opens through the holder's factory after the file rules; makeImages makes the frame images.
    int OpenMovie(const char* name, LONG x, LONG y, CFileManager* fileManager, bool primitive, CScreen* screen);
    int DrawPart(CImage* target, const RECT& area, RECT* outRect);
    void UpdateRect();

    class FrameTarget;
    FrameTarget* m_frames[2] = {nullptr, nullptr};
    CImage* m_images[2] = {nullptr, nullptr};
    CScreen* m_screen = nullptr; // the primitive's images come from it
    IMovieSpriteCtrl* m_ctrl = nullptr;
    MovieInput* m_input = nullptr;
    LONG m_naturalWidth = 0;
    LONG m_naturalHeight = 0;
    LONG m_requestedWidth = 0;
    LONG m_requestedHeight = 0;
    RECT m_srcRect{};
    RECT m_screenRect{};
    int m_volume = 256;
    bool m_loop = false;
    bool m_endSeen = false;

private:
    void ReleaseImages();
};

class CMovieSprite : public CMovieDrawable {
public:
    CMovieSprite();
    ~CMovieSprite() override;
    int GetKind() const override { return kDrawableMovie; }
    // Name through the file manager (default g_pFileManager); needs the pixel library.
    int Open(const char* name, LONG x, LONG y, CFileManager* fileManager);
};

class CMoviePrimitive : public CMovieDrawable {
public:
    // Frame images are made through `screen`.
    explicit CMoviePrimitive(CScreen* screen);
    ~CMoviePrimitive() override;
    int GetKind() const override { return kDrawableMoviePrimitive; }
    int Open(const char* name, LONG x, LONG y, CFileManager* fileManager);
};

class CMovieObject {
public:
    CMovieObject();
    ~CMovieObject();
    CMovieObject(const CMovieObject&) = delete;
    CMovieObject& operator=(const CMovieObject&) = delete;

    // display may be null (no DirectDraw state passed); window is the owner and event window.
    int Open(CScreen* display, const char* name, CFileManager* fileManager, HWND window);
    void Close();

    int Play();
    int CallDllSlot8();
    int CallSlot9AndShow();
    int Stop();
    int SetDestRect(const RECT& rect);
    int CallDllSlot11(int64_t* position); // 0 without control
    int SetPosition(int64_t position);
    int CallDllSlot13(int64_t* duration); // 0 without control
    int CallDllSlot14(DWORD* state);
    int SetVolume(int volume);
    int CallDllSlot18();
    int CallDllSlot19(LONG value);
    int CallDllSlot20(double value);
    int CallDllSlot21(double value);
    // Drains the event queue: the end loops or stops, a failure stops.
    void HandleEvents();
    // Tells the movie the display changed (a repaint of its window).
    void OnDisplayChange();
    // Paints through the control into dc (WM_PAINT while the movie paints by DC).
    int PaintToDC(HDC dc);

    bool HasControl() const { return m_ctrl != nullptr; }
    bool PaintsByDC();
    bool IsWindowMode() const { return m_windowMode; }
    void SetLoop(bool loop) { m_loop = loop; }
    bool GetLoop() const { return m_loop; }
    const RECT& GetDestRect() const { return m_dest; }
    LONG GetNaturalWidth() const { return m_naturalWidth; }
    LONG GetNaturalHeight() const { return m_naturalHeight; }
    int GetVolume() const { return m_volume; }

private:
    IMovieWindowObject* m_ctrl = nullptr;
    MovieInput* m_input = nullptr;
    IDirectDrawSurface7* m_primary = nullptr; // a reference of our own while passed
    HWND m_window = nullptr;
    RECT m_dest{};
    LONG m_naturalWidth = 0;
    LONG m_naturalHeight = 0;
    bool m_loop = false;
    bool m_needsRepaint = false;
    bool m_windowMode = false;
    int m_volume = 256;
};

// The window movie of the game, or null; used under the game's movie lock.
extern CMovieObject* g_pMovie;
