// CMessageStore: the message that the system script shows through the script text object — a
// name and a body expanded from a message record in script memory, the choice list that goes
// with it, a parse cursor that walks the body element by element, and a history ring of earlier
// messages with their choices that can be browsed, saved and loaded. It knows nothing of drawing.
//
// Records, "%" references and choice records are script addresses read through the checked
// accessors; a bad address reads as an empty string, and no text or markup is read past the
// script-memory block that holds its record. Texts are always copied into own buffers, so a
// record that the script rewrites or frees never changes a shown message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "script/script_memory.h"

class CMessageStore {
public:
    static constexpr int32_t kDefaultChoiceCapacity = 8;
    static constexpr uint32_t kMaxChoiceLength = 252;
    // Choices are numbered by a byte (selection, seen bits, record counts).
    static constexpr int32_t kMaxChoices = 255;

    explicit CMessageStore(CScriptMemory& memory);
    virtual ~CMessageStore();
    CMessageStore(const CMessageStore&) = delete;
    CMessageStore& operator=(const CMessageStore&) = delete;

    // Whether message number of a read scope was read → false here; marking does nothing here.
    virtual bool IsMessageRead(uint8_t scope, uint16_t number);
    virtual void MarkMessageRead(uint8_t scope, uint16_t number);
    // Bytes Save writes (4 + per entry 15 + texts + block + 8 when it has a block).
    virtual uint32_t GetSaveSize();
    // Writes the history at *cursor (left bytes free), advancing both → 0; 1 null cursor or not
    // enough room (nothing written).
    virtual int Save(uint8_t** cursor, size_t* left);
    // Reads a saved history → 0; 1 null cursor or a damaged blob (sizes past the bytes left, a
    // text without its closing NUL, choice entries outside their block): the history is then as
    // it was. Without apply (or without a ring) the history becomes empty.
    virtual int Load(const uint8_t** cursor, size_t* left, bool apply);
    // Reads and checks a saved history without changing anything, advancing the cursor → the
    // code Load would answer.
    int CheckSaved(const uint8_t** cursor, size_t* left) const;
    // Called when a message or an entry is shown; nothing here.
    virtual void ResetDrawPosition() {}

    // Message record at a script address: u8 read scope, u16 number, the text → 0; -1 messages
    // disabled. The "$" after a "#" name is overwritten with NUL in the record (through Store8).
    int SetMessage(uint32_t record);
    // Drops both texts, the parse cursor, the tag string, the history and the choice list.
    void Clear();
    // Copies line n (1-based, "\" separates lines; 0: the whole name) of the name into dst of size
    // bytes (null: only measure), never splitting a character → length + 1 (what a whole copy
    // needs); 0 when there is no name or the line is absent or empty (line 0 of an empty name: 1).
    uint32_t CopyLine(char* dst, size_t size, uint32_t n) const;

    // Choices.
    void ClearChoices();
    // Clears the choices and makes room for n, at most kMaxChoices (none for n < 1) → 1.
    int ReserveChoices(int32_t n);
    // Choice record at a script address: u8 kind, u16 seen-flag base, u8 count, u8 expansion flag,
    // packed entries (u8 L, u8 flag, text, NUL) → 0; -1 choices disabled; -2 the newest history
    // entry already holds a choice block. An entry with L < 3, without its NUL or past the
    // record's memory block ends the list there.
    int SetChoices(uint32_t record);
    // → 0; 1 null; 2 list full; 3 longer than 252 bytes; -1 choices disabled; -2 as SetChoices.
    int AddChoice(const char* text);
    // The text of choice i, or null.
    const char* GetChoice(int32_t i) const;
    // → 0; 1 i out of range; 2 no text; 3 size below length + 1.
    int CopyChoice(int32_t i, char* dst, size_t size) const;
    void SetSelectedChoice(uint8_t i);
    // Files the choices on display into the newest history entry → 0 (also when there is nothing
    // to file); -1 history disabled or empty; 1 no ring.
    int StoreChoicesInHistory();
    int32_t ChoiceCount() const { return m_choiceCount; }
    int32_t ChoiceCapacity() const { return static_cast<int32_t>(m_choices.size()); }
    uint8_t ChoiceKind() const { return m_choiceKind; }
    uint16_t SeenFlagBase() const { return m_seenFlagBase; }
    uint8_t SelectedChoice() const { return m_selectedChoice; }

    // History.
    // Empties the history and sizes the ring to n entries (none for n < 1) → true.
    bool SetHistoryCapacity(int32_t n);
    int32_t HistoryCapacity() const { return static_cast<int32_t>(m_ring.size()); }
    void SetHistoryEnabled(bool enabled) { m_historyEnabled = enabled; }
    int32_t HistoryCount() const { return m_historyCount; }
    int32_t ShownIndex() const { return m_shownIndex; }
    // Shows entry i counted from the oldest → 0; 1 when there is none.
    int ShowEntry(int32_t i);
    // → ShowEntry's result; -1 when the history is empty (or there is no previous / next entry).
    int ShowFirstEntry();
    int ShowLastEntry();
    int ShowPreviousEntry();
    int ShowNextEntry();
    int ShowEntryClamped(int32_t i);
    int MoveEntry(int32_t delta);

