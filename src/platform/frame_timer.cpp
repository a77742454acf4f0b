#include "platform/frame_timer.h"

#include "platform/timer_resolution.h"

namespace {
int64_t Counter()
{
    LARGE_INTEGER c{};
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}
} // namespace

CFrameTimer::CFrameTimer(int32_t framesPerSecond, bool highResolution)
{
    SetFrameRate(framesPerSecond, highResolution);
}

uint32_t CFrameTimer::SetFrameRate(int32_t fps, bool highResolution)
{
    m_hasPrevious = false;
    if (fps < 1) {
        m_highResolution = 0;
        m_msPerFrame = 0;
        m_measuredFps = m_frameCounter = 0;
        m_secondMs = 0;
        m_lastFrameMs = m_currentMs = TimerNow();
        m_fps = fps;
        return 0;
    }
    m_fps = fps;
    if (m_frequency == 0 && highResolution) {
        LARGE_INTEGER f{};
        if (QueryPerformanceFrequency(&f))
            m_frequency = f.QuadPart;
    }
    m_msPerFrame = 1000u / static_cast<uint32_t>(fps);
    m_ticksPerFrame = m_frequency / fps;
    if (highResolution && m_frequency != 0 && m_ticksPerFrame != 0) {
        m_highResolution = 1;
        m_lastFrameTicks = Counter();
        m_secondTicks = 0;
        m_currentTicks = m_lastFrameTicks;
        m_halfFrameTicks = m_ticksPerFrame / 2;
        m_measuredFps = m_frameCounter = 0;
    } else {
        m_highResolution = 0;
        m_lastFrameMs = m_currentMs = TimerNow();
        m_secondMs = 0;
        m_measuredFps = m_frameCounter = 0;
    }
    return 0;
}

bool CFrameTimer::Tick()
{
    m_lateFrames = 0;
    if (m_freeRunning) {
        ++m_frameCounter;
        if (m_highResolution) {
            const int64_t now = Counter();
            m_currentTicks = now;
            if (!m_hasPrevious)
                m_secondTicks = now; // the first frame starts the first measured second
            if (m_countLateFrames && m_ticksPerFrame > 0 && m_hasPrevious) {
                int64_t late = (now - m_lastFrameTicks) / m_ticksPerFrame - 1;
                m_lateFrames = late > 0 ? static_cast<int32_t>(late) : 0;
                m_waitHint = 0;
            }
            m_lastFrameTicks = now;
            if (now - m_secondTicks >= m_frequency) {
                m_measuredFps = m_frameCounter;
                m_frameCounter = 0;
                m_secondTicks = now;
            }
        } else {
            const uint32_t now = TimerNow();
            m_currentMs = now;
            if (!m_hasPrevious)
                m_secondMs = now;
            if (m_countLateFrames && m_msPerFrame > 0 && m_hasPrevious) {
                int64_t late = static_cast<int64_t>((now - m_lastFrameMs) / m_msPerFrame) - 1;
                m_lateFrames = late > 0 ? static_cast<int32_t>(late) : 0;
                m_waitHint = 0;
            }
            m_lastFrameMs = now;
            if (now - m_secondMs >= 1000) {
                m_measuredFps = m_frameCounter;
                m_frameCounter = 0;
                m_secondMs = now;
            }
        }
        m_hasPrevious = true;
        return true;
    }

    if (m_highResolution) {
        const int64_t now = Counter();
        const int64_t elapsed = now - m_lastFrameTicks;
        if (elapsed < m_ticksPerFrame) {
            m_waitHint =
                elapsed >= m_halfFrameTicks
                    ? 0
                    : static_cast<uint32_t>(static_cast<int64_t>(m_msPerFrame) * elapsed / m_ticksPerFrame);
            return false;
        }
        if (m_countLateFrames) {
            m_lateFrames = static_cast<int32_t>(elapsed / m_ticksPerFrame - 1);
            if (m_lateFrames != 0)
                m_waitHint = m_msPerFrame / 2;
        }
        m_lastFrameTicks = now;
        m_secondTicks += elapsed;
        ++m_frameCounter;
        if (m_secondTicks >= m_frequency) {
            m_measuredFps = m_frameCounter;
            m_frameCounter = 0;
            m_secondTicks = 0;
        }
        return true;
    }

    const uint32_t now = TimerNow();
    const uint32_t elapsed = now - m_lastFrameMs;
    if (elapsed < m_msPerFrame) {
        m_waitHint = m_msPerFrame - elapsed;
        return false;
    }
    if (m_countLateFrames && m_msPerFrame != 0) {
        m_lateFrames = static_cast<int32_t>(elapsed / m_msPerFrame) - 1;
        if (m_lateFrames != 0)
            m_waitHint = m_msPerFrame / 2;
    }
    m_lastFrameMs = now;
    ++m_frameCounter;
    m_secondMs += elapsed;
    if (m_secondMs > 999) {
        m_measuredFps = m_frameCounter;
        m_frameCounter = 0;
        m_secondMs = 0;
    }
    return true;
}

uint64_t CFrameTimer::MicrosecondsUntilDue() const
{
    if (m_freeRunning || m_fps < 1)
        return 0;
    if (m_highResolution) {
        const int64_t left = m_lastFrameTicks + m_ticksPerFrame - Counter();
        return left > 0 ? static_cast<uint64_t>((left * 1000000 + m_frequency - 1) / m_frequency) : 0;
    }
    const uint32_t elapsed = TimerNow() - m_lastFrameMs;
    return elapsed < m_msPerFrame ? static_cast<uint64_t>(m_msPerFrame - elapsed) * 1000 : 0;
}
