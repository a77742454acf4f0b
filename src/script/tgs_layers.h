// Helpers of the scenario frame's layers and sprites that need no frame: the background variant
// of a picture name, the vertical offset that a picture's extension chain lists for a number, and
// the copy of a name into a 32-byte record field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The variant of a background name: its file part "BG<number><A-C>..." (either case) looks the
// number up in the letter's group of the background table (a zero-ended list whose entry -v
// opens group v) → 1 for A, 2 for B or C when listed or when the group is empty; else 0.
uint32_t BackgroundVariant(const char* name, const std::vector<int32_t>& table);

// The offset table in the first block of a picture's extension chain (u8 tag, u32 length counting
// itself, then 6-byte entries {i16 key, i16, i16 offset}): the offset of key; 0 when the chain
// has no such entry. Only whole entries inside the block and the chain are read.
int32_t FindPictureOffset(const uint8_t* chain, size_t size, int32_t key);

// Copies at most 31 bytes of name into field (32 bytes) without splitting a double-byte
// character; null copies "".
void CopyRecordName(char (&field)[32], const char* name);
