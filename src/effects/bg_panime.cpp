#include "effects/bg_panime.h"

#include <algorithm>
#include <new>

#include "display/display_objects.h"
#include "display/image_object.h"
#include "drawing/scene.h"
#include "platform/cos_table.h"
#include "raster/image.h"
#include "raster/surface.h"

namespace {

// The layer's state as the list's start point.
PathStep LayerState(const CScene& scene)
{
    PathStep state;
    LONG x = 0, y = 0;
    scene.GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
    state.x = x;
    state.y = y;
    return state;
}

CScene* DisplayScene(const CEffectArgs& args, size_t i)
{
    CImageObject* canvas = args.GetImageObject(i);
    if (canvas == nullptr)
        canvas = GetDisplayCanvas(args.GetSurface(i));
    return canvas != nullptr ? canvas->GetScene() : nullptr;
}

} // namespace

CPluginEffect* CBgPanimeEffect::Create(DWORD)
{
    return new (std::nothrow) CBgPanimeEffect;
}

CBgPanimeEffect::~CBgPanimeEffect()
{
    EndPictureMode();
}

int CBgPanimeEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    m_scene = target != nullptr ? target->GetScene() : nullptr;
    if (manager == nullptr || m_scene == nullptr)
        return 1;
    if (m_path.ParseCommands(args.TextAt(0), nullptr, m_scene) != 0)
        return 2;
    const uint32_t duration = static_cast<uint32_t>(std::max(args.IntAt(1), 0));
    if (!StartList(LayerState(*m_scene), false, duration))
        return 2;
    if (duration == 0) {
        Complete();
        return -1;
    }
    const int32_t option = args.IntAt(2);
    if (option != 65535) {
        CImage* canvas = m_scene->GetTarget();
        if (args.IntAt(3) != 0) {
            m_rendered.reset(new (std::nothrow) CImage);
            if (!m_rendered || canvas == nullptr ||
                m_rendered->Create(canvas->GetWidth(), canvas->GetHeight(), 32, 0) != 0) {
                m_rendered.reset();
                return 3;
            }
            m_hideOverlay = args.IntAt(4) != 0;
            if (m_scene->RenderToImage(m_rendered.get(), 0, 0, true) != 0) {
                m_rendered.reset();
                return 4;
            }
            m_mode = 2;
        }
        if (option != 0) {
            if (m_scene->CreateBackgroundWork(false) != 0) {
                m_rendered.reset();
                m_mode = 0;
                return 5;
            }
            m_mode += 1;
        }
        m_option = static_cast<uint8_t>(args.IntAt(5));
    }
    if (g_pCosTable != nullptr)
        g_pCosTable->BuildDoubleTable();
    if (manager->Add(this, 0, 0, 0) != 0) {
        EndPictureMode();
        return 2;
    }
    if (m_mode >= 2) {
        m_scene->SetHideList(true);
        if (m_hideOverlay)
            m_scene->SetHideOverlay(true);
        if (m_mode == 2) {
            m_scene->GetBackground(&m_displaced, nullptr, nullptr, nullptr, nullptr, nullptr);
            m_scene->SetBackgroundImage(m_rendered.get(), 0, 0, true);
        }
        m_scene->InvalidateAll();
    }
    if (args.IntAt(6) != 0)
        BeginBusy();
    return 0;
}

void CBgPanimeEffect::ApplyPoint(const PathStep& from, const PathStep& to, double f)
{
    if (m_scene == nullptr)
        return;
    int32_t x = 0, y = 0;
    PositionAt(from, to, f, &x, &y);
    CImage* work = m_scene->GetBackgroundWork();
    if ((m_mode & 1) == 0 || work == nullptr) {
        m_scene->SetBackgroundPosition(x, y, true);
        return;
    }
    CSurface* picture = m_rendered ? m_rendered.get() : nullptr;
    if (picture == nullptr)
        m_scene->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
    // The whole work image takes the layer's colour, then the picture's part that covers it.
    work->FillRect32(0xFF000000u | m_scene->GetBackgroundColor(), nullptr);
    if (picture != nullptr) {
        const int64_t dx = -int64_t{x}, dy = -int64_t{y};
        if (dx > -picture->GetWidth() && dy > -picture->GetHeight() && dx < work->GetWidth() &&
            dy < work->GetHeight())
            work->Copy(picture, static_cast<LONG>(dx), static_cast<LONG>(dy), nullptr, false);
    }
    m_scene->InvalidateAll();
}

void CBgPanimeEffect::EndPictureMode()
{
    if (m_scene == nullptr || m_mode == 0)
        return;
    if (m_rendered) {
        m_scene->SetHideList(false);
        if (m_hideOverlay)
            m_scene->SetHideOverlay(false);
        if (m_mode == 2)
            m_scene->SetBackgroundImage(m_displaced, 0, 0, true);
    }
    m_displaced = nullptr;
    if (m_mode & 1)
        m_scene->ReleaseBackgroundWork();
    m_rendered.reset();
    m_scene->InvalidateAll();
    m_mode = 0;
}

void CBgPanimeEffect::Complete()
{
    EndPictureMode();
    const PathStep* last = RunRest();
    if (m_scene != nullptr && last != nullptr)
        m_scene->SetBackgroundPosition(last->x, last->y, true);
}

int CBgPanimeEffect::QueryV(const CEffectArgs&, CEffectArgs* out)
{
    if (m_path.GetSteps().empty())
        return 1;
    const int32_t last = m_path.GetFinalPointStep();
    if (last < 0)
        return 2;
    if (out != nullptr) {
        out->SetInt(0, m_path.GetSteps()[static_cast<size_t>(last)].x);
        out->SetInt(1, m_path.GetSteps()[static_cast<size_t>(last)].y);
    }
    return 0;
}

int ApplyBgPanimeDirect(const CEffectArgs& in, CEffectArgs* out)
{
    CScene* scene = DisplayScene(in, 0);
    if (scene == nullptr)
        return -1;
    CSplinePath path;
    if (const int code = path.ParseCommands(in.TextAt(1), nullptr, scene); code != 0)
        return code;
    const int32_t last = path.GetFinalPointStep();
    if (last >= 0) {
        const PathStep& point = path.GetSteps()[static_cast<size_t>(last)];
        scene->SetBackgroundPosition(point.x, point.y, true);
    }
    if (out != nullptr) {
        LONG x = 0, y = 0;
        scene->GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
        out->SetInt(2, x);
        out->SetInt(3, y);
    }
    return 0;
}
