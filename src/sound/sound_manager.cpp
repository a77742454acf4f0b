#include "sound/sound_manager.h"

#include <algorithm>
#include <cstring>

#include "sound/sound_fade_tasks.h"
#include "winapi/kernel.h"

bool SameSoundName(const std::string& a, const char* b)
{
    return b && lstrcmpiA(a.c_str(), b) == 0;
}

CSoundManager::CSoundManager() = default;

CSoundManager::~CSoundManager()
{
    CancelMusicTasks();
    CancelDucking();
    for (auto& c : m_channels)
        CancelChannelFade(*c);
    m_channels.clear();
    m_slots[0].stream.Release();
    m_slots[1].stream.Release();
}

void CSoundManager::CancelMusicTasks()
{
    if (!m_scheduler)
        return;
    m_scheduler->CancelKind(kMusicFadeKind);
    m_scheduler->CancelKind(kMusicCrossFadeKind);
    m_scheduler->CancelKind(kMusicReservedKind);
}

void CSoundManager::CancelDucking()
{
    if (m_duckScheduler)
        m_duckScheduler->CancelKind(kMusicDuckKind);
    m_duckScheduler = nullptr;
}

void CSoundManager::CancelChannelFade(CSoundChannel& c)
{
    if (c.fadeTask && m_scheduler)
        m_scheduler->Cancel(c.fadeTask);
    c.fadeTask = nullptr;
}

uint8_t CSoundManager::GetKindEnabled(uint8_t kind) const
{
    switch (kind) {
    case 1: return m_kind1;
    case 2: return m_kind2;
    case 4: return m_kind4;
    default: return 0;
    }
}

void CSoundManager::ApplyMusicVolume()
{
    const int32_t v = m_active->volume * m_musicScale / 100 * m_master >> 8;
    m_active->stream.SetVolume(v);
}

void CSoundManager::ApplyChannelVolume(CSoundChannel& c)
{
    int32_t v = c.volume2 * c.volume / 100 * m_master >> 8;
    if (c.kind == 4)
        v = v * m_voiceMaster >> 8;
    c.stream.SetVolume(v);
    c.loaded.SetVolume(v);
}

int CSoundManager::OpenActiveSlot()
{
    CMusicSlot& s = *m_active;
    const int r = s.intro.empty() ? s.stream.Open(s.main.c_str(), nullptr) : s.stream.Open(s.intro.c_str(), s.main.c_str());
    return r < 0 ? 0 : r;
}

int CSoundManager::PlayMusic(const char* main, const char* intro, bool loop)
{
    CancelMusicTasks();
    CScopedLock lock(m_lock);
    if (!main)
        return 1;
    CMusicSlot& s = *m_active;
    s.pauseCount = 0;
    if (SameSoundName(s.main, main) && (!intro || SameSoundName(s.intro, intro)) && s.stream.IsPlaying(nullptr, nullptr))
        return -1;
    s.main = main;
    s.intro = intro ? intro : "";
    if (IsMusicAudible()) {
        const int r = OpenActiveSlot();
        if (r > 0) {
            s.main.clear();
            s.intro.clear();
            return r;
        }
    }
    s.loop = loop ? 1 : 0;
    if (!IsMusicAudible())
        return -2;
    s.stream.SetPan(m_musicPan);
    if (loop)
        s.stream.PlayLooped();
    else
        s.stream.Play();
    return 0;
}

void CSoundManager::StopActiveMusic(bool cancelTasks)
{
    if (cancelTasks)
        CancelMusicTasks();
    CScopedLock lock(m_lock);
    m_active->stream.Release();
    m_active->main.clear();
    m_active->intro.clear();
    m_active->pauseCount = 0;
}

void CSoundManager::StopMusic()
{
    StopActiveMusic(true);
}

void CSoundManager::PauseMusic()
{
    ++m_active->pauseCount;
    m_active->stream.Pause();
}

