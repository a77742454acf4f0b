#include "effects/sp_loop.h"

#include <algorithm>
#include <new>

#include "display/display_objects.h"
#include "display/image_object.h"
#include "drawing/scene.h"
#include "effects/eased_time.h"
#include "drawing/sprite.h"
#include "raster/image.h"

CPluginEffect* CSpLoopEffect::Create(DWORD)
{
    return new (std::nothrow) CSpLoopEffect;
}

CSpLoopEffect::~CSpLoopEffect()
{
    Remove();
}

int CSpLoopEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    CImageObject* canvas = args.GetImageObject(1);
    if (canvas == nullptr)
        canvas = GetDisplayCanvas(args.GetSurface(1));
    if (canvas == nullptr)
        canvas = target;
    m_scene = canvas != nullptr ? canvas->GetScene() : nullptr;
    if (manager == nullptr || m_scene == nullptr)
        return 1;
    m_picture.reset(new (std::nothrow) CImage);
    const char* file = args.TextAt(0);
    if (!m_picture || file == nullptr || m_picture->Load(file, nullptr, 0, 0) != 0 || m_picture->GetBits() == nullptr) {
        m_picture.reset();
        return 2;
    }
    m_x = args.IntAt(2);
    m_y = args.IntAt(3);
    m_direction = static_cast<uint8_t>(std::clamp(args.IntAt(5), 0, 3));
    const bool horizontal = m_direction < 2;
    m_span = horizontal ? m_picture->GetWidth() : m_picture->GetHeight();
    m_window = args.IntAt(4) < 1 ? m_span : args.IntAt(4);
    if (m_window > m_span)
        return 2;
    m_period = static_cast<uint32_t>(std::max(args.IntAt(6), 1));
    m_repeats = static_cast<uint32_t>(std::max(args.IntAt(7), 0));
    m_stopAtEnd = args.IntAt(8) != 0;
    for (CSprite*& sprite : m_sprites) {
        sprite = new (std::nothrow) CSprite;
        if (sprite == nullptr || sprite->SetImage(m_picture.get(), nullptr, m_x, m_y) != 0 ||
            m_scene->GetList().Insert(sprite, 0, 0) != 0) {
            Remove();
            return 3;
        }
    }
    Draw(0);
    if (manager->Add(this, 0, 0, 0) != 0) {
        Remove();
        return 4;
    }
    if (args.IntAt(9) != 0)
        BeginBusy();
    return 0;
}

int CSpLoopEffect::SetParamsV(const CEffectArgs& args)
{
    switch (args.IntAt(0, -1)) {
    case 0:
        m_stop = 1;
        return 0;
    case 1:
        m_visible = args.IntAt(1) != 0;
        if (!m_visible) {
            for (CSprite* sprite : m_sprites)
                if (sprite != nullptr)
                    sprite->SetVisible(false);
        } else {
            Draw(m_lastOffset < 0 ? 0 : m_lastOffset);
        }
        return 0;
    case 2:
        m_x = args.IntAt(1);
        m_y = args.IntAt(2);
        Draw(m_lastOffset < 0 ? 0 : m_lastOffset);
        return 0;
    case 3:
        for (CSprite* sprite : m_sprites)
            if (sprite != nullptr)
                m_scene->GetList().SetPriority(sprite, static_cast<BYTE>(args.IntAt(1)), false);
        return 0;
    default:
        return -2;
    }
}

int32_t CSpLoopEffect::Step(uint32_t now)
{
    if (!m_picture)
        return 5;
    uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (e >= m_period) {
        const uint32_t passed = e / m_period;
        if (m_repeats == 1 || (m_repeats == 0 && m_stop) || (m_repeats > 1 && passed >= m_repeats))
            return -1;
        if (m_repeats > 1)
            m_repeats -= passed;
        m_start += passed * m_period;
        e = now - m_start;
    }
    const auto offset = static_cast<LONG>(int64_t{m_span} * e / m_period);
    if (offset != m_lastOffset && m_visible)
        Draw(offset);
    return 0;
}

void CSpLoopEffect::Draw(LONG offset)
{
    m_lastOffset = offset;
    if (!m_visible || m_sprites[0] == nullptr || m_sprites[1] == nullptr || m_span <= 0)
        return;
    const LONG from = (m_direction == 1 || m_direction == 3) ? (m_span - offset) % m_span : offset % m_span;
    const LONG first = std::min(m_window, m_span - from);
    const LONG rest = m_window - first;
    const bool horizontal = m_direction < 2;
    const LONG w = m_picture->GetWidth(), h = m_picture->GetHeight();
    const RECT head = horizontal ? RECT{from, 0, from + first, h} : RECT{0, from, w, from + first};
    m_sprites[0]->SetSourceRect(&head);
    m_sprites[0]->SetPosition(m_x, m_y);
    m_sprites[0]->SetVisible(true);
    if (rest > 0) {
        const RECT tail = horizontal ? RECT{0, 0, rest, h} : RECT{0, 0, w, rest};
        m_sprites[1]->SetSourceRect(&tail);
        // A window near the coordinate limit must not wrap the second sprite's place.
        m_sprites[1]->SetPosition(horizontal ? AddClamped(m_x, first) : m_x,
                                  horizontal ? m_y : AddClamped(m_y, first));
        m_sprites[1]->SetVisible(true);
    } else {
        m_sprites[1]->SetVisible(false);
    }
}

void CSpLoopEffect::Remove()
{
    for (CSprite*& sprite : m_sprites) {
        if (sprite != nullptr && m_scene != nullptr)
            m_scene->GetList().Remove(sprite);
        delete sprite;
        sprite = nullptr;
    }
}
