// CStreamSound: a long sound (music above all) played through a DirectSound ring of four seconds
// that a worker thread refills while it plays. An intro part plays once and an optional loop part
// repeats. The worker wakes on position notifications (g_bStreamNotify) or sleeps until the play
// cursor reaches the next eighth of the ring.
#pragma once

#include "files/sound_decoder.h"
#include "platform/worker_thread.h"
#include "sound/sound_buffer.h"

class CDirectSoundBase;

class CStreamSound : public CSoundBuffer {
public:
    // A non-null device becomes g_pSoundDevice.
    explicit CStreamSound(CDirectSoundBase* device = nullptr);
    ~CStreamSound() override;

    // 0 ok; -1 ok without pan and frequency control; with notifications 2 less when the notify
    // interface or event is missing, 4 less when the positions were refused; 1 no device, name or
    // DirectSound; 2 the intro failed or has no usable format; 3 the loop part failed; 4 the loop
    // part's byte rate differs; 5 buffer refused; 6 other decoder failure.
    int Open(const char* name, const char* loopName);

    bool IsStreamed() override { return true; }
    void Release() override;
    // 0 ok; 1 no buffer; 2 lock failed; 3 decoder gave more than asked; 4 unlock failed; 5 play
    // failed; 6 the worker did not start.
    int Play() override;
    int PlayLooped() override;
    // 1 no buffer, 3 not playing, 2 refused; 0 ok. Nests.
    int Pause() override;
    // 1 no buffer, 2 not paused, 3 failed; 0 ok.
    int Resume() override;
    // 1 no buffer; 2 refused; 0 ok. Waits for the worker to end.
    int Stop() override;
    uint32_t GetDataBytes() override;
    uint32_t GetLengthMs() override;
    // 1 no intro, 3 seek refused, 4 restart failed; 0 ok.
    int SetPositionMs(uint32_t ms) override;
    // 0xFFFFFFFF without intro.
    uint32_t GetPositionMs() override;
    // The cursors the worker last saw, and whether the buffer plays.
    bool IsPlaying(DWORD* outPlay, DWORD* outWrite) override;
    int SetVolume(int32_t volume) override;

    bool IsLooping() const { return m_looping != 0; }
    bool IsNotifying() const { return m_notifying != 0; }
    uint32_t GetRingSize() const { return m_ringSize; }
    bool IsWorkerRunning() { return m_worker.IsRunning(); }

private:
    int Start(bool looped);
    // One refill pass: -1 nothing moved, 0 wait, 1 the source ended, 2 lock, 3 memory, 4 unlock.
    int Refill(CDecodeStream* source, int mode);
    // Bookkeeping of a worker pass: played moves with the play cursor (whole laps added when the
    // clock says the worker was held up for longer than the ring lasts).
    void Advance(bool wrap, uint32_t total);
    void StopPart(bool cancelFade);
    void WorkerLoop();
    void WorkerSingle();
    void WorkerIntroLoop();
    void Wait();
    DWORD Silence() const;
    void DropStreams();

    CDecodeStream* m_intro = nullptr;
    CDecodeStream* m_loop = nullptr;
    uint32_t m_oneSecond = 0;
    uint32_t m_ringSize = 0;
    uint32_t m_played = 0;
    uint8_t m_looping = 0;
    uint8_t m_notifying = 0;
    HANDLE m_notifyEvent = nullptr;
    DSBPOSITIONNOTIFY m_positions[5] = {};
    IDirectSoundNotify* m_notify = nullptr;
    CWorkerThread m_worker;
    uint32_t m_lastWrite = 0;
    uint32_t m_fillOffset = 0;
    uint32_t m_pending = 0;
    uint32_t m_lastPlay = 0;
    uint32_t m_lastPassTime = 0;
    bool m_pausedSincePass = false;
    uint16_t m_blockAlign = 1;
    uint16_t m_bits = 16;
};
