// CImageRegionObject (scene object type 0): a rectangle of a device surface blitted onto the back
// buffer at a position, unscaled or at an explicit size, keyed when the surface has a colour key.
// It borrows the surface: the screen tells it before deleting that surface, and it then draws
// nothing and answers the missing-source code. The mouse can draw its software cursor with it.
#pragma once

#include "display/surface_borrowers.h"
#include "display/task.h"
#include "platform/cursor_image.h"

class CImageRegionObject : public CTask, public ISurfaceBorrower, public ICursorImage {
public:
    CImageRegionObject() = default;
    ~CImageRegionObject() override;

    // 0; 1 the surface is null or has no DirectDraw surface. The source rectangle is srcRect cut
    // to the surface (null: the whole surface).
    int Init(CSurface* surface, const RECT* srcRect, LONG x, LONG y);
    // The same checks, then only the surface is replaced.
    int SetSurface(CSurface* surface);
    // False without a usable surface; a given rectangle becomes the source rectangle (cut); the
    // offset is stored.
    bool SetPositionRect(LONG offsetX, LONG offsetY, const RECT* srcRect);
    // No surface, offset, position and explicit size 0.
    void Reset();

    uint8_t GetType() const override { return kSceneImageRegion; }
    LONG GetX() const override { return m_x; }
    LONG GetY() const override { return m_y; }
    void SetPosition(LONG x, LONG y) override
    {
        m_x = x;
        m_y = y;
    }
    void SetSize(LONG width, LONG height) override
    {
        m_w = width;
        m_h = height;
    }
    void SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y) override
    {
        SetSize(width, height);
        SetPosition(x, y);
    }
    // Wraps round as 32-bit positions do, rather than overflowing.
    void MoveBy(LONG dx, LONG dy) override
    {
        SetPosition(static_cast<LONG>(static_cast<uint32_t>(m_x) + static_cast<uint32_t>(dx)),
                    static_cast<LONG>(static_cast<uint32_t>(m_y) + static_cast<uint32_t>(dy)));
    }
    // In the bounds; exact: on a pixel that differs from the colour key of a DirectDraw image.
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Overlaps(CTask* other) override;
    // (x, y) and the shown size; false without a surface or when empty.
    bool GetBounds(RECT* out) override;
    // 0 disabled, drawn or wholly outside; 1 a missing argument or source; 2 the scaled blit
    // failed; 3 the unscaled blit failed.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
    int OnDeviceRestore() override { return 0; }
    void OnSurfaceGone(CSurface* surface) override;

    CSurface* GetSurface() const { return m_surface; }
    const RECT& GetSourceRect() const { return m_src; }

    // --- the software cursor's face ---
    int GetCursorType() override { return GetType(); }
    // The surface has its DirectDraw surface.
    bool IsCursorReady() override { return DeviceSurfaceOf(m_surface) != nullptr; }
    RECT GetCursorSourceRect() override { return m_src; }
    void SetCursorEnabled(bool enabled) override { SetEnabled(enabled ? 1 : 0); }
    void SetCursorPosition(int x, int y) override { SetPosition(x, y); }
    // The source rectangle moved to (x, y), its size kept.
    void SetCursorSourceOrigin(int x, int y) override;

protected:
    // The DirectDraw surface the object blits from; null when the surface has none.
    virtual IDirectDrawSurface7* DeviceSurfaceOf(CSurface* surface) const;

private:
    void Borrow(CSurface* surface);
    LONG ShownWidth() const { return m_w != 0 ? m_w : m_src.right - m_src.left; }
    LONG ShownHeight() const { return m_h != 0 ? m_h : m_src.bottom - m_src.top; }

    CSurface* m_surface = nullptr;
    RECT m_src{0, 0, 0, 0};
    LONG m_offsetX = 0, m_offsetY = 0;
    LONG m_x = 0, m_y = 0;
    LONG m_w = 0, m_h = 0;
};
