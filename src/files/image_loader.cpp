// Base behaviour of the image-loader interface.
#include "files/image_loader.h"

#include <cstdlib>
#include <cstring>

#include "winapi/gdi.h"
#include "winapi/kernel.h"
#include "winapi/picture_limit.h"

CImageLoader::~CImageLoader()
{
    CImageLoader::FreePicture();
    std::free(m_extraData);
}

void CImageLoader::FreePicture()
{
    if (m_info != nullptr)
        GlobalFree(m_info);
    if (m_bits != nullptr)
        GlobalFree(m_bits);
    m_info = nullptr;
    m_bits = nullptr;
    m_pictureSize = 0;
}

void CImageLoader::SetOffset(int x, int y)
{
    m_x = x;
    m_y = y;
}

int CImageLoader::GetX() { return m_x; }
int CImageLoader::GetY() { return m_y; }
int CImageLoader::Reserved10() { return kGllUseLoadPicture; }
int CImageLoader::Reserved11() { return kGllUseLoadPicture; }

void* CImageLoader::GetExtraData(BOOL detach)
{
    void* data = m_extraData;
    if (detach) {
        m_extraData = nullptr;
        m_extraSize = 0;
    }
    return data;
}

DWORD CImageLoader::GetExtraSize() { return m_extraSize; }
bool CImageLoader::CanSave() { return false; }
int CImageLoader::Reserved15() { return kGllUseLoadPicture; }
int CImageLoader::Reserved16() { return kGllUseLoadPicture; }

// A plug-in's loader has this layout but not this C++ type: no dynamic-type check here.
__attribute__((no_sanitize("vptr"))) void CImageLoader::Release()
{
    if (m_refCount > 0)
        --m_refCount;
    else
        delete this;
}

int AllocatePictureBlocks(CImageLoader& loader, int width, int height, int bitCount, DWORD infoSize, uint64_t stride)
{
    // Sizes in the bitmap header are 32-bit, and signed where they are read back.
    constexpr uint64_t kMaxBlock = 0x7FFFFFFF;
    const uint64_t imageSize = stride * static_cast<uint64_t>(height);
    if (!PictureWithinLimit(width, height))
        return kGllBadData;
    if (imageSize + infoSize > kMaxBlock)
        return kGllNoMemory;
    loader.m_info = GlobalAlloc(GMEM_FIXED, infoSize);
    if (loader.m_info == nullptr)
        return kGllNoMemory;
    std::memset(loader.m_info, 0, infoSize);
    auto* bih = static_cast<BITMAPINFOHEADER*>(loader.m_info);
    bih->biSize = 40;
    bih->biWidth = width;
    bih->biHeight = height;
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(bitCount);
    bih->biCompression = BI_RGB;
    bih->biSizeImage = static_cast<DWORD>(imageSize);
    loader.m_bits = GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(imageSize));
    if (loader.m_bits == nullptr)
        return kGllNoMemory;
    loader.m_stride = static_cast<DWORD>(stride);
    loader.m_pictureSize = static_cast<DWORD>(infoSize + imageSize);
    return kGllOk;
}
