// The scenario's sound channels: effects on sound-manager channels 8 to 11 in rotation, their
// fades and waits, the music by number through the host link, and the voice on channel 6.
//
// A channel's record keeps the name of what loops there so that a saved state starts it again;
// whatever stops the loop (a stop, a fade-out, a one-shot sound on the same channel) forgets the
// name, so a loaded game never brings back a sound the scenario had ended.
#include <cstring>

#include "platform/app_config.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "sound/sound_fade_tasks.h"
#include "sound/sound_player.h"

namespace {

constexpr uint32_t kDefaultFadeMs = 1000;
// A kept name is saved after a length byte that counts its closing NUL.
constexpr size_t kLongestName = 254;

bool NameFits(const char* file)
{
    return file == nullptr || std::strlen(file) <= kLongestName;
}

bool SoundEffectsOn()
{
    return g_pAppConfig == nullptr || g_pAppConfig->seOn != 0;
}

bool VoicesOn()
{
    return g_pAppConfig == nullptr || g_pAppConfig->voiceOn != 0;
}

bool FastEffects()
{
    return g_pAppConfig != nullptr && g_pAppConfig->fastEffects != 0;
}

} // namespace

int32_t CTgsFrame::EffectChannel(int32_t n)
{
    if (n > kEffectChannels - 1)
        return -1;
    if (n >= 0)
        return kFirstEffectChannel + n;
    const int32_t channel = kFirstEffectChannel + m_nextEffectChannel;
    m_nextEffectChannel = (m_nextEffectChannel + 1) % kEffectChannels;
    return channel;
}

int32_t CTgsFrame::NamedChannel(int32_t n)
{
    if (n >= 0)
        return n > kEffectChannels - 1 ? -1 : kFirstEffectChannel + n;
    const int64_t channel = -static_cast<int64_t>(n);
    return channel >= kLoopChannels ? -1 : static_cast<int32_t>(channel);
}

void CTgsFrame::KeepChannelName(int32_t channel, const char* file, bool stream)
{
    const int32_t i = channel - kFirstEffectChannel;
    if (i < 0 || i >= kEffectChannels)
        return;
    TgsSoundChannel& record = m_soundChannels[static_cast<size_t>(i)];
    if (file == nullptr) {
        record.name.clear();
        record.flag = 0;
        return;
    }
    if (file != record.name.c_str())
        record.name = file;
    record.flag = stream ? 1 : 0;
}

int32_t CTgsFrame::PickEffectChannel(const char* file, int32_t n, bool stream)
{
    const int32_t channel = EffectChannel(n);
    if (channel < 0)
        return -1;
    if (file != nullptr && (g_pSoundManager == nullptr || g_pSoundManager->SetChannelSound(channel, file, 0, stream) != 0))
        return -1;
    return channel;
}

int CTgsFrame::PlayEffect(const char* file, int32_t n, bool stream, bool loop)
{
    if (!NameFits(file))
        return 1;
    const bool on = SoundEffectsOn() && g_pSoundManager != nullptr;
    const int32_t channel = PickEffectChannel(on ? file : nullptr, n, stream);
    if (channel < 0)
        return 1;
    if (on)
        g_pSoundManager->StartChannel(channel, loop);
    else if (!loop)
        return 0;
    m_channelLoop[static_cast<size_t>(channel)] = loop ? 1 : 0;
    KeepChannelName(channel, loop ? file : nullptr, stream);
    return 0;
}

int CTgsFrame::StopEffect(int32_t n)
{
    const int32_t channel = NamedChannel(n);
    if (channel < 0)
        return 1;
    m_channelLoop[static_cast<size_t>(channel)] = 0;
    KeepChannelName(channel, nullptr, false);
    if (g_pSoundManager != nullptr)
        g_pSoundManager->StopChannel(channel);
    return 0;
}

void CTgsFrame::StopAllEffects()
{
    for (int i = 0; i < kEffectChannels; ++i) {
        const int32_t channel = kFirstEffectChannel + i;
        if (g_pSoundManager != nullptr)
            g_pSoundManager->ReleaseChannel(channel);
        m_channelLoop[static_cast<size_t>(channel)] = 0;
        KeepChannelName(channel, nullptr, false);
    }
    m_nextEffectChannel = 0;
}

int CTgsFrame::FadeInEffect(const char* file, uint32_t time, int32_t n, bool loop)
{
    if (!NameFits(file))
        return 1;
    const int32_t channel = EffectChannel(n);
    if (channel < 0)
        return 1;
    if (SoundEffectsOn() && g_pSoundManager != nullptr) {
        const int r = CChannelFadeInTask::Start(g_pSoundManager->GetTaskScheduler(), g_pSoundManager, file, channel,
                                                loop, time == 0 ? kDefaultFadeMs : time);
        if (r > 0)
            return 1;
    }
    m_channelLoop[static_cast<size_t>(channel)] = loop ? 1 : 0;
    KeepChannelName(channel, loop ? file : nullptr, false);
    return 0;
}

