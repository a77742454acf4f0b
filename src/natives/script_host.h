// CScriptHost: the one system-script host of the game. Over CScriptHostBase it adds the
// script-settings block, the sound player (published as g_pSoundManager, its voice table the
// host's), the script text object (g_pScriptTextObject), the shared subtractive generator seeded from the clock, and natives 3-808 in number
// order; it publishes its members for the natives and frees what the natives made at the end.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "files/drop_files.h"
#include "files/file_stream.h"
#include "natives/owned_list.h"
#include "natives/script_host_base.h"
#include "natives/text_object.h"
#include "platform/random.h"
#include "platform/stopwatch.h"
#include "script/tagged_text.h"
#include "sound/sound_player.h"

class CFileList;
class CLoaderThread;
class CMersenneTwister;
class CTgsFrame;

// The generator shared by native 84 and the effects that draw random numbers.
extern SubtractiveRandomState g_Ran3State;
// Blocks of script memory that the heap natives allocated; the host frees those left.
extern std::set<uint32_t> g_ScriptHeapBlocks;
// The scripts' Mersenne Twister (made by its natives), deleted by the host.
extern CMersenneTwister* g_pMersenneTwister;
// The file list of the file natives, cleared by the host.
extern CFileList g_ScriptFileList;
// The names dropped on the main window for the scripts, cleared by the host.
extern CDropFiles g_ScriptDropFiles;
// The scripts' background loader (made by native 143) and the names of its batch (natives
// 143-148), deleted and emptied by the host's end.
extern CLoaderThread* g_pScriptLoader;
extern std::vector<std::string> g_ScriptLoaderNames;
// The scripts' file streams (natives 124-142), released by the host's end.
extern COwnedList<CFileStream> g_ScriptFileStreams;
// The scripts' timers (natives 543-550), emptied by the host's end.
extern CTimerSet g_ScriptTimers;
// The controls and text objects the scripts create; the host deletes them and releases the IME
// indicator at its end.
extern CTextObjectList g_TextObjectList;
// The one scenario engine frame (made and deleted by its natives); the host deletes one left over.
extern CTgsFrame* g_pTgsFrame;

class CScriptHost : public CScriptHostBase {
public:
    static constexpr int kSettingsWords = 14;

    // Seeds g_Ran3State from the program clock, registers natives 3-808, publishes the sound
    // player and the text object; with g_pGameApp, hands the frame's task list to the sound player
    // and the scripts' control set, the frame's IME context and settings bytes 18 and 19 to the
    // control set, and sets the caption up last.
    explicit CScriptHost(uint32_t memorySize = CScriptMemory::kDefaultSize);
    // In order: caption tear-down, g_pTgsFrame deleted, the main form emptied, the
    // scripts' controls deleted and their IME indicator released, the file list cleared, the
    // settings block's text freed, the script heap blocks freed, the Mersenne Twister deleted.
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
    // The settings block's one owned heap block: a copy of a text the save natives keep (null
    // clears it), freed by the host's end → false for no memory (then none is kept).
    bool SetSettingsText(const char* text);
    const char* SettingsText() const { return m_settingsText.get(); }

    // Words of the settings block the save natives fill (0-6 are the frame's start values): the
    // comment cell (a script address), the object whose screen becomes the thumbnail (a handle)
    // and the name of a thumbnail picture (a script address). The save title is the block's owned
    // text.
    static constexpr int kSettingCommentCell = 8;
    static constexpr int kSettingThumbnailObject = 9;
    static constexpr int kSettingThumbnailName = 10;

    // ---- saved state and save files (script_host_saves.cpp; names and slots in save_slots.h) ----
    // Writes the slot's file; slot < 0 takes the bank's ring slot (banks 0 and 1) → 0; 1 no screen
    // to capture; 2 thumbnail image not made; 4 thumbnail not drawn; 5 the file not written (the
    // old file stays whole); 6 the state not serialised; -1 a bank or slot outside 0-99, a
    // negative slot in a bank without a ring, no memory.
    int SaveGame(int bank, int slot);
    // bank >= 0: the slot's file (-1 when it names none); bank < 0: the pending load file → as
    // LoadGameFile.
    int LoadGameSlot(int bank, int slot);
    // → 0 loaded; 1 not opened; 2 no memory; 3 damaged (magic, sizes, checksum, packed bytes);
    // 4 the state refused (the running game unchanged); 5 version not 0. startOffset != 0 reads
    // the stored-length block there, the header unchecked.
    int LoadGameFile(const char* name, size_t startOffset = 0);
    // The script state: variables, text flag, [text object, snapshot], [the frame] → 0; 1 the
    // variables, 2 the text object, 3 the frame failed (out emptied); -1 no memory.
    int SerializeState(std::vector<uint8_t>* out, bool wantText);
    // Every part is checked by its owner before any is applied; should applying still fail, the
    // state serialised just before is put back → 0; 1 no data; 2 variables refused; 3 text object,
    // snapshot or frame refused. The snapshot is replaced only on success.
    int RestoreState(const uint8_t* data, size_t size);
    // The back-to-previous-choice snapshot: the state without text → SerializeState's code;
    // restoring it → -1 none, else RestoreState's code (kept when that fails).
    int TakeStateSnapshot();
    int RestoreStateSnapshot();
    void DiscardStateSnapshot() { m_snapshot.clear(); }
    bool HasStateSnapshot() const { return !m_snapshot.empty(); }

    // Unloading a module or resetting the call stack files the choices on display into the
    // message history.
    void OnUnloadModule() override { UpdateTextObject(); }
    void OnResetCallStack() override { UpdateTextObject(); }

private:
    void UpdateTextObject() { m_text.StoreChoicesInHistory(); }
    int WriteState(std::vector<uint8_t>* out, bool textFlag);
    int CheckStateParts(const uint8_t* data, size_t size);
    int ApplyStateParts(const uint8_t* data, size_t size);
    int CaptureThumbnail(std::vector<uint8_t>* rows);
    std::string SaveTitle();
    std::string SaveComment();

    int32_t m_settings[kSettingsWords] = {};
    int16_t m_settingsFlag = 1;
    std::unique_ptr<char[]> m_settingsText;
    CSoundPlayer m_sound;
    CTaggedText m_text{*this};
    std::vector<uint8_t> m_snapshot; // empty: none
};
