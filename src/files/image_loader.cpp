// Base behaviour of the image-loader interface.
#include "files/image_loader.h"

#include <cstdlib>

#include "winapi/kernel_memory.h"

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
