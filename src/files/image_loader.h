// The image-loader interface that every picture format implements (the built-in ELG and BMP
// loaders, and GLL plug-ins, whose load objects must keep this field layout and virtual slot
// order), the loaders' result codes and the callbacks through which they hand pixels on.
#pragma once

#include <cstdint>

#include "files/plugin_record.h"
#include "winapi/base.h"

// Result codes of the image loaders and the image-loader manager (0 = success).
enum EGllErrorCode : int {
    kGllOk = 0,
    kGllNotSupported = 1,   // no loader, not this format, or (plug-in loading) bad path
    kGllBadCompression = 2, // unsupported compressed content or save mode; LoadLibraryA failed
    kGllBadData = 3,        // bad or truncated data, bad arguments; a plug-in export missing
    kGllBadArguments = 4,   // a required callback or output pointer is missing
    kGllOtherFailure = 5,   // plug-in loading: anything else went wrong
    kGllNoMemory = 6,       // a block could not be allocated, or the size does not fit
    kGllConvertFailed = 9,  // the pixel conversion refused the bitmap
    kGllAborted = -1,       // the progress callback asked to stop
    kGllUseLoadPicture = -2, // this loader cannot do it (Load: use LoadPicture; Save: cannot write)
    kGllFileError = -3,     // the file was not found or could not be created
};

// progress(done, total, user): non-zero asks the loader to stop.
using GllProgressFunc = int (*)(int done, int total, void* user);
// allocate(width, height, bitsPerPixel 8|32, hasAlpha, out pitch, out palette, user): returns the
// pixel buffer (null on failure) and stores its row pitch in bytes; when palette is not null the
// caller stores there a pointer to a 1024-byte palette buffer (blue, green, red, reserved).
using GllAllocateFunc = void* (*)(int width, int height, int bitsPerPixel, BOOL hasAlpha, int* pitch,
                                  BYTE** palette, void* user);
// release(user): frees what allocate produced after a failed load.
using GllReleaseFunc = void (*)(void* user);
// write(data, bytes, user): appends bytes to the output → the bytes written (fewer = failure).
using GllWriteFunc = DWORD (*)(const void* data, DWORD bytes, void* user);

// Loader object. Counting follows the plug-in convention: 0 = one holder. It is the decode object
// of a GLL plug-in record (the base adds only the virtual destructor in slot 1).
class CImageLoader : public CPluginObject {
public:
    CImageLoader() = default;
    CImageLoader(const CImageLoader&) = delete;
    CImageLoader& operator=(const CImageLoader&) = delete;
    ~CImageLoader() override;

    // True when the loader reads the file whose first bytes are header (name may help).
    virtual bool IsSupported(const BYTE* header, DWORD size, const char* name) = 0;
    // Decodes into memory from allocate: 0, or an EGllErrorCode; -2 = use LoadPicture instead.
    virtual int Load(const BYTE* data, DWORD size, GllAllocateFunc allocate, void* allocateUser, BOOL eightBit,
                     GllProgressFunc progress, void* progressUser) = 0;
    // Decodes into a DIB (info block + bits block, GlobalAlloc). Both out pointers given: the
    // caller takes the blocks; both null: the loader keeps them. 0 or an EGllErrorCode.
    virtual int LoadPicture(const BYTE* data, DWORD size, HGLOBAL* outInfo, HGLOBAL* outBits,
                            GllProgressFunc progress, void* progressUser) = 0;
    // Writes an image through write: 0 or an EGllErrorCode; -2 when the loader cannot write.
    virtual int Save(int mode, const void* pixels, int width, int height, int bits, int pitch, GllWriteFunc write,
                     void* writeUser, const BYTE* palette, GllProgressFunc progress, void* progressUser) = 0;
    // Frees the picture blocks the loader holds; picture size 0.
    virtual void FreePicture();
    virtual void SetOffset(int x, int y);
    virtual int GetX();
    virtual int GetY();
    virtual int Reserved10();  // -2
    virtual int Reserved11();  // -2
    // Extension data of the last load (null when none); detach hands the buffer (free with
    // std::free) to the caller and forgets it.
    virtual void* GetExtraData(BOOL detach);
    virtual DWORD GetExtraSize();
    virtual bool CanSave();    // base: false
    virtual int Reserved15();  // -2
    virtual int Reserved16();  // -2

    // Drops one holder: decrements the count, or destroys the loader at 0.
    void Release();

    DWORD m_refCount = 0;
    HGLOBAL m_info = nullptr;
    HGLOBAL m_bits = nullptr;
    DWORD m_pictureSize = 0;
    DWORD m_stride = 0;
    int m_x = 0;
    int m_y = 0;
    DWORD m_extraSize = 0;
    void* m_extraData = nullptr;  // std::malloc block
};

// Allocates the loader's picture blocks for a bottom-up BI_RGB bitmap: the info block (infoSize
// bytes, zeroed, its header filled for width x height at bitCount) and the bits block (stride x
// height bytes); sets the stride and picture size → 0, or 6 (no memory, or over 2 GiB together).
// On failure the blocks already made stay with the loader (FreePicture frees them).
int AllocatePictureBlocks(CImageLoader& loader, int width, int height, int bitCount, DWORD infoSize, uint64_t stride);