void CSoundManager::ResumeMusic()
{
    if (m_active->pauseCount > 0)
        --m_active->pauseCount;
    m_active->stream.Resume();
}

void CSoundManager::SwapMusicSlots()
{
    m_activeIndex ^= 1;
    m_active = &m_slots[m_activeIndex];
}

bool CSoundManager::IsMusicPlaying()
{
    return m_slots[0].stream.IsPlaying(nullptr, nullptr) || m_slots[1].stream.IsPlaying(nullptr, nullptr);
}

void CSoundManager::SetMusicVolume(int32_t volume, int32_t scale, bool cancelDucking)
{
    if (volume >= 0)
        m_active->volume = std::min(volume, 100);
    if (scale >= 0) {
        if (cancelDucking)
            CancelDucking();
        m_musicScale = std::min(scale, 256);
    }
    ApplyMusicVolume();
}

void CSoundManager::SetMusicPan(LONG pan)
{
    m_musicPan = pan;
    m_active->stream.SetPan(pan);
}

int CSoundManager::EnableMusic(uint8_t value, bool force)
{
    if (value == m_musicEnabled && !force)
        return 0;
    CScopedLock lock(m_lock);
    m_musicEnabled = value;
    if ((value & m_masterMask) == 0) {
        for (auto& s : m_slots)
            if (s.stream.IsPlaying(nullptr, nullptr))
                s.stream.Stop();
        return 0;
    }
    CMusicSlot& s = *m_active;
    if (s.stream.IsPlaying(nullptr, nullptr) || s.pauseCount > 0 || s.main.empty())
        return 0;
    const int r = OpenActiveSlot();
    if (r == 0) {
        s.stream.SetPan(m_musicPan);
        if (s.loop)
            s.stream.PlayLooped();
        else
            s.stream.Play();
    }
    return r;
}

void CSoundManager::SetMasterVolume(int32_t volume, bool loopsOnly)
{
    m_master = std::clamp(volume, 0, 256);
    CancelDucking();
    ApplyMusicVolume();
    for (auto& c : m_channels)
        if (!loopsOnly || ((c->kind & 1) && (c->state == 2 || c->current == &c->stream)))
            ApplyChannelVolume(*c);
}

void CSoundManager::SetVoiceMasterVolume(int32_t volume)
{
    m_voiceMaster = std::clamp(volume, 0, 256);
    for (auto& c : m_channels)
        if (c->kind & 4)
            ApplyChannelVolume(*c);
}

void CSoundManager::SetEnableMask(uint8_t mask, bool keepOneShots)
{
    if (mask == m_masterMask)
        return;
    m_masterMask = mask;
    EnableMusic(m_musicEnabled, true);
    SetKindEnabled(m_kind1, 1, keepOneShots, true);
    SetKindEnabled(m_kind2, 2, keepOneShots, true);
    SetKindEnabled(m_kind4, 4, keepOneShots, true);
}

int CSoundManager::SetChannelCount(int32_t n)
{
    if (n == GetChannelCount())
        return 0;
    if (n < 1)
        return 1;
    if (!m_channels.empty())
        CancelDucking();
    while (GetChannelCount() > n) {
        CancelChannelFade(*m_channels.back());
        m_channels.pop_back();
    }
    while (GetChannelCount() < n)
        m_channels.push_back(std::make_unique<CSoundChannel>());
    return 0;
}

CSoundChannel* CSoundManager::GetChannelRecord(int32_t index)
{
    return index >= 0 && index < GetChannelCount() ? m_channels[static_cast<size_t>(index)].get() : nullptr;
}

