// The reference-counted decoded picture.
#include "files/loaded_picture.h"

#include <cstdlib>

#include "winapi/kernel.h"

CLoadedPicture::~CLoadedPicture()
{
    if (m_info != nullptr)
        GlobalFree(m_info);
    if (m_bits != nullptr)
        GlobalFree(m_bits);
    std::free(m_extraData);
}

void CLoadedPicture::SetOffset(int x, int y)
{
    m_x = x;
    m_y = y;
}

int CLoadedPicture::GetX() { return m_x; }
int CLoadedPicture::GetY() { return m_y; }

void CLoadedPicture::SetExtraData(void* data, DWORD size)
{
    if (data != m_extraData)
        std::free(m_extraData);
    m_extraData = data;
    m_extraSize = data != nullptr ? size : 0;
}

void* CLoadedPicture::GetExtraData(BOOL detach)
{
    void* data = m_extraData;
    if (detach) {
        m_extraData = nullptr;
        m_extraSize = 0;
    }
    return data;
}

DWORD CLoadedPicture::GetExtraSize() { return m_extraSize; }

void CLoadedPicture::Release()
{
    if (m_refCount > 0)
        --m_refCount;
    else
        delete this;
}
