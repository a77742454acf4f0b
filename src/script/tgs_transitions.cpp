// The frame's screen transitions: the next picture is built on the back page and brought in by a
// transition or screen filter that the frame's screen steps and draws. The page records and
// sprite sets swap as the screen's pages do, whether the transition runs, is skipped to its end or
// is applied at once.
#include <cstdio>
#include <cstring>
#include <utility>

#include "display/image_object.h"
#include "display/screen_filter.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/layer_effect.h"
#include "files/transition_plugin_manager.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"

namespace {

constexpr const char* kFilterNames[] = {"zoomflip",  "wave",   "mosaic", "rotaxis",
                                        "rotcenter", "addsub", "hblur"};

uint8_t BusyFlag()
{
    return g_bKeepEffectPriority != 0 ? 0 : 1;
}

// The filter an object is, or null after releasing an object that is none.
CScreenFilter* AsFilter(CPluginFilter* object)
{
    auto* filter = dynamic_cast<CScreenFilter*>(object);
    if (filter == nullptr && object != nullptr)
        object->Release();
    return filter;
}

int32_t OrDefaultTime(int32_t time)
{
    return time == 0 ? 1000 : time;
}

} // namespace

int CTgsFrame::CreateTransition(CImageObject* screen, const char* name, uint8_t applyMode, uint8_t keep,
                                const CEffectArgs& args)
{
    if (screen == nullptr)
        return 1;
    CPluginFilter* object = g_pTransitionPluginManager != nullptr
                                ? g_pTransitionPluginManager->CreateObject(screen, name, args)
                                : nullptr;
    if (object == nullptr)
        return 2;
    CScreenFilter* filter = AsFilter(object);
    if (filter == nullptr)
        return 3;
    if (screen->AttachFilter(filter, applyMode, keep, BusyFlag()) != 0) {
        filter->Release();
        return 3;
    }
    return 0;
}

void CTgsFrame::BeginTransition()
{
    m_transitionRunning = 1;
    SwapPageRecords();
    if (m_pageMode == 1)
        SwapPageSets();
}

void CTgsFrame::ApplyTransitionAtOnce()
{
    CImageObject* screen = Screen(0);
    CImageObject* back = Screen(1);
    if (screen != nullptr && back != nullptr) {
        if (m_pageMode == 2)
            screen->SwapBackgrounds(back);
        else
            screen->SwapScenes(back);
    }
    SwapPageRecords();
    if (m_pageMode == 1)
        SwapPageSets();
}

int CTgsFrame::WaitTransition(bool skippable)
{
    if (m_rememberedQuake[0] != 0) {
        StopTransition();
        return 0;
    }
    CImageObject* screen = Screen(0);
    int result = 0;
    while (true) {
        if (StepFrame() == 0) {
            result = -1;
            break;
        }
        if (screen == nullptr || !screen->HasFilter())
            break;
        if (skippable && (CheckSkipInput(3) != 0 || m_skipMode != 0 || m_pageSkip != 0)) {
            screen->DetachFilter(screen->GetApplyOnEnd());
            result = StepFrame() == 0 ? -1 : 1;
            break;
        }
    }
    m_transitionRunning = 0;
    return result;
}

void CTgsFrame::StopTransition()
{
    if (m_transitionRunning == 0)
        return;
    if (CImageObject* screen = Screen(0); screen != nullptr && screen->HasFilter())
        screen->DetachFilter(screen->GetApplyOnEnd());
    m_transitionRunning = 0;
    m_rememberedQuake[0] = 0;
}

void CTgsFrame::SetTransitionOption(int i, bool on)
{
    m_transitionOptions[i != 0 ? 1 : 0] = on ? 1 : 0;
    m_ruleNumber = -1;
}

