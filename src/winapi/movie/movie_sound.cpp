// A movie's sound through the DirectSound stand-in (see movie_sound.h).
#include "winapi/movie/movie_sound.h"

#include <algorithm>
#include <cstring>

#include "winapi/kernel_sync.h"
#include "winapi/user.h"

namespace winapi::movie {

namespace {

constexpr uint32_t kAheadMs = 500;
constexpr uint32_t kBufferMs = 1000;

} // namespace

std::unique_ptr<MovieSound> MovieSound::Open(std::unique_ptr<MovieSource> source)
{
    if (source == nullptr || source->SampleRate() <= 0)
        return nullptr;
    std::unique_ptr<MovieSound> sound(new MovieSound);
    sound->m_rate = source->SampleRate();
    sound->m_source = std::move(source);
    const HRESULT com = CoInitialize(nullptr);
    IDirectSound* ds = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound,
                                  reinterpret_cast<void**>(&ds));
    if (SUCCEEDED(com))
        CoUninitialize();
    if (FAILED(hr) || ds == nullptr)
        return nullptr;
    sound->m_sound = ds;
    if (FAILED(ds->Initialize(nullptr)))
        return nullptr;
    HWND window = GetActiveWindow();
    if (window == nullptr)
        window = GetDesktopWindow();
    ds->SetCooperativeLevel(window, DSSCL_NORMAL);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(sound->m_rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 4;
    sound->m_frames = static_cast<uint32_t>(static_cast<uint64_t>(sound->m_rate) * kBufferMs / 1000);
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_GETCURRENTPOSITION2 |
                   DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = sound->m_frames * 4;
    desc.lpwfxFormat = &format;
    if (FAILED(ds->CreateSoundBuffer(&desc, &sound->m_buffer, nullptr)) || sound->m_buffer == nullptr)
        return nullptr;
    return sound;
}

MovieSound::~MovieSound()
{
    if (m_buffer != nullptr) {
        m_buffer->Stop();
        m_buffer->Release();
    }
    if (m_sound != nullptr)
        m_sound->Release();
}

uint64_t MovieSound::Played()
{
    DWORD cursor = 0;
    if (m_buffer->GetCurrentPosition(&cursor, nullptr) != DS_OK)
        return m_played;
    const DWORD size = m_frames * 4;
    const DWORD moved = (cursor + size - m_lastCursor) % size;
    m_lastCursor = cursor;
    m_played += moved / 4;
    return m_played;
}

void MovieSound::Write(const int16_t* samples, size_t frames)
{
    while (frames > 0) {
        const uint32_t at = static_cast<uint32_t>(m_written % m_frames);
        const size_t chunk = std::min<size_t>(frames, m_frames - at);
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (m_buffer->Lock(at * 4, static_cast<DWORD>(chunk * 4), &p1, &n1, &p2, &n2, 0) != DS_OK)
            return;
        if (samples != nullptr)
            std::memcpy(p1, samples, n1);
        else
            std::memset(p1, 0, n1);
        m_buffer->Unlock(p1, n1, p2, n2);
        if (samples != nullptr)
            samples += chunk * 2;
        frames -= chunk;
        m_written += chunk;
    }
}

void MovieSound::Fill()
{
    std::lock_guard lock(m_control);
    FillLocked();
}

void MovieSound::FillLocked()
{
    const uint64_t played = Played();
    const uint64_t target = played + static_cast<uint64_t>(m_rate) * kAheadMs / 1000;
    while (m_written < target) {
        const size_t want = static_cast<size_t>(target - m_written);
        if (m_pending.empty() && !m_sourceEnded) {
            int64_t pts = 0;
            std::vector<int16_t> chunk;
            if (!m_source->ReadAudio(&chunk, &pts)) {
                m_sourceEnded = true;
                continue;
            }
            const size_t frames = chunk.size() / 2;
            m_end = std::max(m_end, pts + static_cast<int64_t>(frames) * 10000000 / m_rate);
            // After a seek the sound before the position is dropped, to the frame.
            size_t skip = 0;
            if (pts < m_skipUntil)
                skip = std::min(frames, static_cast<size_t>((m_skipUntil - pts) * m_rate / 10000000));
            m_pending.assign(chunk.begin() + static_cast<std::ptrdiff_t>(skip * 2), chunk.end());
            continue;
        }
        if (m_pending.empty()) {
            // The end: silence, so the looping buffer does not play old sound again.
            Write(nullptr, want);
            break;
        }
        const size_t frames = std::min(want, m_pending.size() / 2);
        Write(m_pending.data(), frames);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(frames * 2));
    }
}

void MovieSound::Start()
{
    std::lock_guard lock(m_control);
    if (!m_running) {
        m_buffer->Play(0, 0, DSBPLAY_LOOPING);
        m_running = true;
    }
}

void MovieSound::Halt()
{
    std::lock_guard lock(m_control);
    if (m_running) {
        m_buffer->Stop();
        m_running = false;
    }
}

void MovieSound::Seek(int64_t position)
{
    std::lock_guard lock(m_control);
    m_buffer->Stop();
    m_buffer->SetCurrentPosition(0);
    // What was queued is silenced, so nothing of the old place plays before the refill.
    m_written = 0;
    Write(nullptr, m_frames);
    m_lastCursor = 0;
    m_written = 0;
    m_played = 0;
    m_pending.clear();
    m_sourceEnded = !m_source->Seek(position);
    m_skipUntil = position;
    m_end = 0;
    FillLocked();
    if (m_running)
        m_buffer->Play(0, 0, DSBPLAY_LOOPING);
}

void MovieSound::SetVolume(LONG volume)
{
    m_buffer->SetVolume(std::clamp<LONG>(volume, DSBVOLUME_MIN, DSBVOLUME_MAX));
}

void MovieSound::SetPan(LONG pan)
{
    m_buffer->SetPan(std::clamp<LONG>(pan, DSBPAN_LEFT, DSBPAN_RIGHT));
}

void MovieSound::SetRate(double rate)
{
    m_buffer->SetFrequency(static_cast<DWORD>(std::clamp(rate * m_rate, 100.0, 100000.0)));
}

} // namespace winapi::movie
