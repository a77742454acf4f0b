#include "effects/weather_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "display/image_object.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "effects/effect_random.h"
#include "platform/decimal_text.h"

const WeatherFamily g_WeatherFamilies[4] = {
    // name     pictures               classes frames rises rebirth hLimit aLimit aChange source
    {"paper", "SYS\\PAPER_%d.ELG", 8, 24, false, 0.1, 3.0, 0.5, 0.6, &g_pPaperRandom},
    {"light", "SYS\\GR_LT%d.ELG", 3, 5, true, 0.1, 5.0, 0.5, 0.6, &g_pLightRandom},
    {"snow", "SYS\\SNOW_%d.ELG", 5, 1, false, 0.002, 1.5, 0.2, 0.3, &g_pSnowRandom},
    {"rain", nullptr, 6, 0, false, 0.002, 0.0, 0.0, 0.0, &g_pRainRandom},
};

namespace {

LONG TruncPosition(double value)
{
    if (!(value == value))
        return 0;
    return static_cast<LONG>(std::clamp(std::trunc(value), -1073741824.0, 1073741823.0));
}

} // namespace

CPluginEffect* CreatePaperEffect(DWORD)
{
    return new (std::nothrow) CPaperEffect;
}
CPluginEffect* CreateLightEffect(DWORD)
{
    return new (std::nothrow) CLightEffect;
}
CPluginEffect* CreateSnowEffect(DWORD)
{
    return new (std::nothrow) CSnowEffect;
}
CPluginEffect* CreateRainEffect(DWORD)
{
    return new (std::nothrow) CRainEffect;
}

CWeatherEffect::~CWeatherEffect()
{
    DestroyParticles();
}

void CWeatherEffect::DestroyParticles()
{
    for (WeatherParticle& p : m_particles)
        for (auto& d : p.drawables)
            if (d)
                d->DetachFromList();
    m_particles.clear();
    m_particles.shrink_to_fit();
}

uint32_t CWeatherEffect::DrawRaw()
{
    SubtractiveRandomState* source = *m_family.source;
    return source != nullptr ? DrawSubtractiveRandom(*source) : 0;
}

double CWeatherEffect::Draw()
{
    return DrawRaw() / 1e9;
}

int CWeatherEffect::MakeParticle(WeatherParticle& p, uint32_t basePriority, int32_t span)
{
    const bool rain = m_family.pictureFormat == nullptr;
    p.k = static_cast<int>(DrawRaw() % static_cast<uint32_t>(m_family.classes));
    const int64_t priority =
        int64_t{basePriority} + int64_t{p.k} * span / (m_family.classes - 1);
    const uint32_t prio = static_cast<uint32_t>(std::clamp<int64_t>(priority, 0, UINT32_MAX));
    for (int i = 0; i < 2; ++i) {
        if (rain) {
            auto* shape = new (std::nothrow) CPrimitiveObject;
            if (shape == nullptr)
                return 4;
            p.drawables[i].reset(shape);
            const LONG length = static_cast<LONG>(std::trunc((1.0 - 0.1 * p.k) * 200.0));
            const DWORD argb = static_cast<DWORD>(0x82 - 0x14 * p.k) << 24 | 0xA0AAEB;
            shape->Setup(1, length, argb, 0, 0);
        } else {
            auto* sprite = new (std::nothrow) CSprite;
            if (sprite == nullptr)
                return 4;
            p.drawables[i].reset(sprite);
            CImage* picture = m_pictures[p.k].get();
            p.frameWidth = picture->GetWidth() / m_family.frames;
            const RECT frame{0, 0, p.frameWidth, picture->GetHeight()};
            if (sprite->SetImage(picture, &frame, 0, 0) != 0)
                return 4;
        }
        p.drawables[i]->SetVisible(false);
        if (m_scenes[i]->GetList().Insert(p.drawables[i].get(), prio, 0) != 0)
            return 4;
    }
    switch (m_kind) {
    case kWeatherPaper:
        p.v = 7.9 + 4.0 * Draw();
        p.h = 0.0;
        p.a = Draw();
        break;
    case kWeatherLight: {
        p.v = 1.9 + 0.8 * p.k + 2.0 * Draw();
        const double h = 1.9 + 0.8 * p.k + 0.2 * Draw();
        p.h = (DrawRaw() & 1) ? -h : h;
        p.a = Draw();
        break;
    }
    case kWeatherSnow:
        p.v = 5.7 + 2.4 * p.k + 0.6 * Draw();
        p.h = 0.0;
        p.a = Draw();
        break;
    default:
        p.v = 225.0 + 15.0 * Draw();
        p.h = 0.0;
        p.a = 0.0;
        break;
    }
    if (m_family.frames > 1)
        p.frame = static_cast<int>(DrawRaw() % static_cast<uint32_t>(m_family.frames));
    if (m_kind == kWeatherLight) {
        p.phase = static_cast<uint16_t>(DrawRaw() % 510);
        for (auto& d : p.drawables)
            d->SetAlpha(static_cast<BYTE>((510 - p.phase) & 0xFF));
    }
    p.alive = 0;
    return 0;
}

void CWeatherEffect::Born(WeatherParticle& p, bool spread)
{
    p.x = Draw() * m_width;
    const double height = p.drawables[0]->GetHeight();
    p.y = m_family.rises ? static_cast<double>(m_height) : -height;
    if (spread) {
        const double move = Draw() * m_height;
        p.y += m_family.rises ? -move : move;
    }
    p.alive = 1;
    Place(p);
    for (int i = 0; i < 2; ++i)
        p.drawables[i]->SetVisible(m_show[i] != 0);
}

