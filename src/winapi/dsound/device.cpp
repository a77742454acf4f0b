// DirectSound devices: the output (recorded on the headless host's clock, or SDL audio fed by a
// mixing thread), the period mix over the live buffers, and the registry of live devices behind
// the test switches and the recording.
#include "winapi/dsound/device.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "winapi/clock.h"
#include "winapi/dsound/mixer.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace winapi::ds {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::weak_ptr<Device>> devices;
    DsoundRecording last; // of the last released device
    DsoundOutput output = DsoundOutput::Auto;
    bool dropped = false;
};
Registry& TheRegistry()
{
    static auto* registry = new Registry;
    return *registry;
}

std::atomic<bool> g_keepRecording{true};

void PutU32(uint8_t* at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A 16-bit PCM WAV header for `dataBytes` bytes of samples.
void WavHeader(uint8_t (&h)[44], DWORD rate, WORD channels, uint32_t dataBytes)
{
    std::memcpy(h, "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0", 22);
    PutU32(h + 4, 36 + dataBytes);
    h[22] = static_cast<uint8_t>(channels);
    h[23] = static_cast<uint8_t>(channels >> 8);
    PutU32(h + 24, rate);
    PutU32(h + 28, rate * channels * 2);
    h[32] = static_cast<uint8_t>(channels * 2);
    h[33] = 0;
    h[34] = 16;
    h[35] = 0;
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, dataBytes);
}

} // namespace

bool StartSdlAudio()
{
    [[maybe_unused]] static const bool kept = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

bool UseRecordedOutput()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.output == DsoundOutput::Auto)
        return CurrentHeadlessHost() != nullptr;
    return r.output == DsoundOutput::Recorded;
}

bool OutputDropped()
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.dropped;
}

void RegisterDevice(const std::shared_ptr<Device>& device)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.devices.push_back(device);
}

std::shared_ptr<Device> FindOpenDevice(const std::string& sdlName)
{
    const bool recorded = UseRecordedOutput();
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const std::weak_ptr<Device>& w : r.devices) {
        auto d = w.lock();
        if (!d || !d->IsOpen() || d->IsRecorded() != recorded || d->outputName != sdlName)
            continue;
        // Joined only while someone still holds it: a device whose last user left stays closed.
        int users = d->users.load();
        while (users > 0 && !d->users.compare_exchange_weak(users, users + 1)) {
        }
        if (users > 0)
            return d;
    }
    return nullptr;
}

void UnregisterDevice(Device* device)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::erase_if(r.devices, [device](const std::weak_ptr<Device>& w) {
        auto d = w.lock();
        return !d || d.get() == device;
    });
}

Device::Device() = default;

Device::~Device()
{
    Close();
}

bool Device::Open(const std::string& sdlName)
{
    recorded_ = UseRecordedOutput();
    dropped_ = OutputDropped();
    if (recorded_) {
        keep_ = g_keepRecording.load();
        if (const char* wav = std::getenv("TESSARO_AUDIO_WAV"); wav && *wav)
            StartWav(wav);
        listener_ = AddClockListener(&Device::OnClock, this);
    } else {
        sdlName_ = sdlName;
        if (!StartSdlAudio())
            return false;
        sdlInit_ = true;
        if (!dropped_ && !OpenSdlDevice()) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            sdlInit_ = false;
            return false;
        }
        StartSdl();
    }
    open_ = true;
    return true;
}

void Device::Close()
{
    if (!open_)
        return;
    open_ = false;
    if (recorded_) {
        RemoveClockListener(listener_);
        DsoundRecording r = Recording();
        FinishWav();
        Registry& reg = TheRegistry();
        std::lock_guard<std::mutex> lock(reg.mutex);
        reg.last = std::move(r);
    } else {
        StopSdl();
        CloseSdlDevice();
        if (sdlInit_)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlInit_ = false;
    }
}

void Device::SetOutputFormat(DWORD newRate, WORD newChannels)
{
    if (newRate == rate && newChannels == channels)
        return;
    if (!recorded_ && open_) {
        StopSdl();
        CloseSdlDevice();
    }
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        rate = newRate;
        channels = newChannels;
        clockMs_ = 0;
        framesMixed_ = 0;
    }
    if (recorded_) {
        // The recording restarts in the new format.
        std::lock_guard<std::mutex> lock(recordMutex_);
        recording_.clear();
        RestartWav();
    } else if (open_) {
        if (!dropped_)
            OpenSdlDevice();
        StartSdl();
    }
}

void Device::Add(Buffer* buffer)
{
    std::lock_guard<std::recursive_mutex> lock(mutex);
    buffers_.push_back(buffer);
}

void Device::Remove(Buffer* buffer)
{
    std::lock_guard<std::recursive_mutex> lock(mutex);
    std::erase(buffers_, buffer);
}

