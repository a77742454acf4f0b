#include "sound/sound_player.h"

#include <cstdio>
#include <cstring>

#include "winapi/kernel.h"

CSoundPlayer* g_pSoundManager = nullptr;
uint8_t g_bVoiceLevel = 1;

namespace {

// "VOICE\NAME.EXT" into out; false when it does not fit a path.
bool VoicePath(char (&out)[MAX_PATH], const char* name, const char* extension)
{
    const int n = std::snprintf(out, sizeof out, "VOICE\\%s.%s", name, extension);
    return n > 0 && static_cast<size_t>(n) < sizeof out;
}

// The name begins with the prefix, ignoring ASCII case (trail bytes compared as they are).
bool BeginsWith(const char* name, const std::string& prefix)
{
    const size_t n = prefix.size();
    if (n == 0 || std::strlen(name) < n)
        return false;
    const std::string head(name, n);
    return lstrcmpiA(head.c_str(), prefix.c_str()) == 0;
}

} // namespace

int CSoundPlayer::PlayVoice(int32_t channel, const char* name, int32_t count, const int32_t* characters)
{
    if (!m_voices)
        return -5;
    if (!name)
        return -3;
    const bool voicesOn = (GetKindEnabled(4) & GetMasterMask()) != 0;
    char path[MAX_PATH];
    if (m_voices->prefixes.empty()) {
        if (!voicesOn)
            return -2;
        if (!VoicePath(path, name, "OGG") || SetChannelSound(channel, path, 0, false) != 0)
            return -4;
        return -1;
    }
    int32_t prefix = -1;
    for (size_t i = 0; i < m_voices->prefixes.size(); ++i) {
        if (BeginsWith(name, m_voices->prefixes[i].prefix)) {
            prefix = static_cast<int32_t>(i);
            break;
        }
    }
    if (prefix < 0)
        return -3;
    const int32_t character = m_voices->prefixes[static_cast<size_t>(prefix)].character;
    if (channel < 0)
        return channel == -1 ? prefix : character;
    if (character < 0 || static_cast<size_t>(character) >= m_voices->characters.size())
        return -3;
    VoiceCharacter& who = m_voices->characters[static_cast<size_t>(character)];
    if (!voicesOn || !who.enabled)
        return -2;
    int32_t position = -1;
    for (int32_t i = 0; characters && i < count; ++i) {
        if (characters[i] == character) {
            position = i;
            break;
        }
    }
    const int mode = position >= 0 && g_bVoiceLevel ? 2 : 0;
    who.flag = 0;
    if (!VoicePath(path, name, m_voices->extension.c_str()) || SetChannelSound(channel, path, mode, false) != 0)
        return -4;
    SetChannelVolume(channel, -1, who.volume2);
    return count > 0 ? position : prefix;
}
