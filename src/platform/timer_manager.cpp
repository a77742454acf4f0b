#include "platform/timer_manager.h"

#include <algorithm>

#include "platform/timer_resolution.h"

CTimerManager* g_pTaskList = nullptr;
CTimerManager* g_pObjectManager = nullptr;

namespace {

// True when `now` has reached `due`, also across the clock's wrap: an unsigned comparison fired
// tasks due just after the wrap at once (and never fired those due just before it).
bool Reached(uint32_t now, uint32_t due)
{
    return static_cast<int32_t>(now - due) >= 0;
}

} // namespace

CTimerManager::~CTimerManager()
{
    std::vector<CTimedTask*> tasks;
    tasks.swap(m_tasks);
    for (CTimedTask* task : tasks)
        delete task; // the destructor clears the owner's pointer
}

uint32_t CTimerManager::Add(CTimedTask* task, uint32_t delay, uint32_t period, uint32_t repeats)
{
    if (!task)
        return 1;
    if (Contains(task))
        return 2;
    task->m_key = task;
    task->m_dueTime = TimerNow() + delay;
    task->m_period = period;
    task->m_repeats = repeats;
    task->m_dead = 0;
    m_tasks.push_back(task);
    return 0;
}

void CTimerManager::Kill(CTimedTask* task)
{
    task->ClearOwner();
    task->m_dead = 1;
    task->OnCancel();
}

bool CTimerManager::Cancel(CTimedTask* task)
{
    for (size_t i = 0; i < m_tasks.size(); ++i) {
        CTimedTask* t = m_tasks[i];
        if (t->m_key == task && !t->m_dead) {
            Kill(t);
            return true;
        }
    }
    return false;
}

void CTimerManager::CancelKind(int32_t kind)
{
    // By index: OnCancel may add tasks.
    for (size_t i = 0; i < m_tasks.size(); ++i) {
        CTimedTask* t = m_tasks[i];
        if (!t->m_dead && t->GetKind() == kind)
            Kill(t);
    }
}

void CTimerManager::CancelAll()
{
    for (size_t i = 0; i < m_tasks.size(); ++i)
        if (!m_tasks[i]->m_dead)
            Kill(m_tasks[i]);
    if (m_running > 0) {
        // Deleting now would delete the task whose Step is running: done at the end of the run.
        m_deleteAllAfterRun = true;
        return;
    }
    std::vector<CTimedTask*> tasks;
    tasks.swap(m_tasks);
    for (CTimedTask* task : tasks)
        delete task;
}

bool CTimerManager::Contains(CTimedTask* task)
{
    return std::find(m_tasks.begin(), m_tasks.end(), task) != m_tasks.end();
}

bool CTimerManager::Reschedule(CTimedTask* task, uint32_t delay)
{
    if (!Contains(task))
        return false;
    task->m_dueTime = TimerNow() + delay;
    return true;
}

bool CTimerManager::PauseTask(CTimedTask* task)
{
    if (!Contains(task))
        return false;
    task->Pause(TimerNow());
    return true;
}

bool CTimerManager::ResumeTask(CTimedTask* task)
{
    if (!Contains(task))
        return false;
    task->Resume(TimerNow());
    return true;
}

void CTimerManager::PauseKind(int32_t kind)
{
    const uint32_t now = TimerNow();
    for (size_t i = 0; i < m_tasks.size(); ++i)
        if (kind == -1 || m_tasks[i]->GetKind() == kind)
            m_tasks[i]->Pause(now);
}

void CTimerManager::ResumeKind(int32_t kind)
{
    const uint32_t now = TimerNow();
    for (size_t i = 0; i < m_tasks.size(); ++i)
        if (kind == -1 || m_tasks[i]->GetKind() == kind)
            m_tasks[i]->Resume(now);
}

CTimedTask* CTimerManager::FindKind(int32_t kind)
{
    for (CTimedTask* t : m_tasks)
        if (!t->m_dead && t->GetKind() == kind)
            return t;
    return nullptr;
}

void CTimerManager::RunDueCatchUp(uint32_t now)
{
    Run(now, true);
}

void CTimerManager::RunDue(uint32_t now)
{
    Run(now, false);
}

void CTimerManager::Run(uint32_t now, bool catchUp)
{
    if (now == 0)
        now = TimerNow();
    ++m_running;
    // By index, reading the list afresh each time: a Step may append tasks (they run in this
    // pass when due) or cancel any task (it is only marked dead here and deleted below).
    for (size_t i = 0; i < m_tasks.size(); ++i) {
        CTimedTask* task = m_tasks[i];
        if (task->m_dead || task->m_pauseDepth > 0 || !Reached(now, task->m_dueTime))
            continue;
        bool finished = false;
        for (;;) {
            if (task->m_dead)
                break;
            if (task->Step(now) != 0) {
                finished = true;
                break;
            }
            if (task->m_repeats != 0 && --task->m_repeats == 0) {
                finished = true;
                break;
            }
            if (task->m_period == 0)
                break;
            task->m_dueTime += task->m_period;
            if (!catchUp) {
                if (Reached(now, task->m_dueTime))
                    task->m_dueTime = now + task->m_period;
                break;
            }
            if (!Reached(now, task->m_dueTime))
                break;
        }
        if (finished && !task->m_dead) {
            task->m_dead = 1; // deleted below, without OnCancel
        }
    }
    --m_running;
    if (m_running == 0) {
        if (m_deleteAllAfterRun) {
            m_deleteAllAfterRun = false;
            std::vector<CTimedTask*> tasks;
            tasks.swap(m_tasks);
            for (CTimedTask* task : tasks)
                delete task;
        } else {
            Sweep();
        }
    }
}

void CTimerManager::Sweep()
{
    // Deleting a task may run code that adds tasks: take the dead ones out first.
    std::vector<CTimedTask*> dead;
    auto keep =
        std::stable_partition(m_tasks.begin(), m_tasks.end(), [](CTimedTask* t) { return !t->m_dead; });
    dead.assign(keep, m_tasks.end());
    m_tasks.erase(keep, m_tasks.end());
    for (CTimedTask* task : dead)
        delete task;
}
