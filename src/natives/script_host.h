// CScriptHost: the one system-script host of the game. Over CScriptHostBase it adds the
// script-settings block, the sound player (published as g_pSoundManager, its voice table the
// host's), the script text object (g_pScriptTextObject), the shared subtractive generator seeded from the clock, and natives 3-808 in number
// order; it publishes its members for the natives and frees what the natives made at the end.
#pragma once

#include <cstdint>
#include <set>

#include "natives/script_host_base.h"
#include "platform/random.h"
#include "script/tagged_text.h"
#include "sound/sound_player.h"

class CControlSet;
class CFileList;
class CMersenneTwister;

// The generator shared by native 84 and the effects that draw random numbers.
extern SubtractiveRandomState g_Ran3State;
// Blocks of script memory that the heap natives allocated; the host frees those left.
extern std::set<uint32_t> g_ScriptHeapBlocks;
// The scripts' Mersenne Twister (made by its natives), deleted by the host.
extern CMersenneTwister* g_pMersenneTwister;
// The file list of the file natives, cleared by the host.
extern CFileList g_ScriptFileList;
// The controls and text objects the scripts create; the host deletes them and releases the IME
// indicator at its end.
extern CControlSet g_TextObjectList;

class CScriptHost : public CScriptHostBase {
public:
    static constexpr int kSettingsWords = 14;

    // Seeds g_Ran3State from the program clock, registers natives 3-808, publishes the sound
    // player and sets the caption up through g_pGameApp when there is one.
    explicit CScriptHost(uint32_t memorySize = CScriptMemory::kDefaultSize);
    // Caption tear-down, the main form's controls removed, the scripts' controls deleted, the
    // natives' leftovers freed.
    ~CScriptHost() override;

    CSoundPlayer& SoundPlayer() { return m_sound; }
    CTaggedText& TextObject() { return m_text; }
    // The script-settings block: fourteen words (0) and the 16-bit word (1) that the interrupt
    // path hands to ResetCallStack.
    int32_t SettingsWord(int i) const { return i >= 0 && i < kSettingsWords ? m_settings[i] : 0; }
    void SetSettingsWord(int i, int32_t value)
    {
        if (i >= 0 && i < kSettingsWords)
            m_settings[i] = value;
    }
    int16_t SettingsFlag() const { return m_settingsFlag; }
    void SetSettingsFlag(int16_t value) { m_settingsFlag = value; }

    // Unloading a module or resetting the call stack files the choices on display into the
    // message history.
    void OnUnloadModule() override { UpdateTextObject(); }
    void OnResetCallStack() override { UpdateTextObject(); }

private:
    void UpdateTextObject() { m_text.StoreChoicesInHistory(); }

    int32_t m_settings[kSettingsWords] = {};
    int16_t m_settingsFlag = 1;
    CSoundPlayer m_sound;
    CTaggedText m_text{*this};
};