int CSoundManager::SetChannelSound(int32_t index, const char* name, int mode, bool streamed)
{
    CSoundChannel* c = GetChannelRecord(index);
    if (!c || !name)
        return 1;
    ReleaseChannel(index);
    const int32_t def = (c->kind == 2 && m_defaultVolume2 >= 0) ? m_defaultVolume2
                        : (c->kind == 4 && m_defaultVolume4 >= 0) ? m_defaultVolume4
                                                                  : m_defaultVolume1;
    c->volume2 = std::clamp(def, 0, 256);
    c->volume = 100;
    ApplyChannelVolume(*c);
    CSoundBuffer* used;
    if (streamed) {
        if (c->stream.Open(name, nullptr) > 0)
            return 2;
        c->streamName = name;
        used = &c->stream;
    } else {
        if (c->loaded.Open(name, mode) > 0)
            return 2;
        used = &c->loaded;
    }
    c->current = used;
    used->SetPan(c->pan);
    return 0;
}

void CSoundManager::ReleaseChannel(int32_t index)
{
    CSoundChannel* c = GetChannelRecord(index);
    if (!c)
        return;
    if (c->current)
        c->current->Release();
    c->current = nullptr;
    c->streamName.clear();
    CancelChannelFade(*c);
    c->state = 0;
}

int CSoundManager::StartChannel(int32_t index, bool looped)
{
    CSoundChannel* c = GetChannelRecord(index);
    if (!c)
        return 1;
    CancelChannelFade(*c);
    CScopedLock lock(m_lock);
    c->state = 0;
    // A channel of several kinds is enabled by the looped argument, as the scripts expect.
    const uint8_t byte = c->kind == 1 ? m_kind1 : c->kind == 2 ? m_kind2 : c->kind == 4 ? m_kind4 : (looped ? 1 : 0);
    const bool enabled = (byte & m_masterMask) != 0;
    if (enabled && c->current) {
        const int r = looped ? c->current->PlayLooped() : c->current->Play();
        if (r != 0)
            return r + 1;
    }
    c->state = looped ? 2 : 1;
    return enabled ? 0 : -1;
}

void CSoundManager::StopChannel(int32_t index)
{
    CSoundChannel* c = GetChannelRecord(index);
    if (!c)
        return;
    CancelChannelFade(*c);
    if (c->current)
        c->current->Stop();
    c->state = 0;
}

int CSoundManager::SetChannelVolume(int32_t index, int32_t volume, int32_t volume2)
{
    CSoundChannel* c = GetChannelRecord(index);
    if (!c)
        return 1;
    if (volume >= 0)
        c->volume = std::min(volume, 100);
    if (volume2 >= 0)
        c->volume2 = std::min(volume2, 256);
    ApplyChannelVolume(*c);
    return 0;
}

void CSoundManager::SetChannelPan(int32_t index, LONG pan)
{
    CSoundChannel* c = GetChannelRecord(index);
    if (!c)
        return;
    c->pan = pan;
    if (c->current)
        c->current->SetPan(pan);
}

int CSoundManager::SetChannelKind(int32_t index, uint8_t kind)
{
    CSoundChannel* c = GetChannelRecord(index);
    if (!c)
        return 1;
    if ((kind & 7) == 0)
        return 2;
    c->kind = kind;
    return 0;
}

void CSoundManager::SetKindEnabled(uint8_t value, uint8_t kinds, bool keepOneShots, bool force)
{
    bool changed = false;
    for (auto [bit, byte] : {std::pair<uint8_t, uint8_t*>{1, &m_kind1}, {2, &m_kind2}, {4, &m_kind4}}) {
        if ((kinds & bit) && *byte != value) {
            *byte = value;
            changed = true;
        }
    }
    if (!changed && !force)
        return;
    CScopedLock lock(m_lock);
    const bool audible = (value & m_masterMask) != 0;
    for (int32_t i = 0; i < GetChannelCount(); ++i) {
        CSoundChannel& c = *m_channels[static_cast<size_t>(i)];
        if (!(c.kind & kinds))
            continue;
        if (c.state == 2) {
            if (c.current) {
                if (audible)
                    c.current->PlayLooped();
                else
                    c.current->Stop();
            }
        } else if (!audible && !keepOneShots) {
            StopChannel(i);
        }
    }
}

