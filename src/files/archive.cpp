#include "files/archive.h"

void CArchive::Release()
{
    if (m_refCount != 0)
        --m_refCount;
    else
        delete this;
}
