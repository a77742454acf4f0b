// DirectSound buffers: controls, cursors, locks, notifications and the per-voice mix.
#include <algorithm>
#include <cstring>

#include "winapi/dsound/device.h"
#include "winapi/dsound/mixer.h"
#include "winapi/kernel.h"

namespace winapi::ds {

bool ValidPcm(const WAVEFORMATEX& f)
{
    if (f.wFormatTag != WAVE_FORMAT_PCM || (f.nChannels != 1 && f.nChannels != 2) ||
        (f.wBitsPerSample != 8 && f.wBitsPerSample != 16))
        return false;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX)
        return false;
    return f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nAvgBytesPerSec == f.nBlockAlign * f.nSamplesPerSec;
}

Buffer::Buffer(std::shared_ptr<Device> device, DWORD flags, const WAVEFORMATEX& format,
               std::shared_ptr<std::vector<uint8_t>> data, bool primary)
    : device_(std::move(device)), flags_(flags), format_(format), data_(std::move(data)), primary_(primary)
{
    size_ = data_ ? static_cast<DWORD>(data_->size()) : 0;
    device_->Add(this);
}

Buffer::~Buffer()
{
    device_->Remove(this);
}

HRESULT Buffer::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IDirectSoundBuffer) {
        *out = static_cast<IDirectSoundBuffer*>(this);
    } else if (iid == IID_IDirectSoundNotify && (flags_ & DSBCAPS_CTRLPOSITIONNOTIFY) && !primary_) {
        *out = static_cast<IDirectSoundNotify*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG Buffer::AddRef()
{
    return ++refs_;
}

ULONG Buffer::Release()
{
    const ULONG n = --refs_;
    if (n == 0)
        delete this;
    return n;
}

DWORD Buffer::PlayByte() const
{
    const DWORD frames = Frames();
    return frames ? static_cast<DWORD>((pos_ >> 32) % frames) * format_.nBlockAlign : 0;
}

HRESULT Buffer::GetCurrentPosition(LPDWORD play, LPDWORD write)
{
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    if (primary_) {
        if (play)
            *play = 0;
        if (write)
            *write = 0;
        return DS_OK;
    }
    const DWORD p = PlayByte();
    DWORD w = p;
    if (playing_) {
        const uint64_t lead = (kPeriodFrames * uint64_t{Rate()} + device_->rate - 1) / device_->rate + kWriteMarginFrames;
        w = static_cast<DWORD>((p + lead * format_.nBlockAlign) % (uint64_t{Frames()} * format_.nBlockAlign));
    }
    if (play)
        *play = p;
    if (write)
        *write = w;
    return DS_OK;
}

HRESULT Buffer::GetFormat(LPWAVEFORMATEX format, DWORD size, LPDWORD written)
{
    if (!format && !written)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    WAVEFORMATEX f = format_;
    if (primary_) {
        f.nSamplesPerSec = device_->rate;
        f.nChannels = device_->channels;
        f.nBlockAlign = static_cast<WORD>(f.nChannels * f.wBitsPerSample / 8);
        f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    }
    const DWORD n = format ? std::min<DWORD>(size, sizeof(WAVEFORMATEX)) : sizeof(WAVEFORMATEX);
    if (format)
        std::memcpy(format, &f, n);
    if (written)
        *written = n;
    return DS_OK;
}

HRESULT Buffer::GetVolume(LPLONG volume)
{
    if (!volume)
        return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    *volume = volume_;
    return DS_OK;
}

HRESULT Buffer::GetPan(LPLONG pan)
{
    if (!pan)
        return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    *pan = pan_;
    return DS_OK;
}

HRESULT Buffer::GetFrequency(LPDWORD frequency)
{
    if (!frequency)
        return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY) || primary_)
        return DSERR_CONTROLUNAVAIL;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    *frequency = Rate();
    return DS_OK;
}