void CSoundManager::SetKindVolume(int32_t volume2, bool loopsOnly, uint8_t kinds)
{
    for (int32_t i = 0; i < GetChannelCount(); ++i) {
        CSoundChannel& c = *m_channels[static_cast<size_t>(i)];
        if ((c.kind & kinds) && (!loopsOnly || c.state == 2 || c.current == &c.stream))
            SetChannelVolume(i, -1, volume2);
    }
}

CSoundBuffer* CSoundManager::GetChannel(int32_t index)
{
    CSoundChannel* c = GetChannelRecord(index);
    return c ? c->current : nullptr;
}

bool CSoundManager::IsChannelPlaying(int32_t index)
{
    CSoundChannel* c = GetChannelRecord(index);
    return c && c->current && c->current->IsPlaying(nullptr, nullptr);
}

uint8_t CSoundManager::GetChannelFadeFlag(int32_t index)
{
    CSoundChannel* c = GetChannelRecord(index);
    return c ? c->fadeFlag : 0;
}

void CSoundManager::SetChannelFadeFlag(int32_t index, uint8_t flag)
{
    if (CSoundChannel* c = GetChannelRecord(index))
        c->fadeFlag = flag;
}

int CSoundManager::StartVoiceDucking(CTimerManager* scheduler, int32_t channel, double ratio)
{
    const int r = CMusicDuckTask::Start(scheduler, this, channel, ratio);
    if (r == 0)
        m_duckScheduler = scheduler;
    return r;
}

// Save format: pan, main and intro names, volume, loop flag, channel count, then per channel its
// source type, name and open mode, volume, pan, looping flag and kind. Strings are a length byte
// (length + 1) and the bytes with their 0, or a single 0 when absent.
namespace {

constexpr size_t kMaxSavedName = 254;

bool Savable(const std::string& name)
{
    // A longer name would wrap its length byte: it is saved as absent.
    return !name.empty() && name.size() <= kMaxSavedName;
}

struct Writer {
    uint8_t* p;
    void U8(uint8_t v) { *p++ = v; }
    void I32(int32_t v)
    {
        const auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            *p++ = static_cast<uint8_t>(u >> (8 * i));
    }
    void Str(const std::string& s)
    {
        if (!Savable(s)) {
            U8(0);
            return;
        }
        U8(static_cast<uint8_t>(s.size() + 1));
        std::memcpy(p, s.c_str(), s.size() + 1);
        p += s.size() + 1;
    }
};

struct Reader {
    const uint8_t* p;
    const uint8_t* end;
    bool ok = true;
    uint8_t U8()
    {
        if (end - p < 1) {
            ok = false;
            return 0;
        }
        return *p++;
    }
    int32_t I32()
    {
        if (end - p < 4) {
            ok = false;
            return 0;
        }
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i)
            u |= uint32_t{*p++} << (8 * i);
        return static_cast<int32_t>(u);
    }
    // Absent: false in `present`. A string must end in its 0 and hold no other.
    std::string Str(bool& present)
    {
        present = false;
        const uint8_t n = U8();
        if (!ok || n == 0)
            return {};
        if (end - p < n || p[n - 1] != 0 || std::memchr(p, 0, n - 1)) {
            ok = false;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(p), n - 1);
        p += n;
        present = true;
        return s;
    }
};

struct SavedChannel {
    uint8_t type = 0;
    bool named = false;
    std::string name;
    uint8_t mode = 0;
    int32_t volume = 0;
    int32_t pan = 0;
    uint8_t looping = 0;
    uint8_t kind = 1;
};

} // namespace

