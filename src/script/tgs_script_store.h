// CTgsScriptStore: the scenario store under the scenario engine. It loads TOB0/TOB1 scenario files
// into script memory, keeps the current script and its text cursor, resolves labels and message
// offsets, runs the return stack of scenario calls across scripts, keeps the read bits of the
// script table TGS_INIT.DAT (saved as the TSLG read log) and saves and restores its own state.
//
// Each image is copied into a block of script memory one byte longer than the file, and that last
// byte is 0: the text area (the last part of the file) always ends in a NUL. Text positions are
// offsets from the start of the current text area. The loaders check every label, message offset
// and length before a script is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include <utility>

#include "script/read_log.h"
#include "script/script_memory.h"

// A row of TGS_INIT.DAT: the script name, its read bits (one per message) and a second bit set.
using TgsScriptEntry = SobModuleEntry;

// One argument of a scenario command: flags 0 = no value; bit 1 = value is a string's script
// address (0 for an empty string); other flags as the record gave them (0xFF marks a text offset).
struct TgsArgPair {
    uint32_t flags;
    uint32_t value;
};

// One loaded scenario file.
struct TobScript {
    uint32_t image = 0;      // script address of the copy (file bytes and a 0 after them)
    uint32_t size = 0;       // file bytes
    std::string name;        // as given to the load
    int tableIndex = -1;     // script-table entry, -1 without a table
    uint32_t textOffset = 0; // of the text area in the image
    uint32_t textSize = 0;   // bytes of the text area (the NUL after it not counted)
    uint32_t labelCount = 0;
    uint32_t labels = 0;    // offset of the first label entry in the image
    uint32_t labelsEnd = 0; // offset past the label block
    uint32_t messageCount = 0;
    uint32_t messages = 0;     // offset of the M message offsets in the image
    uint32_t messageWords = 0; // TOB1: offset of the M per-message words; 0 for TOB0
    bool tob1 = false;

    uint32_t TextAddress() const { return image + textOffset; }
};

// Where the parts of a TOB file lie, as CheckTobFile found them (offsets in the file).
struct TobLayout {
    bool tob1 = false;
    uint32_t labelCount = 0;
    uint32_t labels = 12;   // the first label entry
    uint32_t labelsEnd = 0; // past the label block
    uint32_t messageCount = 0;
    uint32_t messages = 0;     // the M message offsets
    uint32_t messageWords = 0; // TOB1: the M words, the last 4M bytes of the message block; 0 for TOB0
    uint32_t textOffset = 0;
    uint32_t textSize = 0;
};

// The checks every reader of a TOB file shares (the store's load, the decoder, the tool): the
// header, both blocks, every label and message offset, and every record of the text area. The
// text area is walked as the decoder reads it; a position a label or message names is where a
// character starts. → true with the layout; false with a message naming the damaged field.
bool CheckTobFile(const uint8_t* data, size_t size, TobLayout* layout, std::string* error);
// The record at text[at] ("[" then a blank or "s"; text[textSize] is read as the NUL after the
// text) → true with *end past it; false with a message naming the damaged field. Link entries
// must write their whole cell inside the code they link.
bool CheckTobRecord(const uint8_t* text, uint32_t textSize, uint32_t at, uint32_t* end, std::string* error);
// A link entry's cell lies inside a code of codeLength bytes.
inline bool TobLinkCellFits(uint32_t offset, uint32_t codeLength)
{
    return static_cast<uint64_t>(offset) + 4 <= codeLength;
}

// Results of LoadScript.
enum : int {
    kTobLoadOk = 0,
    kTobLoadOpenFailed = 1,
    kTobLoadDamaged = 2, // magic neither "TOB0" nor "TOB1", or CheckTobFile refuses it
    kTobLoadNotInTable = 3,
    kTobLoadNoMemory = 4, // no room in script memory
};

class CTgsScriptStore {
public:
    static constexpr uint32_t kReturnStackSize = 128;
    static constexpr uint32_t kArgumentWords = 4096;    // the argument area: 2048 pairs
    static constexpr uint32_t kMaxTableBits = 1u << 24; // bit counts of TGS_INIT.DAT beyond this are damage
    static constexpr uint64_t kMaxTotalTableBits = 1u << 25; // and all of its bit counts together

    // Scripts are copied into memory, which must outlive the store.
    explicit CTgsScriptStore(CScriptMemory& memory);
    // Saves the read log when its file name is set, then frees every script and the table.
    virtual ~CTgsScriptStore();
    CTgsScriptStore(const CTgsScriptStore&) = delete;
    CTgsScriptStore& operator=(const CTgsScriptStore&) = delete;