bool Device::WindowActive()
{
    HWND w;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        w = window;
    }
    if (!w || !IsWindow(w))
        return true;
    // Focus belongs to the application: its own dialogs (owned by the window, directly or through
    // another owned window) in front keep its sounds heard, as another program's window does not.
    int depth = 0;
    for (HWND f = GetForegroundWindow(); f != nullptr && depth < 64; f = GetWindow(f, GW_OWNER), ++depth)
        if (f == w)
            return true;
    return false;
}

void Device::Mix(int16_t* out, size_t frames)
{
    // Focus is read before the mix lock: the window system has its own locks.
    MixLocked(out, frames, WindowActive());
}

void Device::MixLocked(int16_t* out, size_t frames, bool active)
{
    std::lock_guard<std::recursive_mutex> lock(mutex);
    const size_t samples = frames * channels;
    acc_.assign(samples, 0);
    for (Buffer* b : std::vector<Buffer*>(buffers_))
        b->MixInto(acc_.data(), frames, voice_, active || (b->Flags() & DSBCAPS_GLOBALFOCUS));
    Saturate(acc_.data(), out, samples);
}

void Device::OnClock(void* self, uint64_t ms)
{
    static_cast<Device*>(self)->MixDue(ms);
}

void Device::MixDue(uint64_t ms)
{
    std::vector<int16_t> out;
    const bool active = WindowActive();
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        clockMs_ += ms;
        const uint64_t due = clockMs_ * rate / 1000;
        out.resize((due - framesMixed_) * channels);
        size_t done = 0;
        while (framesMixed_ < due) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kPeriodFrames, due - framesMixed_));
            MixLocked(out.data() + done * channels, n, active);
            done += n;
            framesMixed_ += n;
        }
    }
    if (dropped_)
        return;
    std::lock_guard<std::mutex> lock(recordMutex_);
    // Kept only when asked: an endless headless game grew by 176 KB a virtual second until it ran
    // out of memory. The file gets the samples as they are mixed.
    if (keep_)
        recording_.insert(recording_.end(), out.begin(), out.end());
    if (wav_ != nullptr && !out.empty()) {
        std::vector<uint8_t> bytes(out.size() * 2);
        for (size_t i = 0; i < out.size(); ++i) {
            bytes[2 * i] = static_cast<uint8_t>(out[i]);
            bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(out[i]) >> 8);
        }
        wavBytes_ += std::fwrite(bytes.data(), 1, bytes.size(), wav_);
        std::fflush(wav_);
    }
}

void Device::StartWav(const char* path)
{
    BeginWav(std::fopen(path, "wb"));
}

void Device::RestartWav()
{
    if (wav_ != nullptr)
        BeginWav(std::freopen(nullptr, "wb", wav_));
}

// Takes an empty file and writes a header whose sizes FinishWav fills in.
void Device::BeginWav(FILE* file)
{
    wav_ = file;
    wavBytes_ = 0;
    if (wav_ == nullptr)
        return;
    uint8_t header[44];
    WavHeader(header, rate, channels, 0);
    std::fwrite(header, 1, sizeof header, wav_);
}

void Device::FinishWav()
{
    std::lock_guard<std::mutex> lock(recordMutex_);
    if (wav_ == nullptr)
        return;
    // The sizes are known now; a file past 4 GiB keeps the largest size the header can hold.
    const uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(wavBytes_, 0xFFFFFFFFu - 36));
    uint8_t header[44];
    WavHeader(header, rate, channels, data);
    if (std::fseek(wav_, 0, SEEK_SET) == 0)
        std::fwrite(header, 1, sizeof header, wav_);
    std::fclose(wav_);
    wav_ = nullptr;
}

void Device::ClearRecording()
{
    std::lock_guard<std::mutex> lock(recordMutex_);
    recording_.clear();
}

DsoundRecording Device::Recording()
{
    DsoundRecording r;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        r.rate = rate;
        r.channels = channels;
    }
    std::lock_guard<std::mutex> lock(recordMutex_);
    r.samples = recording_;
    return r;
}

void Device::Drop()
{
    dropped_ = true;
    if (!recorded_ && open_) {
        StopSdl();
        CloseSdlDevice();
        StartSdl();
    }
}

void Device::Return()
{
    dropped_ = false;
}

// SDL output. The mixing thread keeps at most two periods queued; without a device (lost,
// dropped) it paces itself on the real clock so cursors move and one-shots end, and it tries to
// reopen the device every half second until one opens again.
bool Device::OpenSdlDevice()
{
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = kPeriodFrames;
    want.callback = &Device::SdlCallback;
    want.userdata = this;
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(sdlName_.empty() ? nullptr : sdlName_.c_str(), 0, &want, &have, 0);
    if (id == 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        sdlDevice_ = id;
    }
    // Unpaused outside queueMutex_: SDL takes its device lock here, and its audio thread holds
    // that lock while the callback takes queueMutex_.
    SDL_PauseAudioDevice(id, 0);
    return true;
}

