// CSprite: the image drawable. It shows a rectangle of a borrowed source image at a position,
// optionally scaled to a requested size or turned and zoomed about a pivot, blended by one of 32
// modes at an opacity. Scaled and turned output is rendered once per change into a work image,
// so that redraws only blend. The work image is shared by reference count with sprites that
// ShareFrom this one (they never re-render it).
#pragma once

#include "drawing/drawable.h"
#include "platform/cos_table.h"

#include <memory>

class CImage;

// The largest work image side; a size or zoom beyond it is refused like a failed creation.
constexpr LONG kMaxWorkImageSide = 16384;

class CSprite : public CDrawable {
public:
    CSprite();
    ~CSprite() override;

    // The source rectangle's size.
    LONG GetWidth() const override { return m_src.right - m_src.left; }
    LONG GetHeight() const override { return m_src.bottom - m_src.top; }
    int GetKind() const override { return kDrawableSprite; }
    // 1 for a mode above 31 (nothing changes), else 0.
    int SetBlendMode(BYTE mode) override;
    int SetAlpha(BYTE alpha) override;
    bool SetPosition(LONG x, LONG y) override;
    bool MoveBy(LONG dx, LONG dy) override;
    // Scales the source rectangle to (w, h) through the work image; (0, 0) switches scaling off,
    // a component below 1 keeps the source's. False without image, when sharing, unchanged, or
    // when the work image cannot be made or rendered.
    bool SetSize(LONG width, LONG height) override;
    bool SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) override;
    // rect in source-image coordinates.
    bool InvalidateLocalRect(RECT* rect) override;
    // exact: on a pixel with alpha (32-bit, no key) or other than the key.
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Intersects(CDrawable* other) override;
    const RECT* GetScreenRectPtr() const override { return &m_screen; }
    RECT* GetScreenRect(RECT* out) const override;
    // 0 (also invisible or alpha 0), 1 no target or image, 2 work image missing or a blend mode
    // that a keyed source does not have, 3 the raster operation failed.
    int Draw(CImage* target, RECT* outRect) override;
    void DrawRegion(CImage* target, const RECT& rect) override;
    bool PlanRegion(const CImage* target, const RECT& rect, DrawPlan& plan) const override;
    void DrawPlannedRows(CImage* target, const DrawPlan& plan, LONG top, LONG bottom) override;
    // Alpha 255, mode 0, no image, origin, requested size and angle 0, zoom 1, no rotation, work
    // image dropped; position and rectangles stay.
    void Reset() override;

    // Releases the work image (the last holder deletes it); sharing ends.
    void DropWorkImage();
    // 0 ok; 1 image null or without pixels; 2 no pixel library; 3 srcRect (null: all) holds
    // nothing of the image. An image with the alpha flag gives blend mode 2.
    int SetImage(CImage* image, const RECT* srcRect, LONG x, LONG y);
    // 1 image null or without pixels, or no image yet; else the image exchanged, rectangles kept; 0.
    int ReplaceImage(CImage* image);
    // 1 no image or sharing; 0 unchanged; 2 nothing of the image left; 3 scaling failed; else 0.
    int SetSourceRect(const RECT* rect);
    // Moves the source rectangle by the difference from the last origin. 1 no image or sharing.
    int SetSourceOrigin(LONG x, LONG y);
    // Low four bits 0..3 (0 nearest, else smooth), high four bits 0 or 1. False when unchanged,
    // sharing or out of range.
    bool SetDrawMode(BYTE mode);
    // 0; 1 no image or sharing; 2 creation, 3 resize failed.
    int CreateWorkImage(LONG width, LONG height);
    // A work image big enough for any angle at zoom. 0; 1 no image or sharing; 2 the size cannot
    // be computed; 3 creation, 4 resize failed.
    int CreateRotationWorkImage(double zoom);
    // Mode 0..4: a corner or the centre of the source rectangle; others (x, y). False without
    // image, when sharing or unchanged.
    bool SetRotationPivot(int mode, LONG x, LONG y);
    // 512 steps a turn. False without a 32-bit image, when sharing, unchanged, or when the quad or
    // the work image cannot be made.
    bool SetRotateZoom(int angle, double zoom);
    // 1 other null or without image; else this sprite becomes a copy (own work image), in no list.
    int CopyFrom(const CSprite* other);
    // 1 other null; else the other's drawing state and work image (shared, never re-rendered),
    // keeping this sprite's tag and list; dirty; 0.
    int ShareFrom(const CSprite* other);
    // After the source image was drawn into: re-renders, or invalidates the changed rectangles.
    // False without image, list or change tracker on the source.
    bool RedrawWorkImage(bool clearChanges);

    CImage* GetImage() const { return m_image; }
    CImage* GetWorkImage() const { return m_work.get(); }
    const RECT& GetSourceRect() const { return m_src; }
    // The origin SetSourceOrigin last set.
    LONG GetSourceOriginX() const { return m_originX; }
    LONG GetSourceOriginY() const { return m_originY; }
    BYTE GetDrawMode() const { return m_drawMode; }
    bool IsSharing() const { return m_borrowed != 0; }
    bool IsRotated() const { return m_rotW != 0; }
    int GetAngle() const { return m_angle; }
    double GetZoom() const { return m_zoom; }
    LONG GetRequestedWidth() const { return m_reqW; }
    LONG GetRequestedHeight() const { return m_reqH; }
    // SetPosition and SetAlpha in one call for animations that apply both every step. Written
    // without branches (whether a part moved this step is a coin toss for the predictor): the
    // same values are stored again when nothing changed, and dirty is set only on a change.
    void PlaceAndFade(LONG x, LONG y, BYTE alpha)
    {
        const bool changed = (x != m_x) | (y != m_y) | (alpha != m_alpha);
        m_x = x;
        m_y = y;
        m_alpha = alpha;
        PlaceScreenRect();
        m_dirty = static_cast<uint8_t>(m_dirty | changed);
    }

