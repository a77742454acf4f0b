// The inside of the DirectSound stand-in: a device (one per initialised DirectSound object) owns
// the output and mixes its live buffers in periods; a buffer holds its samples (shared with its
// duplicates), its controls, its cursor in 32.32 fixed-point frames and its notifications.
#pragma once

#include <atomic>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "winapi/dsound.h"

namespace winapi::ds {

constexpr size_t kPeriodFrames = 512;
constexpr uint32_t kWriteMarginFrames = 32;

class Buffer;

class Device : public std::enable_shared_from_this<Device> {
public:
    Device();
    ~Device();

    // Opens the output named by the enumeration (empty = the default); false when none opens.
    bool Open(const std::string& sdlName);
    void Close();
    bool IsOpen() const { return open_; }
    // The output format; the primary buffer's SetFormat changes it.
    void SetOutputFormat(DWORD rate, WORD channels);

    // Mixes `frames` output frames of every playing buffer into `out` (interleaved 16-bit).
    void Mix(int16_t* out, size_t frames);
    void MixLocked(int16_t* out, size_t frames, bool active);
    // False while the cooperative window exists and is not the foreground window.
    bool WindowActive();

    void Add(Buffer* buffer);
    void Remove(Buffer* buffer);

    // Host output taken away / given back.
    void Drop();
    void Return();

    DsoundRecording Recording();
    void ClearRecording();

    std::recursive_mutex mutex; // the buffers' state and the mix
    HWND window = nullptr;
    DWORD level = 0;
    DWORD rate = 44100;
    WORD channels = 2;

private:
    static void OnClock(void* self, uint64_t ms);
    void MixDue(uint64_t ms);
    void StartSdl();
    void StopSdl();
    bool OpenSdlDevice();
    void CloseSdlDevice();
    void SdlThread();
    static void SdlCallback(void* self, uint8_t* stream, int len);

    bool open_ = false;
    bool recorded_ = false;
    std::atomic<bool> dropped_{false};
    // Recorded output (headless): driven by the virtual clock.
    int listener_ = 0;
    uint64_t clockMs_ = 0;    // clock time since the output format was set
    uint64_t framesMixed_ = 0;
    std::mutex recordMutex_;
    std::vector<int16_t> recording_;
    bool keep_ = true;          // the recording is kept in memory (DsoundKeepRecording)
    FILE* wav_ = nullptr;       // TESSARO_AUDIO_WAV, written as the mix goes
    uint64_t wavBytes_ = 0;
    void StartWav(const char* path);
    void RestartWav();          // under recordMutex_
    void FinishWav();
    // SDL output: a mixing thread keeps at most two periods queued for the callback.
    std::string sdlName_;
    uint32_t sdlDevice_ = 0;
    bool sdlInit_ = false;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::mutex queueMutex_;
    std::condition_variable queueCv_;
    std::deque<int16_t> queue_;
    std::vector<Buffer*> buffers_;
    std::vector<int32_t> acc_;
    std::vector<int16_t> voice_;
};

class Buffer final : public IDirectSoundBuffer, public IDirectSoundNotify {
public:
    Buffer(std::shared_ptr<Device> device, DWORD flags, const WAVEFORMATEX& format,
           std::shared_ptr<std::vector<uint8_t>> data, bool primary);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetCurrentPosition(LPDWORD play, LPDWORD write) override;
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, LPDWORD written) override;
    HRESULT GetVolume(LPLONG volume) override;
    HRESULT GetPan(LPLONG pan) override;
    HRESULT GetFrequency(LPDWORD frequency) override;
    HRESULT GetStatus(LPDWORD status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2, LPDWORD bytes2,
                 DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT SetFrequency(DWORD hz) override;
    HRESULT Stop() override;
    HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) override;
    HRESULT Restore() override;
    HRESULT SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions) override;

    // Mixes up to `frames` output frames into the sums (when audible); moves the cursor, signals
    // the notifications it passes and stops a one-shot at its end. Under the device's mutex.
    void MixInto(int32_t* acc, size_t frames, std::vector<int16_t>& scratch, bool audible);
    Buffer* Duplicate();
    void MarkLost();
    bool IsPrimary() const { return primary_; }
    DWORD Flags() const { return flags_; }

private:
    ~Buffer();
    DWORD Frames() const { return size_ / format_.nBlockAlign; }
    DWORD PlayByte() const;
    DWORD Rate() const { return frequency_ ? frequency_ : format_.nSamplesPerSec; }
    void Signal(uint64_t fromByte, uint64_t toByte);
    void SignalStop();

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<Device> device_;
    DWORD flags_;
    WAVEFORMATEX format_;
    std::shared_ptr<std::vector<uint8_t>> data_;
    bool primary_;
    DWORD size_ = 0;
    LONG volume_ = 0;
    LONG pan_ = 0;
    DWORD frequency_ = 0; // 0 = the format's rate
    bool playing_ = false;
    bool looping_ = false;
    bool lost_ = false;
    uint64_t pos_ = 0; // 32.32 fixed-point frames
    std::vector<DSBPOSITIONNOTIFY> notes_;
    struct Region {
        void* ptr;
        DWORD bytes;
    };
    std::vector<Region> locks_;
};

// Valid PCM for a secondary buffer: 8/16-bit, 1/2 channels, 100..100000 Hz, consistent block
// align and byte rate.
bool ValidPcm(const WAVEFORMATEX& format);

// The live devices (for the test switches and the recording).
void RegisterDevice(const std::shared_ptr<Device>& device);
void UnregisterDevice(Device* device);
bool UseRecordedOutput();
bool OutputDropped();
// Takes one reference on SDL's audio subsystem (released with SDL_QuitSubSystem) → false when
// SDL cannot start it. The first call keeps one more for the life of the process: the last quit
// joins SDL's device-watching thread, which sleeps in steps of 100 ms, so each enumeration and
// each released device used to cost up to a tenth of a second.
bool StartSdlAudio();

} // namespace winapi::ds
