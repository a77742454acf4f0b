#include "effects/cursor_move.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "display/app_frame.h"
#include "effects/eased_time.h"
#include "winapi/user.h"

namespace {

LONG Clip(int64_t v)
{
    return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

} // namespace

int CCursorMoveEffect::Setup(CTimerManager* manager, CAppFrame* app, int32_t x, int32_t y, uint32_t duration,
                             double acceleration, uint8_t mode)
{
    if (manager == nullptr || app == nullptr)
        return 1;
    POINT target{x, y};
    app->ClientToScreen(&target);
    if (!app->IsActive()) {
        if (mode == 2)
            ::SetCursorPos(target.x, target.y);
        return -1;
    }
    manager->CancelKind(kCursorMoveKind);
    POINT at{0, 0};
    ::GetCursorPos(&at);
    m_startX = at.x;
    m_startY = at.y;
    m_deltaX = Clip(int64_t{target.x} - at.x);
    m_deltaY = Clip(int64_t{target.y} - at.y);
    m_duration = duration;
    m_acceleration = std::isfinite(acceleration) ? acceleration : 0.0;
    m_app = app;
    m_mode = mode;
    m_state = 0;
    return manager->Add(this, 0, 0, 0) != 0 ? 2 : 0;
}

int32_t CCursorMoveEffect::Step(uint32_t now)
{
    if (m_state == 2)
        return 1;
    if (m_state == 0) {
        m_start = now;
        m_state = 1;
    }
    const uint32_t e = std::min(now - m_start, m_duration);
    const bool active = m_app->IsActive();
    if (!active && m_mode != 2)
        return 1;
    // A move of 0 ms used to divide by the duration: it lands at its first step.
    if (m_duration == 0) {
        ::SetCursorPos(GetTargetX(), GetTargetY());
        m_state = 2;
        return 1;
    }
    const int64_t eased = static_cast<int64_t>(std::trunc(EasedTime(e, m_duration, m_acceleration)));
    // 64-bit: delta × e' overflowed 32 bits for long moves over long durations.
    const int64_t d = m_duration;
    ::SetCursorPos(Clip(m_startX + int64_t{m_deltaX} * eased / d), Clip(m_startY + int64_t{m_deltaY} * eased / d));
    if (eased == d) {
        m_state = 2;
        return 1;
    }
    return 0;
}

int CCursorMoveEffect::Finish()
{
    if (m_state == 2)
        return 2;
    m_state = 2;
    if (m_mode == 0)
        return 0;
    if (m_mode == 1 && (m_app == nullptr || !m_app->IsActive()))
        return 1;
    ::SetCursorPos(GetTargetX(), GetTargetY());
    return 0;
}

int StartCursorMove(int32_t x, int32_t y, uint32_t time, uint8_t forced, uint8_t mode, CCursorMoveEffect** outTask)
{
    if (outTask != nullptr)
        *outTask = nullptr;
    CAppFrame* app = g_pAppFrame;
    if (app == nullptr || g_pTaskList == nullptr)
        return 1;
    if (app->m_options.cursorPlacement == 0)
        return 0;
    const CursorPosition& at = app->GetCursorPosition();
    if (!forced && at.x == app->m_options.screenWidth - 1 && at.y == app->m_options.screenHeight - 1)
        return 0;
    auto* task = new (std::nothrow) CCursorMoveEffect;
    if (task == nullptr)
        return 4;
    const int code = task->Setup(g_pTaskList, app, x, y, time, 0.0, mode);
    if (code != 0) {
        delete task;
        return code;
    }
    if (outTask != nullptr)
        *outTask = task;
    return 0;
}
