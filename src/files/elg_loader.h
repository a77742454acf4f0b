// CElgLoader: the built-in loader of the program's own ELG pictures (type id 2, extension "ELG"):
// header variants, the extension chain, and decoding into caller memory or into a DIB.
// Codes (EGllErrorCode): 0, 1 not ELG, 3 null data / bad depth / bad or truncated data / a size
// past the picture limit (winapi/picture_limit.h),
// 4 missing callback or exactly one out pointer, 6 no memory or a size too large, -1 aborted.
#pragma once

#include "files/image_loader.h"

// Header fields of an ELG file.
struct ElgHeader {
    int depth = 0;           // 8, 24 or 32
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    DWORD pixelOffset = 0;   // where the first stream starts
    DWORD chainOffset = 0;   // variant 2: the extension chain's first tag
    DWORD chainSize = 0;     // bytes from the first tag to the end of the last block
};

// Reads the header of data → 0, 1 not ELG, 3 bad depth, a size of 0 or past the picture limit,
// truncated header or chain.
int ParseElgHeader(const BYTE* data, DWORD size, ElgHeader& header);

class CElgLoader : public CImageLoader {
public:
    // True when header is not null, size >= 4 and the first three bytes are "ELG".
    bool IsSupported(const BYTE* header, DWORD size, const char* name) override;
    int Load(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser, BOOL eightBit,
             GllProgressFunc progress, void* progressUser) override;
    int LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits, GllProgressFunc progress,
                    void* progressUser) override;
    // ELG cannot be written by the program: -2.
    int Save(int mode, const void* pixels, int width, int height, int bits, int pitch, GllWriteFunc write,
             void* writeUser, const BYTE* palette, GllProgressFunc progress, void* progressUser) override;
    // Frees the extension data and both blocks.
    void FreePicture() override;

private:
    int ReadHeader(const BYTE* data, DWORD size, ElgHeader& header);
    int LoadPictureBody(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits,
                        GllProgressFunc progress, void* progressUser, int& progressTotal);
    int LoadBody(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser, BOOL eightBit,
                 GllProgressFunc progress, void* progressUser, int& progressTotal);
};
