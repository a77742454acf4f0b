// COggDecoder: the built-in Ogg Vorbis sound decoder (SLL type 2, "OGG", "Ogg Vorbis format"). It
// decodes nothing itself: it drives the "wuvorbis.dll" library's file interface, which reads the
// compressed data through the engine's CFileStream by callbacks. Each sound is a COggStream of
// 16-bit signed little-endian PCM.
#pragma once

#include <cstdint>

#include "files/sound_decoder.h"
#include "winapi/wuvorbis.h"

class CSllManager;

// The library's entry points, looked up once by the decoder; each stream keeps its own copy.
struct COggLibrary {
    WuQuerySizeFunc querySize;
    WuOvClearFunc clear;
    WuOvOpenCallbacksFunc openCallbacks;
    WuOvSeekableFunc seekable;
    WuOvPcmTotalFunc pcmTotal;
    WuOvTimeTotalFunc timeTotal;
    WuOvRawSeekFunc rawSeek;
    WuOvTimeSeekFunc timeSeek;
    WuOvRawTellFunc rawTell;
    WuOvPcmTellFunc pcmTell;
    WuOvTimeTellFunc timeTell;
    WuOvInfoFunc info;
    WuOvReadFunc read;
    WuSetCpuTypeFunc setCpuType;
    WuDetectCpuFunc detectCpu;
};

class COggStream : public CDecodeStream {
public:
    // Room for the library's per-file record.
    static constexpr size_t kStateSize = 960;

    explicit COggStream(const COggLibrary& library);
    // The library's clear call on the state, then the file released (when still held).
    ~COggStream() override;

    // Opens file through the library → 0 (the stream holds file), 1 not Ogg Vorbis, 2 not seekable
    // (the file is then forgotten and stays the caller's).
    int OpenFile(CFileStream* file);

    DWORD GetLength() override { return m_length; }
    DWORD GetTotalBytes() override { return m_totalBytes; }
    // → 0, 5 at or past the length (except 0, which always rewinds to the first sample), 6 the
    // library failed.
    int Seek(DWORD ms) override;
    DWORD GetPosition() override;
    bool IsEnd() override { return m_end; }
    // → bytes of PCM written; 0 at the end, for a null buffer or 0 bytes.
    DWORD Read(void* buffer, DWORD bytes) override;
    WAVEFORMATEX* GetFormat() override { return &m_format; }

    // The library's callbacks; the data source is the stream, and each answers -1 (read: 0) when
    // the stream holds no file.
    static size_t ReadCallback(void* buffer, size_t size, size_t count, void* source);
    static int SeekCallback(void* source, int64_t offset, int whence);
    static int CloseCallback(void* source);
    static long TellCallback(void* source);

private:
    static CFileStream* FileOf(void* source);
    // Clears the library's state of a file it opened but the stream refuses; the file is
    // forgotten (it stays the caller's).
    void CloseState();

    COggLibrary m_library;
    CFileStream* m_file = nullptr;
    alignas(16) unsigned char m_state[kStateSize] = {};
    bool m_stateOpen = false;
    WAVEFORMATEX m_format = {};
    DWORD m_length = 0;
    DWORD m_totalBytes = 0;
    int64_t m_totalSamples = 0;
    bool m_end = false;
};

class COggDecoder : public CSoundDecoder {
public:
    // Loads libraryName (made full against the base folder) and looks up its fifteen entry points;
    // a missing one or a state larger than COggStream::kStateSize leaves the decoder without a
    // library.
    explicit COggDecoder(const char* libraryName);
    ~COggDecoder() override;

    bool HasLibrary() const { return m_module != nullptr; }
    // → a stream, or null with outCode (when given) -2 no library, 1 not Ogg Vorbis, 2 not
    // seekable; on failure the file is put back at position 0 for the next decoder.
    CDecodeStream* Open(CFileStream* file, int* outCode) override;

private:
    HMODULE m_module = nullptr;
    COggLibrary m_library = {};
};

// Makes the decoder for "wuvorbis.dll" and registers it as the game does at start-up (type 2,
// "OGG", "Ogg Vorbis format") → 0, or 1 when its library did not load (the decoder is deleted).
int RegisterOggDecoder(CSllManager& manager);
