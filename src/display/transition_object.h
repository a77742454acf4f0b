// CTransitionObject (scene object type 2): one wipe of a source surface, either stepped into a
// destination DirectDraw image that is then blitted like an image region, or, without a
// destination, drawn straight onto the screen each frame at its screen position. It borrows both
// surfaces: the screen tells it before deleting either, and it then forgets that one.
#pragma once

#include "display/surface_borrowers.h"
#include "display/task.h"

class CTransitionObject : public CTask, public ISurfaceBorrower {
public:
    CTransitionObject() = default;
    ~CTransitionObject() override;

    // 0; 1 the source is null or has no DirectDraw surface; 2 the destination has none; 3 the
    // first step could not be drawn (2 and 3 leave the object cleared). Without a destination
    // nothing is drawn yet.
    int Init(CSurface* destination, CSurface* source, int32_t wipe, LONG screenX, LONG screenY, int32_t progress,
             LONG offsetX, LONG offsetY);
    // Draws the wipe at progress into the destination (refilled first when it is a filled
    // DirectDraw image). 0; 1 no source; the dispatcher's code + 1, or -1 for a wipe index
    // outside 0..86. Without a destination only the progress is kept.
    int DrawStep(int32_t progress);
    // 1 when a given surface has no DirectDraw surface; else 0.
    int SetDestination(CSurface* destination);
    int SetSource(CSurface* source);
    // False without a usable destination; a given rectangle becomes the shown rectangle (cut to
    // the destination's clip rectangle); the offset is stored.
    bool SetPositionRect(LONG offsetX, LONG offsetY, const RECT* shown);

    uint8_t GetType() const override { return kSceneTransition; }
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
    void MoveBy(LONG dx, LONG dy) override
    {
        SetPosition(static_cast<LONG>(static_cast<uint32_t>(m_x) + static_cast<uint32_t>(dx)),
                    static_cast<LONG>(static_cast<uint32_t>(m_y) + static_cast<uint32_t>(dy)));
    }
    bool HitTest(LONG x, LONG y, bool exact) override;
    bool Overlaps(CTask* other) override;
    // The position and the shown size (the source's without a destination); false when empty.
    bool GetBounds(RECT* out) override;
    // 0 disabled, drawn or wholly outside; 1 a missing argument or source; with a destination
    // 2 it has no DirectDraw surface or the scaled blit failed, 3 the unscaled blit failed;
    // without one the dispatcher's code + 1 (-1 for a wipe index outside 0..86).
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
    // 0. The step is drawn again into the restored destination: a loss used to leave it showing
    // only its fill colour until the next step.
    int OnDeviceRestore() override;
    void OnSurfaceGone(CSurface* surface) override;

    CSurface* GetDestination() const { return m_destination; }
    CSurface* GetSource() const { return m_source; }
    int32_t GetProgress() const { return m_progress; }
    const RECT& GetShownRect() const { return m_shown; }

private:
    void Clear();
    void Hold(CSurface** slot, CSurface* surface);
    LONG ShownWidth() const;
    LONG ShownHeight() const;

    CSurface* m_destination = nullptr;
    CSurface* m_source = nullptr;
    int32_t m_wipe = 0;
    int32_t m_progress = 0;
    LONG m_x = 0, m_y = 0;                // the screen position
    LONG m_offsetX = 0, m_offsetY = 0;    // handed to the dispatcher
    RECT m_shown{0, 0, 0, 0};
    LONG m_shownX = 0, m_shownY = 0;      // the shown rectangle's offset
    LONG m_w = 0, m_h = 0;
    // The destination was deleted under the object: it draws nothing (1) rather than switching
    // to drawing straight onto the screen, until it is given a destination or none again.
    bool m_destinationGone = false;
};
