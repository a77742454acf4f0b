#include "sound/loaded_sound.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "files/file_manager.h"
#include "files/sll_manager.h"
#include "sound/sound_device.h"

CLoadedSound::CLoadedSound(CDirectSoundBase* device)
{
    if (device)
        g_pSoundDevice = device;
}

CLoadedSound::~CLoadedSound()
{
    Release();
}

int CLoadedSound::Open(const char* name, int mode)
{
    return OpenFile(name, mode, true);
}

namespace {

// Reads until the buffer is full or the stream delivers nothing more.
DWORD ReadAll(CDecodeStream* stream, uint8_t* out, DWORD bytes)
{
    DWORD done = 0;
    while (done < bytes) {
        const DWORD n = stream->Read(out + done, bytes - done);
        if (n == 0 || n > bytes - done)
            break;
        done += n;
    }
    return done;
}

// The level envelope of a kept copy: each whole block of 32 samples holds its mean magnitude.
uint16_t MakeEnvelope(std::vector<uint8_t>& kept, int bits)
{
    uint32_t peak = 0;
    if (bits == 16) {
        const size_t samples = kept.size() / 2;
        for (size_t b = 0; b + 32 <= samples; b += 32) {
            uint32_t sum = 0;
            for (size_t i = b; i < b + 32; ++i)
                sum += static_cast<uint32_t>(std::abs(static_cast<int16_t>(kept[2 * i] | (kept[2 * i + 1] << 8))));
            const uint32_t level = std::min<uint32_t>(sum >> 5, 32767);
            peak = std::max(peak, level);
            for (size_t i = b; i < b + 32; ++i) {
                kept[2 * i] = static_cast<uint8_t>(level);
                kept[2 * i + 1] = static_cast<uint8_t>(level >> 8);
            }
        }
    } else {
        for (size_t b = 0; b + 32 <= kept.size(); b += 32) {
            uint32_t sum = 0;
            for (size_t i = b; i < b + 32; ++i)
                sum += static_cast<uint32_t>(std::abs(kept[i] - 128));
            const uint32_t level = std::min<uint32_t>(sum >> 5, 127);
            peak = std::max(peak, level);
            // Stored around the silence value, so that GetLevel's |b - 128| reads the level back.
            std::fill(kept.begin() + static_cast<std::ptrdiff_t>(b), kept.begin() + static_cast<std::ptrdiff_t>(b + 32),
                      static_cast<uint8_t>(128 + level));
        }
    }
    return static_cast<uint16_t>(peak >> 2);
}

} // namespace

