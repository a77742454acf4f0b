// Fuzzes the sound files as the sound buffers open them, on the recorded (headless) DirectSound
// output: the first byte picks the name (".OGG" or ".WAV"), the open mode and whether the sound is
// loaded whole (CLoadedSound::Open, with its kept samples and levels read back) or streamed
// (CStreamSound, played and stopped); the rest is the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/file_manager.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "files/sll_manager.h"
#include "sound/loaded_sound.h"
#include "sound/sound_device.h"
#include "sound/stream_sound.h"
#include "winapi/dsound.h"
#include "winapi/kernel.h"

namespace {

struct Device {
    std::string folder;
    CFileManager files;
    CSllManager sll;
    CSoundDevice* device = nullptr;
    Device()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tessaro-fuzz-sound-" + std::to_string(getpid()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        SetBaseFolder(folder.c_str());
        g_pFileManager = &files;
        RegisterOggDecoder(sll);
        g_pSllManager = &sll;
        winapi::SetDsoundOutput(winapi::DsoundOutput::Recorded);
        device = new CSoundDevice;
        g_pSoundDevice = device;
        g_pSoundList = device;
        if (device->CreateDevice(reinterpret_cast<HWND>(1), false, false, nullptr) != 0)
            __builtin_trap();
    }
    ~Device()
    {
        delete device;
        g_pSoundDevice = nullptr;
        g_pSoundList = nullptr;
        g_pSllManager = nullptr;
        g_pFileManager = nullptr;
        for (const char* name : {"FUZZ.OGG", "FUZZ.WAV"})
            DeleteFileA((folder + name).c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Device shared;
    if (size < 1)
        return 0;
    const char* name = data[0] & 1 ? "FUZZ.WAV" : "FUZZ.OGG";
    HANDLE h = CreateFileA((shared.folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    WriteFile(h, data + 1, static_cast<DWORD>(size - 1), &written, nullptr);
    CloseHandle(h);
    if (data[0] & 2) {
        CStreamSound stream;
        if (stream.Open(name, (data[0] & 4) ? name : nullptr) == 0) {
            stream.Play();
            stream.GetPositionMs();
            stream.Stop();
        }
        stream.Release();
        return 0;
    }
    CLoadedSound sound;
    const int mode = (data[0] >> 2) % 3;
    const int r = sound.Open(name, mode);
    if (r == 0 || r == -1) {
        const uint32_t bytes = sound.GetDataBytes();
        for (uint32_t offset : {0u, 1u, bytes / 2, bytes - 2, bytes - 1, bytes, bytes + 7}) {
            sound.GetSample(offset);
            sound.GetLevel(offset, 0);
            sound.GetLevel(offset, 100);
        }
        sound.SetPositionMs(sound.GetLengthMs() / 2);
        sound.Play();
        sound.Stop();
    }
    sound.Release();
    return 0;
}
