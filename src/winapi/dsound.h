// DirectSound of the Windows stand-in: the DirectSound object made by CoCreateInstance, secondary
// buffers mixed in software by one mixer per device (integer gain law, cubic resampling), the
// primary buffer that sets the output format, position notifications, and "dsound.dll" as a
// built-in module with DirectSoundEnumerateA. Output goes to SDL audio, or on the headless host
// into a recording that tests read (and TESSARO_AUDIO_WAV=FILE receives as it is mixed).
#pragma once

#include <cstdint>
#include <vector>

#include "winapi/base.h"
#include "winapi/com.h"
#include "winapi/mmsystem.h"


#define MAKE_DSHRESULT(code) static_cast<HRESULT>(0x88780000u | static_cast<DWORD>(code))
#define DS_OK S_OK
#define DSERR_CONTROLUNAVAIL MAKE_DSHRESULT(30)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL MAKE_DSHRESULT(50)
#define DSERR_PRIOLEVELNEEDED MAKE_DSHRESULT(70)
#define DSERR_BADFORMAT MAKE_DSHRESULT(100)
#define DSERR_NODRIVER MAKE_DSHRESULT(120)
#define DSERR_BUFFERLOST MAKE_DSHRESULT(150)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_NOINTERFACE E_NOINTERFACE

#define DSSCL_NORMAL 1u
#define DSSCL_PRIORITY 2u

#define DSBCAPS_PRIMARYBUFFER 0x00000001u
#define DSBCAPS_STATIC 0x00000002u
#define DSBCAPS_LOCHARDWARE 0x00000004u
#define DSBCAPS_LOCSOFTWARE 0x00000008u
#define DSBCAPS_CTRLFREQUENCY 0x00000020u
#define DSBCAPS_CTRLPAN 0x00000040u
#define DSBCAPS_CTRLVOLUME 0x00000080u
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100u
#define DSBCAPS_STICKYFOCUS 0x00004000u
#define DSBCAPS_GLOBALFOCUS 0x00008000u
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000u

#define DSBPLAY_LOOPING 0x00000001u

#define DSBSTATUS_PLAYING 0x00000001u
#define DSBSTATUS_BUFFERLOST 0x00000002u
#define DSBSTATUS_LOOPING 0x00000004u

#define DSBLOCK_FROMWRITECURSOR 0x00000001u
#define DSBLOCK_ENTIREBUFFER 0x00000002u

#define DSBPN_OFFSETSTOP 0xFFFFFFFFu

#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000
#define DSBFREQUENCY_ORIGINAL 0u
#define DSBFREQUENCY_MIN 100u
#define DSBFREQUENCY_MAX 100000u
#define DSBSIZE_MIN 4u
#define DSBSIZE_MAX 0x0FFFFFFFu

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes; // 0 for the primary buffer
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat; // null for the primary buffer
    GUID guid3DAlgorithm;
};
using LPDSBUFFERDESC = DSBUFFERDESC*;
using LPCDSBUFFERDESC = const DSBUFFERDESC*;

struct DSBPOSITIONNOTIFY {
    DWORD dwOffset; // a byte offset in the buffer, or DSBPN_OFFSETSTOP
    HANDLE hEventNotify;
};
using LPCDSBPOSITIONNOTIFY = const DSBPOSITIONNOTIFY*;

extern const CLSID CLSID_DirectSound;
extern const IID IID_IDirectSound;
extern const IID IID_IDirectSoundBuffer;
extern const IID IID_IDirectSoundNotify;

// A secondary or primary buffer. Every method answers DS_OK or a DSERR_ code.
struct IDirectSoundBuffer : IUnknown {
    // Play = the next byte the mixer takes; write = play + one mixer period and a margin. Either
    // pointer may be null.
    virtual HRESULT GetCurrentPosition(LPDWORD play, LPDWORD write) = 0;
    // Copies up to `size` bytes of the format (18 for a whole WAVEFORMATEX); `written` gets the
    // count. Both may be null except that one of format/written must be given.
    virtual HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, LPDWORD written) = 0;
    virtual HRESULT GetVolume(LPLONG volume) = 0;
    virtual HRESULT GetPan(LPLONG pan) = 0;
    virtual HRESULT GetFrequency(LPDWORD frequency) = 0;
    virtual HRESULT GetStatus(LPDWORD status) = 0;
    // Two regions when the range wraps past the end (the second null/0 otherwise); INVALIDPARAM
    // past the size.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2, LPDWORD bytes2,
                         DWORD flags) = 0;
    // A playing buffer only takes the new loop flag.
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    // Rounded down to the block; also while playing.
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    // Primary buffer only (needs DSSCL_PRIORITY): the output takes the rate and channels.
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;   // -10000..0, needs DSBCAPS_CTRLVOLUME
    virtual HRESULT SetPan(LONG pan) = 0;         // -10000..10000, needs DSBCAPS_CTRLPAN
    virtual HRESULT SetFrequency(DWORD hz) = 0;   // 100..100000 or 0 = the format's rate
    // Keeps the position.
    virtual HRESULT Stop() = 0;
    // INVALIDPARAM for pointers that Lock did not give.
    virtual HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) = 0;
    virtual HRESULT Restore() = 0;