    // Parsing of the body from the parse cursor (codes: 0 plain, 1 wait, 2 wait before a page
    // end, 3 wait at the end, 4 page end, 5 end, 6 string tag, 7 numeric tag, 8 embedded block,
    // -1 no body or a malformed tag).
    int ParseNextToken();
    int SkipToNextToken();
    // The n-th tag or block from the cursor → 1 page end, 2 end, 3 string tag, 4 numeric tag,
    // 8 block, -1 malformed.
    int SeekTag(int32_t n);
    const std::string& TagString() const { return m_tagString; }
    int32_t TagValue() const { return m_tagValue; }
    // The four bytes after "[" 0x00 of the last block, or null.
    const uint8_t* BlockBytes() const
    {
        return m_blockAt < 0 ? nullptr : reinterpret_cast<const uint8_t*>(m_body.data()) + m_blockAt;
    }

    bool HasName() const { return m_hasName; }
    bool HasBody() const { return m_hasBody; }
    const std::string& Name() const { return m_name; }
    const std::string& Body() const { return m_body; } // may hold NULs inside embedded blocks
    size_t ParseCursor() const { return m_cursor; }
    bool AlreadyRead() const { return m_alreadyRead; }
    uint8_t ReadScope() const { return m_readScope; }
    uint16_t MessageNumber() const { return m_messageNumber; }
    void SetMessagesEnabled(bool enabled) { m_messagesEnabled = enabled; }
    // Whether the choices came with a packed block (a choice record or a history entry), and the
    // count byte of that record.
    bool HasChoiceBlock() const { return !m_choiceBlock.empty(); }
    uint8_t GivenChoiceCount() const { return m_givenChoiceCount; }

    // Puts the parse cursor at a body offset (clamped to the body), for readers that seek from
    // the start or return to a remembered place.
    void SetParseCursor(size_t at) { m_cursor = at < m_body.size() ? at : m_body.size(); }
    void SetChoicesEnabled(bool enabled) { m_choicesEnabled = enabled; }
    // The choices then belong to no seen-flag range: base and given count 0.
    void ClearSeenFlagBase()
    {
        m_seenFlagBase = 0;
        m_givenChoiceCount = 0;
    }

private:
    struct HistoryEntry {
        bool hasName = false, hasBody = false;
        std::string name, body;
        std::vector<uint8_t> block; // choice block
        uint32_t choiceCount = 0;
        uint8_t selected = 0, scope = 0, kind = 2;
        uint16_t number = 0, seenBase = 0;
    };

    // First address past the script-memory block holding address (the memory's end outside one).
    uint32_t Limit(uint32_t address) const;
    // The text at address up to its NUL, "%" references expanded; name mode stops at "$".
    // → the address where the scan stopped.
    uint32_t Expand(uint32_t address, uint32_t limit, bool name, std::string* out) const;
    std::string Reference(uint32_t at, uint32_t limit) const;
    int AddHistoryEntry();
    // Entry k counted from the oldest (null when the history is empty), and the newest one.
    HistoryEntry* Entry(int32_t k) const;
    HistoryEntry* Newest() const;
    int Refuse() const;
    uint8_t At(size_t i) const { return i < m_body.size() ? static_cast<uint8_t>(m_body[i]) : 0; }
    void MarkIfUnread();
    int ReadTag(size_t at, bool store, size_t* end);
    // Offsets of the entries of a packed block (each L >= 3 with its NUL inside), at most max.
    // Parses a saved history into entries → false when damaged; *used the bytes it took.
    static bool ParseSaved(const uint8_t* data, size_t size, std::vector<HistoryEntry>* entries, size_t* used);
    static std::vector<size_t> BlockEntries(const std::vector<uint8_t>& block, int32_t max);

    CScriptMemory& m_memory;
    bool m_hasName = false, m_hasBody = false;
    std::string m_name, m_body;
    bool m_alreadyRead = false;
    uint8_t m_readScope = 0;
    uint16_t m_messageNumber = 0;
    bool m_messagesEnabled = true;
    std::vector<std::optional<std::string>> m_choices; // no value: the text is in the block
    int32_t m_choiceCount = 0;
    std::vector<uint8_t> m_choiceBlock; // own copy of the packed entries
    std::vector<size_t> m_blockEntries;
    bool m_choicesStale = false;
    uint8_t m_choiceKind = 2;
    uint16_t m_seenFlagBase = 0;
    uint8_t m_givenChoiceCount = 0;
    uint8_t m_selectedChoice = 0;
    bool m_choicesEnabled = true;
    std::vector<std::unique_ptr<HistoryEntry>> m_ring;
    int32_t m_writeIndex = 0;
    int32_t m_historyCount = 0;
    bool m_historyEnabled = false;
    int32_t m_shownIndex = 0;
    size_t m_cursor = 0;
    std::string m_tagString;
    int32_t m_tagValue = 0;
    long m_blockAt = -1;
};
