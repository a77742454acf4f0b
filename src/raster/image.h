// The image buffer: a memory surface with the drawing state that every raster operation uses (an
// optional update region, the changed and alpha flags, the clipped source and destination
// rectangles of the last clip computation) and the clip computations themselves. The copy and
// alpha-blend operations are its members; other drawing operations use the same pattern:
//   TransferRect (or TransferRectFlipX) -> draw TransferDstRect() from TransferSrcRect() ->
//   MarkChanged(TransferDstRect()).
#pragma once

#include "raster/dib_surface.h"
#include "raster/row_kernels.h"
#include "raster/update_region.h"

#include <cstdint>

class CLoadedPicture;

// Filled by MapStretchRects for the bilinear kernels: 32.32 fixed point steps.
struct StretchSteps {
    uint32_t xFraction;
    uint32_t yFraction;
    uint64_t xStep;
    uint64_t yStep;
};

// Flip modes of the ...Flip operations.
enum : uint8_t {
    kFlipMirror = 0,    // columns right to left
    kFlipVertical = 1,  // rows upside down
    kFlipBoth = 2,      // any other value: both
};

// Create flags.
enum : uint32_t {
    kImageWithDc = 1,       // a DIB section with a memory device context (else heap pixels)
    kImageWithTracker = 2,  // create an update region
    kImageUncleared = 4,    // heap pixels kept from a picture of the same size stay as they were
                            // (the caller draws every pixel)
};

class CImage : public CDibSurface {
public:
    CImage() = default;
    ~CImage() override;

    // 0 ok; 1 depth other than 8 or 32; 2 the pixel memory could not be made (size below 1,
    // allocation, DIB section, pitch x height too large); 3 no memory for the tracker. The image
    // is destroyed first in every case (a heap block of the same size is kept, cleared unless
    // kImageUncleared).
    int Create(LONG width, LONG height, int bitsPerPixel, uint32_t flags);
    // Frees the saved palette, tracker, row table, extra data and pixels; clears the flags.
    void Destroy();
    // 0 ok; 1 no source or source without pixels; 2 Create failed; 3 palette copy failed.
    int CopyFrom(const CImage* source, uint32_t flags);
    // 0 ok; 1 no pixels; 2 no memory. Row i = pixels + i x pitch.
    int BuildRowTable();

    // --- loading and saving through the image-loader manager (defined with the loaders, in
    // src/files; the raster itself never calls them) ---
    // Replaces the image by a picture from the file `name` (or, with a null name, from size bytes
    // at data), at 32 bits; flags as Create's. User values 1 and 2 := the picture's placement.
    // 0 ok; 1 no image-loader manager; 4 name not found while the image cache is on; 6 the image
    // could not be created from a cached picture; 9 the cached picture could not be converted;
    // 10 any other failure on the cached path; otherwise the manager's load code.
    int Load(const char* name, const void* data, uint32_t size, uint32_t flags);
    // As Load, palette pictures kept at 8 bits with their palette (5 instead of 10).
    int LoadWithPalette(const char* name, const void* data, uint32_t size, uint32_t flags);
    // Draws a picture into this image at (x, y), size and depth kept. 0 ok; 1 no pixels; 2 nothing
    // to read (no name nor data, not found, not opened); 3 no manager, undecodable data, or no
    // palette memory (general path); 4 no palette memory (direct path) or a conversion failed;
    // -1 the picture lies wholly outside the clip rectangle; 5 any other failure. Failures leave no
    // tracked rectangle and do not set the changed flag.
    int LoadFileAt(const char* name, const void* data, uint32_t size, LONG x, LONG y, bool withPalette);
    // -4 no pixels; 1 no image-loader manager; else the manager's save code (typeId 0: by the
    // file name's extension).
    int ExportPixels(const char* fileName, int option, DWORD typeId);
    // The loaders' call-backs; user points to a LoadContext.
    struct LoadContext {
        CImage* image;
        uint32_t flags;
        BYTE* palette; // 1024 bytes asked for by the loader, or null
    };
    // Creates the image (the context's flags) → its pixels, or null; stores the alpha flag, the
    // pitch and (when asked) a new palette block.
    static void* Allocate(int width, int height, int bitsPerPixel, BOOL hasAlpha, int* pitch, BYTE** palette,
                          void* user);
    // Destroys the image and frees the context's palette block.
    static void Discard(void* user);