int CTgsFrame::LoadRuleImage(int32_t n)
{
    if (m_ruleNumber == n && n >= 0)
        return 0;
    CImageObject* screen = Screen(0);
    if (!m_screenImage && screen != nullptr) {
        m_screenImage = std::make_unique<CImage>();
        m_screenImage->Create(screen->GetImage()->GetWidth(), screen->GetImage()->GetHeight(), 8, 0);
    }
    if (!m_screenImage)
        return 1;
    char name[32];
    std::snprintf(name, sizeof name, "SYS\\RULE%03d.ELG", n);
    if (m_screenImage->LoadFileAt(name, nullptr, 0, 0, 0, true) != 0)
        return 1;
    if (m_transitionOptions[0] != 0)
        PixelLibOp14(*m_screenImage, nullptr);
    if (m_transitionOptions[1] != 0)
        PixelLibOp16(*m_screenImage, nullptr);
    m_ruleNumber = n;
    return 0;
}

int CTgsFrame::FinishTransition()
{
    TgsPageRecord& front = Page(0);
    ClearLayer(front.colour, 1);
    ResetSpriteGroups(1, -1);
    CScene* scene = PageScene(1);
    if (front.image != nullptr) {
        TgsPageRecord& back = Page(1);
        // The back page takes what the front shows; its own rendering and effects stay its own.
        back.CopyFieldsFrom(front);
        if (back.image != front.image) {
            HoldImage(front.image);
            CImage* old = back.image;
            back.image = front.image;
            if (old != nullptr)
                DropImage(old);
        }
        if (scene != nullptr) {
            scene->SetBackgroundImage(back.image, back.x, back.y, true);
            if (back.viewLeft < 0 && back.zoom != 0) {
                scene->SetBackgroundRotateZoom(back.x, back.y, back.angle, back.zoom);
            } else if (back.viewLeft >= 0) {
                const RECT source{back.viewLeft, back.viewTop, back.viewRight, back.viewBottom};
                scene->SetBackgroundView(0, 0, kScreenWidth, kScreenHeight, &source);
            }
        }
    }
    for (int group = 0; group < 3; ++group) {
        int count = 0;
        TgsSpriteRecord* const* fronts = GetSpriteGroup(group, 0, &count);
        TgsSpriteRecord* const* backs = GetSpriteGroup(group, 1, &count);
        for (int i = 0; i < count; ++i)
            CopySpriteRecord(scene, *fronts[i], *backs[i]);
    }
    return 0;
}

void CTgsFrame::CopySpriteRecord(CScene* scene, TgsSpriteRecord& from, TgsSpriteRecord& to)
{
    to.priority = from.priority;
    if (from.sprite == nullptr || scene == nullptr)
        return;
    ReleaseManagedObject(&from.effect);
    from.pendingKind = 0;
    if (to.sprite != nullptr || to.image != nullptr)
        ReleaseSprite(to, 1);
    ReleaseManagedObject(&to.effect);
    auto* sprite = new CSprite;
    if (sprite->CopyFrom(from.sprite) != 0 ||
        scene->GetList().Insert(sprite, static_cast<uint32_t>(to.priority), 0) != 0) {
        delete sprite;
        return;
    }
    HoldImage(from.image);
    to.image = from.image;
    to.sprite = sprite;
    to.CopyFieldsFrom(from);
    to.picture = from.picture;
    to.animationZoom = from.animationZoom;
    to.animationAngle = from.animationAngle;
    to.zoomX = from.zoomX;
    to.zoomY = from.zoomY;
    to.pendingKind = 0;
}

void CTgsFrame::SwapPageRecords()
{
    std::swap(m_pFrontPage, m_pBackPage);
    for (TgsLayerSlot& slot : m_layers) {
        std::array<int32_t, 7>& w = slot.words;
        const int32_t kind = slot.effectKind;
        if (kind == 2 || (kind >= 4 && kind <= 7)) {
            w[1] = w[1] != 0 ? 0 : 1;
        } else if (kind == 8) {
            if (w[4] != 2)
                w[4] = w[4] != 0 ? 0 : 1;
            else
                std::swap(w[2], w[3]);
        } else if (kind == 9) {
            if ((w[2] & 0xFF) != 0)
                w[2] = (w[2] & 0xFF) == 1 ? 2 : 1;
            w[3] = w[3] != 0 ? 0 : 1;
        } else if (kind == 1 || kind >= 10) {
            std::swap(w[2], w[3]);
        } else if (kind == 3) {
            std::swap(w[5], w[6]);
        }
    }
}