uint32_t CSoundManager::GetSaveSize()
{
    uint32_t size = 15;
    if (Savable(m_active->main))
        size += static_cast<uint32_t>(m_active->main.size() + 1);
    if (Savable(m_active->intro))
        size += static_cast<uint32_t>(m_active->intro.size() + 1);
    for (auto& c : m_channels) {
        size += 11;
        const char* name = c->current == &c->stream ? c->streamName.c_str()
                           : c->current == &c->loaded ? c->loaded.GetName()
                                                      : nullptr;
        if (name && Savable(name))
            size += static_cast<uint32_t>(std::strlen(name) + 3);
    }
    return size;
}

int CSoundManager::Save(uint8_t** cursor)
{
    if (!cursor || !*cursor)
        return 1;
    Writer w{*cursor};
    w.I32(m_musicPan);
    w.Str(m_active->main);
    w.Str(m_active->intro);
    w.I32(m_active->volume);
    w.U8(m_active->loop);
    w.I32(GetChannelCount());
    for (auto& c : m_channels) {
        std::string name;
        uint8_t type = 0;
        uint8_t mode = 0;
        if (c->current == &c->stream) {
            type = 1;
            name = c->streamName;
        } else if (c->current == &c->loaded && c->loaded.GetName()) {
            type = 2;
            name = c->loaded.GetName();
            // The open mode, where Load reads it (the kept width used to be written here).
            mode = static_cast<uint8_t>(c->loaded.GetOpenMode());
        }
        if (!Savable(name))
            type = 0;
        w.U8(type);
        if (type != 0) {
            w.Str(name);
            w.U8(mode);
        }
        w.I32(c->volume);
        w.I32(c->pan);
        w.U8(c->state == 2 ? 1 : 0);
        w.U8(c->kind);
    }
    *cursor = w.p;
    return 0;
}

int CSoundManager::Load(const uint8_t** cursor, size_t size)
{
    if (!cursor || !*cursor)
        return 1;
    // Everything is read and checked before anything changes.
    Reader r{*cursor, *cursor + size};
    const int32_t pan = r.I32();
    bool hasMain = false;
    bool hasIntro = false;
    const std::string main = r.Str(hasMain);
    const std::string intro = r.Str(hasIntro);
    const int32_t volume = r.I32();
    const uint8_t loop = r.U8();
    const int32_t count = r.I32();
    if (!r.ok || count < 0 || static_cast<size_t>(count) > static_cast<size_t>(r.end - r.p) / 11)
        return 2;
    std::vector<SavedChannel> channels(static_cast<size_t>(count));
    for (SavedChannel& c : channels) {
        c.type = r.U8();
        if (c.type > 2)
            return 2;
        if (c.type != 0) {
            c.name = r.Str(c.named);
            c.mode = r.U8();
            if (!c.named)
                return 2;
        }
        c.volume = r.I32();
        c.pan = r.I32();
        c.looping = r.U8();
        c.kind = r.U8();
        if (!r.ok)
            return 2;
    }
    StopMusic();
    SwapMusicSlots();
    StopMusic();
    m_musicPan = pan;
    SetMusicVolume(volume, -1, true);
    CancelDucking();
    if (hasMain)
        PlayMusic(main.c_str(), hasIntro ? intro.c_str() : nullptr, loop != 0);
    SetChannelCount(count);
    for (int32_t i = 0; i < count && i < GetChannelCount(); ++i) {
        const SavedChannel& s = channels[static_cast<size_t>(i)];
        // Kind first: SetChannelSound takes the kind's default volume, which the saved volume then
        // overrides; the start comes last.
        if ((s.kind & 7) != 0)
            SetChannelKind(i, s.kind);
        if (s.named) {
            StopChannel(i);
            SetChannelSound(i, s.name.c_str(), s.mode, s.type == 1);
        } else {
            ReleaseChannel(i);
        }
        SetChannelVolume(i, s.volume, -1);
        SetChannelPan(i, s.pan);
        if (s.named && s.looping)
            StartChannel(i, true);
    }
    *cursor = r.p;
    return 0;
}
