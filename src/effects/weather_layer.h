// CWeatherLayer: one drawable in a scene's list that draws many particles of one priority as
// one. The particles keep their own drawables (position, picture, alpha, visibility) but stay out
// of the list, so a redraw collects and plans one layer instead of thousands of sprites; the
// owner invalidates each particle's old and new rectangles itself (InvalidateParticle) and calls
// Moved after a step. Members are drawn in the order they were added, as equals inserted one by
// one would be.
#pragma once

#include <cstdint>
#include <vector>

#include "drawing/drawable.h"

class CWeatherLayer : public CDrawable {
public:
    // Members are borrowed; the owner removes the layer before they go.
    void Add(CDrawable* member) { m_members.push_back(member); }
    const std::vector<CDrawable*>& Members() const { return m_members; }
    // The member's rectangle in the layer's scene, when the member is shown (old or new place).
    void InvalidateParticle(const CDrawable& member);
    // After members moved: the bounds follow, the row index is made again at the next draw.
    void Moved();

    LONG GetWidth() const override { return m_bounds.right - m_bounds.left; }
    LONG GetHeight() const override { return m_bounds.bottom - m_bounds.top; }
    int GetKind() const override { return kDrawableLayer; }
    int SetBlendMode(BYTE mode) override { return mode == m_blendMode ? 0 : 1; }
    int SetAlpha(BYTE alpha) override;
    // Placed by its members: these change nothing.
    bool SetPosition(LONG, LONG) override { return false; }
    bool MoveBy(LONG, LONG) override { return false; }
    bool SetSize(LONG, LONG) override { return false; }
    bool SetSizeAndPosition(LONG, LONG, LONG, LONG) override { return false; }
    bool InvalidateLocalRect(RECT* rect) override;
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Intersects(CDrawable* other) override;
    const RECT* GetScreenRectPtr() const override { return &m_bounds; }
    RECT* GetScreenRect(RECT* out) const override;
    int Draw(CImage* target, RECT* outRect) override;
    void DrawRegion(CImage* target, const RECT& rect) override;
    void Reset() override;

private:
    // Members that reach each cell (m_cellWidth x kCellRows pixels of the target) and each row
    // of cells, in drawing order.
    void MakeIndex(const CImage& target);
    void DrawMember(CDrawable& member, CImage* target, const RECT& rect);
    // A member into rect (inside the target): straight through its plan when it has rows to
    // blend, else as the scene would. The part drawn straight joins `drawn`.
    void DrawIndexed(uint32_t i, CImage* target, const RECT& rect, RECT& drawn);

    static constexpr LONG kCellRows = 16;
    static constexpr LONG kCellWidth = 32;
    std::vector<CDrawable*> m_members;
    RECT m_bounds{0, 0, 0, 0};
    bool m_indexed = false;
    LONG m_columns = 0;
    LONG m_cellWidth = 1;
    // Cell c's members: m_celled[m_cellStarts[c] .. m_cellStarts[c + 1]), cells row by row,
    // each row's cells followed by one for the whole row.
    std::vector<uint32_t> m_cellStarts;
    std::vector<uint32_t> m_celled;
    // Each member as the index found it: where it is shown (empty: not shown) and how a part of
    // it is drawn. A sprite blending by its alpha and a shape fading towards its colour are drawn
    // into any rectangle straight from their rows; others as the scene would.
    struct Planned {
        enum : uint8_t { kAsScene, kRows, kColour } how;
        BYTE alpha;
        DWORD rgb;
        RECT screen;
        BYTE* dst; // the pixel at screen's top left
        const BYTE* src;
        LONG dstPitch, srcPitch;
    };
    std::vector<Planned> m_plans;
    const CImage* m_indexTarget = nullptr;
    const BYTE* m_indexBits = nullptr;
};
