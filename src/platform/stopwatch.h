// Pausable stopwatches on the program's millisecond clock, and the set of stopwatches the scripts
// use. Pause and Resume nest; time spent paused does not count.
#pragma once

#include <cstdint>

class CStopwatchBase {
public:
    virtual ~CStopwatchBase() = default;
    virtual void Reset() = 0;
    virtual uint32_t GetElapsed() = 0;
    virtual void SetElapsed(uint32_t ms) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
};

class CStopwatch : public CStopwatchBase {
public:
    CStopwatch();
    // Starts again from 0, not paused.
    void Reset() override;
    // Milliseconds since the start, without the paused time (frozen while paused).
    uint32_t GetElapsed() override;
    void SetElapsed(uint32_t ms) override;
    void Pause() override;
    // Ends one pause level; a Resume without a Pause does nothing.
    void Resume() override;

private:
    uint32_t m_start;
    uint32_t m_pauseStart;
    int32_t m_pauseDepth;
};

class CTimerSet {
public:
    CTimerSet() = default;
    ~CTimerSet();
    CTimerSet(const CTimerSet&) = delete;
    CTimerSet& operator=(const CTimerSet&) = delete;

    // Replaces the set by `count` fresh stopwatches: 0 ok, 1 count 0 (the set is then empty),
    // 2 no memory.
    uint32_t Create(uint16_t count);
    void Clear();
    // false when there is no set or i >= count.
    bool ResetTimer(uint32_t i);
    bool SetElapsed(uint32_t i, uint32_t ms);
    bool PauseTimer(uint32_t i);
    bool ResumeTimer(uint32_t i);
    // 0 out of range.
    uint32_t GetElapsed(uint32_t i);
    // false without a set.
    bool PauseAll();
    bool ResumeAll();

    uint16_t GetCount() const { return m_count; }
    bool IsAllPaused() const { return m_allPaused != 0; }

private:
    CStopwatch* m_timers = nullptr;
    uint16_t m_count = 0;
    uint8_t m_allPaused = 0;
};