    // --- drawing state ---
    bool IsChanged() const { return m_changed != 0; }
    void SetChanged(bool changed) { m_changed = changed ? 1 : 0; }
    bool HasAlpha() const { return m_alpha != 0; }
    void SetAlphaFlag(bool alpha) { m_alpha = alpha ? 1 : 0; }
    CUpdateRegion* GetUpdateRegion() const { return m_tracker; }
    // Canvases switch tracking off while a scene decides what is redrawn: the active tracker is
    // the owned one (on) or none (off).
    void SetTrackerActive(bool on) { m_tracker = on ? m_ownedTracker : nullptr; }
    const RECT& TransferSrcRect() const { return m_transferSrc; }
    const RECT& TransferDstRect() const { return m_transferDst; }
    BYTE** GetRowTable() const { return m_rowTable; }
    const BYTE* GetExtraData() const { return m_extraData; }
    uint32_t GetExtraDataSize() const { return m_extraSize; }
    // Replaces the extra data by a copy of size bytes; false when it cannot be allocated.
    bool SetExtraData(const void* data, uint32_t size);
    // Adds rect to the update region (when there is one) and sets the changed flag.
    void MarkChanged(const RECT& rect);

    // --- clip computations ---
    // Unscaled (destSize null) or scaled (state required) placement of sourceRect (null: the
    // source's clip rectangle) at (x, y), cut to clip (null: this image's clip rectangle; a given
    // one is first narrowed in place to it). 0 ok (TransferSrcRect/TransferDstRect set), -1 nothing
    // to draw, 1 neither source nor source rectangle, 2 a destination size without a state.
    int TransferRect(const CSurface* source, LONG x, LONG y, const RECT* sourceRect, const SIZE* destSize,
                     StretchState* state, RECT* clip);
    // As TransferRect with the source mirrored left to right.
    int TransferRectFlipX(const CSurface* source, LONG x, LONG y, const RECT* sourceRect,
                          const SIZE* destSize, StretchState* state, RECT* clip);
    // Rectangle a of this image, b of the other image with its clip: cuts a to this image's clip
    // and b to clipB, moving the other rectangle's edges in proportion. False when nothing is left.
    bool MapStretchRects(RECT* a, RECT* b, const RECT* clipB, StretchSteps* steps);

    // --- fills (track the filled rectangle and set the changed flag when something changed) ---
    bool FillRect(BYTE r, BYTE g, BYTE b, const RECT* rect);
    bool FillRectXYWH(LONG x, LONG y, LONG width, LONG height, BYTE r, BYTE g, BYTE b);
    bool FillRect32(DWORD value, const RECT* rect);
    bool FillRect32XYWH(LONG x, LONG y, LONG width, LONG height, DWORD value);
    // 32-bit images: colour bytes := (r, g, b), alpha kept. False when nothing was filled.
    bool FillRgbKeepAlpha(BYTE r, BYTE g, BYTE b, const RECT* rect);
    // Level 0..510: 255 unchanged, below darker, above towards white; alpha kept. 8-bit images
    // change their palette (always computed from the palette before the first call) and take no
    // rectangle. False for a level above 510, no pixels, an empty rectangle, or an 8-bit image
    // without a palette or with a rectangle.
    bool AdjustBrightness(uint16_t level, const RECT* rect);