int CLoadedSound::OpenFile(const char* name, int mode, bool sameNameShortcut)
{
    CDirectSoundBase* device = g_pSoundDevice;
    if (!device || !name || !device->GetDirectSound())
        return 1;
    if (!g_pFileManager)
        return 2;
    char path[MAX_PATH + 1] = {};
    if (g_pFileManager->FindFileOrEntry(path, name, nullptr) > 0)
        return 2;
    // The mode is compared too: a level copy asked for later must not be skipped.
    if (sameNameShortcut && !m_name.empty() && m_name == path && mode == m_openMode)
        return 0;
    Release();
    std::unique_ptr<CDecodeStream> stream(g_pSllManager ? g_pSllManager->Open(path, nullptr, true, nullptr) : nullptr);
    if (!stream)
        return 2;
    int result = 0;
    try {
        WAVEFORMATEX* source = stream->GetFormat();
        if (!source)
            throw 2;
        WAVEFORMATEX format = *source;
        const DWORD size = stream->GetTotalBytes();
        const DWORD extra = (device->GetGlobalFocus() ? DSBCAPS_GLOBALFOCUS : 0) | (device->GetSoftware() ? DSBCAPS_LOCSOFTWARE : 0);
        DSBUFFERDESC desc{sizeof(desc), DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | extra, size, 0,
                          &format, {}};
        if (FAILED(device->GetDirectSound()->CreateSoundBuffer(&desc, &m_buffer, nullptr))) {
            desc.dwFlags = DSBCAPS_CTRLVOLUME | extra;
            if (FAILED(device->GetDirectSound()->CreateSoundBuffer(&desc, &m_buffer, nullptr)))
                throw 3;
            result = -1;
        }
        void* locked = nullptr;
        DWORD lockedBytes = 0;
        HRESULT hr = m_buffer->Lock(0, size, &locked, &lockedBytes, nullptr, nullptr, 0);
        if (hr == DSERR_BUFFERLOST) {
            m_buffer->Restore();
            hr = m_buffer->Lock(0, size, &locked, &lockedBytes, nullptr, nullptr, 0);
        }
        if (FAILED(hr))
            throw 4;
        auto* out = static_cast<uint8_t*>(locked);
        const uint8_t silence = format.wBitsPerSample == 8 ? 0x80 : 0;
        DWORD decoded;
        if (mode == 0 || format.wBitsPerSample > 16 || (mode != 1 && mode != 2)) {
            decoded = ReadAll(stream.get(), out, lockedBytes);
            std::fill(out + decoded, out + lockedBytes, silence);
        } else {
            m_kept.assign(lockedBytes, silence);
            decoded = ReadAll(stream.get(), m_kept.data(), lockedBytes);
            std::copy(m_kept.begin(), m_kept.end(), out);
            m_keptWidth = format.wBitsPerSample == 16 ? 2 : 1;
            m_levelPeak = mode == 2 ? MakeEnvelope(m_kept, format.wBitsPerSample) : 0;
        }
        if (decoded == 0)
            throw 5;
        if (FAILED(m_buffer->Unlock(locked, lockedBytes, nullptr, 0)))
            throw 6;
        m_name = path;
        m_openMode = mode;
        m_dataBytes = lockedBytes;
        SetVolume(m_volume);
    } catch (int code) {
        result = code;
    } catch (...) {
        result = 7;
    }
    if (result > 0)
        Release();
    return result;
}

int CLoadedSound::OpenCopy(CLoadedSound* source)
{
    CDirectSoundBase* device = g_pSoundDevice;
    if (!device || !source || !source->m_buffer || !device->GetDirectSound())
        return 1;
    Release();
    if (FAILED(device->GetDirectSound()->DuplicateSoundBuffer(source->m_buffer, &m_buffer))) {
        m_buffer = nullptr;
        return 2;
    }
    m_dataBytes = source->m_dataBytes;
    SetVolume(m_volume);
    return 0;
}

int CLoadedSound::RestoreLost()
{
    if (!m_buffer)
        return 1;
    DWORD status = 0;
    if (FAILED(m_buffer->GetStatus(&status)) || !(status & DSBSTATUS_BUFFERLOST))
        return 0;
    if (!m_name.empty()) {
        const std::string name = m_name;
        return OpenFile(name.c_str(), 0, false);
    }
    m_buffer->Restore();
    return 0;
}

void CLoadedSound::Release()
{
    if (m_buffer) {
        Stop();
        m_buffer->Release();
        m_buffer = nullptr;
    }
    m_name.clear();
    m_kept.clear();
    m_kept.shrink_to_fit();
    m_dataBytes = 0;
    m_playState = 0;
    m_positioned = 0;
    m_pauseCount = 0;
    m_keptWidth = 0;
    m_levelPeak = 0;
    m_openMode = 0;
}

int CLoadedSound::PlayBuffer(bool looped)
{
    HRESULT hr = m_buffer->Play(0, 0, looped ? DSBPLAY_LOOPING : 0);
    if (hr == DSERR_BUFFERLOST) {
        RestoreLost();
        if (!m_buffer)
            return 2;
        hr = m_buffer->Play(0, 0, looped ? DSBPLAY_LOOPING : 0);
    }
    return SUCCEEDED(hr) ? 0 : 2;
}

int CLoadedSound::PlayAs(bool looped)
{
    if (!m_buffer)
        return 1;
    if (!m_positioned && m_playState != 0) {
        m_buffer->Stop();
        m_buffer->SetCurrentPosition(0);
    }
    m_positioned = 0;
    m_playState = looped ? 2 : 1;
    m_pauseCount = 0;
    return PlayBuffer(looped);
}

int CLoadedSound::Play()
{
    return PlayAs(false);
}

int CLoadedSound::PlayLooped()
{
    return PlayAs(true);
}

