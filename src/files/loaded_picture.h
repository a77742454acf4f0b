// CLoadedPicture: a decoded picture as a device-independent bitmap (info block and bits block,
// GlobalAlloc), with its placement offset and extension data; the image-loader manager hands it
// out and its cache keeps it. Counting: 0 = one holder; Release at 0 destroys.
#pragma once

#include "winapi/base.h"
#include "winapi/gdi.h"

class CLoadedPicture {
public:
    CLoadedPicture() = default;
    CLoadedPicture(const CLoadedPicture&) = delete;
    CLoadedPicture& operator=(const CLoadedPicture&) = delete;
    // Frees both blocks (GlobalFree) and the extension data.
    virtual ~CLoadedPicture();
    virtual void SetOffset(int x, int y);
    virtual int GetX();
    virtual int GetY();
    // Takes over data (a std::malloc block) of size bytes, freeing the previous one.
    virtual void SetExtraData(void* data, DWORD size);
    // The extension data; with detach the caller takes it over (std::free).
    virtual void* GetExtraData(BOOL detach);
    virtual DWORD GetExtraSize();

    void AddRef() { ++m_refCount; }
    // Decrements the count, or destroys the picture at 0.
    void Release();

    // The bitmap header at the start of the info block (null when there is none).
    const BITMAPINFOHEADER* GetHeader() const { return static_cast<const BITMAPINFOHEADER*>(m_info); }
    const BYTE* GetBits() const { return static_cast<const BYTE*>(m_bits); }

    DWORD m_refCount = 0;
    HGLOBAL m_info = nullptr;
    HGLOBAL m_bits = nullptr;
    DWORD m_pictureSize = 0;
    DWORD m_stride = 0;
    int m_x = 0;
    int m_y = 0;
    void* m_extraData = nullptr;
    DWORD m_extraSize = 0;
};