private:
    // The screen rectangle at the position (scaled, turned or the source's size).
    void PlaceScreenRect()
    {
        if (m_rotW != 0) {
            const LONG left = AddClamped(m_x, m_rotX);
            const LONG top = AddClamped(m_y, m_rotY);
            m_screen = RECT{left, top, AddClamped(left, m_rotW), AddClamped(top, m_rotH)};
        } else if (m_reqW != 0 || m_reqH != 0) {
            m_screen = RECT{m_x, m_y, AddClamped(m_x, m_reqW), AddClamped(m_y, m_reqH)};
        } else {
            m_screen = RECT{m_x, m_y, AddClamped(m_x, m_src.right - m_src.left), AddClamped(m_y, m_src.bottom - m_src.top)};
        }
    }
    // PlaceScreenRect, and dirty.
    void UpdateScreenRect();
    // Everything that decides what and where the sprite draws (not the tag, list or work image).
    void CopyDrawingState(const CSprite& other);
    // The work image at (w, h) and depth: 0, 2 not created, 3 not resized.
    int EnsureWork(LONG width, LONG height, int bitsPerPixel);
    // Scales the source rectangle into (0, 0, w, h) of the work image: 0, or 1..3 failure.
    int RenderScaled(LONG width, LONG height);
    // Draws the source through the quad into the work image, key (or 0) around it: 0, 1 failure.
    int RenderRotateZoom(DWORD key);
    // SetRotateZoom's work without the unchanged test.
    bool ApplyRotateZoom(int angle, double zoom);
    // Re-renders the rotation, else the scaling (not while sharing).
    void Rerender();
    // The picture that is drawn and its rectangle; false when a work image is missing.
    bool DrawSource(const CImage*& source, RECT& rect) const;
    // Draws screen rectangle `screen` (reading `rect` of source) into target: 0, 2, 3.
    int Blit(CImage* target, const CImage* source, const RECT& screen, const RECT& rect) const;
    // The screen part inside `within` (null: all) and its source rectangle, both cut to the
    // source picture; false when nothing is left.
    bool Cut(const CImage* source, RECT& screen, RECT& rect, const RECT* within) const;

    CImage* m_image = nullptr;
    std::shared_ptr<CImage> m_work;
    RECT m_src{0, 0, 0, 0};
    RECT m_screen{0, 0, 0, 0};
    LONG m_originX = 0;
    LONG m_originY = 0;
    LONG m_reqW = 0;
    LONG m_reqH = 0;
    int m_angle = 0;
    double m_zoom = 1.0;
    LONG m_pivotX = 0;
    LONG m_pivotY = 0;
    LONG m_rotX = 0;
    LONG m_rotY = 0;
    LONG m_rotW = 0;
    LONG m_rotH = 0;
    BYTE m_drawMode = 0;
    QuadPoint m_quad[4]{};
    uint8_t m_borrowed = 0;
};