int CLoadedSound::Pause()
{
    if (!m_buffer)
        return 1;
    if (m_playState == 0)
        return 2;
    if (m_pauseCount == 0) {
        if (!IsPlaying(nullptr, nullptr))
            return 3;
        if (g_pSoundDevice)
            g_pSoundDevice->PlaySilence(m_buffer);
        if (FAILED(m_buffer->Stop()))
            return 2;
    }
    ++m_pauseCount;
    return 0;
}

int CLoadedSound::Resume()
{
    if (!m_buffer)
        return 1;
    if (m_pauseCount == 0)
        return 2;
    if (--m_pauseCount == 0 && PlayBuffer(m_playState == 2) != 0)
        return 3;
    return 0;
}

int CLoadedSound::Stop()
{
    if (!m_buffer)
        return 1;
    if (g_pSoundDevice)
        g_pSoundDevice->PlaySilence(m_buffer);
    const int result = FAILED(m_buffer->Stop()) ? 2 : 0;
    m_buffer->Stop();
    m_buffer->SetCurrentPosition(0);
    m_positioned = 0;
    m_playState = 0;
    m_pauseCount = 0;
    CancelFade();
    return result;
}

uint32_t CLoadedSound::GetLengthMs()
{
    WAVEFORMATEX f{};
    if (!m_buffer || FAILED(m_buffer->GetFormat(&f, sizeof(f), nullptr)) || f.nAvgBytesPerSec == 0)
        return 0;
    return static_cast<uint32_t>(uint64_t{m_dataBytes} * 1000 / f.nAvgBytesPerSec);
}

int CLoadedSound::SetPositionMs(uint32_t ms)
{
    if (!m_buffer)
        return 1;
    WAVEFORMATEX f{};
    if (FAILED(m_buffer->GetFormat(&f, sizeof(f), nullptr)))
        return 2;
    if (m_fadeTask || !IsPlaying(nullptr, nullptr)) {
        Stop();
        m_positioned = 1;
    }
    const uint64_t offset = uint64_t{f.nAvgBytesPerSec} * ms / 1000;
    if (offset >= m_dataBytes || FAILED(m_buffer->SetCurrentPosition(static_cast<DWORD>(offset))))
        return 3;
    return 0;
}

uint32_t CLoadedSound::GetPositionMs()
{
    WAVEFORMATEX f{};
    DWORD play = 0;
    if (!m_buffer || FAILED(m_buffer->GetFormat(&f, sizeof(f), nullptr)) || f.nAvgBytesPerSec == 0 ||
        FAILED(m_buffer->GetCurrentPosition(&play, nullptr)))
        return 0;
    return static_cast<uint32_t>(uint64_t{play} * 1000 / f.nAvgBytesPerSec);
}

bool CLoadedSound::IsPlaying(DWORD* outPlay, DWORD* outWrite)
{
    if (!m_buffer)
        return false;
    m_buffer->GetCurrentPosition(outPlay, outWrite);
    DWORD status = 0;
    m_buffer->GetStatus(&status);
    return (status & DSBSTATUS_PLAYING) != 0;
}

int CLoadedSound::GetSample(uint32_t offset)
{
    // The whole sample must lie inside the data (the last offset used to read past it).
    if (m_keptWidth == 0 || uint64_t{offset} + m_keptWidth > std::min<uint64_t>(m_dataBytes, m_kept.size()))
        return 0;
    if (m_keptWidth == 1)
        return m_kept[offset];
    return static_cast<int16_t>(m_kept[offset] | (m_kept[offset + 1] << 8));
}

uint32_t CLoadedSound::GetLevel(uint32_t offset, uint32_t scale)
{
    if (m_keptWidth == 0 || uint64_t{offset} + m_keptWidth > std::min<uint64_t>(m_dataBytes, m_kept.size()))
        return 0;
    const int s = GetSample(offset);
    const uint32_t m = m_keptWidth == 2 ? static_cast<uint32_t>(std::abs(s)) : static_cast<uint32_t>(std::abs(s - 128));
    if (scale == 0)
        return std::min<uint32_t>(m_keptWidth == 2 ? m >> 7 : m * 2, 255);
    if (m_levelPeak == 0)
        return 0;
    return std::min<uint32_t>(static_cast<uint32_t>(uint64_t{m} * scale / m_levelPeak), scale - 1);
}
