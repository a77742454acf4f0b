// CCursorMoveEffect: a timed task that glides the system mouse cursor from where it stands to a
// point of the game screen over a duration, on the eased-time curve; a newer move cancels an
// older one. StartCursorMove is how the script host, the scenario engine and the caption start
// one in the task list, honouring the auto-move setting.
#pragma once

#include <cstdint>

#include "platform/timed_task.h"
#include "platform/timer_manager.h"

class CAppFrame;

constexpr int32_t kCursorMoveKind = 20000;

class CCursorMoveEffect : public CTimedTask {
public:
    CCursorMoveEffect() = default;

    int32_t GetKind() override { return kCursorMoveKind; }
    // 0 moving, 1 finished (landed, or the application went inactive outside mode 2).
    int32_t Step(uint32_t now) override;
    void OnCancel() override { Finish(); }
    // Ends early by the mode: 0 stays, 1 lands while the application is active, 2 lands. 2 when
    // already finished, 1 mode 1 while inactive, else 0.
    int Finish();

    // Mode 0 stop where it is when ended early, 1 land when ended early while active, 2 land and
    // keep moving even while inactive. → 0 running; 1 null manager or application; 2 the manager
    // refused; -1 no task (inactive: mode 2 jumps at once).
    int Setup(CTimerManager* manager, CAppFrame* app, int32_t x, int32_t y, uint32_t duration, double acceleration,
              uint8_t mode);

    uint8_t GetState() const { return m_state; }
    int32_t GetTargetX() const { return static_cast<int32_t>(int64_t{m_startX} + m_deltaX); }
    int32_t GetTargetY() const { return static_cast<int32_t>(int64_t{m_startY} + m_deltaY); }

private:
    uint32_t m_duration = 0;
    uint32_t m_start = 0;
    uint8_t m_state = 0; // 0 not started, 1 running, 2 finished
    CAppFrame* m_app = nullptr;
    int32_t m_deltaX = 0, m_deltaY = 0;
    int32_t m_startX = 0, m_startY = 0;
    double m_acceleration = 0.0;
    uint8_t m_mode = 0;
};

// A move towards (x, y) of the game screen over time ms in g_pTaskList (acceleration 0), through
// g_pAppFrame. → 0 with *outTask (may be null) the task, or no task when the auto-move setting is
// off or (not forced) the cursor stands at the screen's bottom-right pixel; 1 no frame or task
// list, 4 no memory; else Setup's code (no task, *outTask null).
int StartCursorMove(int32_t x, int32_t y, uint32_t time, uint8_t forced, uint8_t mode, CCursorMoveEffect** outTask);
