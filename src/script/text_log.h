// CTextLog: the scenario engine's backlog. A ring of the pages, choice lists and scene snapshots
// shown so far, each numbered by a serial in the order it was added, saved into and loaded from
// save data as little-endian records without padding.
//
// Lengths in the saved form are single bytes: names and voices are cut to 254 bytes, choice texts
// to 253, at a Shift-JIS character boundary. A choice entry is referred to by its serial, never by
// address: the entry may be evicted or freed before the choice is written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TextLogMessage {
    std::string name;  // empty: none
    std::string voice; // empty: none
    std::vector<uint8_t> data;
    uint32_t layoutHeight = 0;
    uint8_t group = 0;
};

struct TextLogChoices {
    int32_t selected = -1;
    std::vector<uint8_t> flags;
    std::vector<std::string> texts;
};

struct TextLogSceneItem {
    std::string name;
    int32_t x = 0, y = 0;
    std::array<int32_t, 7> words{};
};

struct TextLogScene {
    std::string background; // empty: none
    std::array<int32_t, 11> words{};
    std::vector<TextLogSceneItem> items;
};

struct TextLogEntry {
    uint8_t type = 0; // 0 message, 1 choices, 2 scene
    uint32_t serial = 0;
    TextLogMessage message;
    TextLogChoices choices;
    TextLogScene scene;
};

class CTextLog {
public:
    static constexpr size_t kMaxName = 254;
    static constexpr size_t kMaxChoiceText = 253;
    static constexpr uint32_t kAllSerials = 0xFFFFFFFF;

    virtual ~CTextLog() = default;

    // → 0. Below 1 frees everything; else the newest entries move into a ring of n slots, oldest
    // first; the open choice entry is closed.
    int SetCapacity(int32_t n);
    int32_t Capacity() const { return m_capacity; }
    int32_t Count() const { return m_count; }
    uint32_t NextSerial() const { return m_nextSerial; }

    // → 0; 1 data null; 2 capacity below 1.
    int AddMessage(const uint8_t* data, uint32_t size, uint32_t layoutHeight, const char* name, const char* voice,
                   uint8_t group);
    // → 0; 1 n < 1; 2 capacity below 1; 3 a choice entry is open.
    int BeginChoices(int32_t n);
    // → 0; 1 text null; 2 none open; 3 entry full.
    int AddChoice(const char* text, uint8_t flag);
    // → 0 closed (serial, when given, names the entry for SetSelectedChoice); 1 nothing added or
    // none open.
    int EndChoices(uint32_t* serial);
    // Writes the choice taken into the entry of that serial → false when it is gone.
    bool SetSelectedChoice(uint32_t serial, int32_t index);
    // → 0; 2 capacity below 1.
    int AddScene(const TextLogScene& scene);

    // The i-th entry from the oldest, or null.
    const TextLogEntry* GetEntry(int32_t i) const;
    // Frees every entry (the ring stays).
    void Clear();
    // Exchanges the whole contents with other (a staged log taking the running one's place).
    void Swap(CTextLog& other) noexcept;

    // Bytes Save writes for the entries with serials in [from, to]; 0 without a ring.
    uint32_t GetSaveSize(uint32_t from, uint32_t to) const;
    // → 0 written at *cursor (advanced); 1 cursor or ring missing.
    int Save(uint8_t** cursor, uint32_t from, uint32_t to) const;
    // → 0 loaded (*cursor advanced; without apply the log ends empty); 1 cursor missing; 2 the
    // bytes are damaged (the log is unchanged).
    int Load(const uint8_t** cursor, const uint8_t* end, bool apply);

private:
    TextLogEntry* NewEntry(uint8_t type);
    // Gives entry the next serial and a place in the ring (the oldest goes when it is full).
    TextLogEntry* Adopt(std::unique_ptr<TextLogEntry> entry);
    TextLogEntry* Slot(int32_t i) const;
    TextLogEntry* FindSerial(uint32_t serial) const;
    uint32_t EntrySize(const TextLogEntry& e) const;
    template <typename Visit> void ForRange(uint32_t from, uint32_t to, Visit visit) const;

    std::vector<std::unique_ptr<TextLogEntry>> m_ring;
    int32_t m_capacity = 0;
    int32_t m_count = 0;
    int32_t m_start = 0;
    uint32_t m_nextSerial = 0;
    int32_t m_openIndex = -1;
    uint32_t m_openSerial = 0;
    bool m_open = false;
};

// The longest prefix of at most max bytes that ends at a Shift-JIS character boundary.
std::string CutSjis(const char* text, size_t max);