    // Reads the script folder + file name → 0 ok; 1 cannot be opened; 2 damaged (an entry past
    // the end, a name length of 0, a bit count beyond kMaxTableBits or all of them beyond
    // kMaxTotalTableBits) or no memory: no table kept.
    virtual int LoadScriptTable(const char* fileName);
    // Loads to the script stack and makes it current, cursor at its text start → 0; 1 the script
    // stack is not empty; else LoadScript's result + 1.
    virtual int StartScript(const char* name);
    // LoadScript into the end of the preloaded list → its result.
    virtual int PreloadScript(const char* name);
    // Frees a preloaded script (null: the last one) → 0; 1 none preloaded; 2 no such name
    // (case-insensitive); 3 it is current or a return-stack entry refers to it.
    virtual int ReleasePreloaded(const char* name);
    // Pushes a return entry, selects the script when a name is given and answers the script
    // address of the label (or of the offset when label is null) in the current text → 0 when the
    // label, the script or the offset is missing, or when the return stack is full (128).
    virtual uint32_t CallLabel(const char* script, const char* label, uint32_t offset);
    // As CallLabel with no push; the script-stack script is freed only after the new one is
    // selected, so a failed selection leaves the current script as it was.
    virtual uint32_t JumpLabel(const char* script, const char* label, uint32_t offset);
    // Pops a return entry and goes back to its script, selects script when given, and answers the
    // label's address; with no label: offset 0 the saved position, -1 the text start, else offset.
    // 0 for an empty stack or a missing script, label or position.
    virtual uint32_t ReturnFromLabel(const char* script, const char* label, uint32_t offset);
    // Bytes SaveState writes.
    virtual uint32_t GetStateSize();
    // Writes the state at *cursor (left bytes free) and advances both → 0; 1 null cursor; 3 does
    // not fit (nothing written).
    virtual int SaveState(uint8_t** cursor, size_t* left);
    // Reads a saved state (advancing cursor and left) → 0; 1 null cursor; 2 damaged or a script
    // fails to load; 3 a current or return index names no script. Everything is loaded and
    // checked before the running state changes; on failure it is untouched.
    virtual int LoadState(const uint8_t** cursor, size_t* left);

    // A saved state read and checked but not yet applied: its scripts are loaded and freed with
    // it unless CommitState takes them.
    class StagedState {
    public:
        StagedState() = default;
        StagedState(const StagedState&) = delete;
        StagedState& operator=(const StagedState&) = delete;
        ~StagedState();
        // The script the state makes current (null before a successful StageState).
        const TobScript* Current() const { return m_current; }

    private:
        friend class CTgsScriptStore;
        CTgsScriptStore* m_owner = nullptr;
        std::vector<TobScript*> m_lists[2];
        TobScript* m_current = nullptr;
        int32_t m_currentIndex = -1;
        uint32_t m_textCursor = 0;
        std::vector<std::pair<int32_t, uint32_t>> m_returns;
    };
    // What a saved state names, read without loading anything.
    struct StateInfo {
        std::vector<std::string> lists[2]; // the script stack, the preloaded scripts
        std::vector<std::pair<int32_t, uint32_t>> returns;
        int32_t currentIndex = -1;
        uint32_t textCursor = 0;
    };
    // Reads a saved state's fields (advancing cursor and left) → 0; 1 null cursor; 2 damaged.
    static int ParseState(const uint8_t** cursor, size_t* left, StateInfo* info);
    // The reading and checking half of LoadState: the same codes, nothing running changed.
    int StageState(const uint8_t** cursor, size_t* left, StagedState* staged);
    // Makes a staged state the running one (the old scripts freed); the staged one ends empty.
    void CommitState(StagedState& staged);

    // Copies the folder, adding a backslash when the last byte is not one → 0; 1 null.
    int SetScriptFolder(const char* folder);
    const std::string& ScriptFolder() const { return m_scriptFolder; }
    // Reads folder + name + ".TOB" and loads it to the script stack or the preloaded list →
    // kTobLoad* (0 ok, 1 open failed, 2 damaged, 3 not in the table, 4 no room).
    int LoadScript(const char* name, bool preload);
    // The same over the file's bytes (tests, fuzzers); name gives the table entry.
    int LoadScriptBytes(const char* name, const uint8_t* data, size_t size, bool preload);
    // The script table over bytes → 0 or 2 as LoadScriptTable.
    int LoadScriptTableBytes(const uint8_t* data, size_t size);

