// CSoundBuffer: every playing sound — a DirectSound secondary buffer with a volume on the
// program's own 0..256 scale, pan, frequency, nested pause and a volume fade run as a timed task.
// CLoadedSound decodes a whole file into its buffer; CStreamSound refills a ring from a worker.
#pragma once

#include <cstdint>

#include "platform/lock.h"
#include "platform/timer_manager.h"
#include "winapi/dsound.h"

class CSoundBuffer {
public:
    CSoundBuffer() = default;
    CSoundBuffer(const CSoundBuffer&) = delete;
    CSoundBuffer& operator=(const CSoundBuffer&) = delete;
    // Cancels a running fade and releases the buffer.
    virtual ~CSoundBuffer();

    virtual IDirectSoundBuffer* GetBuffer() { return m_buffer; }
    virtual int32_t GetVolume() { return m_volume; }
    virtual bool IsStreamed() = 0;
    virtual void Release() = 0;
    virtual int Play() = 0;
    virtual int PlayLooped() = 0;
    virtual int Pause() = 0;
    virtual int Resume() = 0;
    virtual int Stop() = 0;
    virtual uint32_t GetDataBytes() = 0;
    virtual uint32_t GetLengthMs() = 0;
    virtual int SetPositionMs(uint32_t ms) = 0;
    virtual uint32_t GetPositionMs() = 0;
    virtual bool IsPlaying(DWORD* outPlay, DWORD* outWrite) = 0;
    // v ≤ 0 stores 0 (-10000); else min(v, 256) with DirectSound volume trunc(2000·log10(v/256)).
    // Stored even without a buffer. 0 ok, 1 DirectSound refused, -1 no buffer.
    virtual int SetVolume(int32_t volume);
    // Unchanged (no clamp). 0 ok, 1 no buffer, 2 refused.
    virtual int SetPan(LONG pan);
    virtual int SetFrequency(DWORD hz);
    // Each 0 = leave: volume + d, pan + d clamped ±10000, frequency + d clamped 100..100000.
    // 0 ok, 1 no buffer, 2 volume, 3 pan, 4 frequency failed.
    virtual int ChangeVolPanFreq(int32_t dVolume, int32_t dPan, int32_t dFrequency);
    // Out pointers may be null; the volume is written even without a buffer. 0 ok, 1 no buffer,
    // 2 pan, 3 frequency query failed.
    virtual int GetVolPanFreq(int32_t* outVolume, LONG* outPan, DWORD* outFrequency);
    // 0 ok, 1 no buffer, 2 refused.
    virtual int GetFormat(int* outChannels, int* outRate, int* outBits);

    // 0 started, 1 no buffer or scheduler, 2 a fade-in runs, 3 resume failed, 4 play failed,
    // 5 no memory, -1 stored volume 0 (plays silent, no task).
    int FadeIn(CTimerManager* scheduler, uint32_t durationMs, bool looped);
    // 0 started, 1 no buffer or scheduler, 2 not playing, 3 a fade-out runs, 4 no memory,
    // -1 stored volume 0 (paused at once, no task).
    int FadeOut(CTimerManager* scheduler, uint32_t durationMs);
    // Cancels a running fade; the volume jumps to the fade's end value.
    void CancelFade();
    uint8_t GetFadeState() const { return m_fadeState; }
    uint32_t GetPauseCount() const { return m_pauseCount; }

protected:
    friend class CBufferFadeTask;
    IDirectSoundBuffer* m_buffer = nullptr;
    int32_t m_volume = 256;
    uint32_t m_pauseCount = 0;
    CLock m_lock;
    uint8_t m_fadeState = 0; // 0 none, 1 fading in, 2 fading out
    CTimerManager* m_fadeScheduler = nullptr;
    CTimedTask* m_fadeTask = nullptr;
};

// The DirectSound volume (hundredths of a decibel) of a 1..256 volume.
LONG SoundVolumeToDb(int32_t volume);
