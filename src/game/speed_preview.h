// A text-speed preview strip of the settings sheet: sixteen cells filling at the chosen speed,
// held for the auto-play wait of sixteen characters, then cleared; drawn as a scene of its own
// on a static (button-face cells with grey marks, a translucent bar over the cells shown).
#pragma once

#include <cstdint>

#include "display/window_surface.h"
#include "raster/image.h"

struct SpeedPreviewSettings {
    int charMs = 30;       // 文字時間
    int minimumMs = 1000;  // 最小時間
};

class CSpeedPreview {
public:
    static constexpr int kCells = 16;
    // Draws on the static from now on (null: the cells are counted only). highRes: the clock is
    // timeGetTime, else GetTickCount.
    void Attach(HWND staticControl, bool highRes);
    // One 16 ms tick at `now` (the clock's reading) → true when the strip changed.
    bool Tick(uint32_t now, bool noWait, int speedMs, const SpeedPreviewSettings& wait);
    // The page's own tick: the clock it was attached with.
    bool Tick(bool noWait, int speedMs, const SpeedPreviewSettings& wait);
    // Leaving and coming back: the time away does not count.
    void Pause();
    void Resume();
    int Cells() const { return m_cells; }
    // Shows `cells` cells now.
    void Show(int cells);
    uint32_t Now() const;
    // The strip's pixels as last drawn (empty before the first draw or without a static).
    CImage& Image() { return m_image; }
    // Draws `cells` cells into a 32-bit image of its own size (the benchmark's reference path).
    static void DrawStrip(CImage& image, int cells);

private:
    void Draw();

    int m_cells = 0;
    int m_drawn = -1;  // the cells last shown (-1: nothing yet)
    uint32_t m_last = 0;
    uint32_t m_pausedAt = 0;
    bool m_started = false;
    bool m_paused = false;
    bool m_highRes = false;
    CWindowSurface m_surface;
    CImage m_image;
};

// Whether the sheet's clocks are timeGetTime (the user block's high-resolution timer byte).
bool SheetHighResTimer();
