// The application's one DirectSound device: the DirectSound object for the game window, the
// primary buffer, a short silent buffer, and the sound list of the objects the system scripts
// make. Published as g_pSoundDevice (for the buffers) and g_pSoundList (for the scripts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/report_sources.h"
#include "winapi/dsound.h"

class CSoundBuffer;
class CLoadedSound;
class CStreamSound;

class CDirectSoundBase {
public:
    // Initialises COM for the constructing thread.
    CDirectSoundBase();
    virtual ~CDirectSoundBase();
    CDirectSoundBase(const CDirectSoundBase&) = delete;
    CDirectSoundBase& operator=(const CDirectSoundBase&) = delete;
    virtual int Reserved() { return 0; }

    // 0 ok; 1 COM not ready; 2 no DirectSound object; 3 Initialize refused; 4 no cooperative
    // level; 5 no silence buffer. Failures release what was made.
    int CreateDevice(HWND window, bool globalFocus, bool software, const GUID* device);
    // Starts the silence buffer when both exist and the buffer plays: 0, else 1.
    int PlaySilence(IDirectSoundBuffer* buffer);
    void ReleaseDevice();

    IDirectSound* GetDirectSound() const { return m_directSound; }
    bool GetGlobalFocus() const { return m_globalFocus != 0; }
    bool GetSoftware() const { return m_software != 0; }
    DWORD GetCooperativeLevel() const { return m_level; }
    // Index 0..4 for thread priorities -2..2; 2 after construction.
    uint8_t GetStreamPriority() const { return m_streamPriority; }
    void SetStreamPriority(uint8_t index) { m_streamPriority = index; }
    IDirectSoundBuffer* GetSilenceBuffer() const { return m_silence; }

protected:
    uint8_t m_comReady = 0;
    uint8_t m_globalFocus = 0;
    uint8_t m_software = 0;
    uint8_t m_streamPriority = 2;
    IDirectSound* m_directSound = nullptr;
    HWND m_window = nullptr;
    DWORD m_level = 0;
    IDirectSoundBuffer* m_silence = nullptr;
};

class CSoundDevice : public CDirectSoundBase {
public:
    CSoundDevice() = default;
    // Deletes the listed sounds, releases the primary buffer and the device, frees the
    // enumerated device list.
    ~CSoundDevice() override;

    // Creates the device first when there is none (its failure is returned). -1 only the normal
    // level; 6 no primary buffer; -2 format refused; 0 ok. Rate codes 8, 11, 22, 44 → 8000,
    // 11025, 22050, 44100 Hz; any other value is Hz.
    int SetPrimaryFormat(HWND window, bool globalFocus, bool software, const GUID* device, int channels, int rateCode,
                         int bits);
    IDirectSoundBuffer* GetPrimaryBuffer() const { return m_primary; }

    // The sound list. Out object null on failure. CreateSound: Open's failure, 8 no memory;
    // CreateSoundCopy: OpenCopy's, 3 no memory; CreateStream: Open's, 7 no memory.
    int CreateSound(CLoadedSound** out, const char* name, int mode);
    int CreateSoundCopy(CLoadedSound** out, CLoadedSound* source);
    int CreateStream(CStreamSound** out, const char* name, const char* loopName);
    // 1 null, 2 not listed, 0 deleted.
    int DestroySound(CSoundBuffer* sound);
    void PauseAllSounds();
    void ResumeAllSounds();
    void StopAllSounds();
    void ClearSounds();
    const std::vector<CSoundBuffer*>& GetSounds() const { return m_sounds; }

private:
    template <typename T, typename Open> int AddSound(T** out, int noMemory, Open open);

    IDirectSoundBuffer* m_primary = nullptr;
    std::vector<CSoundBuffer*> m_sounds;
};

// Frees the old list and enumerates through "dsound.dll". 0 at least one device; -1 none;
// 1 no library; 2 no DirectSoundEnumerateA.
int EnumerateSoundDevices();
void FreeSoundDeviceList();

extern CDirectSoundBase* g_pSoundDevice;
extern CSoundDevice* g_pSoundList;
// The enumerated devices (SoundDeviceRecord, platform/report_sources.h), the primary sound driver
// first; the start-up report reads this same list through sound_device_source.h.
extern SoundDeviceRecord* g_pSoundDeviceList;
// Streams wake their workers by position notifications instead of sleeping.
extern uint8_t g_bStreamNotify;
// The device's destructor frees the enumerated list (on by default).
extern uint8_t g_bFreeSoundDeviceList;
