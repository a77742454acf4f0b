#include "platform/stopwatch.h"

#include <new>

#include "platform/timer_resolution.h"

CStopwatch::CStopwatch() : m_start(0), m_pauseStart(0), m_pauseDepth(0)
{
    Reset();
}

void CStopwatch::Reset()
{
    m_start = TimerNow();
    m_pauseDepth = 0;
}

uint32_t CStopwatch::GetElapsed()
{
    return m_pauseDepth > 0 ? m_pauseStart - m_start : TimerNow() - m_start;
}

void CStopwatch::SetElapsed(uint32_t ms)
{
    m_start = (m_pauseDepth > 0 ? m_pauseStart : TimerNow()) - ms;
}

void CStopwatch::Pause()
{
    if (++m_pauseDepth == 1)
        m_pauseStart = TimerNow();
}

void CStopwatch::Resume()
{
    // An unpaired Resume used to drive the depth negative, so that the next Pause did not pause.
    if (m_pauseDepth <= 0)
        return;
    if (--m_pauseDepth == 0)
        m_start += TimerNow() - m_pauseStart;
}

CTimerSet::~CTimerSet()
{
    Clear();
}

uint32_t CTimerSet::Create(uint16_t count)
{
    Clear();
    if (count == 0)
        return 1;
    m_timers = new (std::nothrow) CStopwatch[count];
    if (!m_timers)
        return 2;
    m_count = count;
    return 0;
}

void CTimerSet::Clear()
{
    delete[] m_timers;
    m_timers = nullptr;
    m_count = 0;
}

bool CTimerSet::ResetTimer(uint32_t i)
{
    if (!m_timers || i >= m_count)
        return false;
    m_timers[i].Reset();
    return true;
}

bool CTimerSet::SetElapsed(uint32_t i, uint32_t ms)
{
    if (!m_timers || i >= m_count)
        return false;
    m_timers[i].SetElapsed(ms);
    return true;
}

bool CTimerSet::PauseTimer(uint32_t i)
{
    if (!m_timers || i >= m_count)
        return false;
    m_timers[i].Pause();
    return true;
}

bool CTimerSet::ResumeTimer(uint32_t i)
{
    if (!m_timers || i >= m_count)
        return false;
    m_timers[i].Resume();
    return true;
}

uint32_t CTimerSet::GetElapsed(uint32_t i)
{
    if (!m_timers || i >= m_count)
        return 0;
    return m_timers[i].GetElapsed();
}

bool CTimerSet::PauseAll()
{
    if (!m_timers)
        return false;
    for (uint16_t i = 0; i < m_count; ++i)
        m_timers[i].Pause();
    m_allPaused = 1;
    return true;
}

bool CTimerSet::ResumeAll()
{
    if (!m_timers)
        return false;
    for (uint16_t i = 0; i < m_count; ++i)
        m_timers[i].Resume();
    m_allPaused = 0;
    return true;
}
