#include "sound/stream_sound.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "files/sll_manager.h"
#include "sound/sound_device.h"
#include "winapi/kernel.h"

namespace {

// Reads until `bytes` are delivered or the source gives nothing more. A read larger than asked
// sets `tooMuch` and counts as nothing.
DWORD ReadSome(CDecodeStream* source, uint8_t* out, DWORD bytes, bool* tooMuch = nullptr)
{
    DWORD done = 0;
    while (done < bytes) {
        const DWORD n = source->Read(out + done, bytes - done);
        if (n > bytes - done) {
            if (tooMuch)
                *tooMuch = true;
            break;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

CStreamSound::CStreamSound(CDirectSoundBase* device)
{
    if (device)
        g_pSoundDevice = device;
    m_notifyEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_worker.SetJob(CThreadJob(this, &CStreamSound::WorkerLoop));
}

CStreamSound::~CStreamSound()
{
    Release();
    m_worker.Stop();
    if (m_notifyEvent)
        CloseHandle(m_notifyEvent);
}

DWORD CStreamSound::Silence() const
{
    return m_bits == 8 ? 0x80 : 0;
}

void CStreamSound::DropStreams()
{
    delete m_intro;
    delete m_loop;
    m_intro = nullptr;
    m_loop = nullptr;
}

int CStreamSound::Open(const char* name, const char* loopName)
{
    CDirectSoundBase* device = g_pSoundDevice;
    if (!device || !name || !device->GetDirectSound())
        return 1;
    Release();
    int result = 0;
    try {
        m_intro = g_pSllManager ? g_pSllManager->Open(name, nullptr, true, nullptr) : nullptr;
        if (!m_intro)
            throw 2;
        const WAVEFORMATEX* f = m_intro->GetFormat();
        if (!f || f->nSamplesPerSec == 0 || f->nAvgBytesPerSec == 0 || f->nBlockAlign == 0)
            throw 2;
        WAVEFORMATEX format = *f;
        m_oneSecond = format.nAvgBytesPerSec;
        if (m_oneSecond > 0x0FFFFFFFu / 4)
            throw 2;
        m_ringSize = 4 * m_oneSecond;
        m_blockAlign = format.nBlockAlign;
        m_bits = format.wBitsPerSample;
        if (loopName) {
            m_loop = g_pSllManager->Open(loopName, nullptr, true, nullptr);
            if (!m_loop)
                throw 3;
            const WAVEFORMATEX* lf = m_loop->GetFormat();
            if (!lf || lf->nAvgBytesPerSec != m_oneSecond)
                throw 4;
        }
        const DWORD extra = (device->GetGlobalFocus() ? DSBCAPS_GLOBALFOCUS : 0) |
                            (device->GetSoftware() ? DSBCAPS_LOCSOFTWARE : 0) |
                            (g_bStreamNotify ? DSBCAPS_CTRLPOSITIONNOTIFY : 0);
        DSBUFFERDESC desc{sizeof(desc), DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | extra, m_ringSize,
                          0, &format, {}};
        if (FAILED(device->GetDirectSound()->CreateSoundBuffer(&desc, &m_buffer, nullptr))) {
            m_buffer = nullptr;
            desc.dwFlags = DSBCAPS_CTRLVOLUME | extra;
            if (FAILED(device->GetDirectSound()->CreateSoundBuffer(&desc, &m_buffer, nullptr))) {
                m_buffer = nullptr;
                throw 5;
            }
            result = -1;
        }
        CSoundBuffer::SetVolume(m_volume);
        if (g_bStreamNotify) {
            void* notify = nullptr;
            if (FAILED(m_buffer->QueryInterface(IID_IDirectSoundNotify, &notify)) || !notify || !m_notifyEvent) {
                result -= 2;
            } else {
                m_notify = static_cast<IDirectSoundNotify*>(notify);
                const DWORD offsets[5] = {m_ringSize / 4, m_ringSize / 4 * 2, m_ringSize / 4 * 3, m_ringSize - 1,
                                          DSBPN_OFFSETSTOP};
                for (int i = 0; i < 5; ++i)
                    m_positions[i] = DSBPOSITIONNOTIFY{offsets[i], m_notifyEvent};
                if (FAILED(m_notify->SetNotificationPositions(5, m_positions)))
                    result -= 4;
                else
                    m_notifying = 1;
            }
        }
    } catch (int code) {
        result = code;
    } catch (...) {
        result = 6;
    }
    if (result > 0)
        Release();
    return result;
}

void CStreamSound::Release()
{
    Stop();
    DropStreams();
    if (m_notify) {
        m_notify->Release();
        m_notify = nullptr;
    }
    m_notifying = 0;
    if (m_buffer) {
        m_buffer->Release();
        m_buffer = nullptr;
    }
}

int CStreamSound::Play()
{
    return Start(false);
}

int CStreamSound::PlayLooped()
{
    return Start(true);
}

int CStreamSound::Start(bool looped)
{
    if (!m_buffer || !m_intro)
        return 1;
    DWORD status = 0;
    m_buffer->GetStatus(&status);
    if (m_pauseCount > 0 || (status & DSBSTATUS_PLAYING) || m_worker.IsRunning())
        Stop();
    m_looping = looped ? 1 : 0;
    m_lastWrite = m_fillOffset = m_pending = m_lastPlay = 0;
    m_buffer->SetCurrentPosition(0);
    CDecodeStream* source = m_loop && m_played >= m_intro->GetTotalBytes() ? m_loop : m_intro;
    const DWORD want = m_ringSize / 8 * 7 / m_blockAlign * m_blockAlign;
    void* p = nullptr;
    DWORD n = 0;
    if (FAILED(m_buffer->Lock(0, want, &p, &n, nullptr, nullptr, 0)))
        return 2;
    auto* out = static_cast<uint8_t*>(p);
    bool tooMuch = false;
    DWORD written = ReadSome(source, out, n, &tooMuch);
    if (tooMuch) {
        m_buffer->Unlock(p, n, nullptr, 0);
        return 3;
    }
    if (written < n) {
        // Short: the source ended (or failed, which counts as its end).
        if (m_loop && source == m_intro) {
            written += ReadSome(m_loop, out + written, n - written);
        } else if (!m_looping) {
            std::fill(out + written, out + n, static_cast<uint8_t>(Silence()));
            written = n;
        } else {
            source->Seek(0);
            written += ReadSome(source, out + written, n - written);
        }
    }
    if (FAILED(m_buffer->Unlock(p, n, nullptr, 0)))
        return 4;
    m_fillOffset = written % m_ringSize;
    m_pending = n - written;
    m_lastPassTime = timeGetTime();
    m_pausedSincePass = false;
    if (FAILED(m_buffer->Play(0, 0, DSBPLAY_LOOPING))) {
        Stop();
        return 5;
    }
    if (m_worker.Start() != 0) {
        Stop();
        return 6;
    }
    const uint8_t priority = g_pSoundDevice ? g_pSoundDevice->GetStreamPriority() : 2;
    if (priority != 2 && priority <= 4)
        SetThreadPriority(m_worker.GetThreadHandle(), static_cast<int>(priority) - 2);
    return 0;
}

int CStreamSound::Pause()
{
    CScopedLock lock(m_lock);
    if (!m_buffer)
        return 1;
    if (m_pauseCount == 0) {
        DWORD status = 0;
        m_buffer->GetStatus(&status);
        if (!(status & DSBSTATUS_PLAYING))
            return 3;
        if (g_pSoundDevice)
            g_pSoundDevice->PlaySilence(m_buffer);
        if (FAILED(m_buffer->Stop()))
            return 2;
        m_pausedSincePass = true;
    }
    ++m_pauseCount;
    return 0;
}

int CStreamSound::Resume()
{
    CScopedLock lock(m_lock);
    if (!m_buffer)
        return 1;
    if (m_pauseCount == 0)
        return 2;
    if (--m_pauseCount == 0 && m_worker.IsRunning()) {
        HRESULT hr = m_buffer->Play(0, 0, DSBPLAY_LOOPING);
        if (hr == DSERR_BUFFERLOST) {
            m_buffer->Restore();
            hr = m_buffer->Play(0, 0, DSBPLAY_LOOPING);
        }
        if (FAILED(hr))
            return 3;
        m_pausedSincePass = true;
    }
    return 0;
}

int CStreamSound::Stop()
{
    if (!m_buffer)
        return 1;
    // The wait of either waking mode ends on the event (a stop used to sit out a sleep).
    m_worker.RequestStop();
    if (m_notifyEvent)
        SetEvent(m_notifyEvent);
    m_worker.Stop();
    CScopedLock lock(m_lock);
    if (g_pSoundDevice)
        g_pSoundDevice->PlaySilence(m_buffer);
    const int result = FAILED(m_buffer->Stop()) ? 2 : 0;
    StopPart(true);
    return result;
}

void CStreamSound::StopPart(bool cancelFade)
{
    CScopedLock lock(m_lock);
    if (!m_buffer)
        return;
    if (g_pSoundDevice)
        g_pSoundDevice->PlaySilence(m_buffer);
    m_buffer->Stop();
    m_buffer->SetCurrentPosition(0);
    if (m_intro)
        m_intro->Seek(0);
    if (m_loop)
        m_loop->Seek(0);
    m_played = 0;
    m_lastWrite = m_fillOffset = m_pending = m_lastPlay = 0;
    m_pauseCount = 0;
    // The worker's own stop at the end of the sound leaves a fade to its scheduler (the logic
    // thread's): the fade ends by itself once the buffer no longer plays.
    if (cancelFade)
        CancelFade();
}

uint32_t CStreamSound::GetDataBytes()
{
    if (!m_intro)
        return 0;
    return m_intro->GetTotalBytes() + (m_loop ? m_loop->GetTotalBytes() : 0);
}

uint32_t CStreamSound::GetLengthMs()
{
    if (!m_intro)
        return 0;
    return m_intro->GetLength() + (m_loop ? m_loop->GetLength() : 0);
}

int CStreamSound::SetPositionMs(uint32_t ms)
{
    if (!m_intro)
        return 1;
    DWORD status = 0;
    const bool wasPlaying = m_buffer && SUCCEEDED(m_buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
    Stop();
    const uint32_t introMs = m_intro->GetLength();
    const int seek = m_loop && introMs <= ms ? m_loop->Seek(ms - introMs) : m_intro->Seek(ms);
    if (seek != 0)
        return 3;
    m_played = static_cast<uint32_t>(uint64_t{m_oneSecond} * ms / 1000);
    if (wasPlaying && Start(m_looping != 0) != 0)
        return 4;
    return 0;
}

uint32_t CStreamSound::GetPositionMs()
{
    CScopedLock lock(m_lock);
    if (!m_intro || m_oneSecond == 0)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(uint64_t{m_played} * 1000 / m_oneSecond);
}

bool CStreamSound::IsPlaying(DWORD* outPlay, DWORD* outWrite)
{
    CScopedLock lock(m_lock);
    if (!m_buffer)
        return false;
    if (outPlay)
        *outPlay = m_lastPlay;
    if (outWrite)
        *outWrite = m_lastWrite;
    DWORD status = 0;
    m_buffer->GetStatus(&status);
    return (status & DSBSTATUS_PLAYING) != 0;
}

int CStreamSound::SetVolume(int32_t volume)
{
    CScopedLock lock(m_lock);
    return CSoundBuffer::SetVolume(volume);
}

int CStreamSound::Refill(CDecodeStream* source, int mode)
{
    DWORD play = 0;
    DWORD write = 0;
    m_buffer->GetCurrentPosition(&play, &write);
    if (write == m_lastWrite && mode != 2)
        return -1;
    uint32_t free = (m_ringSize - m_lastWrite + write) % m_ringSize + m_pending;
    if (free < m_oneSecond / 2)
        return 0;
    free = std::min(free, m_ringSize);
    // Never write over the play cursor.
    if (m_fillOffset < play && play < m_fillOffset + free)
        free = play - m_fillOffset;
    m_lastWrite = write;
    if (m_fillOffset + free > m_ringSize && m_fillOffset + free - m_ringSize > play)
        free = m_ringSize - m_fillOffset + play;
    free = free / m_blockAlign * m_blockAlign;
    if (free == 0)
        return 0;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0;
    DWORD n2 = 0;
    HRESULT hr = m_buffer->Lock(m_fillOffset, free, &p1, &n1, &p2, &n2, 0);
    if (hr == DSERR_BUFFERLOST) {
        m_buffer->Restore();
        hr = m_buffer->Lock(m_fillOffset, free, &p1, &n1, &p2, &n2, 0);
    }
    if (FAILED(hr))
        return 2;
    DWORD read = 0;
    if (!p2 || n2 == 0) {
        free = std::min<uint32_t>(free, n1);
        read = ReadSome(source, static_cast<uint8_t*>(p1), free);
    } else {
        free = std::min<uint32_t>(free, n1 + n2);
        std::vector<uint8_t> temp;
        try {
            temp.resize(free);
        } catch (const std::bad_alloc&) {
            m_buffer->Unlock(p1, n1, p2, n2);
            return 3;
        }
        read = ReadSome(source, temp.data(), free);
        std::memcpy(p1, temp.data(), std::min<DWORD>(read, n1));
        if (read > n1)
            std::memcpy(p2, temp.data() + n1, read - n1);
    }
    if (FAILED(m_buffer->Unlock(p1, n1, p2, n2)))
        return 4;
    m_fillOffset = (m_fillOffset + read) % m_ringSize;
    m_pending = free - read;
    // A source that delivers nothing before its end (a failing decoder) is at its end too, or the
    // old ring contents would repeat for ever.
    if (source->IsEnd() || read < free) {
        if (mode == 0 && !m_looping && m_pending > 0) {
            void* q1 = nullptr;
            void* q2 = nullptr;
            DWORD m1 = 0;
            DWORD m2 = 0;
            if (SUCCEEDED(m_buffer->Lock(m_fillOffset, m_pending, &q1, &m1, &q2, &m2, 0))) {
                std::memset(q1, static_cast<int>(Silence()), m1);
                if (q2)
                    std::memset(q2, static_cast<int>(Silence()), m2);
                m_buffer->Unlock(q1, m1, q2, m2);
                m_fillOffset = (m_fillOffset + m1 + m2) % m_ringSize;
                m_pending -= m1 + m2;
            }
        }
        return 1;
    }
    return 0;
}

void CStreamSound::Advance(bool wrap, uint32_t total)
{
    DWORD play = 0;
    DWORD write = 0;
    m_buffer->GetCurrentPosition(&play, &write);
    const uint32_t moved = (m_ringSize - m_lastPlay + play) % m_ringSize;
    m_played += moved;
    const uint32_t now = timeGetTime();
    if (!m_pausedSincePass && m_pauseCount == 0) {
        // Held up past a whole lap (a stalled decoder): the cursor alone cannot tell; the clock
        // can. The lost laps count as played and the ring is refilled from the write cursor.
        const uint64_t expected = uint64_t{now - m_lastPassTime} * m_oneSecond / 1000;
        if (expected > uint64_t{moved} + m_ringSize / 2) {
            const uint64_t laps = (expected - moved + m_ringSize / 2) / m_ringSize;
            m_played += static_cast<uint32_t>(laps * m_ringSize);
            m_fillOffset = write;
            m_lastWrite = write;
            m_pending = (m_ringSize + play - write) % m_ringSize / m_blockAlign * m_blockAlign;
        }
    }
    m_pausedSincePass = false;
    m_lastPassTime = now;
    m_lastPlay = play;
    if (wrap && total)
        m_played %= total;
}

void CStreamSound::Wait()
{
    if (m_notifying) {
        winapi::WaitOnClock(m_notifyEvent, INFINITE);
        return;
    }
    const uint32_t perMs = std::max<uint32_t>(1, m_ringSize / 4000);
    const uint32_t eighth = std::max<uint32_t>(1, m_ringSize / 8);
    DWORD play = 0;
    {
        CScopedLock lock(m_lock);
        m_buffer->GetCurrentPosition(&play, nullptr);
    }
    winapi::WaitOnClock(m_notifyEvent, (eighth - play % eighth) / perMs);
}

void CStreamSound::WorkerLoop()
{
    if (m_loop)
        WorkerIntroLoop();
    else
        WorkerSingle();
}

void CStreamSound::WorkerSingle()
{
    bool ended = !m_looping && m_intro->IsEnd();
    const uint32_t total = m_intro->GetTotalBytes();
    while (m_worker.IsRunning()) {
        int r;
        {
            CScopedLock lock(m_lock);
            // A piece played once ends when its length has been played, even when its decoder
            // fell behind (it used to wrap its position and play on for ever).
            Advance(m_looping != 0, total);
            if (!m_looping && m_played >= total) {
                StopPart(false);
                return;
            }
            r = Refill(m_intro, 0);
            if (r == 1) {
                if (m_looping) {
                    m_intro->Seek(0);
                    continue;
                }
                ended = true;
                if (m_played >= total) {
                    StopPart(false);
                    return;
                }
            } else if (r >= 2) {
                StopPart(false);
                return;
            } else if (ended && m_played >= total) {
                StopPart(false);
                return;
            }
        }
        Wait();
    }
}

void CStreamSound::WorkerIntroLoop()
{
    const uint32_t introBytes = m_intro->GetTotalBytes();
    const uint32_t total = introBytes + m_loop->GetTotalBytes();
    while (m_worker.IsRunning()) {
        {
            CScopedLock lock(m_lock);
            if (m_played >= introBytes)
                break;
            Advance(false, 0);
            const int r = Refill(m_intro, 1);
            if (r == 1) {
                if (Refill(m_loop, 2) >= 2) {
                    StopPart(false);
                    return;
                }
                break;
            }
            if (r >= 2) {
                StopPart(false);
                return;
            }
        }
        Wait();
    }
    // An intro and loop of no bytes have nothing to play (and their length divides the position).
    if (total == 0) {
        CScopedLock lock(m_lock);
        StopPart(false);
        return;
    }
    bool ended = !m_looping && m_loop->IsEnd();
    while (m_worker.IsRunning()) {
        int r;
        {
            CScopedLock lock(m_lock);
            Advance(false, 0);
            if (!ended && m_played >= total)
                m_played = m_played % total + introBytes;
            r = Refill(m_loop, 0);
            if (r == 1) {
                if (m_looping) {
                    m_loop->Seek(0);
                    continue;
                }
                ended = true;
            }
            if (r >= 2 || (ended && m_played >= total)) {
                StopPart(false);
                return;
            }
        }
        Wait();
    }
}
