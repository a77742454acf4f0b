// The scheduler of timed tasks: runs the tasks that are due, pauses, resumes and cancels them by
// object or by kind, and deletes finished and cancelled tasks. Due times are compared by signed
// difference, so the order holds across the 32-bit millisecond clock's wrap (about 49.7 days).
// Tasks may add and cancel tasks (themselves included) from their Step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/timed_task.h"

class CTimerManager {
public:
    CTimerManager() = default;
    // Deletes every listed task (clearing owner pointers) without OnCancel.
    virtual ~CTimerManager();
    CTimerManager(const CTimerManager&) = delete;
    CTimerManager& operator=(const CTimerManager&) = delete;

    // Lists the task (the scheduler then owns it), due `delay` ms from now. 0 ok, 1 null task,
    // 2 already listed.
    virtual uint32_t Add(CTimedTask* task, uint32_t delay, uint32_t period, uint32_t repeats);
    // Cancels the first live listed task with that key: owner pointer cleared, marked dead,
    // OnCancel; deleted on the next run. false when none.
    virtual bool Cancel(CTimedTask* task);
    // Cancel for every live task of the kind.
    virtual void CancelKind(int32_t kind);
    // Cancel for every live task of the kind that accept(task) takes (users of one object).
    template <class Accept>
    void CancelKindIf(int32_t kind, Accept accept)
    {
        // By index: OnCancel may add tasks.
        for (size_t i = 0; i < m_tasks.size(); ++i) {
            CTimedTask* t = m_tasks[i];
            if (!t->m_dead && t->GetKind() == kind && accept(t))
                Kill(t);
        }
    }
    // OnCancel for every live task, then every task is deleted (during a run: at its end).
    virtual void CancelAll();
    virtual bool Contains(CTimedTask* task);
    // Due := now + delay for a listed task; false when not listed.
    virtual bool Reschedule(CTimedTask* task, uint32_t delay);
    // The task's Pause / Resume with now; false when not listed.
    virtual bool PauseTask(CTimedTask* task);
    virtual void PauseKind(int32_t kind); // kind -1: every task
    virtual bool ResumeTask(CTimedTask* task);
    virtual void ResumeKind(int32_t kind); // kind -1: every task
    // Steps each due task, catching up once per missed period. now 0 = read the clock.
    virtual void RunDueCatchUp(uint32_t now);
    // Steps each due task at most once; a task still late afterwards is moved to now + period.
    virtual void RunDue(uint32_t now);

    // First live task of the kind, null when none.
    CTimedTask* FindKind(int32_t kind);
    size_t GetCount() const { return m_tasks.size(); }

private:
    void Run(uint32_t now, bool catchUp);
    void Kill(CTimedTask* task); // owner cleared, dead, OnCancel
    void Sweep();                // deletes dead tasks

    std::vector<CTimedTask*> m_tasks; // insertion order
    int m_running = 0;                // depth of RunDue calls in progress
    bool m_deleteAllAfterRun = false;
};

// The game's two schedulers, published by its device set-up: the task list (fades and other timed
// tasks, run on every pass of the frame loop) and the object manager (effects and animations, run
// once per shown frame). Null before and after the game.
extern CTimerManager* g_pTaskList;
extern CTimerManager* g_pObjectManager;
