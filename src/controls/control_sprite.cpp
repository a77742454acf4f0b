#include "controls/control_sprite.h"

#include "drawing/draw_list.h"

CImage* CControlSprite::Picture()
{
    if (m_borrowed)
        return m_borrowed;
    return m_image.GetBits() ? &m_image : nullptr;
}

int CControlSprite::SetPriority(int priority, int group, bool keep)
{
    if (!m_list)
        return 1;
    if (!m_sprite.GetOwnerList())
        m_list->Insert(&m_sprite, static_cast<uint32_t>(priority), static_cast<DWORD>(group));
    else
        m_list->SetPriority(&m_sprite, static_cast<uint32_t>(priority), keep);
    m_sprite.SetTag(static_cast<DWORD>(group));
    m_priority = priority;
    return 0;
}

void CControlSprite::Release(bool keepPixels)
{
    m_sprite.DetachFromList();
    m_sprite.Reset();
    if (!keepPixels)
        m_image.Destroy();
    m_borrowed = nullptr;
}

int CControlSprite::LoadPicture(const char* file, int first, int second, int blendMode, uint8_t* rectangularHit)
{
    if (m_image.Load(file, nullptr, 0, 0) != 0)
        return 2;
    if (second >= 0)
        m_image.SetColorKeyAt(first, second);
    else if (first == -1)
        *rectangularHit = blendMode == 0 ? 1 : *rectangularHit;
    else
        m_image.SetColorKeyValue(static_cast<DWORD>(first));
    return 0;
}

int CControlSprite::BorrowPicture(CImage* image, int blendMode, uint8_t* rectangularHit)
{
    if (!image || !image->GetBits())
        return 1;
    m_borrowed = image;
    if (image->GetColorKey() == kNoColorKey && blendMode == 0)
        *rectangularHit = 1;
    return 0;
}

int CControlSprite::ShowFirstColumn(int frameWidth, int x, int y, int blendMode, int alpha)
{
    CImage* picture = Picture();
    if (!picture)
        return 2;
    const RECT column{0, 0, frameWidth, picture->GetHeight()};
    if (m_sprite.SetImage(picture, &column, x, y) != 0)
        return 2;
    m_sprite.SetBlendMode(static_cast<BYTE>(blendMode));
    m_sprite.SetAlpha(static_cast<BYTE>(alpha));
    return 0;
}

int CControlSprite::MoveToDisplayList(CDrawList* list)
{
    CDrawList* current = m_sprite.GetOwnerList();
    if (!m_list || !list || !current)
        return 1;
    current->Remove(&m_sprite);
    m_list = list;
    list->Insert(&m_sprite, static_cast<uint32_t>(m_priority), m_sprite.GetTag());
    return 0;
}