void CTgsFrame::SwapPageSets()
{
    auto swapHalves = [](auto& pointers) {
        const size_t half = pointers.size() / 2;
        for (size_t i = 0; i < half; ++i)
            std::swap(pointers[i], pointers[half + i]);
    };
    swapHalves(m_pSpritesA);
    swapHalves(m_pSpritesB);
    swapHalves(m_pSpritesC);
}

int CTgsFrame::RunTransition(CPluginFilter* object, CImageObject* screen, int swap, uint32_t skipMask)
{
    if (object == nullptr)
        return 2;
    CScreenFilter* filter = AsFilter(object);
    if (filter == nullptr)
        return 3;
    if (screen == nullptr || screen->AttachFilter(filter, static_cast<uint8_t>(swap), 1, BusyFlag()) != 0) {
        filter->Release();
        return 3;
    }
    // Late frames would become extra logic ticks that the fade's own steps do not need: the
    // counting the user asked for is off while the fade runs.
    const bool lateFramesPaused = m_link != nullptr && m_link->CountsLateFrames();
    if (lateFramesPaused)
        m_link->SetLateFrameCounting(false);
    int result = 0;
    while (true) {
        if (StepFrame() == 0) {
            // The pages must still say what the screen shows.
            screen->DetachFilter(true);
            result = -1;
            break;
        }
        if (!screen->HasFilter())
            break;
        if (skipMask != 0 && CheckSkipInput(skipMask) != 0) {
            screen->DetachFilter(true);
            result = 1;
            break;
        }
    }
    if (lateFramesPaused)
        m_link->SetLateFrameCounting(true);
    if (swap == 1 || swap == 2) {
        SwapPageRecords();
        if (swap == 1)
            SwapPageSets();
    }
    return result;
}

int CTgsFrame::RunCrossFade(int32_t time, int swap, uint32_t skipMask, CImageObject* screen)
{
    if (screen == nullptr)
        screen = Screen(0);
    CPluginFilter* object =
        g_pTransitionPluginManager != nullptr && screen != nullptr
            ? g_pTransitionPluginManager->Create(screen, "cross", time, swap, static_cast<int32_t>(skipMask))
            : nullptr;
    return RunTransition(object, screen, swap, skipMask);
}

// The common course of the named transitions: page mode 1, the running one ended, applied at
// once while skipping; then made and begun, or applied at once after a failure.
bool CTgsFrame::TransitionSkipped()
{
    m_pageMode = 1;
    StopTransition();
    if (!SkipRequested())
        return false;
    ApplyTransitionAtOnce();
    return true;
}

int CTgsFrame::StartNamedTransition(const char* name, uint8_t keep, const CEffectArgs& args)
{
    const int r = CreateTransition(Screen(0), name, 1, keep, args);
    if (r != 0) {
        ApplyTransitionAtOnce();
        return r;
    }
    BeginTransition();
    return 0;
}

int CTgsFrame::TransCross(int32_t time)
{
    if (TransitionSkipped())
        return 0;
    return StartNamedTransition("cross", 1, CEffectArgs::Of(OrDefaultTime(time)));
}

int CTgsFrame::TransRule(int32_t n, int32_t time, int32_t softness)
{
    if (TransitionSkipped())
        return 0;
    if (LoadRuleImage(n) != 0) {
        ApplyTransitionAtOnce();
        return -1;
    }
    CEffectArgs args;
    args.AddInt(OrDefaultTime(time));
    args.AddObject(static_cast<CSurface*>(m_screenImage.get()));
    args.AddInt(softness < 1 ? 32 : softness);
    return StartNamedTransition("rule", 1, args);
}

