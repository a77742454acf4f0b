// CSoundPlayer: the system-script host's sound manager (g_pSoundManager), with the voice table
// that the host reads from the voice-information file and PlayVoice, which loads a character's
// voice into a channel.
#pragma once

#include <string>
#include <vector>

#include "sound/sound_manager.h"

struct VoiceCharacter {
    int32_t volume2 = 256;
    uint8_t enabled = 1;
    uint8_t flag = 0; // cleared when one of the character's voices is loaded
};

struct VoicePrefix {
    std::string prefix;
    int32_t character = 0;
};

struct VoiceTable {
    std::vector<VoicePrefix> prefixes;
    std::vector<VoiceCharacter> characters;
    std::string extension; // e.g. "OGG"
};

class CSoundPlayer : public CSoundManager {
public:
    // The table stays the caller's; null = none.
    void SetVoiceTable(VoiceTable* table) { m_voices = table; }
    VoiceTable* GetVoiceTable() const { return m_voices; }

    // Loads a voice into a channel (not started). -5 no table; -3 no name or no prefix matches;
    // -2 voices (or the character) disabled; -4 the name is too long or the open failed; without
    // prefixes -1 when loaded; with prefixes the character's position in `characters` (-1 when
    // not there), or the prefix index when the list is empty. A negative channel only looks up:
    // -1 → the prefix index, other negatives → the character index.
    int PlayVoice(int32_t channel, const char* name, int32_t count, const int32_t* characters);

private:
    VoiceTable* m_voices = nullptr;
};

extern CSoundPlayer* g_pSoundManager;
// Level copies (lip sync) for the voices of the characters in PlayVoice's list; on at start-up.
extern uint8_t g_bVoiceLevel;
