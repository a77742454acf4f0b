#include "platform/lock.h"

CLock::CLock() : m_owner(0xFFFFFFFFu), m_depth(0)
{
    InitializeCriticalSection(&m_section);
}

CLock::~CLock()
{
    DeleteCriticalSection(&m_section);
}

int32_t CLock::Lock()
{
    EnterCriticalSection(&m_section);
    m_owner.store(GetCurrentThreadId());
    return ++m_depth;
}

void CLock::Unlock()
{
    if (--m_depth == 0)
        m_owner.store(0xFFFFFFFFu);
    LeaveCriticalSection(&m_section);
}

bool CLock::IsOwnedByCurrentThread()
{
    return m_owner.load() == GetCurrentThreadId();
}

CScopedLock::CScopedLock(CLock* lock) : m_lock(lock), m_levels(0)
{
    Lock();
}

CScopedLock::~CScopedLock()
{
    while (m_levels > 0)
        Unlock();
}

void CScopedLock::Lock()
{
    if (!m_lock)
        return;
    m_lock->Lock();
    ++m_levels;
}

void CScopedLock::Unlock()
{
    if (m_levels <= 0 || !m_lock)
        return;
    --m_levels;
    m_lock->Unlock();
}