    // --- palette (track the whole image) ---
    int SetPaletteEntries(const uint32_t* entries, int count, int first);
    bool SetPaletteEntry(int index, uint32_t color, bool apply);
    bool FillPalette(uint32_t color, bool apply);
    // False unless source exists and both are at most 8 bits; true without effect when the source
    // has no palette; false when the palette cannot be allocated.
    bool CopyPalette(const CImage* source);

    // --- copies and alpha blends (this = destination) ---
    // Results: 0 drawn or nothing left after clipping; 1 this image empty, no source or a source
    // without pixels; 2 depth pair not served or the source palette could not be allocated.
    // srcRect null = the source's clip rectangle; dstSize null = this image's size.
    int Copy(const CSurface* src, LONG x, LONG y, const RECT* srcRect, bool flipV);
    int StretchCopy(const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect, bool flipV);
    int CopyFlip(const CSurface* src, uint8_t mode, LONG x, LONG y, const RECT* srcRect);
    int StretchCopyFlip(const CSurface* src, uint8_t mode, const SIZE* dstSize, LONG x, LONG y,
                        const RECT* srcRect);
    int BlendAlpha(const CSurface* src, LONG x, LONG y, const RECT* srcRect, bool flipV);
    int StretchBlendAlpha(const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                          bool flipV);
    int BlendAlphaFlip(const CSurface* src, uint8_t mode, LONG x, LONG y, const RECT* srcRect);
    int StretchBlendAlphaFlip(const CSurface* src, uint8_t mode, const SIZE* dstSize, LONG x, LONG y,
                              const RECT* srcRect);
    int CopyAlphaPlane(const CSurface* src, LONG x, LONG y, const RECT* srcRect, bool flipV);
    int StretchCopyAlphaPlane(const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                              bool flipV);
    int CopyAlphaPlaneFlip(const CSurface* src, uint8_t mode, LONG x, LONG y, const RECT* srcRect);
    int StretchCopyAlphaPlaneFlip(const CSurface* src, uint8_t mode, const SIZE* dstSize, LONG x, LONG y,
                                  const RECT* srcRect);
    int CopyColorKeepAlpha(const CSurface* src, LONG x, LONG y, const RECT* srcRect);
    int StretchCopyColorKeepAlpha(const CSurface* src, const SIZE* dstSize, LONG x, LONG y,
                                  const RECT* srcRect);
    int CopyAlphaKeepColor(const CSurface* src, LONG x, LONG y, const RECT* srcRect);
    int StretchCopyAlphaKeepColor(const CSurface* src, const SIZE* dstSize, LONG x, LONG y,
                                  const RECT* srcRect);

private:
    // Destroy without the pixels: saved palette, tracker, row table, extra data, flags.
    void ForgetExtras();
    // LoadFileAt's two paths: the ELG picture decoded into the rows (INT_MIN when the path does
    // not apply), and a decoded picture converted into its clipped place.
    int LoadElgDirect(const BYTE* bytes, DWORD count, LONG x, LONG y, bool withPalette);
    int DrawPictureAt(CLoadedPicture& picture, LONG x, LONG y, bool withPalette);
    int RunDraw(int op, const CSurface* src, bool mirror, bool flipV, bool scaled, const SIZE* dstSize, LONG x,
                LONG y, const RECT* srcRect);
    int TransferRectImpl(const CSurface* source, LONG x, LONG y, const RECT* sourceRect, const SIZE* destSize,
                         StretchState* state, RECT* clip, bool flipX, bool flipY);

    uint32_t* m_savedPalette = nullptr;
    uint8_t m_alpha = 0;
    uint8_t m_changed = 0;
    CUpdateRegion* m_ownedTracker = nullptr;
    CUpdateRegion* m_tracker = nullptr;
    BYTE** m_rowTable = nullptr;
    BYTE* m_extraData = nullptr;
    uint32_t m_extraSize = 0;
    RECT m_transferSrc{0, 0, 0, 0};
    RECT m_transferDst{0, 0, 0, 0};
};
