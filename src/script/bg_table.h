// The background table (DATA/BG.TXT): text lines read into a list of 32-bit values. Empty lines and
// "//" lines are skipped; "[NAME n" stores -n; "*" repeats the previous value (which must be 0 or
// negative); any other line stores its number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t kBgTableLineMax = 1024;
constexpr size_t kBgTableNameMax = 64;

// → 0 and the values; 2 empty file; 3 a "[" line with 0; 4 "*" first; 5 "*" after a positive
// value; 6 a line without a readable number, a name too long or a line too long. On an error
// the list is empty.
int ParseBackgroundTable(const uint8_t* data, size_t size, std::vector<int32_t>* out);
