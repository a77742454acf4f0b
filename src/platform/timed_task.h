// The root of all timed tasks (effects, fades, animations, cursor moves): due time, period, repeat
// count and pause depth, stepped by a CTimerManager. An owner may give the task the address of its
// own pointer to the task; the task writes null there when it is cancelled or destroyed, so the
// owner can tell that its task is gone.
#pragma once

#include <cstdint>

class CTimerManager;

class CTimedTask {
public:
    virtual ~CTimedTask();
    CTimedTask(const CTimedTask&) = delete;
    CTimedTask& operator=(const CTimedTask&) = delete;

    virtual int32_t GetKind() = 0;
    // One step at time `now`; non-zero when the task is finished.
    virtual int32_t Step(uint32_t now) = 0;
    // Called once when the task is cancelled (not when it finishes or the scheduler is destroyed).
    virtual void OnCancel() {}
    // Pause levels nest; returns the new depth. The first level records the pause start.
    virtual int32_t Pause(uint32_t now);
    // Ends one level; the last one moves the due time later by the time spent paused. A Resume
    // without a Pause does nothing.
    virtual void Resume(uint32_t now);
    // Called by Resume when the last level ends, with the time spent paused (tasks that keep
    // their own clock move it by that much).
    virtual void OnResumed(uint32_t /*pausedFor*/) {}

    // The owner's pointer to this task, nulled on cancel and destruction (null = none).
    template <typename T> void SetOwnerSlot(T** slot)
    {
        m_ownerSlot = slot;
        m_clearOwner = nullptr;
        if (slot)
            m_clearOwner = [](void* p) { *static_cast<T**>(p) = nullptr; };
    }

    uint32_t GetDueTime() const { return m_dueTime; }
    uint32_t GetPeriod() const { return m_period; }
    uint32_t GetRemainingRepeats() const { return m_repeats; }
    bool IsDead() const { return m_dead != 0; }
    bool IsPaused() const { return m_pauseDepth > 0; }
    int32_t GetPauseDepth() const { return m_pauseDepth; }

protected:
    CTimedTask() = default;
    // Clears the owner's pointer and forgets it.
    void ClearOwner();

private:
    friend class CTimerManager;
    const void* m_key = nullptr; // the task itself once added to a scheduler
    uint32_t m_dueTime = 0;
    uint32_t m_period = 0;  // 0 = stepped on every run once due
    uint32_t m_repeats = 0; // 0 = unlimited
    uint8_t m_dead = 0;
    int32_t m_pauseDepth = 0;
    uint32_t m_pauseStart = 0;
    void* m_ownerSlot = nullptr;
    void (*m_clearOwner)(void*) = nullptr;
};
