#include "sound/sound_device.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/com_init.h"
#include "sound/loaded_sound.h"
#include "sound/stream_sound.h"
#include "winapi/kernel.h"

CDirectSoundBase* g_pSoundDevice = nullptr;
CSoundDevice* g_pSoundList = nullptr;
SoundDeviceRecord* g_pSoundDeviceList = nullptr;
uint8_t g_bStreamNotify = 0;
uint8_t g_bFreeSoundDeviceList = 1;

CDirectSoundBase::CDirectSoundBase()
{
    m_comReady = ComInitForThread() == 0 ? 1 : 0;
}

CDirectSoundBase::~CDirectSoundBase()
{
    ReleaseDevice();
    if (m_comReady)
        ComUninitForThread();
    if (g_pSoundDevice == this)
        g_pSoundDevice = nullptr;
}

int CDirectSoundBase::CreateDevice(HWND window, bool globalFocus, bool software, const GUID* device)
{
    if (!m_comReady)
        return 1;
    ReleaseDevice();
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound, &object)) || !object)
        return 2;
    m_directSound = static_cast<IDirectSound*>(object);
    if (FAILED(m_directSound->Initialize(device))) {
        ReleaseDevice();
        return 3;
    }
    if (SUCCEEDED(m_directSound->SetCooperativeLevel(window, DSSCL_PRIORITY))) {
        m_level = DSSCL_PRIORITY;
    } else if (SUCCEEDED(m_directSound->SetCooperativeLevel(window, DSSCL_NORMAL))) {
        m_level = DSSCL_NORMAL;
    } else {
        ReleaseDevice();
        return 4;
    }
    m_window = window;
    m_globalFocus = globalFocus ? 1 : 0;
    m_software = software ? 1 : 0;
    // A tenth of a second of 8-bit silence, started just before a buffer stops or pauses.
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    DSBUFFERDESC desc{sizeof(desc), (globalFocus ? DSBCAPS_GLOBALFOCUS : 0u) | (software ? DSBCAPS_LOCSOFTWARE : 0u), 800,
                      0, &format, {}};
    if (FAILED(m_directSound->CreateSoundBuffer(&desc, &m_silence, nullptr))) {
        m_silence = nullptr;
        ReleaseDevice();
        return 5;
    }
    void* p = nullptr;
    DWORD n = 0;
    HRESULT hr = m_silence->Lock(0, 800, &p, &n, nullptr, nullptr, 0);
    if (hr == DSERR_BUFFERLOST) {
        m_silence->Restore();
        hr = m_silence->Lock(0, 800, &p, &n, nullptr, nullptr, 0);
    }
    if (FAILED(hr) || (std::memset(p, 0x80, n), FAILED(m_silence->Unlock(p, n, nullptr, 0)))) {
        ReleaseDevice();
        return 5;
    }
    return 0;
}

int CDirectSoundBase::PlaySilence(IDirectSoundBuffer* buffer)
{
    if (!m_silence || !buffer)
        return 1;
    DWORD status = 0;
    if (SUCCEEDED(buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING))
        m_silence->Play(0, 0, 0);
    return 0;
}

void CDirectSoundBase::ReleaseDevice()
{
    if (m_silence) {
        m_silence->Release();
        m_silence = nullptr;
    }
    if (m_directSound) {
        m_directSound->Release();
        m_directSound = nullptr;
    }
    m_window = nullptr;
    m_level = 0;
}

CSoundDevice::~CSoundDevice()
{
    ClearSounds();
    if (m_primary) {
        m_primary->Release();
        m_primary = nullptr;
    }
    if (g_bFreeSoundDeviceList)
        FreeSoundDeviceList();
    ReleaseDevice();
    if (g_pSoundList == this)
        g_pSoundList = nullptr;
}

