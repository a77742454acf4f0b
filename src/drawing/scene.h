// CScene: composes a background (image, stretched or rotated view of it, or a colour) and the
// drawables of its own display list and of a borrowed overlay list into a target image. Only the
// rectangles that changed since the last pass are recomposed; the finished rectangles are handed
// on as a region, copied to a device context or converted into a locked DirectDraw surface.
#pragma once

#include "drawing/draw_list.h"
#include "raster/image.h"
#include "raster/update_region.h"
#include "winapi/ddraw.h"
#include "winapi/gdi.h"

#include <cstdint>
#include <vector>

// Redraw each dirty rectangle in horizontal bands (1 at start; settings and a script set it).
extern uint8_t g_bBandedRedraw;
// Merge vertically adjacent dirty rectangles before composing (1 at start).
extern uint8_t g_bMergeUpdateRects;

class CScene {
public:
    CScene();
    CScene(const CScene&) = delete;
    CScene& operator=(const CScene&) = delete;
    // Releases the work image; target, background image and overlay stay alive (the overlay's
    // owner pointer is cleared).
    virtual ~CScene();

    // 1 null image or one without pixels; else stored (InvalidateAll when asked), 0.
    int SetTarget(CImage* image, bool invalidate);
    CImage* GetTarget() const { return m_target; }
    CDrawList& GetList() { return m_list; }
    // Attaches a borrowed list drawn in front of the own one (null detaches).
    void SetOverlay(CDrawList* overlay);
    CDrawList* GetOverlay() const { return m_overlay; }

    // False for an image without pixels (nothing changes); null removes the background image.
    // Anchor := the image's centre; the work image is released.
    bool SetBackgroundImage(CSurface* image, LONG x, LONG y, bool invalidate);
    // Moves the background image to (x, y) keeping anchor and work image (the quake effect shakes
    // it this way). False when unchanged.
    bool SetBackgroundPosition(LONG x, LONG y, bool invalidate);
    // Background image removed, work image released, colour stored.
    void SetBackgroundRGB(BYTE r, BYTE g, BYTE b, bool invalidate);
    void SetBackgroundColor(DWORD rgb, bool invalidate);
    // Every out-pointer optional.
    void GetBackground(CSurface** image, LONG* x, LONG* y, BYTE* r, BYTE* g, BYTE* b) const;
    DWORD GetBackgroundColor() const { return m_color; }
    // Mode 0..4: a corner or the centre of the background image; others (x, y). False without one.
    bool SetBackgroundAnchor(int mode, LONG x, LONG y);
    // Stretches srcRect (null: all) of the background image over (x, y, w, h) of a work image
    // of the target's size. False without background image or target, when unchanged, or when
    // the work image cannot be made.
    bool SetBackgroundView(LONG x, LONG y, LONG w, LONG h, const RECT* srcRect);
    // Turns and zooms a 32-bit background image about its anchor, placed at (cx, cy) of the scene
    // (angle: 512 steps a turn). False without a 32-bit background image or target, when
    // unchanged, or when the work image cannot be made.
    bool SetBackgroundRotateZoom(LONG cx, LONG cy, int angle, double zoom);
    // 0 ok, 1 no target, 2 the work image cannot be made (none kept). Cached view cleared.
    int CreateBackgroundWork(bool recreate);
    void ReleaseBackgroundWork();
    CImage* GetBackgroundWork() const { return m_work; }
    // The source rectangle a work image shows stretched (false when no view is shown).
    bool GetBackgroundViewSource(RECT* src) const
    {
        if (m_work == nullptr || m_viewW <= 0 || m_viewH <= 0)
            return false;
        *src = m_viewSrc;
        return true;
    }
    // The turn shown by the work image (false when the background is not turned or zoomed).
    bool GetBackgroundRotation(LONG* cx, LONG* cy, int* angle, double* zoom) const
    {
        if (m_work == nullptr || !(m_zoom > 0.0))
            return false;
        *cx = m_viewX;
        *cy = m_viewY;
        *angle = m_angle;
        *zoom = m_zoom;
        return true;
    }
    // Exchanges every background field with other. 1 other null, else 0.
    int SwapBackground(CScene* other, bool invalidate);

