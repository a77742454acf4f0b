// CSoundManager: what the scripts and the scenario engine play sound with — background music on
// two slots (so one piece can cross-fade into the next), numbered channels for effects and voices,
// master and voice volumes, per-kind enable switches, and saving all of it with the game. Fades,
// cross-fades and voice ducking are timed tasks (sound_fade_tasks.h) in the owner's scheduler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/timer_manager.h"
#include "sound/loaded_sound.h"
#include "sound/stream_sound.h"

struct CMusicSlot {
    CStreamSound stream;
    std::string main;  // the part that loops; empty = none
    std::string intro; // empty = none
    int32_t volume = 100;
    uint32_t pauseCount = 0;
    uint8_t loop = 0;
};

struct CSoundChannel {
    CSoundBuffer* current = nullptr; // &stream, &loaded or null
    CStreamSound stream;
    std::string streamName; // set while the channel plays streamed
    CLoadedSound loaded;
    int32_t volume = 100;   // 0..100
    int32_t volume2 = 256;  // 0..256
    LONG pan = 0;
    uint8_t state = 0;      // 0 stopped, 1 started once, 2 started looped
    uint8_t fadeFlag = 0;
    uint8_t kind = 1;       // bits 1, 2, 4
    CTimedTask* fadeTask = nullptr;
};

// Task kinds of the music and channel fades.
enum : int32_t {
    kMusicFadeKind = 10000,
    kMusicCrossFadeKind = 10001,
    kMusicReservedKind = 10002,
    kMusicDuckKind = 10003,
    kChannelFadeKind = 10004,
};

class CSoundManager {
public:
    CSoundManager();
    // Cancels the music and ducking tasks, destroys the channels and stops both music slots.
    virtual ~CSoundManager();
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    // The save interface. Load: 0 ok, 1 null cursor, 2 short or impossible data (nothing
    // changed). Both move the cursor past what they read or wrote.
    virtual uint32_t GetSaveSize();
    virtual int Save(uint8_t** cursor);
    virtual int Load(const uint8_t** cursor, size_t size);

    void SetTaskScheduler(CTimerManager* scheduler) { m_scheduler = scheduler; }
    CTimerManager* GetTaskScheduler() const { return m_scheduler; }

    // Music. PlayMusic: 0 playing, -1 that piece already plays, -2 music inaudible (kept for
    // later), 1 no name, else the stream's open failure.
    int PlayMusic(const char* main, const char* intro, bool loop);
    void StopMusic();
    void PauseMusic();
    void ResumeMusic();
    void SwapMusicSlots();
    bool IsMusicPlaying();
    // volume 0..100 or -1 keep; scale 0..256 or -1 keep; cancelDucking cancels the ducking task
    // before a given scale is stored.
    void SetMusicVolume(int32_t volume, int32_t scale, bool cancelDucking);
    void SetMusicPan(LONG pan);
    // → the open result when it restarts the music, else 0.
    int EnableMusic(uint8_t value, bool force);
    void SetMasterVolume(int32_t volume, bool loopsOnly);
    void SetVoiceMasterVolume(int32_t volume);
    void SetEnableMask(uint8_t mask, bool keepOneShots);

    // Channels (index 0..count-1; a bad index gives 1 or nothing).
    // 0 ok, 1 n below 1 (the channels are kept).
    int SetChannelCount(int32_t n);
    // 0 ok, 1 bad index or no name, 2 the open failed.
    int SetChannelSound(int32_t index, const char* name, int mode, bool streamed);
    void ReleaseChannel(int32_t index);
    // 0 started, -1 the kind is disabled (the request is kept), c + 1 when playing failed with c.
    int StartChannel(int32_t index, bool looped);
    void StopChannel(int32_t index);
    int SetChannelVolume(int32_t index, int32_t volume, int32_t volume2);
    void SetChannelPan(int32_t index, LONG pan);
    // 0 ok, 1 bad index, 2 no kind bit.
    int SetChannelKind(int32_t index, uint8_t kind);
    void SetKindEnabled(uint8_t value, uint8_t kinds, bool keepOneShots, bool force);
    void SetKindVolume(int32_t volume2, bool loopsOnly, uint8_t kinds);
    CSoundBuffer* GetChannel(int32_t index);
    CSoundChannel* GetChannelRecord(int32_t index);
    bool IsChannelPlaying(int32_t index);
    uint8_t GetChannelFadeFlag(int32_t index);
    void SetChannelFadeFlag(int32_t index, uint8_t flag);
    // See CMusicDuckTask::Start.
    int StartVoiceDucking(CTimerManager* scheduler, int32_t channel, double ratio);
    void CancelDucking();

    // State the fade tasks and tests read.
    CMusicSlot* GetActiveSlot() { return m_active; }
    CMusicSlot* GetOtherSlot() { return m_active == &m_slots[0] ? &m_slots[1] : &m_slots[0]; }
    int32_t GetMusicScale() const { return m_musicScale; }
    LONG GetMusicPan() const { return m_musicPan; }
    int32_t GetMasterVolume() const { return m_master; }
    int32_t GetChannelCount() const { return static_cast<int32_t>(m_channels.size()); }
    bool IsMusicAudible() const { return (m_musicEnabled & m_masterMask) != 0; }
    uint8_t GetKindEnabled(uint8_t kind) const;
    uint8_t GetMasterMask() const { return m_masterMask; }
    uint8_t GetMusicEnabled() const { return m_musicEnabled; }
    int32_t GetVoiceMasterVolume() const { return m_voiceMaster; }
    uint8_t m_musicFadeState = 0; // 0 none, 1 to a level, 2 in, 3 out, 4 cross-fade
    int32_t m_defaultVolume1 = 256;
    int32_t m_defaultVolume2 = -1;
    int32_t m_defaultVolume4 = -1;
    CLock& GetLock() { return m_lock; }

    // Opens the active slot's stream with its names ((intro, main) or (main)); a negative open
    // result counts as 0.
    int OpenActiveSlot();
    // Stops the active slot (stream released, names cleared); cancelTasks also cancels the music
    // tasks, which the cross-fade must not do to itself.
    void StopActiveMusic(bool cancelTasks);
    void ApplyMusicVolume();
    void ApplyChannelVolume(CSoundChannel& c);

private:
    void CancelMusicTasks();
    void CancelChannelFade(CSoundChannel& c);

    int32_t m_master = 256;
    int32_t m_voiceMaster = 256;
    CMusicSlot m_slots[2];
    CMusicSlot* m_active = &m_slots[0];
    int32_t m_musicScale = 256;
    LONG m_musicPan = 0;
    uint32_t m_activeIndex = 0;
    std::vector<std::unique_ptr<CSoundChannel>> m_channels;
    uint8_t m_masterMask = 1;
    uint8_t m_musicEnabled = 1;
    uint8_t m_kind1 = 1;
    uint8_t m_kind2 = 1;
    uint8_t m_kind4 = 1;
    CTimerManager* m_scheduler = nullptr;
    CTimerManager* m_duckScheduler = nullptr;
    CLock m_lock;
};

// True when two names are equal ignoring ASCII case (Shift-JIS trail bytes never folded).
bool SameSoundName(const std::string& a, const char* b);