void CWeatherEffect::Place(WeatherParticle& p)
{
    const LONG x = TruncPosition(p.x), y = TruncPosition(p.y);
    for (auto& d : p.drawables)
        d->SetPosition(x, y);
    // A strip of one frame keeps the frame its sprites were made with.
    if (p.frameWidth > 0 && m_family.frames > 1) {
        const RECT frame{p.frame * p.frameWidth, 0, (p.frame + 1) * p.frameWidth, p.drawables[0]->GetHeight()};
        for (auto& d : p.drawables)
            static_cast<CSprite*>(d.get())->SetSourceRect(&frame);
    }
}

int CWeatherEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    if (*m_family.source == nullptr)
        return 5;
    const int32_t count = args.IntAt(0);
    if (count < 1 || manager == nullptr || target == nullptr)
        return 1;
    CImageObject* back = target->GetBackCanvas();
    m_scenes[0] = target->GetScene();
    m_scenes[1] = back != nullptr ? back->GetScene() : nullptr;
    if (m_scenes[0] == nullptr || m_scenes[1] == nullptr || target->GetImage() == nullptr)
        return 2;
    m_target = target;
    m_width = target->GetImage()->GetWidth();
    m_height = target->GetImage()->GetHeight();
    if (m_family.pictureFormat != nullptr) {
        for (int k = 0; k < m_family.classes; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, m_family.pictureFormat, k);
            m_pictures[k].reset(new (std::nothrow) CImage);
            // A strip narrower than its frames would give frames of width 0.
            if (!m_pictures[k] || m_pictures[k]->Load(name, nullptr, 0, 0) != 0 ||
                m_pictures[k]->GetBits() == nullptr || m_pictures[k]->GetWidth() < m_family.frames)
                return 3;
        }
    }
    m_speed = ReadDecimalText(args.TextAt(4), 1.0);
    if (m_speed == 0.0)
        m_speed = 1.0;
    m_show[0] = args.IntAt(5) != 0;
    m_show[1] = args.IntAt(6) != 0;
    const bool spread = args.IntAt(3) != 0;
    // A failed allocation leaves nothing in the scenes: it used to leave half-made particles.
    if (count > kMaxWeatherParticles) {
        return 4;
    }
    m_particles = std::vector<WeatherParticle>();
    try {
        m_particles.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        return 4;
    }
    const uint32_t base = static_cast<uint32_t>(args.IntAt(1));
    const int32_t span = args.IntAt(2);
    for (WeatherParticle& p : m_particles) {
        if (MakeParticle(p, base, span) != 0) {
            DestroyParticles();
            return 4;
        }
    }
    if (spread)
        for (WeatherParticle& p : m_particles)
            Born(p, true);
    if (manager->Add(this, 80, 80, 0) != 0) {
        DestroyParticles();
        return 5;
    }
    if (!spread)
        Born(m_particles[0], false);
    return 0;
}

int CWeatherEffect::SetParamsV(const CEffectArgs& args)
{
    if (args.GetCount() == 0)
        return 1;
    if (args.IntAt(0) == 0) {
        m_stopping = 1;
        return 0;
    }
    bool first = args.IntAt(1) != 0, second = args.IntAt(2) != 0;
    CScene* firstScene = m_target != nullptr ? m_target->GetScene() : nullptr;
    if (!m_particles.empty() &&
        (firstScene == nullptr || m_particles[0].drawables[0]->GetOwnerList() != &firstScene->GetList()))
        std::swap(first, second);
    m_show[0] = first;
    m_show[1] = second;
    ShowAll();
    return 0;
}

void CWeatherEffect::ShowAll()
{
    for (WeatherParticle& p : m_particles)
        for (int i = 0; i < 2; ++i)
            p.drawables[i]->SetVisible(p.alive && m_show[i] != 0);
}

bool CWeatherEffect::StepParticle(WeatherParticle& p)
{
    if (!p.alive) {
        if (m_stopping)
            return true;
        if (Draw() < m_family.rebirthChance)
            Born(p, false);
        return false;
    }
    p.x += m_speed * p.h;
    const double move = std::max(m_speed * p.v, 1.0);
    p.y += m_family.rises ? -move : move;
    if (m_family.pictureFormat != nullptr) {
        p.h += p.a;
        p.a += (Draw() - 0.5) * m_family.aChange;
        p.h = std::clamp(p.h, -m_family.hLimit, m_family.hLimit);
        p.a = std::clamp(p.a, -m_family.aLimit, m_family.aLimit);
    }
    const double height = p.drawables[0]->GetHeight();
    const bool left = m_family.rises ? p.y < -height : p.y >= m_height;
    if (left) {
        if (!m_stopping) {
            Born(p, false);
        } else {
            p.alive = 0;
            for (auto& d : p.drawables)
                d->SetVisible(false);
        }
    }
    if (m_stopping && !p.alive)
        return true;
    if (m_family.frames > 1)
        p.frame = (p.frame + 1) % m_family.frames;
    if (m_kind == kWeatherLight) {
        p.phase = static_cast<uint16_t>(p.phase + 32);
        if (p.phase > 509)
            p.phase = 0;
        const BYTE alpha = static_cast<BYTE>((510 - p.phase) & 0xFF);
        for (auto& d : p.drawables)
            d->SetAlpha(alpha);
    }
    Place(p);
    return false;
}

int32_t CWeatherEffect::Step(uint32_t)
{
    bool allDone = true;
    for (WeatherParticle& p : m_particles)
        allDone = StepParticle(p) && allDone;
    return m_stopping && allDone ? 1 : 0;
}