    // 1 without target; else every shown drawable dirty and forgotten, region := the target; 0.
    int InvalidateAll();
    // 0 without target or for a rectangle wholly outside; else its clipped copy (null: the
    // target) joins the region, 1.
    int InvalidateRect(const RECT* rect)
    {
        // Inline: a sprite's redraw notice (a cell animation sends one every frame) lands here.
        if (!m_target) {
            return 0;
        }
        const RECT bounds{0, 0, m_target->GetWidth(), m_target->GetHeight()};
        RECT r = bounds;
        if (rect && !IntersectRects(&r, *rect, bounds)) {
            return 0;
        }
        m_region.AddRect(r);
        return 1;
    }
    // False without target; else rect is cut to the target in place and added when not empty.
    bool InvalidateClippedRect(RECT* rect);
    // Every drawable clean, the region empty.
    void ClearDirtyState();
    // Moves every dirty drawable's old and new rectangles into the region; reports each list's tail.
    void CollectDirtyRects(DrawNode** ownTail, DrawNode** overlayTail);
    // Adds a rectangle to the region as it is (a list's removed drawable).
    void AddDirtyRect(const RECT& rect) { m_region.AddRect(rect); }
    CUpdateRegion& GetRegion() { return m_region; }

    // Recomposes the dirty rectangles. outRegion: each rectangle shifted by (dx, dy) and cut to
    // clipRect (null: the target) is added. 0 done or suspended, 1 no target, -1 nothing dirty.
    int Redraw(CUpdateRegion* outRegion, const RECT* clipRect, LONG dx, LONG dy);
    // As Redraw, each composed piece copied to (left + x, top + y) of a device context: the
    // window's, else the surface's, else dc. 0, -1 nothing dirty, 1 no device context to be had
    // (or a target without one), 2 the surface refused to take its device context back.
    int RedrawToDC(HWND window, HDC dc, IDirectDrawSurface7* surface, LONG x, LONG y);
    // As Redraw, each piece converted into the locked surface at (left + x, top + y) in the
    // format code given (EPixelFormatCode), cut to the surface. 0, -1 nothing dirty, 1 the lock
    // failed, 2 an 8-bit target's palette could not be set up.
    int RedrawToSurface(IDirectDrawSurface7* surface, uint32_t pixelFormat, LONG x, LONG y);
    // The whole scene into another image of the target's size, region untouched. filter: 0 all
    // drawables, 1 those whose tag equals tag, 2 those whose tag differs, other none. 1 image null
    // or without pixels, 2 no target or another size, else 0.
    int RenderToImage(CImage* image, int filter, DWORD tag, bool withOverlay);

    // Band height of a rectangle width W: 128 below 40, then 64, 32, 16, and 8 from 320.
    static LONG BandHeight(LONG width);
    // The band height Redraw uses, which hands no band on: the table's, but from 320 pixels wide
    // as many rows as keep a band of about 256 KB (a multiple of 8).
    static LONG CacheBandHeight(LONG width);

