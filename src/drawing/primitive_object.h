// CPrimitiveObject: the rectangle-shape drawable, a solid colour rectangle drawn by shape mode
// 0 (blended at the alpha), 2 (added) or 3 (subtracted); mode 1 is accepted and draws nothing.
// Fades to a colour, flashes and darkening overlays are made of it.
#pragma once

#include "drawing/drawable.h"

class CPrimitiveObject : public CDrawable {
public:
    CPrimitiveObject();

    // The natural size (also while an explicit size is set).
    LONG GetWidth() const override { return m_width; }
    LONG GetHeight() const override { return m_height; }
    int GetKind() const override { return kDrawableShape; }
    // 1 for a mode above 3 (nothing changes), else 0.
    int SetBlendMode(BYTE mode) override;
    int SetAlpha(BYTE alpha) override;
    bool SetPosition(LONG x, LONG y) override;
    bool MoveBy(LONG dx, LONG dy) override;
    // The explicit size (0 in a component: the natural one is shown). False when unchanged.
    bool SetSize(LONG width, LONG height) override;
    // SetSize then SetPosition; true when either changed.
    bool SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) override;
    bool InvalidateLocalRect(RECT* rect) override;
    // False for a natural width of 0; else whether the point lies in the rectangle (exact ignored).
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Intersects(CDrawable* other) override;
    const RECT* GetScreenRectPtr() const override { return &m_rect; }
    RECT* GetScreenRect(RECT* out) const override;
    // 0 (also invisible, alpha 0 or natural width 0), 1 no target, 2 shape mode 1, 3 the raster
    // operation failed.
    int Draw(CImage* target, RECT* outRect) override;
    void DrawRegion(CImage* target, const RECT& rect) override;
    // Alpha 255, mode 0, sizes 0; colour, position and rectangle stay.
    void Reset() override;

    // Reset, then natural size (w, h) at (x, y), alpha := the top byte, colour := the low 24 bits. 0.
    int Setup(LONG width, LONG height, DWORD argb, LONG x, LONG y);
    // False when unchanged.
    bool SetColor(DWORD rgb);
    bool SetColorARGB(DWORD argb);
    // The natural size: false unless both are >= 0 and one changed; clears the explicit size.
    bool SetNaturalSize(LONG width, LONG height);
    // SetPosition then SetNaturalSize; true when either changed.
    bool SetNaturalSizeAndPosition(LONG width, LONG height, LONG x, LONG y);
    DWORD GetColor() const { return m_color; }

private:
    void UpdateRect();
    // Draws the part of the rectangle inside area; 0, 2 mode 1, 3 failure.
    int Paint(CImage* target, const RECT& area) const;

    DWORD m_color = 0;
    LONG m_width = 0;
    LONG m_height = 0;
    LONG m_shownWidth = 0;  // explicit size; 0 = natural
    LONG m_shownHeight = 0;
    RECT m_rect{0, 0, 0, 0};
};
