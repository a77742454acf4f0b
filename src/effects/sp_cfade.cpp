#include "effects/sp_cfade.h"

#include <new>

#include "display/image_object.h"
#include "drawing/draw_list.h"
#include "drawing/sprite.h"
#include "effects/change_blend.h"
#include "effects/sp_loop.h"
#include "platform/cpu_info.h"
#include "raster/image.h"

namespace {

// The picture a sprite draws from and the rectangle of it that its screen rectangle shows: its
// own work image when it is rotated or resized, else its source image.
const CImage* DrawingImage(const CSprite* sprite, RECT* source)
{
    if (sprite == nullptr)
        return nullptr;
    const CImage* image = nullptr;
    if (sprite->IsRotated() || sprite->GetRequestedWidth() != 0 || sprite->GetRequestedHeight() != 0) {
        image = sprite->GetWorkImage();
        if (image != nullptr)
            *source = RECT{0, 0, image->GetWidth(), image->GetHeight()};
    } else {
        image = sprite->GetImage();
        *source = sprite->GetSourceRect();
    }
    return image != nullptr && image->GetBits() != nullptr ? image : nullptr;
}

// The sprite's screen rectangle cut to the canvas.
RECT ClippedScreenRect(const CSprite& sprite, const CImage& canvas)
{
    RECT r{};
    sprite.GetScreenRect(&r);
    ClipRectTo(r, RECT{0, 0, canvas.GetWidth(), canvas.GetHeight()});
    return r;
}

// The part of source that the clipped screen rectangle shows, and its place in the work area.
RECT ShownSource(const CSprite& sprite, const RECT& source, const RECT& clipped)
{
    RECT screen{};
    sprite.GetScreenRect(&screen);
    const LONG dx = clipped.left - screen.left, dy = clipped.top - screen.top;
    return RECT{source.left + dx, source.top + dy, source.left + dx + (clipped.right - clipped.left),
                source.top + dy + (clipped.bottom - clipped.top)};
}

} // namespace

CPluginEffect* CSpCfadeEffect::Create(DWORD)
{
    return new (std::nothrow) CSpCfadeEffect;
}

CSpCfadeEffect::~CSpCfadeEffect()
{
    DropWork();
    if (m_ownsOld) {
        auto* sprite = dynamic_cast<CSprite*>(m_old);
        CImage* image = sprite != nullptr ? sprite->GetImage() : nullptr;
        delete m_old;
        if (image != nullptr && image != m_newImage)
            delete image;
    }
}

int32_t CSpCfadeEffect::GetKind()
{
    return kSpEffectKind;
}

void CSpCfadeEffect::DropWork()
{
    // The work sprite leaves its list with its destructor.
    m_workSprite.reset();
    m_workImage.reset();
}

int CSpCfadeEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    if (manager == nullptr)
        return 1;
    CDrawable* fresh = args.GetDrawable(0);
    if (fresh == nullptr || fresh->GetKind() != kDrawableSprite)
        return 2;
    m_new = static_cast<CSprite*>(fresh);
    m_new->SetVisible(false);
    m_old = args.GetDrawable(1);
    auto* old =
        m_old != nullptr && m_old->GetKind() == kDrawableSprite ? static_cast<CSprite*>(m_old) : nullptr;
    m_oldImage = DrawingImage(old, &m_oldSource);
    m_newImage = DrawingImage(m_new, &m_newSource);
    if (m_oldImage == nullptr && m_newImage == nullptr)
        return 3;
    m_blended = 0;
    if (m_oldImage != nullptr && m_newImage != nullptr) {
        CDrawList* list = m_new->GetOwnerList();
        if (list == nullptr || target == nullptr)
            return 4;
        CImage* canvas = target->GetImage();
        if (canvas == nullptr || canvas->GetBits() == nullptr)
            return 5;
        const RECT oldRect = ClippedScreenRect(*old, *canvas);
        const RECT newRect = ClippedScreenRect(*m_new, *canvas);
        // The new sprite was hidden above: whether it shows is whether it lies on the canvas.
        if (old->IsVisible() && SplitChangeRects(oldRect, newRect, &m_split)) {
            const RECT& area = m_split.area;
            m_workImage.reset(new (std::nothrow) CImage);
            m_workSprite.reset(new (std::nothrow) CSprite);
            if (!m_workImage || !m_workSprite ||
                m_workImage->Create(area.right - area.left, area.bottom - area.top, 32, 0) != 0 ||
                !m_workImage->FillRect32(0, nullptr) ||
                m_workSprite->SetImage(m_workImage.get(), nullptr, area.left, area.top) != 0 ||
                list->Insert(m_workSprite.get(), static_cast<uint32_t>(args.IntAt(2)), 0) != 0) {
                DropWork();
                return 7;
            }
            m_workSprite->SetBlendMode(2);
            m_workSprite->SetDrawMode(1);
            m_workSprite->SetVisible(false);
            m_oldSource = ShownSource(*old, m_oldSource, oldRect);
            m_newSource = ShownSource(*m_new, m_newSource, newRect);
            m_oldX = oldRect.left - area.left;
            m_oldY = oldRect.top - area.top;
            m_newX = newRect.left - area.left;
            m_newY = newRect.top - area.top;
            m_blended = 1;
        }
    }
    const int32_t time = args.IntAt(3);
    m_time = time == 0 ? 1u : static_cast<uint32_t>(time);
    m_firstStep = 1;
    m_lastLevel = 0;
    if (manager->Add(this, 0, 0, 0) != 0) {
        DropWork();
        m_blended = 0;
        return 6;
    }
    // Owned only now: the creator deletes a refused effect while the caller still holds the
    // sprite, and both used to free it.
    m_ownsOld = m_old != nullptr;
    if (args.IntAt(4) != 0)
        BeginBusy();
    return 0;
}

void CSpCfadeEffect::Complete()
{
    if (m_blended) {
        if (m_old != nullptr)
            m_old->SetVisible(false);
        if (m_workSprite)
            m_workSprite->SetVisible(false);
        m_new->SetVisible(true);
        return;
    }
    if (m_old != nullptr)
        m_old->SetVisible(false);
    if (m_new != nullptr) {
        m_new->SetAlpha(255);
        m_new->SetVisible(true);
    }
}

int32_t CSpCfadeEffect::Step(uint32_t now)
{
    if (m_firstStep) {
        m_firstStep = 0;
        m_start = now;
        if (m_blended) {
            if (m_old != nullptr)
                m_old->SetVisible(false);
            m_workSprite->SetVisible(true);
        } else {
            m_new->SetAlpha(0);
            m_new->SetVisible(true);
        }
    }
    const uint32_t e = now - m_start;
    if (e >= m_time) {
        Complete();
        return -1;
    }
    const auto level = static_cast<BYTE>(uint64_t{e} * 255 / m_time);
    if (level != m_lastLevel) {
        m_lastLevel = level;
        if (m_blended) {
            DrawBlend(level);
        } else {
            if (m_old != nullptr)
                m_old->SetAlpha(static_cast<BYTE>(255 - level));
            m_new->SetAlpha(level);
        }
    }
    return 0;
}

void CSpCfadeEffect::DrawBlend(BYTE level)
{
    CImage& work = *m_workImage;
    for (int i = 0; i < m_split.refreshCount; ++i)
        work.MarkChanged(m_split.refresh[i]);
    if (!DrawChangeBlend(work, *m_oldImage, m_oldSource, m_oldX, m_oldY, *m_newImage, m_newSource, m_newX,
                         m_newY, level, g_bUseMmx != 0))
        DrawChangeBlendPasses(work, m_split, *m_oldImage, m_oldSource, m_oldX, m_oldY, *m_newImage,
                              m_newSource, m_newX, m_newY, level);
    m_workSprite->SetDirty(true);
    for (int i = 0; i < m_split.refreshCount; ++i) {
        RECT r = m_split.refresh[i];
        m_workSprite->InvalidateLocalRect(&r);
    }
}

void CSpCfadeEffect::MoveOwnSprites(uint32_t priority)
{
    MoveInItsList(m_old, priority);
    MoveInItsList(m_workSprite.get(), priority);
}
