// The primary surface owns no pixels: its blocks are read from and written into the backing
// stores of the visible top-level windows (screen point - client origin, 32-bit XRGB). Internal to
// winapi.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "winapi/base.h"

namespace winapi::ddraw {

// A block of the primary's pixels: `bytes` per pixel (2 is R5G6B5, 3 and 4 are 8-bit RGB).
struct PrimaryBlock {
    RECT area;          // screen coordinates
    int bytes;
    BYTE* pixels;
    std::ptrdiff_t pitch;
};

// Fills the block from the windows it meets (only clipWindow's client when not null); what no
// window covers reads black.
void GatherFromWindows(const PrimaryBlock& block, HWND clipWindow);
// Writes the block into the windows it meets (the same rule) and ends one presenter batch each.
void ScatterToWindows(const PrimaryBlock& block, HWND clipWindow);

// Makes the XRGB pixels of screen row y from column left to right (exclusive) into `out`.
using RowMaker = std::function<void(LONG y, LONG left, LONG right, uint32_t* out)>;
// Has `make` write straight into the stores of the windows the area meets (the same rule), rows
// top to bottom in each, and ends one presenter batch each.
void MakeInWindows(const RECT& area, HWND clipWindow, const RowMaker& make);

} // namespace winapi::ddraw