protected:
    ~IDirectSoundBuffer() = default;
};
using LPDIRECTSOUNDBUFFER = IDirectSoundBuffer*;

// From IDirectSoundBuffer::QueryInterface of a buffer made with DSBCAPS_CTRLPOSITIONNOTIFY.
struct IDirectSoundNotify : IUnknown {
    // Replaces the positions; INVALIDCALL while the buffer plays, INVALIDPARAM for an offset
    // past the size.
    virtual HRESULT SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions) = 0;

protected:
    ~IDirectSoundNotify() = default;
};
using LPDIRECTSOUNDNOTIFY = IDirectSoundNotify*;

struct IDirectSound : IUnknown {
    virtual HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** out, LPUNKNOWN outer) = 0;
    // A buffer on the same samples; volume, pan, frequency, position and state are its own.
    virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* source, IDirectSoundBuffer** out) = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD level) = 0;
    // Opens the output: null = the primary driver, else a GUID DirectSoundEnumerateA gave.
    // NODRIVER for an unknown GUID or when no output opens.
    virtual HRESULT Initialize(const GUID* device) = 0;

protected:
    ~IDirectSound() = default;
};
using LPDIRECTSOUND = IDirectSound*;

// CoCreateInstance (winapi/com.h) serves CLSID_DirectSound with IID_IDirectSound only: an
// uninitialised object, E_NOINTERFACE for another interface.

using LPDSENUMCALLBACKA = BOOL(CALLBACK*)(GUID* guid, LPCSTR description, LPCSTR module, LPVOID context);
// "Primary Sound Driver" (null GUID), then each host output with a GUID derived from its name.
HRESULT WINAPI DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);

namespace winapi {

// Test switches of DirectSound; all off by default.
struct DsoundSwitches {
    bool refuseCreateBuffer = false; // CreateSoundBuffer answers DSERR_OUTOFMEMORY
    bool normalOnly = false;         // SetCooperativeLevel grants only DSSCL_NORMAL
    bool failCoCreate = false;       // CoCreateInstance fails
    bool failInitialize = false;     // Initialize answers DSERR_NODRIVER
    bool refuseControls = false;     // CreateSoundBuffer refuses pan and frequency control
};
DsoundSwitches& Dsound();

// Where the devices send their mix: Auto = the recording on the headless host, SDL elsewhere.
enum class DsoundOutput { Auto, Recorded, Sdl };
void SetDsoundOutput(DsoundOutput output);

// Marks a buffer lost: GetStatus reports DSBSTATUS_BUFFERLOST; Lock and Play answer
// DSERR_BUFFERLOST until Restore.
void DsoundMarkLost(IDirectSoundBuffer* buffer);
// Takes the host output away from every device / gives it back (device loss). While it is gone
// the mix goes on (cursors move, one-shots end) but nothing is heard or recorded.
void DsoundDropOutput();
void DsoundReturnOutput();

// The recorded mix of the newest device (interleaved 16-bit frames at its output format); the
// recording of the last released device when none is alive.
struct DsoundRecording {
    DWORD rate = 0;
    WORD channels = 0;
    std::vector<int16_t> samples;
};
DsoundRecording DsoundRecorded();
// Forgets what was recorded so far.
void DsoundClearRecorded();
// Whether devices opened from now on keep their mix in memory for DsoundRecorded (on by default,
// for tests; the engine turns it off: TESSARO_AUDIO_WAV streams the mix to its file either way).
void DsoundKeepRecording(bool keep);

} // namespace winapi
