// Save slots on disk: one file "DATAbbss.SAV" per bank and slot in the game's save folder, the
// rings that saves without a slot number walk (bank 0: slots 0-9, bank 1: slots 5-9), and the
// operations on a slot's header (title text, preview, comment, copy, delete). The script state
// inside a file is the script host's (script_host.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winapi/base.h"

class CImage;

constexpr int kSaveBanks = 100; // "%02d" names banks and slots 0-99
constexpr int kSaveSlots = 100;

// The next slot of a bank's ring (settings offsets 177, 178); -1 for a bank without a ring.
int NextRingSlot(int bank);
// Moves the bank's ring one slot on.
void AdvanceRing(int bank);
// The slot of the bank's ring saved last (settings offsets 187, 188), where a quick load without
// a slot number looks; the next slot when that one lies outside the ring (nothing saved yet); -1
// for a bank without a ring.
int LastRingSlot(int bank);

// The file of a slot. slot >= 0 → 0 the file exists, 3 it does not. slot < 0: the newest file of
// the bank's ring → 0 found; 1 (bank 0) or 2 (bank 1) none. -1: a bank or slot outside 0-99, or a
// negative slot in a bank without a ring (nothing is named).
int MakeSaveFileName(std::string* out, int bank, int slot);

// A slot's header as read from disk.
struct SaveSlotInfo {
    std::string title;     // up to 40 bytes
    std::string comment;   // wrapped when asked
    std::string date;      // "%04d/%02d/%02d(曜) %02d:%02d" of the file's last write
    std::string shortDate; // "%02d/%02d/%02d %02d:%02d"
    uint8_t protect = 0;
};

// Reads a slot's header (only its bytes; the state is not read). thumbnail (null: not read) becomes
// a 120 × 90 32-bit image. wrap breaks the comment after 82 bytes a line, at most 4 lines, never
// inside a double-byte character → 0; -1 bad name; 1 the image could not be made; 2 not opened;
// 3 bad magic, version not 0 or a header cut short.
int ReadSaveSlotInfo(int bank, int slot, CImage* thumbnail, SaveSlotInfo* info, bool wrap);
// The slot's 44-byte information record (its title field as stored) → 0; -1 no such file or a
// bad name; 2 not opened; 3 not a save file. record receives savefile::kTitleSize bytes.
int ReadSaveInfoRecord(int bank, int slot, uint8_t* record);
// "『title』" + separator (kind 0 " ", 1 "\n", else "\r\n") + "【記録日時 date】" → 0; 1 null out;
// -1 bad name; 2 not opened; 3 bad magic.
int GetSaveTitleText(std::string* out, int bank, int slot, int separatorKind);
// Rewrites only the comment field (cut to 248 bytes on a character boundary); null writes nothing
// → 0; -1 bad name; 1 not opened; 2 not a save file (magic, version, size).
int WriteSaveComment(int bank, int slot, const char* comment);
// Rewrites the comment field (changeBits 1) and the protect byte (changeBits 2) of a save file;
// the bits are cleared → 0; 1 not opened or not a save file.
int WriteSlotChanges(int bank, int slot, const std::string& comment, uint8_t protect, uint8_t* changeBits);
// → 0 copied; 1 the source is missing; 3 failed.
int CopySaveData(int fromBank, int fromSlot, int toBank, int toSlot);
// → 0 deleted; 1 no such file; 2 failed.
int DeleteSaveData(int bank, int slot);

// The first size bytes of a file (fewer when it is shorter) and its last-write time → 0; 2 not
// opened or not read.
int ReadFileHead(const std::string& name, size_t size, std::vector<uint8_t>* out, FILETIME* lastWrite);
// The long and short date texts of a file time (local time).
void FormatSaveDates(const FILETIME& time, std::string* longDate, std::string* shortDate);
