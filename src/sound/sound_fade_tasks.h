// The gradual changes of the sound manager's music and channels, each a timed task stepped on
// every pass of its scheduler: music to a level, in, out, the cross-fade into another piece, the
// lowering of the music while a voice plays, and the three channel fades. Volumes are the
// manager's 0..100 volumes (the ducking works on the music scale 0..256); elapsed times are
// divided in integers. Each task's finishing routine runs once, also when it is cancelled.
#pragma once

#include "platform/timer_manager.h"
#include "sound/sound_manager.h"

class CSoundFadeTask : public CTimedTask {
public:
    int32_t Step(uint32_t now) override;
    void OnCancel() override { RunFinish(); }

protected:
    CSoundFadeTask(uint32_t duration) : m_duration(duration) {}
    // One step with e = now - start (unsigned); true when finished.
    virtual bool Tick(uint32_t e) = 0;
    virtual void Finish() = 0;
    void RunFinish();
    // value × e / duration in integers, the whole value once e reaches the duration.
    static int32_t Part(int32_t value, uint32_t e, uint32_t duration);

    uint32_t m_duration;
    CSoundManager* m_manager = nullptr;
    uint8_t m_first = 0; // 0 before the first step, 1 running, 2 finished
    uint32_t m_start = 0;
};

class CMusicFadeTask : public CSoundFadeTask {
public:
    CMusicFadeTask(int32_t target, uint32_t duration);
    int32_t GetKind() override { return kMusicFadeKind; }
    // 0 ok, 1 null argument, 2 refused.
    static int Start(CTimerManager* scheduler, CSoundManager* manager, CMusicSlot* slot, int32_t target,
                     uint32_t duration);

private:
    bool Tick(uint32_t e) override;
    void Finish() override;
    CMusicSlot* m_slot = nullptr;
    int32_t m_target;
    int32_t m_startVolume = 0;
    int32_t m_delta = 0;
};

class CMusicFadeInTask : public CSoundFadeTask {
public:
    explicit CMusicFadeInTask(uint32_t duration) : CSoundFadeTask(duration) {}
    int32_t GetKind() override { return kMusicFadeKind; }
    // 0 ok, -1 that piece plays, 1 null argument, 2 the open failed, 3 refused, or PlayMusic's
    // negative answer (-2 inaudible).
    static int Start(CTimerManager* scheduler, CSoundManager* manager, CMusicSlot* slot, const char* main,
                     const char* intro, bool loop, uint32_t duration);

private:
    bool Tick(uint32_t e) override;
    void Finish() override;
    CMusicSlot* m_slot = nullptr;
    int32_t m_target = 0;
};

class CMusicFadeOutTask : public CSoundFadeTask {
public:
    explicit CMusicFadeOutTask(uint32_t duration) : CSoundFadeTask(duration) {}
    int32_t GetKind() override { return kMusicFadeKind; }
    // 0 ok, -1 nothing plays (stopped), 1 null argument, 2 refused.
    static int Start(CTimerManager* scheduler, CSoundManager* manager, CMusicSlot* slot, uint32_t duration);

private:
    bool Tick(uint32_t e) override;
    void Finish() override;
    CMusicSlot* m_slot = nullptr;
    int32_t m_startVolume = 0;
};

class CMusicCrossFadeTask : public CSoundFadeTask {
public:
    // The overlap is limited to the duration; the new piece starts at duration - overlap and the
    // task lasts 2 × duration - overlap.
    CMusicCrossFadeTask(uint32_t duration, uint32_t overlap);
    int32_t GetKind() override { return kMusicCrossFadeKind; }
    // 0 ok, -1 that piece plays, -2 music inaudible (the new piece is kept active), 1 null
    // argument, 2 the open failed, 3 refused. volume: 0..100, negative = the current one.
    static int Start(CTimerManager* scheduler, CSoundManager* manager, const char* main, const char* intro,
                     int32_t volume, uint32_t duration, uint32_t overlap);

private:
    bool Tick(uint32_t e) override;
    void Finish() override;
    uint32_t m_overlap;
    int32_t m_newTarget = 0;
    int32_t m_oldVolume = 0;
    bool m_started = false;
    bool m_oldFading = true;
    CMusicSlot* m_watched = nullptr;
};

class CMusicDuckTask : public CSoundFadeTask {
public:
    CMusicDuckTask() : CSoundFadeTask(0) {}
    int32_t GetKind() override { return kMusicDuckKind; }
    // 0 ok, 1 ratio ≥ 1 or not a number, -1 the channel does not play, -2 no music plays, 2 refused.
    static int Start(CTimerManager* scheduler, CSoundManager* manager, int32_t channel, double ratio);
    uint8_t GetState() const { return m_state; }

protected:
    int32_t Step(uint32_t now) override;

private:
    bool Tick(uint32_t) override { return false; }
    void Finish() override;
    int32_t m_channel = 0;
    int32_t m_normal = 0;
    int32_t m_low = 0;
    int32_t m_drop = 0;
    int32_t m_current = 0;
    uint8_t m_state = 0;
    bool m_marked = false;
};

class CChannelFadeTask : public CSoundFadeTask {
public:
    CChannelFadeTask(int32_t target, uint32_t duration);
    int32_t GetKind() override { return kChannelFadeKind; }
    // 0 ok, 1 null argument or bad channel, 2 no sound in the channel, 3 refused.
    static int Start(CTimerManager* scheduler, CSoundManager* manager, int32_t channel, int32_t target,
                     uint32_t duration);

private:
    bool Tick(uint32_t e) override;
    void Finish() override;
    int32_t m_channel = 0;
    CSoundBuffer* m_buffer = nullptr;
    int32_t m_target;
    int32_t m_startVolume = 0;
    int32_t m_delta = 0;
};

class CChannelFadeInTask : public CSoundFadeTask {
public:
    explicit CChannelFadeInTask(uint32_t duration) : CSoundFadeTask(duration) {}
    int32_t GetKind() override { return kChannelFadeKind; }
    // 0 ok, 1 null argument or bad channel, 2 the sound did not open, 3 no sound, 4 the start
    // failed, 5 refused, or StartChannel's negative answer (-1 kind disabled).
    static int Start(CTimerManager* scheduler, CSoundManager* manager, const char* name, int32_t channel,
                     bool looped, uint32_t duration);

private:
    bool Tick(uint32_t e) override;
    void Finish() override;
    int32_t m_channel = 0;
    CSoundBuffer* m_buffer = nullptr;
    int32_t m_target = 0;
};

class CChannelFadeOutTask : public CSoundFadeTask {
public:
    explicit CChannelFadeOutTask(uint32_t duration) : CSoundFadeTask(duration) {}
    int32_t GetKind() override { return kChannelFadeKind; }
    // 0 ok, -1 not playing (stopped), 1 null argument or bad channel, 2 no sound, 3 refused.
    static int Start(CTimerManager* scheduler, CSoundManager* manager, int32_t channel, uint32_t duration);

private:
    bool Tick(uint32_t e) override;
    void Finish() override;
    int32_t m_channel = 0;
    CSoundBuffer* m_buffer = nullptr;
    int32_t m_startVolume = 0;
};