HRESULT Buffer::GetStatus(LPDWORD status)
{
    if (!status)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    *status = (playing_ ? DSBSTATUS_PLAYING : 0) | (playing_ && looping_ ? DSBSTATUS_LOOPING : 0) |
              (lost_ ? DSBSTATUS_BUFFERLOST : 0);
    return DS_OK;
}

HRESULT Buffer::Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2, LPDWORD bytes2,
                     DWORD flags)
{
    if (!ptr1 || !bytes1)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    if (primary_)
        return DSERR_INVALIDCALL;
    if (lost_)
        return DSERR_BUFFERLOST;
    if (flags & DSBLOCK_FROMWRITECURSOR)
        GetCurrentPosition(nullptr, &offset);
    if (flags & DSBLOCK_ENTIREBUFFER)
        bytes = size_;
    if (bytes == 0 || bytes > size_ || offset >= size_)
        return DSERR_INVALIDPARAM;
    uint8_t* base = data_->data();
    const DWORD first = std::min(bytes, size_ - offset);
    *ptr1 = base + offset;
    *bytes1 = first;
    locks_.push_back(Region{base + offset, first});
    const DWORD second = bytes - first;
    if (ptr2)
        *ptr2 = second ? base : nullptr;
    if (bytes2)
        *bytes2 = ptr2 ? second : 0;
    if (ptr2 && second)
        locks_.push_back(Region{base, second});
    return DS_OK;
}

HRESULT Buffer::Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2)
{
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    auto find = [this](void* p, DWORD n) {
        return std::find_if(locks_.begin(), locks_.end(), [&](const Region& r) { return r.ptr == p && n <= r.bytes; });
    };
    auto a = find(ptr1, bytes1);
    if (!ptr1 || a == locks_.end())
        return DSERR_INVALIDPARAM;
    if (ptr2) {
        auto b = find(ptr2, bytes2);
        if (b == locks_.end() || b == a)
            return DSERR_INVALIDPARAM;
        locks_.erase(b);
        a = find(ptr1, bytes1);
    }
    locks_.erase(a);
    return DS_OK;
}

HRESULT Buffer::Play(DWORD, DWORD, DWORD flags)
{
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    if (lost_)
        return DSERR_BUFFERLOST;
    if (primary_)
        return DS_OK;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    playing_ = true;
    return DS_OK;
}

HRESULT Buffer::SetCurrentPosition(DWORD position)
{
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    if (primary_)
        return DSERR_INVALIDCALL;
    if (position >= size_)
        return DSERR_INVALIDPARAM;
    pos_ = uint64_t{position / format_.nBlockAlign} << 32;
    return DS_OK;
}

HRESULT Buffer::SetFormat(const WAVEFORMATEX* format)
{
    if (!format)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    if (!primary_)
        return DSERR_INVALIDCALL;
    if (device_->level != DSSCL_PRIORITY)
        return DSERR_PRIOLEVELNEEDED;
    if (!ValidPcm(*format))
        return DSERR_BADFORMAT;
    format_ = *format;
    device_->SetOutputFormat(format->nSamplesPerSec, format->nChannels);
    return DS_OK;
}