int CSoundDevice::SetPrimaryFormat(HWND window, bool globalFocus, bool software, const GUID* device, int channels,
                                   int rateCode, int bits)
{
    int result = 0;
    if (!m_directSound) {
        result = CreateDevice(window, globalFocus, software, device);
        if (result != 0)
            return result;
    }
    if (m_primary) {
        m_primary->Release();
        m_primary = nullptr;
    }
    if (m_level != DSSCL_PRIORITY)
        return -1;
    DSBUFFERDESC desc{sizeof(desc), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    if (FAILED(m_directSound->CreateSoundBuffer(&desc, &m_primary, nullptr))) {
        m_primary = nullptr;
        return 6;
    }
    DWORD rate;
    switch (rateCode) {
    case 8: rate = 8000; break;
    case 11: rate = 11025; break;
    case 22: rate = 22050; break;
    case 44: rate = 44100; break;
    default: rate = static_cast<DWORD>(rateCode); break;
    }
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    if (FAILED(m_primary->SetFormat(&f)))
        return -2;
    return result;
}

// Makes a sound object, opens it and lists it; a failing open (a positive result) deletes it.
template <typename T, typename Open>
int CSoundDevice::AddSound(T** out, int noMemory, Open open)
{
    if (out)
        *out = nullptr;
    auto* sound = new (std::nothrow) T(this);
    if (!sound)
        return noMemory;
    const int result = open(*sound);
    if (result > 0) {
        delete sound;
        return result;
    }
    m_sounds.push_back(sound);
    if (out)
        *out = sound;
    return result;
}

int CSoundDevice::CreateSound(CLoadedSound** out, const char* name, int mode)
{
    return AddSound(out, 8, [&](CLoadedSound& s) { return s.Open(name, mode); });
}

int CSoundDevice::CreateSoundCopy(CLoadedSound** out, CLoadedSound* source)
{
    return AddSound(out, 3, [&](CLoadedSound& s) { return s.OpenCopy(source); });
}

int CSoundDevice::CreateStream(CStreamSound** out, const char* name, const char* loopName)
{
    return AddSound(out, 7, [&](CStreamSound& s) { return s.Open(name, loopName); });
}

int CSoundDevice::DestroySound(CSoundBuffer* sound)
{
    if (!sound)
        return 1;
    auto it = std::find(m_sounds.begin(), m_sounds.end(), sound);
    if (it == m_sounds.end())
        return 2;
    m_sounds.erase(it);
    delete sound;
    return 0;
}

void CSoundDevice::PauseAllSounds()
{
    for (CSoundBuffer* s : m_sounds)
        s->Pause();
}

void CSoundDevice::ResumeAllSounds()
{
    for (CSoundBuffer* s : m_sounds)
        s->Resume();
}

void CSoundDevice::StopAllSounds()
{
    for (CSoundBuffer* s : m_sounds)
        s->Stop();
}

void CSoundDevice::ClearSounds()
{
    for (CSoundBuffer* s : m_sounds)
        delete s;
    m_sounds.clear();
}

void FreeSoundDeviceList()
{
    while (g_pSoundDeviceList) {
        SoundDeviceRecord* next = g_pSoundDeviceList->next;
        delete g_pSoundDeviceList;
        g_pSoundDeviceList = next;
    }
}

namespace {

BOOL CALLBACK AddDeviceRecord(GUID* guid, LPCSTR description, LPCSTR module, LPVOID)
{
    auto* r = new (std::nothrow) SoundDeviceRecord{};
    if (!r)
        return TRUE;
    if (guid) {
        r->guid = *guid;
        r->pGuid = &r->guid;
    }
    r->description = description ? description : "";
    r->module = module ? module : "";
    SoundDeviceRecord** tail = &g_pSoundDeviceList;
    while (*tail)
        tail = &(*tail)->next;
    *tail = r;
    return TRUE;
}

} // namespace

int EnumerateSoundDevices()
{
    FreeSoundDeviceList();
    HMODULE dll = LoadLibraryA("dsound.dll");
    if (!dll)
        return 1;
    using Enumerate = HRESULT(WINAPI*)(LPDSENUMCALLBACKA, LPVOID);
    auto enumerate = reinterpret_cast<Enumerate>(GetProcAddress(dll, "DirectSoundEnumerateA"));
    if (!enumerate) {
        FreeLibrary(dll);
        return 2;
    }
    enumerate(&AddDeviceRecord, nullptr);
    FreeLibrary(dll);
    return g_pSoundDeviceList ? 0 : -1;
}
