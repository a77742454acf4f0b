#include "sound/sound_buffer.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "winapi/kernel.h"
#include "platform/object_lifetime.h"

LONG SoundVolumeToDb(int32_t volume)
{
    if (volume <= 0)
        return DSBVOLUME_MIN;
    return static_cast<LONG>(std::trunc(2000.0 * std::log10(std::min(volume, 256) / 256.0)));
}

// The fade of one buffer: in (state 1) or out (state 2), stepped on the logic thread.
class CBufferFadeTask : public CTimedTask {
public:
    CBufferFadeTask(CSoundBuffer* buffer, uint32_t duration, uint8_t state)
        : m_sound(buffer), m_duration(duration), m_state(state)
    {}
    int32_t GetKind() override { return 0; }
    int32_t Step(uint32_t now) override
    {
        CScopedLock lock(m_sound->m_lock);
        if (m_sound->m_fadeState != m_state) {
            m_done = true;
            return 1;
        }
        if (m_first == 0) {
            m_first = 1;
            m_start = now;
            m_level = m_sound->m_volume; // the fade-in's target, the fade-out's start
        }
        const uint64_t elapsed = now - m_start;
        // A fade of 0 ms used to divide by zero: it jumps to its end.
        const auto part = [&](int32_t scale) {
            return m_duration ? static_cast<int32_t>(std::min<uint64_t>(elapsed, m_duration) * scale / m_duration)
                              : scale;
        };
        if (m_state == 1) {
            if (!m_sound->IsPlaying(nullptr, nullptr)) {
                Finish();
                return 1;
            }
            const int32_t v = part(m_level);
            if (v >= m_level) {
                Finish();
                return 1;
            }
            if (v != m_sound->m_volume)
                m_sound->SetVolume(v);
            return 0;
        }
        const int32_t v = m_level - part(m_level);
        if (v != m_sound->m_volume && v > 0)
            m_sound->SetVolume(v);
        if (v <= 0 || !m_sound->IsPlaying(nullptr, nullptr)) {
            m_sound->SetVolume(0);
            m_sound->Pause();
            Finish();
            return 1;
        }
        return 0;
    }
    void OnCancel() override
    {
        CScopedLock lock(m_sound->m_lock);
        if (!m_done && m_first == 0)
            m_level = m_sound->m_volume;
        Finish();
    }

private:
    void Finish()
    {
        if (m_done)
            return;
        m_done = true;
        if (m_sound->m_volume != m_level)
            m_sound->SetVolume(m_level);
        m_sound->m_fadeState = 0;
    }

    CSoundBuffer* m_sound;
    uint32_t m_duration;
    uint8_t m_state;
    uint8_t m_first = 0;
    bool m_done = false;
    uint32_t m_start = 0;
    int32_t m_level = 0;
};

CSoundBuffer::~CSoundBuffer()
{
    NotifyObjectDestroyed(this);
    CancelFade();
    if (m_buffer) {
        m_buffer->Release();
        m_buffer = nullptr;
    }
}

int CSoundBuffer::SetVolume(int32_t volume)
{
    m_volume = std::clamp(volume, 0, 256);
    if (!m_buffer)
        return -1;
    return SUCCEEDED(m_buffer->SetVolume(SoundVolumeToDb(m_volume))) ? 0 : 1;
}

int CSoundBuffer::SetPan(LONG pan)
{
    if (!m_buffer)
        return 1;
    return SUCCEEDED(m_buffer->SetPan(pan)) ? 0 : 2;
}

int CSoundBuffer::SetFrequency(DWORD hz)
{
    if (!m_buffer)
        return 1;
    return SUCCEEDED(m_buffer->SetFrequency(hz)) ? 0 : 2;
}

