// The read log shared by the SOB runtime ("TLOG", over its module table) and the scenario store
// ("TSLG", over its script table): per entry a name and two bit sets, LZSS-packed when that
// helps, merged by name, and saved through a temporary file renamed over the old log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bit_array.h"

// One row of a module or script table: a name with its read bits and a second bit set.
struct SobModuleEntry {
    std::string name;       // without its NUL
    uint8_t nameLength = 0; // with the NUL
    bool merged = false;    // used while a read log is merged
    CBitArray readBits;
    CBitArray choiceBits;
};

constexpr uint32_t kMaxReadLogBody = 64u << 20; // unpacked logs beyond this are refused

// magic (4 bytes), u32 stored size, u32 unpacked size (0 = stored), u32 entry count, the body.
std::vector<uint8_t> BuildReadLog(const char* magic, const SobModuleEntry* entries, uint32_t count);
// Checks the whole log first, then merges it: for each stored entry the first entry of the same
// name not yet merged takes each bit set whose count matches → 0; 2 damaged (nothing merged).
int MergeReadLog(const char* magic, const uint8_t* data, size_t size, SobModuleEntry* entries,
                 uint32_t count);
// The crash-safe writer of files/safe_file_writer.h over a byte vector → true; false with the old
// file intact and the temporary file removed.
bool WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);
