// CBmpLoader: the built-in loader of Windows bitmap files (type id 1, extension "BMP"), and the one
// loader that writes: 8-, 24- and 32-bit images and the alpha plane of a 32-bit image.
// Codes (EGllErrorCode): 0, 1 not a readable bitmap (not "BM", header not 40 bytes), 2 bad
// compressed data (delta escapes, runs outside the bitmap) or unsupported save mode, 3 bad
// arguments, truncated data, an unsupported layout or a size past the picture limit
// (winapi/picture_limit.h), 4 missing callback or out pointer, 6 no memory, 9 the pixel
// conversion refused the bitmap, -1 aborted.
#pragma once

#include "files/image_loader.h"

// The fields of a bitmap file that the loader uses, checked against the file's size.
struct BmpInfo {
    int width = 0;
    int height = 0;           // rows, always positive
    bool topDown = false;     // rows stored top row first (negative height field)
    int bitCount = 0;
    DWORD compression = 0;
    DWORD colours = 0;        // colour-table entries (bit counts below 16)
    DWORD pixelOffset = 0;
    DWORD masks[3] = {};      // red, green, blue (compression 3)
    DWORD srcStride = 0;      // bytes per stored row of uncompressed data
};

// Reads and checks the headers → 0, 1, 3 (see above; a size past the picture limit included).
int ParseBmpHeader(const BYTE* data, DWORD size, BmpInfo& info);

class CBmpLoader : public CImageLoader {
public:
    // True when header is not null, size >= 2 and it starts with "BM".
    bool IsSupported(const BYTE* header, DWORD size, const char* name) override;
    int Load(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser, BOOL eightBit,
             GllProgressFunc progress, void* progressUser) override;
    // Makes a bottom-up DIB: compressed bitmaps are expanded, mask bitmaps become 24-bit, top-down
    // files are turned bottom-up (positive height), and the colour table always has room for
    // 1 << bit count entries (unused ones zero) so that no index reads past it.
    int LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits, GllProgressFunc progress,
                    void* progressUser) override;
    // mode 0: bits 8 → 8-bit file with palette (or gray ramp), 24 → 24-bit, 32 → 24-bit;
    // mode 1: 32-bit file; mode 2: the alpha plane as an 8-bit gray file. height > 0: rows top-down
    // in memory; height < 0: bottom-up. pitch must hold a row.
    int Save(int mode, const void* pixels, int width, int height, int bits, int pitch, GllWriteFunc write,
             void* writeUser, const BYTE* palette, GllProgressFunc progress, void* progressUser) override;
    bool CanSave() override;

    // Standard RLE8 / RLE4 into rows stride bytes apart (stored order; a negative stride walks up
    // from the last row): false on a delta escape, pixels below the last row, or data ending before
    // the end-of-bitmap escape. Pixels past the end of a row (writers pad rows with them) are dropped.
    static bool DecodeRle8(BYTE* bits, const BYTE* src, const BYTE* srcEnd, int width, int height, int stride);
    static bool DecodeRle4(BYTE* bits, const BYTE* src, const BYTE* srcEnd, int width, int height, int stride);

private:
    int LoadPictureBody(const BYTE* data, DWORD size, const BmpInfo& info);
    int LoadBody(const BYTE* data, DWORD size, const BmpInfo& info, GllAllocateFunc allocate, void* allocateUser,
                 BOOL eightBit);
    int SaveBody(int mode, const BYTE* pixels, int width, int height, int bits, int pitch, GllWriteFunc write,
                 void* writeUser, const BYTE* palette, GllProgressFunc progress, void* progressUser);
};
