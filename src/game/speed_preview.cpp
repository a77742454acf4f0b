// The text-speed preview strip; see speed_preview.h.
#include "game/speed_preview.h"

#include <algorithm>
#include <cstring>

#include "game/game_app.h"
#include "game/settings_sheet.h"
#include "winapi/mmsystem.h"

namespace {

constexpr uint32_t kFace = 0xD4D0C8;
constexpr uint32_t kMark = 0x808080;
constexpr uint32_t kBar = 0x0000FF;
constexpr uint32_t kBarAlpha = 0x30;

void PutPixel(uint8_t* p, uint32_t rgb)
{
    p[0] = static_cast<uint8_t>(rgb);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb >> 16);
    p[3] = 0xFF;
}

} // namespace

bool SheetHighResTimer()
{
    SheetSession* session = CurrentSheet();
    return session != nullptr && session->app != nullptr && session->app->UserBlock()[kUserHighResTimer] != 0;
}

void CSpeedPreview::Attach(HWND staticControl, bool highRes)
{
    m_highRes = highRes;
    if (staticControl == nullptr || m_surface.Attach(staticControl, true) != 0)
        return;
    RECT rc{};
    GetClientRect(staticControl, &rc);
    if (m_image.Create(rc.right - rc.left, rc.bottom - rc.top, 32, 0) != 0)
        return;
    m_surface.SetBackgroundImage(&m_image, 0, 0, false);
    m_surface.SetBackgroundAnchor(0, 0, 0);
    Draw();
}

uint32_t CSpeedPreview::Now() const
{
    return m_highRes ? timeGetTime() : GetTickCount();
}

void CSpeedPreview::Pause()
{
    if (!m_paused) {
        m_paused = true;
        m_pausedAt = Now();
    }
}

void CSpeedPreview::Resume()
{
    if (m_paused) {
        m_paused = false;
        m_last += Now() - m_pausedAt;
    }
}

bool CSpeedPreview::Tick(bool noWait, int speedMs, const SpeedPreviewSettings& wait)
{
    return Tick(Now(), noWait, speedMs, wait);
}

bool CSpeedPreview::Tick(uint32_t now, bool noWait, int speedMs, const SpeedPreviewSettings& wait)
{
    if (!m_started) {
        m_started = true;
        m_last = now;
    }
    const uint32_t elapsed = now - m_last;
    int cells = m_cells;
    if (noWait) {
        cells = kCells;
    } else if (m_cells < kCells) {
        if (elapsed > static_cast<uint32_t>(std::max(speedMs, 0))) {
            const uint32_t step = std::min<uint32_t>(elapsed / static_cast<uint32_t>(std::max(speedMs, 16)), kCells);
            cells = std::min<int>(kCells, m_cells + static_cast<int>(step));
            m_last = now;
        }
    } else if (elapsed > static_cast<uint32_t>(kCells * std::max(wait.charMs, 0) + std::max(wait.minimumMs, 0))) {
        cells = 0;  // the page wait of sixteen characters is over: start again
        m_last = now;
    }
    if (cells == m_cells)
        return false;
    m_cells = cells;
    Draw();
    return true;
}

void CSpeedPreview::DrawStrip(CImage& image, int cells)
{
    const int width = image.GetWidth(), height = image.GetHeight();
    uint8_t* bits = image.GetBits();
    if (bits == nullptr || width <= 0 || height <= 0)
        return;
    const int cell = width / kCells;
    const int bar = std::clamp(cells, 0, kCells) * cell;
    // Every row is the same: the first is made, the others copied from it.
    uint8_t* first = bits;
    for (int x = 0; x < width; ++x) {
        uint8_t* p = first + x * 4;
        PutPixel(p, cell > 0 && x % cell == 0 ? kMark : kFace);
        if (x < bar)
            for (int c = 0; c < 3; ++c) {
                const uint32_t over = (kBar >> (8 * c)) & 0xFF;
                p[c] = static_cast<uint8_t>((over * kBarAlpha + p[c] * (255 - kBarAlpha) + 127) / 255);
            }
    }
    for (int y = 1; y < height; ++y)
        std::memcpy(bits + static_cast<ptrdiff_t>(y) * image.GetPitch(), first, static_cast<size_t>(width) * 4);
}

void CSpeedPreview::Show(int cells)
{
    m_cells = std::clamp(cells, 0, kCells);
    Draw();
}

void CSpeedPreview::Draw()
{
    if (m_image.GetBits() == nullptr)
        return;
    DrawStrip(m_image, m_cells);
    // Only the cells that came or went are composed and shown again.
    const int cell = m_image.GetWidth() / kCells;
    if (m_drawn < 0 || cell <= 0) {
        m_surface.Redraw(false);
    } else {
        RECT changed{std::min(m_drawn, m_cells) * cell, 0, std::max(m_drawn, m_cells) * cell + 1,
                     m_image.GetHeight()};
        m_surface.InvalidateRect(&changed);
        m_surface.Redraw(true);
    }
    m_drawn = m_cells;
}
