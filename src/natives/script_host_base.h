// CScriptHostBase: the system-script host over the SOB runtime. It carries out the transfer
// requests of natives 0-2 in its run step (jump, call, return between script files), keeps the
// host variables "ScriptBootFlg" and "retAppProc", the per-character voice table read from
// "SCRIPT\VOICEINF.DAT", the persistent-variable file and the variable files of natives 31-33.
//
// Files are read whole and checked before anything is applied; saves go through the crash-safe
// writer (a failed save keeps the old file).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "natives/script_paths.h"
#include "script/sob_runtime.h"
#include "sound/sound_player.h"

// Results of RunStep.
enum : uint32_t {
    kRunEnded = 0,      // the system script has ended
    kRunYielded = 1,    // run again next frame
    kRunBadScript = 2,  // a transfer request met the wrong way of stopping (or the machine faulted)
    kRunJumpFailed = 3, // the jump target did not load; answered until ResetCallStack
    kRunCallFailed = 4, // the call target did not load (or the stack had no room for the return)
};

class CFileStream;

class CScriptHostBase : public CSobRuntime {
public:
    static constexpr size_t kMaxScriptName = 52;            // "SCRIPT\" + name + ".SOB" in 64 bytes
    static constexpr uint32_t kMaxPersistentBody = 64u << 20; // unpacked files beyond this are refused
    static constexpr size_t kMaxVoiceExtension = 7;

    // The runtime with natives 0-2 and the host variables 1 "ScriptBootFlg" and 2 "retAppProc"
    // (two cells of script memory, 0). Resets the transfer state and the call depth.
    explicit CScriptHostBase(uint32_t memorySize = CScriptMemory::kDefaultSize);
    // Saves the persistent variables when their file name is set.
    ~CScriptHostBase() override;

    // Loads "SCRIPT\" + name + ".SOB" (null name: the transfer target) into the machine (null:
    // the own one) → LoadModule's result (0 ok, 1 cannot open, 2 bad magic or unknown module,
    // 3 link failed, 4 no room, 5 bad machine); 1 also for a name over 52 bytes or one that
    // leaves the folder (a drive, a leading separator or a ".." part).
    int OpenScript(const char* name, CSobVM* machine);
    // One frame of the system script: runs the own machine and carries out the transfer
    // request → kRun* above.
    uint32_t RunStep();
    // OnResetCallStack; ScriptBootFlg = boot; empty stack, depth 0, no transfer request; every
    // module but the library unloaded.
    void ResetCallStack(int32_t boot);
    virtual void OnResetCallStack() {}

    // The voice table from a VOICEINF.DAT → 0 always. A missing file leaves an empty table; a
    // damaged one (counts, lengths or an extension over 7 characters) too, with one log line.
    int LoadVoiceInfo(const char* fileName);
    // The same over the file's bytes → true when the table was taken.
    bool LoadVoiceInfoBytes(const uint8_t* data, size_t size);
    VoiceTable& Voices() { return m_voices; }
    // Name and alias (empty when none) of voice entry i; null past the count.
    const std::string* VoiceName(size_t i) const { return i < m_voiceNames.size() ? &m_voiceNames[i].name : nullptr; }
    const std::string* VoiceAlias(size_t i) const { return i < m_voiceNames.size() ? &m_voiceNames[i].alias : nullptr; }

    // Persistent-variable file (class-2 variables and the voice settings).
    // Name kept → false for null.
    bool SetPersistentFile(const char* name);
    const std::string& PersistentFile() const { return m_persistentFile; }
    // → 0 ok, 1 no name, 2 no memory, 3 the file cannot be written (the old one stays).
    int SavePersistentVariables(const char* name);
    // → 0 ok, 1 no name or cannot open, 2 damaged (nothing applied).
    int LoadPersistentVariables(const char* name);
    // The persistent file, then the read log → the first nonzero result, else the read log's;
    // 2 when neither name is set.
    int SaveAllPersistentData();

