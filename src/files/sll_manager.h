// CSllManager: the sound-decoder manager. It keeps the built-in Ogg Vorbis decoder and the "*.SLL"
// plug-ins (Linux shared objects with the seven SLL exports), and opens a sound file as a PCM
// decode stream through the first decoder that accepts it. ConvertSoundToWav (wav_export.h) writes any
// decodable sound out as a RIFF/WAVE file.
// Plug-in loading codes (ESllErrorCode): 0, 1 bad path, 2 LoadLibraryA failed, 3 export missing,
// 4 null decode object, 5 anything else. Open codes: 1 no decoder, 3 cannot open, 8 no memory,
// 12 other failure.
#pragma once

#include <atomic>

#include "files/sound_decoder.h"

enum ESllErrorCode {
    SLL_OK = 0,
    SLL_NO_DECODER = 1,
    SLL_CANNOT_OPEN = 3,
    SLL_NO_MEMORY = 8,
    SLL_FAILED = 12,
};

// Export names and file pattern of the SLL family.
extern const CPluginFamily g_SllFamily;

class CSllManager {
public:
    CSllManager() = default;
    CSllManager(const CSllManager&) = delete;
    CSllManager& operator=(const CSllManager&) = delete;
    // Unloads every decoder.
    virtual ~CSllManager();

    // Removes every record of the type: its decoder deleted, its library freed.
    virtual void UnloadType(DWORD typeId);
    virtual void UnloadAll();
    // Appends a built-in decoder → 0, or 1 for a null object.
    virtual int Register(CSoundDecoder* object, const char* extensions, const char* typeString, DWORD typeId,
                         PluginAssistFunc assist, PluginAssistFunc assist2, PluginConfigFunc configDlg);
    // Loads one SLL plug-in (path relative to the base folder) → plug-in loading code.
    virtual int LoadPlugin(const char* path);
    // Loads every "*.SLL" of folder → the number that failed, -1 for a bad folder path.
    virtual int LoadFolder(const char* folder);
    // The decoder of the first record listing name's upper-cased extension, or null.
    virtual CSoundDecoder* FindByExtension(const char* name);
    // The decoder of the first record with that type id, or null.
    virtual CSoundDecoder* FindByType(DWORD typeId);
    // The second assist function of the first record with that type id, or null.
    PluginAssistFunc GetAssistFunc2ByType(DWORD typeId);
    // Opens name (or the given stream) and hands it to the decoder of its extension, then to every
    // other decoder in registration order → the first decode stream, or null with outCode (when
    // given) 1, 3, 8 or 12. A stream made here is destroyed on failure; one passed in stays the
    // caller's. Streamed opens are made in memory while the stream-off switch is set.
    virtual CDecodeStream* Open(const char* name, CFileStream* stream, bool streamed, int* outCode);

    // The stream-off switch: set by the sound settings, read by Open on any thread.
    void SetStreamOff(bool off) { m_streamOff.store(off); }
    bool GetStreamOff() const { return m_streamOff.load(); }

private:
    CPluginList m_records;
    std::atomic<bool> m_streamOff{false};
};

extern CSllManager* g_pSllManager;