    // Text offset of a label, -1 when missing (0 for a null label); the first equal name wins.
    int64_t FindLabel(const TobScript* script, const char* label) const;
    // Text offset of message index, -1 when index >= M.
    int64_t GetMessageOffset(const TobScript* script, uint32_t index) const;
    // TOB1 per-message word of message index; false for TOB0 or index >= M.
    bool GetMessageWord(const TobScript* script, uint32_t index, uint32_t* word) const;
    // Read bit of the current table entry: false / -1 without one or past its count; SetMessageRead → 0.
    bool IsMessageRead(uint32_t bit) const;
    int SetMessageRead(uint32_t bit);
    // Over the entry of that name (case-insensitive) or all entries (null); 0 without a table or
    // when no entry has the name.
    uint32_t GetMessageCount(const char* name) const;
    uint32_t GetReadMessageCount(const char* name) const;
    bool IsAllRead(const char* name) const;

    // The folder of the read log (the save folder); null or "" uses names as given.
    void SetReadLogFolder(const char* folder) { m_readLogFolder = folder != nullptr ? folder : ""; }
    // Keeps the name → false for null.
    bool SetReadLogFile(const char* name);
    // Writes the TSLG log (null: the kept name) → 0; 1 no name; 2 no script table; 3 cannot be
    // written (the old log stays).
    int SaveReadLog(const char* name);
    // Merges a TSLG log (null: the kept name) → 0 (also without a table); 1 no name or cannot be
    // opened; 2 damaged (nothing merged).
    int LoadReadLog(const char* name);
    std::vector<uint8_t> BuildTextLog() const { return BuildReadLog("TSLG", m_table.get(), m_tableCount); }
    int MergeTextLog(const uint8_t* data, size_t size)
    {
        return MergeReadLog("TSLG", data, size, m_table.get(), m_tableCount);
    }

    // Frees every script and empties the return stack (the scene clear of the frame uses it).
    void FreeAllScripts();

    // The running state.
    TobScript* CurrentScript() const { return m_current; }
    int CurrentIndex() const { return m_currentIndex; }
    uint32_t Cursor() const { return m_cursor; } // offset in the current text area
    void SetCursor(uint32_t offset) { m_cursor = offset; }
    uint32_t ReturnDepth() const { return m_returnDepth; }
    const std::vector<TobScript*>& ScriptStack() const { return m_scriptStack; }
    const std::vector<TobScript*>& PreloadedScripts() const { return m_preloaded; }
    TgsScriptEntry* CurrentEntry() const { return m_currentEntry; }
    uint32_t ScriptTableCount() const { return m_tableCount; }
    TgsScriptEntry* ScriptTableEntry(uint32_t i) const { return i < m_tableCount ? &m_table[i] : nullptr; }
    CScriptMemory& Memory() const { return m_memory; }

protected:
    // Reads a whole file (a Windows path) → false when it cannot be opened. Tests may serve files
    // from memory.
    virtual bool ReadScriptFile(const std::string& path, std::vector<uint8_t>* bytes);

    struct ReturnEntry {
        int32_t script; // -2 the same script, -1 the script-stack script, n the preloaded position
        uint32_t offset;
    };

    CScriptMemory& m_memory;
    // The argument area of the command decoder: pairs are stacked here while a command runs.
    std::unique_ptr<TgsArgPair[]> m_arguments;
    uint32_t m_argumentPosition = 0; // in pairs
    uint32_t m_argumentSize = kArgumentWords / 2;
    uint32_t m_cursor = 0; // the text cursor: an offset in the current text area

private:
    // A loaded, checked script not yet in any list; null with the load result.
    TobScript* ReadScript(const char* name, int* result);
    TobScript* MakeScript(const char* name, const uint8_t* data, size_t size, int* result);
    void FreeScript(TobScript* script);
    void MakeCurrent(TobScript* script, int index);
    // Selects name as calls and jumps do: the preloaded script of that name, else a fresh load to
    // the script stack. With freeOld the script-stack script that was current is freed after a
    // successful selection. → false (nothing changed) when the load fails.
    bool SelectScript(const char* name, bool freeOld);
    // Script address of a label or offset in the current text, 0 when missing.
    uint32_t Resolve(const char* label, uint32_t offset) const;
    int TableIndexOf(const char* name) const;

    std::vector<TobScript*> m_scriptStack;
    std::vector<TobScript*> m_preloaded;
    TobScript* m_current = nullptr;
    int m_currentIndex = -1;
    ReturnEntry m_returnStack[kReturnStackSize] = {};
    uint32_t m_returnDepth = 0;
    uint32_t m_tableCount = 0;
    std::unique_ptr<TgsScriptEntry[]> m_table;
    TgsScriptEntry* m_currentEntry = nullptr;
    std::string m_scriptFolder;
    std::string m_readLogFolder;
    std::string m_readLogFile;
};
