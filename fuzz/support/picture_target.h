// Caller memory for the picture-loader harnesses: the allocate callback hands out a zeroed buffer
// of exactly the rows it promises (plus `extraPitch` bytes a row) and a full palette, so any
// write past them is the loader's fault. Pictures above 16 M pixels are refused to keep memory small.
#pragma once

#include <cstdint>
#include <vector>

#include "winapi/base.h"

struct PictureTarget {
    int extraPitch = 0;
    std::vector<BYTE> pixels;
    std::vector<BYTE> palette;

    static void* Allocate(int width, int height, int bits, BOOL, int* pitch, BYTE** palette, void* user)
    {
        auto* t = static_cast<PictureTarget*>(user);
        if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > (uint64_t{1} << 24))
            return nullptr;
        *pitch = width * (bits / 8) + t->extraPitch;
        t->pixels.assign(static_cast<size_t>(*pitch) * height, 0);
        if (palette != nullptr) {
            t->palette.assign(1024, 0);
            *palette = t->palette.data();
        }
        return t->pixels.data();
    }
};
