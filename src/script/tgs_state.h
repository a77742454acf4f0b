// The scenario frame's saved-state block, read and written field by field (never as memory):
// the store state, the 284-byte frame block, the two page records (124 bytes each), the 22
// sprite records (140 each), the window record (48), the backlog, the four sound channels, the
// name text and the choice and message fields. The layout of every record, with the offsets the
// frame's own fields take in the bytes the format leaves free, is in docs/tgs-state.md.
//
// Nothing in a block is trusted: every length is checked against the bytes, every name must end
// inside its field, and every value that the frame later uses as an index or a mode is checked
// against its range. A damaged block is refused whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script/text_log.h"
#include "script/tgs_records.h"
#include "script/tgs_script_store.h"

struct TgsSavedChoice {
    uint32_t value = 0;
    uint8_t flag = 0;
    std::string text;
};

struct TgsSavedChannel {
    std::string name; // empty: not playing
    uint8_t flag = 0;
};

// The choice list and the shown page (fields 10 and 11): what the scene rebuild shows again.
struct TgsSavedPage {
    uint32_t listValue = 0; // the choice result cell's script address
    std::vector<TgsSavedChoice> choices;
    std::vector<uint8_t> text; // empty: nothing shown
    std::string speaker, voice;
};

// Everything a block holds, decoded.
struct TgsSavedState {
    static constexpr size_t kFrameBlock = 284, kPageRecord = 124, kSpriteRecord = 140, kWindowRecord = 48;
    static constexpr size_t kSprites = 22; // group A (6), B (10), C (6), front page then back
    static constexpr size_t kChannels = 4;

    CTgsScriptStore::StateInfo store;
    std::vector<uint8_t> storeBytes; // field 1 as written (the store stages it itself)

    // The frame block.
    int32_t message = -1;
    std::array<uint8_t, 2> transitionOptions{};
    uint8_t autoTint = 0;
    std::array<int32_t, 6> quake{}; // kind (0 none, 1 a screen quake) and its five values
    int32_t window = 0;
    int32_t music = 0;
    int32_t nextChannel = 0;
    std::array<uint8_t, 5> choiceDisabled{};
    uint8_t choiceWait = 0, pageWait = 0;
    int32_t voiceMarker = -1; // 0: the page's voice plays again when its wait resumes
    std::array<TgsLayerSlot, 3> layers{};

    std::array<TgsPageRecord, 2> pages{}; // front, back
    std::array<TgsSpriteRecord, kSprites> sprites{};
    TgsWindowRecord windowRecord{};

    bool hasLog = false;
    CTextLog log;
    std::array<TgsSavedChannel, kChannels> channels{};
    std::string nameText;
    bool hasPage = false; // fields 10 and 11 held something (L > 0)
    TgsSavedPage page;
};

// Codes of a refused block.
enum : int { kTgsStateStore = 1, kTgsStateLog = 2, kTgsStateMessage = 3, kTgsStateDamaged = 4 };

// Reads a block at *cursor (left bytes) into out: the log loaded into a ring of logCapacity when
// withBacklog (else read past and dropped) → 0 (cursor and left advanced); 1 the store state is
// damaged; 2 the log; 4 any other damage. On failure *stoppedAt (when given) is the offset from
// the block's start where reading stopped. The message number is checked by the frame, which
// knows the scripts.
int DecodeTgsState(const uint8_t** cursor, size_t* left, bool withBacklog, int32_t logCapacity, TgsSavedState* out,
                   size_t* stoppedAt = nullptr);

// The frame's records written as their saved forms (each exactly its record size).
void EncodeTgsPage(const TgsPageRecord& record, uint8_t* out);
void EncodeTgsSprite(const TgsSpriteRecord& record, uint8_t* out);
void EncodeTgsWindow(const TgsWindowRecord& record, uint8_t* out);

// The whole block for a state (its store bytes as given) and, when log is given and not empty,
// the log's whole serial range.
std::vector<uint8_t> EncodeTgsState(const TgsSavedState& state, const CTextLog* log);

// One line per field ("name: value"), for the state tool.
std::string DescribeTgsState(const TgsSavedState& state);