int CSoundBuffer::ChangeVolPanFreq(int32_t dVolume, int32_t dPan, int32_t dFrequency)
{
    if (!m_buffer)
        return 1;
    if (dVolume != 0 && SetVolume(m_volume + dVolume) != 0)
        return 2;
    if (dPan != 0) {
        LONG pan = 0;
        if (FAILED(m_buffer->GetPan(&pan)) ||
            FAILED(m_buffer->SetPan(static_cast<LONG>(std::clamp<int64_t>(int64_t{pan} + dPan, -10000, 10000)))))
            return 3;
    }
    if (dFrequency != 0) {
        DWORD hz = 0;
        if (FAILED(m_buffer->GetFrequency(&hz)) ||
            FAILED(m_buffer->SetFrequency(static_cast<DWORD>(std::clamp<int64_t>(int64_t{hz} + dFrequency, 100, 100000)))))
            return 4;
    }
    return 0;
}

int CSoundBuffer::GetVolPanFreq(int32_t* outVolume, LONG* outPan, DWORD* outFrequency)
{
    if (outVolume)
        *outVolume = m_volume;
    if (!m_buffer)
        return 1;
    if (outPan && FAILED(m_buffer->GetPan(outPan)))
        return 2;
    if (outFrequency && FAILED(m_buffer->GetFrequency(outFrequency)))
        return 3;
    return 0;
}

int CSoundBuffer::GetFormat(int* outChannels, int* outRate, int* outBits)
{
    if (!m_buffer)
        return 1;
    WAVEFORMATEX f{};
    if (FAILED(m_buffer->GetFormat(&f, sizeof(f), nullptr)))
        return 2;
    if (outChannels)
        *outChannels = f.nChannels;
    if (outRate)
        *outRate = static_cast<int>(f.nSamplesPerSec);
    if (outBits)
        *outBits = f.wBitsPerSample;
    return 0;
}

int CSoundBuffer::FadeIn(CTimerManager* scheduler, uint32_t durationMs, bool looped)
{
    if (!m_buffer || !scheduler)
        return 1;
    {
        CScopedLock lock(m_lock);
        if (m_fadeState == 1)
            return 2;
        if (m_fadeState == 2)
            CancelFade();
        m_buffer->SetVolume(DSBVOLUME_MIN);
    }
    // Played without the lock: restarting a stream waits for its worker, which takes the lock.
    if (m_pauseCount > 0) {
        m_pauseCount = 1;
        if (Resume() != 0) {
            SetVolume(m_volume);
            return 3;
        }
    } else if ((looped ? PlayLooped() : Play()) != 0) {
        SetVolume(m_volume);
        return 4;
    }
    CScopedLock lock(m_lock);
    if (m_volume == 0)
        return -1;
    auto* task = new (std::nothrow) CBufferFadeTask(this, durationMs, 1);
    if (!task)
        return 5;
    m_fadeState = 1;
    m_fadeScheduler = scheduler;
    m_fadeTask = task;
    task->SetOwnerSlot(&m_fadeTask);
    scheduler->Add(task, 0, std::max<uint32_t>(20, durationMs / static_cast<uint32_t>(m_volume)), 0);
    return 0;
}

int CSoundBuffer::FadeOut(CTimerManager* scheduler, uint32_t durationMs)
{
    if (!m_buffer || !scheduler)
        return 1;
    CScopedLock lock(m_lock);
    if (!IsPlaying(nullptr, nullptr))
        return 2;
    if (m_fadeState == 2)
        return 3;
    if (m_fadeState == 1)
        CancelFade();
    if (m_volume == 0) {
        Pause();
        return -1;
    }
    auto* task = new (std::nothrow) CBufferFadeTask(this, durationMs, 2);
    if (!task)
        return 4;
    m_fadeState = 2;
    m_fadeScheduler = scheduler;
    m_fadeTask = task;
    task->SetOwnerSlot(&m_fadeTask);
    scheduler->Add(task, 0, std::max<uint32_t>(20, durationMs / static_cast<uint32_t>(m_volume)), 0);
    return 0;
}

void CSoundBuffer::CancelFade()
{
    CScopedLock lock(m_lock);
    if (m_fadeTask && m_fadeScheduler)
        m_fadeScheduler->Cancel(m_fadeTask);
    m_fadeTask = nullptr;
    m_fadeState = 0;
}