void Device::CloseSdlDevice()
{
    uint32_t id;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        id = sdlDevice_;
        sdlDevice_ = 0;
        queue_.clear();
    }
    if (id)
        SDL_CloseAudioDevice(id);
}

void Device::StartSdl()
{
    quit_ = false;
    thread_ = std::thread(&Device::SdlThread, this);
}

void Device::StopSdl()
{
    if (!thread_.joinable())
        return;
    quit_ = true;
    queueCv_.notify_all();
    thread_.join();
}

void Device::SdlCallback(void* self, uint8_t* stream, int len)
{
    auto* d = static_cast<Device*>(self);
    auto* out = reinterpret_cast<int16_t*>(stream);
    const size_t samples = static_cast<size_t>(len) / 2;
    std::lock_guard<std::mutex> lock(d->queueMutex_);
    const size_t n = std::min(samples, d->queue_.size());
    std::copy_n(d->queue_.begin(), n, out);
    d->queue_.erase(d->queue_.begin(), d->queue_.begin() + static_cast<std::ptrdiff_t>(n));
    std::fill(out + n, out + samples, int16_t{0});
    d->queueCv_.notify_all();
}

void Device::SdlThread()
{
    using Clock = std::chrono::steady_clock;
    std::vector<int16_t> period;
    auto next = Clock::now();
    auto retry = Clock::now();
    while (!quit_) {
        uint32_t id;
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            id = sdlDevice_;
        }
        if (id && SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_STOPPED) {
            CloseSdlDevice();
            id = 0;
        }
        size_t ch;
        {
            std::lock_guard<std::recursive_mutex> lock(mutex);
            ch = channels;
        }
        period.resize(kPeriodFrames * ch);
        if (id) {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queueCv_.wait_for(lock, std::chrono::milliseconds(20),
                              [&] { return quit_ || queue_.size() < 2 * kPeriodFrames * ch; });
            if (quit_ || queue_.size() >= 2 * kPeriodFrames * ch)
                continue;
            lock.unlock();
            Mix(period.data(), kPeriodFrames);
            lock.lock();
            queue_.insert(queue_.end(), period.begin(), period.end());
            next = Clock::now();
            continue;
        }
        const auto now = Clock::now();
        if (!dropped_ && now >= retry) {
            retry = now + std::chrono::milliseconds(500);
            if (OpenSdlDevice())
                continue;
        }
        if (now < next) {
            std::this_thread::sleep_for(std::min<Clock::duration>(next - now, std::chrono::milliseconds(5)));
            continue;
        }
        Mix(period.data(), kPeriodFrames);
        DWORD r;
        {
            std::lock_guard<std::recursive_mutex> lock(mutex);
            r = rate;
        }
        next += std::chrono::microseconds(kPeriodFrames * 1000000ull / r);
        if (now - next > std::chrono::milliseconds(200))
            next = now;
    }
}

} // namespace winapi::ds

namespace winapi {

DsoundSwitches& Dsound()
{
    static DsoundSwitches switches;
    return switches;
}

void SetDsoundOutput(DsoundOutput output)
{
    ds::Registry& r = ds::TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.output = output;
}

void DsoundMarkLost(IDirectSoundBuffer* buffer)
{
    if (buffer)
        static_cast<ds::Buffer*>(buffer)->MarkLost();
}

namespace {
std::vector<std::shared_ptr<ds::Device>> LiveDevices(bool dropped, bool set)
{
    ds::Registry& r = ds::TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (set)
        r.dropped = dropped;
    std::vector<std::shared_ptr<ds::Device>> live;
    for (auto& w : r.devices)
        if (auto d = w.lock())
            live.push_back(d);
    return live;
}
} // namespace

void DsoundDropOutput()
{
    for (auto& d : LiveDevices(true, true))
        d->Drop();
}

void DsoundReturnOutput()
{
    for (auto& d : LiveDevices(false, true))
        d->Return();
}

DsoundRecording DsoundRecorded()
{
    auto live = LiveDevices(false, false);
    if (!live.empty())
        return live.back()->Recording();
    ds::Registry& r = ds::TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.last;
}

void DsoundKeepRecording(bool keep)
{
    ds::g_keepRecording = keep;
}

void DsoundClearRecorded()
{
    for (auto& d : LiveDevices(false, false))
        d->ClearRecording();
    ds::Registry& r = ds::TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.last.samples.clear();
}

} // namespace winapi