int CTgsFrame::TransTrans(int32_t time, int32_t image, uint8_t keep)
{
    if (TransitionSkipped())
        return 0;
    CImageObject* screen = Screen(0);
    CImageObject* back = Screen(1);
    if (keep != 0 && screen != nullptr && back != nullptr)
        screen->SwapScenes(back);
    const int r = CreateTransition(screen, "trans", 1, keep == 0 ? 1 : 0,
                                   CEffectArgs::Of(OrDefaultTime(time), image, keep));
    if (r != 0) {
        if (keep != 0 && screen != nullptr && back != nullptr)
            screen->SwapScenes(back);
        ApplyTransitionAtOnce();
        return r;
    }
    BeginTransition();
    return 0;
}

int CTgsFrame::TransFilter(int32_t k, int32_t time, int32_t a, int32_t b, int32_t c)
{
    if (TransitionSkipped())
        return 0;
    if (k < 0 || k > 6)
        return -1;
    return StartNamedTransition(kFilterNames[k], 1, CEffectArgs::Of(OrDefaultTime(time), a, b, c, 0, 0));
}

int CTgsFrame::TransScroll(int32_t time, uint8_t dir, uint8_t mode, int32_t step)
{
    if (TransitionSkipped())
        return 0;
    return StartNamedTransition("scroll", 1, CEffectArgs::Of(OrDefaultTime(time), dir, mode, step));
}

int CTgsFrame::TransRipple(int32_t time, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f)
{
    if (TransitionSkipped())
        return 0;
    return StartNamedTransition("ripple", 1, CEffectArgs::Of(OrDefaultTime(time), b, c, d, f, a, e));
}

int CTgsFrame::TransQuake(int32_t /*page*/, int32_t x, int32_t y, int32_t time, int32_t wait, int32_t a,
                          bool b, bool mode, uint8_t busy)
{
    m_pageMode = 1;
    StopTransition();
    ReleaseBgQuake(0);
    ReleaseBgQuake(1);
    if (wait != 0 && SkipRequested())
        return 0;
    if (wait == 0 || g_bKeepEffectPriority != 0)
        busy = 0;
    CImageObject* screen = Screen(0);
    CPluginFilter* object = g_pTransitionPluginManager != nullptr && screen != nullptr
                                ? g_pTransitionPluginManager->Create(screen, "quake", x, y, time, wait, a, b)
                                : nullptr;
    if (object == nullptr)
        return 2;
    CScreenFilter* filter = AsFilter(object);
    if (filter == nullptr)
        return 3;
    if (screen->AttachFilter(filter, mode ? 1 : 2, 0, busy) != 0) {
        filter->Release();
        return 3;
    }
    m_transitionRunning = 1;
    if (wait == 0)
        m_rememberedQuake = {1, x, y, time, b ? 1 : 0, mode ? 1 : 0};
    return 0;
}

int CTgsFrame::DoubleCrossFade(int32_t time, int32_t layerId)
{
    ClearLayer(static_cast<uint32_t>(layerId), 1);
    ResetSpriteGroups(1, -1);
    if (SkipRequested())
        return 0;
    // A time below 6, negative ones included, is the 600 ms default.
    const int32_t t = (time < 6 ? 600 : time) / 6;
    if (RunCrossFade(4 * t, 1, 3, nullptr) < 0)
        return -1;
    return RunCrossFade(2 * t, 1, 3, nullptr);
}

int CTgsFrame::ChangeBackgroundFaded(const char* name, int32_t time, int32_t layerId)
{
    if (SkipRequested()) {
        ClearLayer(static_cast<uint32_t>(layerId), 0);
        ResetSpriteGroups(0, -1);
        ResetSpriteGroups(1, -1);
        if (LoadLayerImage(name, 1) != 0)
            return 2;
        m_pageMode = 1;
        ApplyTransitionAtOnce();
        return 0;
    }
    const int32_t t = (time < 8 ? 800 : time) / 8;
    ClearLayer(static_cast<uint32_t>(layerId), 1);
    ResetSpriteGroups(1, -1);
    if (RunCrossFade(5 * t, 1, 3, nullptr) < 0)
        return -1;
    const int result = LoadLayerImage(name, 1) != 0 ? 2 : 0;
    ResetSpriteGroups(1, -1);
    if (RunCrossFade(3 * t, 1, 3, nullptr) < 0)
        return -1;
    return result;
}
