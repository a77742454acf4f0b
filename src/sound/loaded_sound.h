// CLoadedSound: a sound decoded whole into one DirectSound buffer (effects, voices, short loops).
// Open modes: 0 plain; 1 also keeps a copy of the PCM; 2 keeps its level envelope (lip sync,
// meters), read with GetSample and GetLevel.
#pragma once

#include <string>
#include <vector>

#include "sound/sound_buffer.h"

class CDirectSoundBase;

class CLoadedSound : public CSoundBuffer {
public:
    // A non-null device becomes g_pSoundDevice.
    explicit CLoadedSound(CDirectSoundBase* device = nullptr);
    ~CLoadedSound() override;

    // 0 ok; -1 ok without pan and frequency control; 1 no device, name or DirectSound; 2 not
    // found or no decoder; 3 buffer refused; 4 lock failed; 5 nothing decoded; 6 unlock failed;
    // 7 other decoder failure. The same file in the same mode again: 0, nothing changes.
    int Open(const char* name, int mode);
    // A second buffer on the source's samples. 0 ok; 1 no device, source or buffer; 2 refused.
    int OpenCopy(CLoadedSound* source);
    // Reopens a lost named buffer from its file (mode 0) or restores a copy's. 1 no buffer,
    // 0 not lost or restored, else Open's result.
    int RestoreLost();

    bool IsStreamed() override { return false; }
    void Release() override;
    // 1 no buffer, 2 failed, 0 ok.
    int Play() override;
    int PlayLooped() override;
    // 1 no buffer, 2 never started or refused, 3 not playing; 0 ok. Nests.
    int Pause() override;
    // 1 no buffer, 2 not paused, 3 failed; 0 ok.
    int Resume() override;
    // 1 no buffer, 2 refused (the rest still runs); 0 ok.
    int Stop() override;
    uint32_t GetDataBytes() override { return m_dataBytes; }
    uint32_t GetLengthMs() override;
    // 1 no buffer, 2 no format, 3 past the end or refused; 0 ok.
    int SetPositionMs(uint32_t ms) override;
    uint32_t GetPositionMs() override;
    bool IsPlaying(DWORD* outPlay, DWORD* outWrite) override;

    // The kept copy's 8-bit byte or signed 16-bit sample at a byte offset; 0 without a copy or
    // when the sample does not lie wholly inside the data.
    int GetSample(uint32_t offset);
    // The magnitude at a byte offset: scale 0 → 0..255; scale > 0 → relative to the level peak,
    // below scale. 0 without a copy or outside the data.
    uint32_t GetLevel(uint32_t offset, uint32_t scale);

    const char* GetName() const { return m_name.empty() ? nullptr : m_name.c_str(); }
    uint8_t GetPlayState() const { return m_playState; }
    uint8_t GetKeptWidth() const { return m_keptWidth; }
    int GetOpenMode() const { return m_openMode; }
    uint16_t GetLevelPeak() const { return m_levelPeak; }

private:
    int OpenFile(const char* name, int mode, bool sameNameShortcut);
    int PlayAs(bool looped);
    int PlayBuffer(bool looped);

    std::string m_name;
    uint32_t m_dataBytes = 0;
    uint8_t m_playState = 0; // 0 stopped, 1 once, 2 looped
    uint8_t m_positioned = 0;
    uint8_t m_keptWidth = 0;
    int m_openMode = 0;
    uint16_t m_levelPeak = 0;
    std::vector<uint8_t> m_kept;
};