    void SetSuspended(bool on) { m_suspend = on ? 1 : 0; }
    bool IsSuspended() const { return m_suspend != 0; }
    void SetNoBackground(bool on) { m_noBackground = on ? 1 : 0; }
    void SetHideList(bool on) { m_hideList = on ? 1 : 0; }
    void SetHideOverlay(bool on) { m_hideOverlay = on ? 1 : 0; }
    bool IsListHidden() const { return m_hideList != 0; }
    bool IsOverlayHidden() const { return m_hideOverlay != 0; }
    void SetBackgroundFilter(BYTE filter) { m_filter = filter; }
    BYTE GetBackgroundFilter() const { return m_filter; }

private:
    // CollectDirtyRects; false when the region stays empty.
    bool CollectAnyDirty(DrawNode** ownTail, DrawNode** overlayTail);
    // The background (or, without one, the colour) of rect painted into image.
    void PaintBackground(CImage* image, const RECT& rect) const;
    // Asks for the target's and the background's rows of rect ahead of painting them.
    void PrefetchBackground(const RECT& rect) const;
    void FillColor(CImage* image, const RECT& rect) const;
    // Appends the shown drawables of one list that reach into rect, tail to head, each with its
    // plan for rect where its kind makes one.
    void CollectShown(DrawNode* tail, const RECT& rect);
    // Readies the walk of the shown drawables down the bands of one rectangle.
    void StartBands(const RECT& rect);
    // Draws the shown drawables that reach the rows of band, in drawing order; bands come top to
    // bottom after StartBands.
    void DrawBand(const RECT& band);
    // True when some list is drawn (else a rectangle is one band).
    bool DrawsLists() const;
    // How ComposeRegion cuts a rectangle into bands.
    enum class Bands { kWhole, kTable, kCache };
    // Composes every rectangle of the region (in bands when asked), handing each band to piece and
    // each finished rectangle to done; the region is empty afterwards.
    template <class Piece, class Done>
    void ComposeRegion(Bands bands, DrawNode* ownTail, DrawNode* overlayTail, Piece&& piece, Done&& done);
    // Creates the work image at the target's size; false when it cannot be made.
    bool MakeWork(int bitsPerPixel);
    // One dirty rectangle found by the collection: into the region, or into the tiles once the
    // region holds too many.
    void AddCollected(const RECT& rect);
    // Moves the region's rectangles into the tile mask (tiles sized for the target).
    void StartTiles();
    void MarkTiles(const RECT& rect);
    void DropTiles();
    // Composes the marked tiles: the background under the rectangles they make, then every
    // drawable that reaches them, each piece handed on once drawn.
    template <class Piece, class Done>
    void ComposeTiles(DrawNode* ownTail, DrawNode* overlayTail, Piece&& piece, Done&& done);
    // How much of rect (inside the target) the marked tiles cover: 0 none, 1 part, 2 all.
    int TileCover(const RECT& rect) const;
    // The marked tiles of rows [firstRow, lastRow] as rectangles into m_tileRects.
    void MakeTileRects(size_t firstRow, size_t lastRow);
    // Draws part (inside the target) of a shown drawable where the marked tiles cover it.
    void DrawOnTiles(CDrawable* drawable, const RECT& part);

    CImage* m_target = nullptr;
    CDrawList m_list;
    CDrawList* m_overlay = nullptr;
    CUpdateRegion m_region;
    CSurface* m_background = nullptr;
    LONG m_bgX = 0;
    LONG m_bgY = 0;
    DWORD m_color = 0;
    uint8_t m_suspend = 0;
    uint8_t m_noBackground = 0;
    uint8_t m_hideList = 0;
    uint8_t m_hideOverlay = 0;
    CImage* m_work = nullptr;
    BYTE m_filter = 1;
    LONG m_viewX = 0; // also the rotate-zoom centre
    LONG m_viewY = 0;
    LONG m_viewW = 0;
    LONG m_viewH = 0;
    RECT m_viewSrc{0, 0, 0, 0};
    int m_angle = 0;
    double m_zoom = 0.0;
    LONG m_anchorX = 0;
    LONG m_anchorY = 0;
    // ComposeRegion's drawables over one rectangle with the rows they reach, kept to spare
    // allocations.
    struct Shown {
        CDrawable* drawable;
        LONG top, bottom;
        bool planned;
        DrawPlan plan;
    };
    std::vector<Shown> m_shown;
    // The band walk: m_shown's indices by first and by last row, and which of them the current
    // band reaches (a bit each, in drawing order).
    std::vector<uint32_t> m_byTop;
    std::vector<uint32_t> m_byBottom;
    std::vector<uint32_t> m_rowCounts;
    std::vector<uint64_t> m_active;
    size_t m_entered = 0;
    size_t m_left = 0;
    // Many scattered dirty rectangles (falling particles) are kept as a mask of tiles instead: a
    // few words a tile row, a bit a column of tiles. Composed before the region.
    std::vector<uint64_t> m_tiles;
    LONG m_tileW = 0;
    LONG m_tileH = 0;
    int m_tileWords = 0;
    bool m_tiled = false;
    // The marked tiles as rectangles, and the walk's rectangles still open at the last tile row
    // (kept to spare allocations).
    std::vector<RECT> m_tileRects;
    std::vector<uint32_t> m_openRects;
    std::vector<uint32_t> m_nextOpen;
    // The drawables over the marked tiles by strip of tile rows, in drawing order within each.
    struct StripEntry {
        uint32_t strip;
        CDrawable* drawable;
    };
    std::vector<StripEntry> m_stripEntries;
    std::vector<uint32_t> m_stripStarts;
    std::vector<CDrawable*> m_stripOrder;
    size_t m_stripReach = 0; // the most strip entries the last tiled redraw's drawables can make
};
