#include "platform/event.h"

CEvent::CEvent() : m_handle(CreateEventA(nullptr, FALSE, FALSE, nullptr)), m_set(0) {}

CEvent::~CEvent()
{
    if (m_handle)
        CloseHandle(m_handle);
}

void CEvent::Set()
{
    // The flag first: a thread woken by the signal must already see it (a stop request seen
    // through WaitStop must make IsRunning false).
    m_set.store(1);
    if (m_handle)
        SetEvent(m_handle);
}

void CEvent::Reset()
{
    if (m_handle)
        ResetEvent(m_handle);
    m_set.store(0);
}

uint32_t CEvent::Wait(DWORD ms)
{
    if (!m_handle)
        return 2;
    switch (WaitForSingleObject(m_handle, ms)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        return 0;
    case WAIT_TIMEOUT:
        return 1;
    default:
        return 2;
    }
}

HANDLE CEvent::GetHandle()
{
    return m_handle;
}

bool CEvent::IsSet()
{
    return m_set.load() != 0;
}
