#include "effects/sp_fade.h"

#include <cmath>
#include <new>

#include "display/screen_filter.h"
#include "drawing/drawable.h"
#include "effects/sp_loop.h"

CPluginEffect* CSpFadeEffect::Create(DWORD)
{
    return new (std::nothrow) CSpFadeEffect;
}

CSpFadeEffect::~CSpFadeEffect()
{
    if (m_running && m_busy && g_pfnRestoreThreadPriority != nullptr)
        g_pfnRestoreThreadPriority();
}

int32_t CSpFadeEffect::GetKind()
{
    return kSpEffectKind;
}

int CSpFadeEffect::SetUpV(CTimerManager* manager, CImageObject*, const CEffectArgs& args)
{
    const int32_t count = args.IntAt(0);
    if (manager == nullptr || count < 1)
        return 1;
    Complete();
    m_entries.reset();
    m_count = 0;
    // A script's count of 2^31 must not be attempted (about 100 GB); the original never checked
    // the allocation at all.
    if (static_cast<uint64_t>(count) > (uint64_t{1} << 24))
        return 4;
    m_entries.reset(new (std::nothrow) Entry[static_cast<size_t>(count)]);
    if (!m_entries)
        return 4;
    m_count = static_cast<uint32_t>(count);
    m_endFlag = args.IntAt(1) != 0;
    m_busy = args.IntAt(2) != 0 && GetBusyState() == 1 && g_pfnLowerThreadPriority != nullptr;
    if (manager->Add(this, 0, 0, 0) != 0)
        return 3;
    return 0;
}

int CSpFadeEffect::SetParamsV(const CEffectArgs& args)
{
    if (args.IntAt(0) < 1) {
        Complete();
        return 0;
    }
    const bool move = args.IntAt(5) != 0;
    return SetEntry(static_cast<uint32_t>(args.IntAt(1)), args.GetDrawable(2), args.IntAt(0) == 1,
                    static_cast<uint32_t>(args.IntAt(3)), static_cast<uint32_t>(args.IntAt(4)), move,
                    move ? args.IntAt(6) : 0, move ? args.IntAt(7) : 0, move ? args.IntAt(8) : 0);
}

int CSpFadeEffect::QueryV(const CEffectArgs&, CEffectArgs*)
{
    return m_running;
}

int CSpFadeEffect::SetEntry(uint32_t index, CDrawable* target, bool fadeIn, uint32_t time, uint32_t delay,
                            bool move, LONG x, LONG y, double easing)
{
    if (index >= m_count || target == nullptr)
        return 1;
    Entry& entry = m_entries[index];
    entry = Entry{};
    entry.target = target;
    if (target->IsVisible()) {
        entry.startAlpha = target->GetAlpha();
    } else {
        entry.startAlpha = 0;
        target->SetAlpha(0);
    }
    entry.endAlpha = fadeIn ? 255 : 0;
    const uint32_t distance = fadeIn ? 255u - entry.startAlpha : entry.startAlpha;
    // The argument is the time of a whole 0 to 255 fade.
    entry.time = static_cast<uint32_t>(distance * (1.0 / 255.0) * (time == 0 ? 1u : time));
    entry.delay = delay;
    entry.move = move;
    if (move) {
        entry.startX = target->GetX();
        entry.startY = target->GetY();
        entry.endX = x;
        entry.endY = y;
        entry.easing = easing;
    }
    if (!m_running) {
        m_running = 1;
        if (m_busy && g_pfnLowerThreadPriority != nullptr)
            g_pfnLowerThreadPriority();
    }
    return 0;
}

void CSpFadeEffect::Complete()
{
    if (!m_running)
        return;
    for (uint32_t i = 0; i < m_count; ++i) {
        Entry& entry = m_entries[i];
        if (entry.target == nullptr)
            continue;
        entry.target->SetAlpha(255);
        if (entry.endAlpha == 0)
            entry.target->SetVisible(false);
        if (entry.move)
            entry.target->SetPosition(entry.endX, entry.endY);
        entry = Entry{};
    }
    Stop();
}

void CSpFadeEffect::Stop()
{
    m_running = 0;
    if (m_busy && g_pfnRestoreThreadPriority != nullptr)
        g_pfnRestoreThreadPriority();
}

namespace {

// Integer part of (to - from) × f + from, in 64 bits: two far-apart positions cannot overflow.
LONG Between(LONG from, LONG to, double f)
{
    const double value = (static_cast<double>(to) - from) * f + from;
    return static_cast<LONG>(static_cast<int64_t>(value));
}

} // namespace

int32_t CSpFadeEffect::Step(uint32_t now)
{
    if (!m_running)
        return 0;
    bool any = false;
    for (uint32_t i = 0; i < m_count; ++i) {
        Entry& entry = m_entries[i];
        if (entry.target == nullptr)
            continue;
        any = true;
        if (entry.startTime == 0) {
            entry.startTime = now;
            if (entry.delay == 0)
                entry.target->SetVisible(true);
            continue;
        }
        uint32_t elapsed = now - entry.startTime;
        if (entry.delay != 0) {
            if (elapsed <= entry.delay)
                continue;
            entry.startTime += entry.delay;
            elapsed -= entry.delay;
            entry.delay = 0;
            entry.target->SetVisible(true);
        }
        if (elapsed > entry.time)
            elapsed = entry.time;
        const double f = entry.time == 0 ? 1.0 : static_cast<double>(elapsed) / entry.time;
        const int alpha = static_cast<int>((entry.endAlpha - entry.startAlpha) * f + entry.startAlpha);
        entry.target->SetAlpha(static_cast<BYTE>(alpha));
        if (entry.move) {
            const double e = entry.easing;
            double g = f;
            if (e < 0.0)
                g = 1.0 - std::pow(1.0 - f, -e);
            else if (e > 0.0)
                g = std::pow(f, e);
            entry.target->SetPosition(Between(entry.startX, entry.endX, g),
                                      Between(entry.startY, entry.endY, g));
        }
        if (elapsed == entry.time) {
            if (entry.endAlpha == 0) {
                entry.target->SetVisible(false);
                entry.target->SetAlpha(255);
            }
            entry = Entry{};
        }
    }
    if (!any)
        Stop();
    return m_endFlag;
}
