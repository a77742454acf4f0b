// CDrawable: the abstract base of everything a scene composes (sprites, rectangle shapes, movie
// sprites). It keeps the common state (tag, visibility, dirty byte, position, blend mode, alpha)
// and the list that holds it; each kind draws itself into a target image, whole or one rectangle
// of it at a time.
#pragma once

#include "winapi/base.h"

#include <climits>
#include <cstdint>

class CDrawList;
class CImage;

// What GetKind answers.
enum EDrawableKind : int {
    kDrawableSprite = 0,
    kDrawableShape = 1,
    kDrawableMovie = 2,
    kDrawableMoviePrimitive = 3,
};

// x + extent kept inside the 32-bit range (positions near the limits must not wrap). Inline with
// the two below: every redraw notice goes through them.
inline LONG AddClamped(LONG position, int64_t extent)
{
    const int64_t sum = static_cast<int64_t>(position) + extent;
    return static_cast<LONG>(sum > INT32_MAX ? INT32_MAX : (sum < INT32_MIN ? INT32_MIN : sum));
}
// r moved by (dx, dy), each edge kept inside the 32-bit range.
inline RECT MovedRect(const RECT& r, int64_t dx, int64_t dy)
{
    return RECT{AddClamped(r.left, dx), AddClamped(r.top, dy), AddClamped(r.right, dx), AddClamped(r.bottom, dy)};
}
inline bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A drawable's part of one rectangle of a redraw, worked out once and then drawn row range by row
// range (a banded redraw draws each drawable once a band): the source pixels and where they land.
struct DrawPlan {
    const CImage* source = nullptr;
    RECT screen{0, 0, 0, 0}; // the part on the target; empty: nothing to draw
    RECT from{0, 0, 0, 0};   // the source pixels drawn there, of the same size
    // Where the drawable blends the source's rows straight into the target (screen and from then
    // hold the final clip): the pixels at screen's and from's top left, and both pitches.
    BYTE* dst = nullptr;
    const BYTE* src = nullptr;
    LONG dstPitch = 0, srcPitch = 0;
};

class CDrawable {
public:
    CDrawable() = default;
    CDrawable(const CDrawable&) = delete;
    CDrawable& operator=(const CDrawable&) = delete;
    // Leaves the owner list first, so the last drawn rectangle becomes dirty in its scene.
    virtual ~CDrawable();

    virtual bool IsVisible() const { return m_visible != 0; }
    // A change is stored and marks the drawable dirty; the same value does nothing.
    virtual void SetVisible(bool visible);
    virtual bool IsDirty() const { return m_dirty != 0; }
    virtual void SetDirty(bool dirty) { m_dirty = dirty ? 1 : 0; }
    virtual LONG GetX() const { return m_x; }
    virtual LONG GetY() const { return m_y; }
    virtual BYTE GetBlendMode() const { return m_blendMode; }
    virtual BYTE GetAlpha() const { return m_alpha; }

    // Size of what is drawn (the kinds say which size).
    virtual LONG GetWidth() const = 0;
    virtual LONG GetHeight() const = 0;
    virtual int GetKind() const = 0;
    // 0 stored (dirty when changed), 1 a mode the kind does not have.
    virtual int SetBlendMode(BYTE mode) = 0;
    // 0; dirty when changed.
    virtual int SetAlpha(BYTE alpha) = 0;
    // True when the position changed.
    virtual bool SetPosition(LONG x, LONG y) = 0;
    // False when both are 0.
    virtual bool MoveBy(LONG dx, LONG dy) = 0;
    virtual bool SetSize(LONG width, LONG height) = 0;
    virtual bool SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) = 0;
    // A rectangle in the drawable's own pixels changed: clamped, moved to scene coordinates and
    // invalidated in the list's scene (changed in place). False when nothing is left or no list.
    virtual bool InvalidateLocalRect(RECT* rect) = 0;
    // Whether a scene point lies on the drawable (exact: on a non-transparent pixel).
    virtual bool HitTest(LONG x, LONG y, bool exact) = 0;
    // Whether the two screen rectangles overlap.
    virtual bool Intersects(CDrawable* other) = 0;
    virtual const RECT* GetScreenRectPtr() const = 0;
    virtual RECT* GetScreenRect(RECT* out) const = 0;
    // Draw (target, null) with the dirty byte kept as it was.
    virtual int DrawWhole(CImage* target);
    // Draws the whole drawable (nothing when invisible or alpha 0; result 0). outRect, when given,
    // receives the drawn screen rectangle cut to the target, or left = -1 when none of it lies on
    // the target. Other results: the kind's codes.
    virtual int Draw(CImage* target, RECT* outRect) = 0;
    // Draws the part of the drawable inside rect of the target.
    virtual void DrawRegion(CImage* target, const RECT& rect) = 0;
    // Works out DrawRegion(target, rect) once for drawing it in row ranges by DrawPlannedRows.
    // False when the kind has no plan (its bands then go through DrawRegion).
    virtual bool PlanRegion(const CImage* target, const RECT& rect, DrawPlan& plan) const;
    // Rows [top, bottom) of a plan this drawable made; the drawable must not have changed since.
    virtual void DrawPlannedRows(CImage* target, const DrawPlan& plan, LONG top, LONG bottom);
    // Back to the kind's empty state.
    virtual void Reset() = 0;

    // Removes the drawable from its list (its last rectangle becomes dirty in the scene).
    void DetachFromList();
    DWORD GetTag() const { return m_tag; }
    void SetTag(DWORD tag) { m_tag = tag; }
    CDrawList* GetOwnerList() const { return m_ownerList; }

protected:
    // Cuts `rect` to `target` and writes it to outRect (left = -1 when nothing is left).
    static void ReportDrawn(const CImage* target, const RECT& rect, RECT* outRect);

    DWORD m_tag = 0;
    uint8_t m_visible = 1;
    uint8_t m_dirty = 0;
    LONG m_x = 0;
    LONG m_y = 0;
    BYTE m_blendMode = 0;
    BYTE m_alpha = 255;

private:
    friend class CDrawList;
    CDrawList* m_ownerList = nullptr;
};