HRESULT Buffer::SetVolume(LONG volume)
{
    if (!(flags_ & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    volume_ = volume;
    return DS_OK;
}

HRESULT Buffer::SetPan(LONG pan)
{
    if (!(flags_ & DSBCAPS_CTRLPAN))
        return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    pan_ = pan;
    return DS_OK;
}

HRESULT Buffer::SetFrequency(DWORD hz)
{
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY) || primary_)
        return DSERR_CONTROLUNAVAIL;
    if (hz != DSBFREQUENCY_ORIGINAL && (hz < DSBFREQUENCY_MIN || hz > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    frequency_ = hz;
    return DS_OK;
}

HRESULT Buffer::Stop()
{
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    if (primary_)
        return DS_OK;
    const bool was = playing_;
    playing_ = false;
    if (was)
        SignalStop();
    return DS_OK;
}

HRESULT Buffer::Restore()
{
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    lost_ = false;
    return DS_OK;
}

HRESULT Buffer::SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions)
{
    if (count > 0 && !positions)
        return DSERR_INVALIDPARAM;
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    if (playing_)
        return DSERR_INVALIDCALL;
    for (DWORD i = 0; i < count; ++i)
        if (positions[i].dwOffset != DSBPN_OFFSETSTOP && positions[i].dwOffset >= size_)
            return DSERR_INVALIDPARAM;
    notes_.assign(positions, positions + count);
    return DS_OK;
}

void Buffer::Signal(uint64_t fromByte, uint64_t toByte)
{
    if (toByte <= fromByte || size_ == 0)
        return;
    const uint64_t span = toByte - fromByte;
    const uint64_t start = fromByte % size_;
    for (const auto& n : notes_) {
        if (n.dwOffset == DSBPN_OFFSETSTOP)
            continue;
        if (span >= size_ || (n.dwOffset + uint64_t{size_} - start) % size_ < span)
            SetEvent(n.hEventNotify);
    }
}

void Buffer::SignalStop()
{
    for (const auto& n : notes_)
        if (n.dwOffset == DSBPN_OFFSETSTOP)
            SetEvent(n.hEventNotify);
}

void Buffer::MixInto(int32_t* acc, size_t frames, std::vector<int16_t>& scratch, bool audible)
{
    const DWORD total = Frames();
    if (!playing_ || primary_ || total == 0)
        return;
    const uint64_t end = uint64_t{total} << 32;
    const uint64_t step = (uint64_t{Rate()} << 32) / device_->rate;
    size_t n = frames;
    if (!looping_) {
        const uint64_t left = pos_ < end ? (end - pos_ + step - 1) / step : 0;
        n = static_cast<size_t>(std::min<uint64_t>(frames, left));
    }
    const int channels = format_.nChannels;
    if (audible && n > 0 && volume_ > DSBVOLUME_MIN) {
        int32_t left = 0;
        int32_t right = 0;
        VoiceGains(volume_, pan_, left, right);
        if (step == (uint64_t{1} << 32) && (pos_ & 0xFFFFFFFFu) == 0 && format_.wBitsPerSample == 16) {
            // At the output rate 16-bit samples are mixed straight from the buffer, a run at a time
            // up to its end (the frames are whole, so this reads what the copy would).
            const auto* samples = reinterpret_cast<const int16_t*>(data_->data());
            size_t done = 0;
            uint64_t frame = pos_ >> 32;
            while (done < n) {
                frame %= total;
                const size_t run = static_cast<size_t>(std::min<uint64_t>(n - done, total - frame));
                Accumulate(acc + done * device_->channels, samples + frame * channels, run, channels,
                           device_->channels, left, right);
                done += run;
                frame += run;
            }
        } else {
            scratch.resize(n * channels);
            const VoiceSource source{data_->data(), total, format_.nChannels, format_.wBitsPerSample, looping_};
            ResampleVoice(source, pos_, step, scratch.data(), n);
            Accumulate(acc, scratch.data(), n, channels, device_->channels, left, right);
        }
    }
    const uint64_t from = (pos_ >> 32) * format_.nBlockAlign;
    const uint64_t moved = pos_ + n * step;
    const uint64_t toFrames = looping_ ? (moved >> 32) : std::min<uint64_t>(moved >> 32, total);
    Signal(from, toFrames * format_.nBlockAlign);
    if (looping_) {
        pos_ = moved % end;
    } else if (moved >= end) {
        // A one-shot that reaches its end stops at the start.
        pos_ = 0;
        playing_ = false;
        SignalStop();
    } else {
        pos_ = moved;
    }
}

Buffer* Buffer::Duplicate()
{
    return new Buffer(device_, flags_, format_, data_, false);
}

void Buffer::MarkLost()
{
    std::lock_guard<std::recursive_mutex> lock(device_->mutex);
    lost_ = true;
    playing_ = false;
}

} // namespace winapi::ds
