#include "platform/timed_task.h"

#include "platform/object_lifetime.h"

CTimedTask::~CTimedTask()
{
    NotifyObjectDestroyed(this);
    ClearOwner();
}

void CTimedTask::ClearOwner()
{
    if (m_ownerSlot && m_clearOwner)
        m_clearOwner(m_ownerSlot);
    m_ownerSlot = nullptr;
    m_clearOwner = nullptr;
}

int32_t CTimedTask::Pause(uint32_t now)
{
    if (m_pauseDepth == 0)
        m_pauseStart = now;
    return ++m_pauseDepth;
}

void CTimedTask::Resume(uint32_t now)
{
    // An unpaired Resume used to drive the depth negative, so that the next Pause did not pause.
    if (m_pauseDepth <= 0)
        return;
    if (--m_pauseDepth == 0) {
        m_dueTime += now - m_pauseStart;
        OnResumed(now - m_pauseStart);
    }
}