    // Variable files (natives 31-33).
    // → -1 both null; 1 the header variable is not of kind 0; 2 the comment variable is not of
    // kind 1; 3 an address that is no user variable (or a comment string without its NUL); 0 ok
    // with the header's size and the comment's length + 1.
    int CheckHeaderVariables(uint32_t header, uint32_t comment, uint32_t* headerSize, uint32_t* commentLength) const;
    // → 0 ok, 1 no name or the file cannot be written, 2 no variable selected, 3 no memory,
    // 4 the header check failed.
    int SaveVariableFile(const char* name, int selector, uint32_t header, uint32_t comment, bool fromSnapshot);
    // Name null: the persistent file. → 0 ok, 1 no name or cannot open, 2 an empty or cut block
    // where one was asked for, 3 the check failed or a block longer than its variable. Nothing is
    // written unless both blocks are whole.
    int ReadVariableFileHeader(const char* name, uint32_t header, uint32_t comment);
    // Name null: the persistent file. → 0 ok, 1 no name or cannot open, 2 damaged (checksum,
    // sizes, unpacking or kinds; no variable changed).
    int LoadVariableFile(const char* name);
    // The file's bytes as SaveVariableFile writes them (tests compare them with hand-made ones)
    // → 0 or SaveVariableFile's codes 2-4.
    int BuildVariableFile(int selector, uint32_t header, uint32_t comment, bool fromSnapshot, std::vector<uint8_t>* out) const;
    int ApplyVariableFile(const uint8_t* data, size_t size);
    std::vector<uint8_t> BuildPersistentFile() const;
    int ApplyPersistentFile(const uint8_t* data, size_t size);

    // Engine objects for scripts. The handle of an object: one per object (the same word each
    // time it is asked for), 0 for null or a full table. It is retired when the object is
    // destroyed (NotifyObjectDestroyed), and the cells registered with it are cleared to 0.
    uint32_t ObjectHandle(void* object, ScriptObjectType type);
    // Registers a 4-byte script cell that holds the handle ("cleared on destruction") → false
    // for a dead handle or a cell outside script memory.
    bool ClearOnDestruction(uint32_t handle, uint32_t cell);
    // The object behind a word of the given type (its own or, with Any, every type), or null
    // for 0, stale, foreign and wrong-type words.
    template <class T>
    T* Object(uint32_t handle, ScriptObjectType type)
    {
        return Handles().GetAs<T>(handle, type);
    }

    // Engine strings and buffers handed to scripts by address: one script-memory block per
    // source (the engine object or other stable address they belong to), written again with the
    // bytes at each call and freed with the source (its NotifyObjectDestroyed, or ReleaseMirror)
    // or the host. → the block's address; 0 for a null source or no script memory.
    uint32_t MirrorBytes(const void* source, const void* data, uint32_t size);
    // The text with its NUL (null text: an empty one).
    uint32_t MirrorString(const void* source, const char* text);
    void ReleaseMirror(const void* source);

    // A file name of a script made full → true only inside the game's folder as at construction,
    // the save folder, or a root added for the player's choice in a file or folder dialog.
    bool ResolveScriptPath(const char* name, std::string* path) const;
    CScriptPathRoots& PathRoots() { return m_roots; }

    // The host made last (null once it is gone) and the natives' context pointer it gives.
    static CScriptHostBase* Newest() { return s_newest; }
    static const void* NewestContext() { return s_newestContext; }

    uint32_t BootFlagAddress() const { return m_bootFlag; }
    uint32_t AppProcAddress() const { return m_appProc; }
    int32_t BootFlag() const;

private:
    struct VoiceText {
        std::string name;
        std::string alias;
    };
    // The file of a name joined to the save folder → false when it would leave the folder.
    bool FilePath(const char* name, std::string* path) const;
    // name, or the persistent file's name for null (null when none is set).
    const char* OrPersistentFile(const char* name) const;
    // The whole file of a name in the save folder → false for null, outside or unopenable.
    bool ReadSaveFile(const char* name, CFileStream& file) const;

    static void ObjectDestroyed(const void* object, void* context);
    // Frees the mirrors whose source ended (on another thread, perhaps): script memory is only
    // changed on the thread that runs the script.
    void FreeRetiredMirrors();

    static inline CScriptHostBase* s_newest = nullptr;
    static inline const void* s_newestContext = nullptr;

    std::mutex m_objectLock; // objects may end on other threads (streams)
    std::unordered_map<const void*, uint32_t> m_objectHandles;
    std::unordered_map<uint32_t, std::vector<uint32_t>> m_ownerCells;
    struct Mirror {
        uint32_t address;
        uint32_t capacity;
    };
    std::unordered_map<const void*, Mirror> m_mirrors; // under m_objectLock
    std::vector<uint32_t> m_retiredMirrors;             // under m_objectLock
    CScriptPathRoots m_roots;
    uint32_t m_bootFlag = 0;
    uint32_t m_appProc = 0;
    bool m_jumpFailed = false;
    VoiceTable m_voices;
    std::vector<VoiceText> m_voiceNames;
    std::string m_persistentFile;
};

// True when name joined to a folder stays inside it: no drive, no leading separator, no ".." part.
bool IsNameInsideFolder(const char* name);
