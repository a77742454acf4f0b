#include "effects/layer_quake.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "display/image_object.h"
#include "effects/effect_random.h"
#include "platform/decimal_text.h"

namespace {

LONG AddClipped(LONG a, int64_t b)
{
    return static_cast<LONG>(std::clamp<int64_t>(a + b, INT32_MIN, INT32_MAX));
}

} // namespace

CPluginEffect* CQuakeEffect::Create(DWORD)
{
    return new (std::nothrow) CQuakeEffect;
}

void RenderShiftedBackground(CScene& scene, int32_t ox, int32_t oy)
{
    CImage* work = scene.GetBackgroundWork();
    if (work == nullptr)
        return;
    CSurface* background = nullptr;
    LONG x = 0, y = 0;
    BYTE r = 0, g = 0, b = 0;
    scene.GetBackground(&background, &x, &y, &r, &g, &b);
    const LONG w = work->GetWidth(), h = work->GetHeight();
    if (background == nullptr || background->GetBits() == nullptr) {
        work->FillRect(r, g, b, nullptr);
    } else {
        // Work pixel p shows background pixel p + position + offset.
        const int64_t left = -(int64_t{x} + ox), top = -(int64_t{y} + oy);
        const int64_t right = left + background->GetWidth(), bottom = top + background->GetHeight();
        const LONG cl = static_cast<LONG>(std::clamp<int64_t>(left, 0, w));
        const LONG ct = static_cast<LONG>(std::clamp<int64_t>(top, 0, h));
        const LONG cr = static_cast<LONG>(std::clamp<int64_t>(right, 0, w));
        const LONG cb = static_cast<LONG>(std::clamp<int64_t>(bottom, 0, h));
        if (cl >= cr || ct >= cb) {
            work->FillRect(r, g, b, nullptr);
        } else {
            const RECT strips[4] = {{0, 0, w, ct}, {0, cb, w, h}, {0, ct, cl, cb}, {cr, ct, w, cb}};
            for (const RECT& strip : strips)
                if (strip.left < strip.right && strip.top < strip.bottom)
                    work->FillRect(r, g, b, &strip);
            const RECT from{static_cast<LONG>(cl - left), static_cast<LONG>(ct - top), static_cast<LONG>(cr - left),
                            static_cast<LONG>(cb - top)};
            work->Copy(background, cl, ct, &from, false);
        }
    }
    work->SetChanged(true);
}

int CQuakeEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    if (g_pLayerQuakeRandom == nullptr)
        return 5;
    if (manager == nullptr || target == nullptr || args.GetCount() == 0)
        return 1;
    m_scenes[0] = target->GetScene();
    CImageObject* back = target->GetBackCanvas();
    m_scenes[1] = back != nullptr ? back->GetScene() : nullptr;
    m_apply[0] = args.IntAt(6) != 0;
    m_apply[1] = args.IntAt(7) != 0;
    for (int i = 0; i < 2; ++i)
        if (m_apply[i] && m_scenes[i] == nullptr)
            return 1;
    const int32_t duration = args.IntAt(3);
    m_motion.duration = static_cast<uint32_t>(duration);
    SetQuakeCycle(m_motion, args.IntAt(0), m_motion.duration);
    m_motion.amplitudeX = args.IntAt(1);
    m_motion.amplitudeY = args.IntAt(2);
    double endFactor = 0.0;
    if (!args.GetDouble(4, &endFactor))
        endFactor = ReadDecimalText(args.TextAt(4), 0.0);
    m_motion.endFactor = std::isfinite(endFactor) ? endFactor : 0.0;
    m_frameMode = args.IntAt(5) != 0;
    for (int i = 0; i < 2; ++i) {
        if (!m_apply[i])
            continue;
        CSurface* image = nullptr;
        m_scenes[i]->GetBackground(&image, &m_savedX[i], &m_savedY[i], nullptr, nullptr, nullptr);
    }
    if (m_frameMode) {
        for (int i = 0; i < 2; ++i) {
            if (m_apply[i] && m_scenes[i]->CreateBackgroundWork(false) != 0) {
                for (int j = 0; j < i; ++j)
                    if (m_apply[j])
                        m_scenes[j]->ReleaseBackgroundWork();
                return 4;
            }
        }
        for (int i = 0; i < 2; ++i)
            if (m_apply[i])
                RenderShiftedBackground(*m_scenes[i], 0, 0);
    }
    if (manager->Add(this, 0, 0, 0) != 0) {
        if (m_frameMode)
            for (int i = 0; i < 2; ++i)
                if (m_apply[i])
                    m_scenes[i]->ReleaseBackgroundWork();
        return 5;
    }
    if (args.IntAt(8) != 0)
        BeginBusy();
    return 0;
}

int CQuakeEffect::SetParamsV(const CEffectArgs& args)
{
    if (args.GetCount() > 0 && args.IntAt(0, 1) == 0 && m_motion.stopState == 0)
        m_motion.stopState = 1;
    return 0;
}

int32_t CQuakeEffect::Step(uint32_t now)
{
    int32_t dx = 0, dy = 0;
    if (StepQuakeMotion(m_motion, now, g_pLayerQuakeRandom, &dx, &dy) != 0) {
        Restore();
        return -1;
    }
    Apply(-dx, -dy);
    return 0;
}

void CQuakeEffect::Apply(int32_t ox, int32_t oy)
{
    for (int i = 0; i < 2; ++i) {
        if (!m_apply[i])
            continue;
        CScene& scene = *m_scenes[i];
        if (m_frameMode) {
            RenderShiftedBackground(scene, ox, oy);
            scene.InvalidateAll();
        } else {
            scene.SetBackgroundPosition(AddClipped(m_savedX[i], ox), AddClipped(m_savedY[i], oy), true);
        }
    }
}

void CQuakeEffect::Restore()
{
    if (m_restored)
        return;
    m_restored = 1;
    for (int i = 0; i < 2; ++i) {
        if (!m_apply[i])
            continue;
        CScene& scene = *m_scenes[i];
        if (m_frameMode) {
            scene.ReleaseBackgroundWork();
            scene.InvalidateAll();
        }
        scene.SetBackgroundPosition(m_savedX[i], m_savedY[i], true);
    }
    m_frameMode = 0;
}
