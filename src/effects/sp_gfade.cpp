#include "effects/sp_gfade.h"

#include <algorithm>
#include <new>

#include "drawing/sprite.h"
#include "effects/eased_time.h"
#include "effects/sp_loop.h"
#include "platform/decimal_text.h"
#include "raster/blend_tables.h"
#include "raster/image.h"

namespace {

uint8_t* AlphaAt(CImage& image, LONG x, LONG y)
{
    return image.GetBits() + intptr_t(y) * image.GetPitch() + intptr_t(x) * 4 + 3;
}

} // namespace

CPluginEffect* CSpGfadeEffect::Create(DWORD)
{
    return new (std::nothrow) CSpGfadeEffect;
}

CSpGfadeEffect::~CSpGfadeEffect()
{
    RestoreStrip();
}

int32_t CSpGfadeEffect::GetKind()
{
    return kSpEffectKind;
}

int CSpGfadeEffect::SetUpV(CTimerManager* manager, CImageObject*, const CEffectArgs& args)
{
    CDrawable* drawable = args.GetDrawable(0);
    if (manager == nullptr || drawable == nullptr || drawable->GetKind() != kDrawableSprite)
        return 1;
    m_sprite = static_cast<CSprite*>(drawable);
    if (m_sprite->GetImage() == nullptr || m_sprite->GetImage()->GetBits() == nullptr)
        return 1;
    m_source = m_sprite->GetSourceRect();
    RECT screen{};
    m_sprite->GetScreenRect(&screen);
    m_x = m_sprite->GetX();
    m_y = m_sprite->GetY();
    m_duration = static_cast<uint32_t>(std::max(args.IntAt(1), 0));
    m_direction = static_cast<uint8_t>(std::clamp(args.IntAt(2), 0, 3));
    if (m_duration == 0) {
        ShowWhole();
        return -1;
    }
    const int32_t gradient = std::clamp(args.IntAt(3), 0, 65535);
    m_gradient = static_cast<uint16_t>(gradient);
    // Only a picture with alpha bytes can take the ramp; others wipe with a hard edge.
    if (m_sprite->GetImage()->GetBitsPerPixel() != 32)
        m_gradient = 0;
    const bool even = m_direction % 2 == 0;
    if (m_gradient >= 2) {
        int result = 0;
        CGradientRamp ramp(&result, m_gradient, even ? 255 : 0, even ? 0 : 255, 8);
        if (result != 0)
            return 3;
        m_ramp.assign(ramp.Bytes(), ramp.Bytes() + m_gradient);
    } else if (m_gradient == 1) {
        m_ramp.assign(1, 255); // one column: the edge stays hard
    }
    const LONG size = m_direction < 2 ? m_source.right - m_source.left : m_source.bottom - m_source.top;
    m_span = size + m_gradient;
    m_acceleration = ReadDecimalText(args.TextAt(4), 0.0);
    m_sprite->SetVisible(false);
    if (manager->Add(this, 0, 0, 0) != 0)
        return 5;
    if (args.TextAt(4) != nullptr)
        BeginBusy();
    return 0;
}

void CSpGfadeEffect::RestoreStrip()
{
    if (m_sprite == nullptr || m_strip.right <= m_strip.left || m_strip.bottom <= m_strip.top)
        return;
    CImage& image = *m_sprite->GetImage();
    size_t i = 0;
    for (LONG y = m_strip.top; y < m_strip.bottom; ++y)
        for (LONG x = m_strip.left; x < m_strip.right; ++x)
            *AlphaAt(image, x, y) = m_saved[i++];
    m_strip = RECT{};
}

void CSpGfadeEffect::ShowWhole()
{
    RestoreStrip();
    m_sprite->SetSourceRect(&m_source);
    m_sprite->SetPosition(m_x, m_y);
    m_sprite->SetVisible(true);
    m_done = 1;
}

void CSpGfadeEffect::OnCancel()
{
    if (m_sprite != nullptr && !m_done)
        ShowWhole();
}

int32_t CSpGfadeEffect::Step(uint32_t now)
{
    if (m_done)
        return 1;
    const uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (e >= m_duration) {
        ShowWhole();
        return 1;
    }
    const double eased = EasedTime(e, m_duration, m_acceleration);
    // In 64 bits: a long span times a long duration overflowed 32.
    const auto p = static_cast<LONG>(static_cast<int64_t>(m_span * eased) / m_duration);
    if (p < 1 || p == m_lastEdge)
        return 0;
    m_lastEdge = p;
    const LONG w = m_source.right - m_source.left, h = m_source.bottom - m_source.top;
    const bool horizontal = m_direction < 2;
    const LONG size = horizontal ? w : h;
    // The shown part, as an offset range [from, to) along the direction from the source's origin.
    const bool fromEnd = m_direction == 1 || m_direction == 3;
    const LONG shown = std::min(p, size);
    const LONG from = fromEnd ? size - shown : 0;
    const LONG to = fromEnd ? size : shown;
    RestoreStrip();
    if (!m_ramp.empty()) {
        // The strip just behind the edge: [p - g, p) counted from the side the wipe starts at.
        const LONG g = m_gradient;
        const LONG a = std::max<LONG>(p - g, 0), b = std::min(p, size);
        if (a < b) {
            const LONG s0 = fromEnd ? size - b : a, s1 = fromEnd ? size - a : b;
            m_strip = horizontal ? RECT{m_source.left + s0, m_source.top, m_source.left + s1, m_source.bottom}
                                 : RECT{m_source.left, m_source.top + s0, m_source.right, m_source.top + s1};
            CImage& image = *m_sprite->GetImage();
            m_saved.resize(size_t(m_strip.right - m_strip.left) * size_t(m_strip.bottom - m_strip.top));
            // Ramp index k at offset p - g + k from the wipe's start side.
            const LONG origin = fromEnd ? size - (p - g) : p - g;
            size_t i = 0;
            for (LONG y = m_strip.top; y < m_strip.bottom; ++y) {
                for (LONG x = m_strip.left; x < m_strip.right; ++x) {
                    const LONG at = horizontal ? x - m_source.left : y - m_source.top;
                    const LONG k = fromEnd ? origin - 1 - at : at - origin;
                    uint8_t* alpha = AlphaAt(image, x, y);
                    m_saved[i++] = *alpha;
                    const uint8_t ramp = m_ramp[static_cast<size_t>(fromEnd ? g - 1 - k : k)];
                    *alpha = g_MulTable[ramp][*alpha];
                }
            }
        }
    }
    const RECT cut = horizontal
                         ? RECT{m_source.left + from, m_source.top, m_source.left + to, m_source.bottom}
                         : RECT{m_source.left, m_source.top + from, m_source.right, m_source.top + to};
    m_sprite->SetSourceRect(&cut);
    m_sprite->SetPosition(horizontal ? m_x + from : m_x, horizontal ? m_y : m_y + from);
    RECT whole{0, 0, m_source.right, m_source.bottom};
    m_sprite->InvalidateLocalRect(&whole);
    m_sprite->SetVisible(true);
    return 0;
}
