// Windows multimedia (winmm) of the stand-in: the millisecond clock and timer periods, and the wave
// format record shared by the sound decoders, WAV export and DirectSound. Engine code includes this
// header for them.
#pragma once

#include "winapi/base.h"
#include "winapi/kernel_time.h"

#define WAVE_FORMAT_PCM 1

// In memory as on Windows (packed to 2 bytes, 18 bytes); files write it field by field.
#pragma pack(push, 2)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
using LPWAVEFORMATEX = WAVEFORMATEX*;

// The multimedia joystick calls.
#include "winapi/mmsystem_joystick.h"