int CTgsFrame::FadeOutEffect(uint32_t time, int32_t n)
{
    const int32_t channel = NamedChannel(n);
    if (channel < 0)
        return 1;
    m_channelLoop[static_cast<size_t>(channel)] = 0;
    KeepChannelName(channel, nullptr, false);
    if (g_pSoundManager == nullptr)
        return 1;
    const int r = CChannelFadeOutTask::Start(g_pSoundManager->GetTaskScheduler(), g_pSoundManager, channel,
                                             time == 0 ? kDefaultFadeMs : time);
    return r > 0 ? 1 : 0;
}

bool CTgsFrame::SoundWaitSkipped(bool skippable, bool checkSetting)
{
    if (!skippable)
        return false;
    return (checkSetting && FastEffects()) || m_link->SkipKeyDown() || CheckSkipInput(1) != 0 || m_skipMode != 0 ||
           m_pageSkip != 0;
}

int CTgsFrame::WaitEffect(int32_t n, bool skippable, bool stop, bool checkSetting)
{
    const int32_t channel = NamedChannel(n);
    if (channel < 0 || m_link == nullptr)
        return -1;
    if (m_channelLoop[static_cast<size_t>(channel)] != 0) {
        StopEffect(n);
        return 2;
    }
    while (true) {
        if (StepFrame() == 0)
            return -1;
        if (g_pSoundManager == nullptr || !g_pSoundManager->IsChannelPlaying(channel))
            return 0;
        if (SoundWaitSkipped(skippable, checkSetting)) {
            if (stop)
                g_pSoundManager->StopChannel(channel);
            return 1;
        }
    }
}

int CTgsFrame::WaitEffectFade(int32_t n, bool skippable, bool stopWhenSkipped, bool checkSetting)
{
    const int32_t channel = NamedChannel(n);
    if (channel < 0 || m_link == nullptr)
        return -1;
    while (true) {
        if (StepFrame() == 0)
            return -1;
        const CSoundChannel* record = g_pSoundManager != nullptr ? g_pSoundManager->GetChannelRecord(channel) : nullptr;
        if (record == nullptr || record->fadeTask == nullptr)
            return 0;
        if (SoundWaitSkipped(skippable, checkSetting)) {
            if (stopWhenSkipped)
                g_pSoundManager->StopChannel(channel);
            return 1;
        }
    }
}

int CTgsFrame::WaitMusicChange(bool skippable)
{
    if (m_link == nullptr)
        return -1;
    while (true) {
        if (StepFrame() == 0)
            return -1;
        if (g_pSoundManager == nullptr || g_pSoundManager->m_musicFadeState == 0)
            return 0;
        if (SoundWaitSkipped(skippable, false)) {
            if (m_link->CurrentBgm() == 0)
                g_pSoundManager->StopMusic();
            return 1;
        }
    }
}

int CTgsFrame::WaitMusicEnd(bool skippable)
{
    if (m_link == nullptr)
        return -1;
    int result = 2;
    const CMusicSlot* slot = g_pSoundManager != nullptr ? g_pSoundManager->GetActiveSlot() : nullptr;
    if (slot == nullptr || slot->loop == 0) {
        while (true) {
            if (StepFrame() == 0)
                return -1;
            if (g_pSoundManager == nullptr || !g_pSoundManager->IsMusicPlaying()) {
                result = 0;
                break;
            }
            if (skippable && (m_skipMode != 0 || m_pageSkip != 0 || CheckSkipInput(3) != 0)) {
                result = 1;
                break;
            }
        }
    }
    m_musicNumber = 0;
    m_link->PlayBgm(0, 0, true);
    return result;
}

int CTgsFrame::PlayMusic(int32_t number, uint32_t fadeTime, bool loop)
{
    m_musicNumber = number;
    return m_link != nullptr ? m_link->PlayBgm(number, fadeTime, loop) : -1;
}

int CTgsFrame::PlayVoiceNow(const char* name, bool loop)
{
    if (!VoicesOn())
        return 1;
    if (g_pSoundManager == nullptr || name == nullptr)
        return 3;
    const int who = g_pSoundManager->PlayVoice(kVoiceChannel, name, 0, nullptr);
    if (who == -2)
        return 2;
    if (who < -1)
        return 3;
    m_voiceWaitState = 0;
    if (g_pSoundManager->StartChannel(kVoiceChannel, loop) > 0)
        return 3;
    m_voiceStarted = 1;
    return 0;
}
