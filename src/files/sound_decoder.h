// Sound decoders (the decode objects of the SLL family) and the PCM decode streams they hand out.
// A decode stream owns the file it decodes from (one holder of its count) and releases it when it
// is destroyed; the sound system and the WAV export read it one thread at a time.
#pragma once

#include "files/file_stream.h"
#include "files/plugin_record.h"
#include "winapi/mmsystem.h"

class CDecodeStream {
public:
    CDecodeStream() = default;
    CDecodeStream(const CDecodeStream&) = delete;
    CDecodeStream& operator=(const CDecodeStream&) = delete;
    virtual ~CDecodeStream() = default;

    // Length of the sound in milliseconds.
    virtual DWORD GetLength() = 0;
    // PCM bytes of the whole sound.
    virtual DWORD GetTotalBytes() = 0;
    // Moves to ms → 0, 5 at or past the length, 6 the decoder could not seek; clears the end flag.
    virtual int Seek(DWORD ms) = 0;
    // Position in milliseconds.
    virtual DWORD GetPosition() = 0;
    // True once a Read met the end of the sound (until the next Seek).
    virtual bool IsEnd() = 0;
    // Decodes up to bytes of PCM into buffer → bytes written (0 at the end).
    virtual DWORD Read(void* buffer, DWORD bytes) = 0;
    // The PCM format, kept by the stream.
    virtual WAVEFORMATEX* GetFormat() = 0;
};

class CSoundDecoder : public CPluginObject {
public:
    // A decode stream over file (which it then owns), or null when the decoder does not accept the
    // data; outCode (optional, never written when null): 0, or the decoder's own refusal code.
    virtual CDecodeStream* Open(CFileStream* file, int* outCode) = 0;
    virtual int Reserved2() { return -2; }
    virtual int Reserved3() { return -2; }
};
