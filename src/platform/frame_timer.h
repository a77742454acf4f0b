// The frame timer that paces the game's frame loop: at a frame rate on the millisecond clock or on
// the performance counter, or free running (every tick is a frame and the caller paces, e.g. by
// vertical sync). It also measures the frames per second and, when asked, the frames missed.
#pragma once

#include <cstdint>

class CFrameTimer {
public:
    CFrameTimer(int32_t framesPerSecond, bool highResolution);

    // fps < 1 makes every paced tick due with no wait. Always 0.
    uint32_t SetFrameRate(int32_t framesPerSecond, bool highResolution);
    // True when a frame is due; sets the late frames and the wait hint.
    bool Tick();

    void SetFreeRunning(bool on) { m_freeRunning = on ? 1 : 0; }
    void SetCountLateFrames(bool on) { m_countLateFrames = on ? 1 : 0; }
    bool CountsLateFrames() const { return m_countLateFrames != 0; }
    int32_t GetLateFrames() const { return m_lateFrames; }
    int32_t GetMeasuredFps() const { return m_measuredFps; }
    uint32_t GetWaitHint() const { return m_waitHint; }
    // Microseconds until the next paced frame falls due (0 when it is due or free running).
    uint64_t MicrosecondsUntilDue() const;
    uint32_t GetMsPerFrame() const { return m_msPerFrame; }
    bool IsHighResolution() const { return m_highResolution != 0; }

private:
    int32_t m_fps = 0;
    uint8_t m_highResolution = 0;
    uint8_t m_freeRunning = 0;
    uint8_t m_countLateFrames = 0;
    int32_t m_lateFrames = 0;
    int32_t m_measuredFps = 0;
    int32_t m_frameCounter = 0;
    int64_t m_frequency = 0;
    int64_t m_ticksPerFrame = 0;
    int64_t m_lastFrameTicks = 0;
    int64_t m_secondTicks = 0;
    int64_t m_currentTicks = 0;
    int64_t m_halfFrameTicks = 0;
    uint32_t m_msPerFrame = 0;
    uint32_t m_lastFrameMs = 0;
    uint32_t m_secondMs = 0;
    uint32_t m_currentMs = 0;
    uint32_t m_waitHint = 0;
    bool m_hasPrevious = false; // free running: a previous frame time exists
};
