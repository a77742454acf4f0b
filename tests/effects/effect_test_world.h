// The world the effect tests run in: a game folder with the effects' pictures (made by
// tessaro-tool's effect-data), the file manager and picture loaders published, a front and a back
// memory canvas (kind 9) whose backgrounds tell each pixel's origin (R = x, G = y, B = id), an
// effect registry with the host's rows, a scheduler, and the random sources on a seeded state.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "authoring/effect_data.h"
#include "display/screen_filter.h"
#include "display/surface_sprite.h"
#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "effects/layer_effect.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "platform/random.h"
#include "platform/timer_manager.h"
#include "raster/image.h"
#include "winapi/clock.h"
#include "winapi/kernel.h"

namespace effects_test {

// A background of w × h whose pixel (x, y) is (x, y, id) in R, G, B (wrapping at 256).
inline std::unique_ptr<CImage> OriginImage(LONG w, LONG h, BYTE id)
{
    auto image = std::make_unique<CImage>();
    EXPECT_EQ(image->Create(w, h, 32, 0), 0);
    for (LONG y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image->GetBits() + intptr_t(y) * image->GetPitch());
        for (LONG x = 0; x < w; ++x)
            row[x] = 0xFF000000u | uint32_t(x & 255) << 16 | uint32_t(y & 255) << 8 | id;
    }
    return image;
}

inline uint32_t PixelAt(const CImage& image, LONG x, LONG y)
{
    return reinterpret_cast<const uint32_t*>(image.GetBits() + intptr_t(y) * image.GetPitch())[x];
}

// The virtual clock from 1000 ms, for the life of the object.
struct VirtualClock {
    VirtualClock()
    {
        winapi::UseVirtualClock(true);
        winapi::SetVirtualTime(1000);
    }
    ~VirtualClock() { winapi::UseVirtualClock(false); }
    static uint32_t Now() { return timeGetTime(); }
    // Moves the clock on and runs the scheduler's due tasks.
    static void Tick(CTimerManager& scheduler, uint32_t ms)
    {
        winapi::AdvanceVirtualClock(ms);
        scheduler.RunDue(timeGetTime());
    }
};

// Counts the busy hooks while installed.
struct BusyCounter {
    static inline int begins = 0;
    static inline int ends = 0;
    static inline int open = 0;
    BusyCounter()
    {
        begins = ends = open = 0;
        g_pfnLowerThreadPriority = +[] { ++begins, ++open; };
        g_pfnRestoreThreadPriority = +[] { ++ends, --open; };
    }
    ~BusyCounter()
    {
        g_pfnLowerThreadPriority = nullptr;
        g_pfnRestoreThreadPriority = nullptr;
    }
};

// Our pixel library (sprites draw through it), published for the object's life.
struct PixelLibrary {
    PixelLibrary()
    {
        EXPECT_TRUE(RegisterPixelLibraryModule());
        library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
    }
    ~PixelLibrary() { SetPixelLibrary(nullptr); }
    std::unique_ptr<CPixelLibrary> library;
};

class EffectWorld {
public:
    explicit EffectWorld(LONG w = 64, LONG h = 48, bool withData = true, LONG bgW = 0, LONG bgH = 0)
    {
        if (withData) {
            // Made once a program: encoding them is the slow part of a world.
            static const std::vector<effect_data::File> files = [] {
                std::string error;
                auto made = effect_data::Make(7, &error);
                EXPECT_FALSE(made.empty()) << error;
                return made;
            }();
            for (const auto& file : files)
                dir.Write(file.name, std::string(file.bytes.begin(), file.bytes.end()));
        }
        SetBaseFolder(dir.Windows().c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        EXPECT_EQ(front.Create(w, h, 32, 1), 0);
        EXPECT_EQ(back.Create(w, h, 32, 1), 0);
        EXPECT_EQ(front.SetBackCanvas(&back), 0);
        frontBackground = OriginImage(bgW ? bgW : w, bgH ? bgH : h, 1);
        backBackground = OriginImage(bgW ? bgW : w, bgH ? bgH : h, 2);
        front.GetScene()->SetBackgroundImage(frontBackground.get(), 0, 0, true);
        back.GetScene()->SetBackgroundImage(backBackground.get(), 0, 0, true);
        SeedSubtractiveRandom(state, 12345);
        SetEffectRandomSources(&state);
        g_pObjectPluginManager = &registry;
        g_pObjectManager = &scheduler;
        RegisterRows(registry, HostEffectRows());
        g_bKeepEffectPriority = 0;
    }
    ~EffectWorld()
    {
        scheduler.CancelAll();
        g_pObjectManager = nullptr;
        g_pObjectPluginManager = nullptr;
        SetEffectRandomSources(nullptr);
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
    }

    // A copy of the generator as it stands now.
    SubtractiveRandomState Copy() const { return state; }

    void Tick(uint32_t ms) { VirtualClock::Tick(scheduler, ms); }

    VirtualClock clock;
    PixelLibrary pixels;
    TempFolder dir;
    CFileManager files;
    CGllManager loaders;
    // The scheduler is declared after the canvases: it goes first, with the effects in it.
    CSurfaceSprite front;
    CSurfaceSprite back;
    std::unique_ptr<CImage> frontBackground;
    std::unique_ptr<CImage> backBackground;
    SubtractiveRandomState state{};
    CObjectPluginManager registry;
    CTimerManager scheduler;
};

// Copies every sprite and coloured box of a scene's list into another scene's list, at the same
// places and priorities, each drawn whole: what the scene's partial redraws must equal. The copies
// are kept in *keep.
inline void MirrorDrawables(CScene& from, CScene& to, std::vector<std::unique_ptr<CDrawable>>* keep)
{
    for (DrawNode* node = from.GetList().Head(); node; node = node->next) {
        CDrawable* d = node->drawable;
        if (d->GetKind() == kDrawableSprite) {
            auto copy = std::make_unique<CSprite>();
            ASSERT_EQ(copy->CopyFrom(static_cast<CSprite*>(d)), 0);
            copy->SetPosition(d->GetX(), d->GetY());
            copy->SetAlpha(d->GetAlpha());
            copy->SetVisible(d->IsVisible());
            keep->push_back(std::move(copy));
        } else {
            auto* shape = static_cast<CPrimitiveObject*>(d);
            auto copy = std::make_unique<CPrimitiveObject>();
            copy->Setup(shape->GetWidth(), shape->GetHeight(), DWORD(shape->GetAlpha()) << 24 | shape->GetColor(),
                        d->GetX(), d->GetY());
            copy->SetVisible(d->IsVisible());
            keep->push_back(std::move(copy));
        }
        to.GetList().InsertAfterEqual(keep->back().get(), node->priority, 0);
    }
}

} // namespace effects_test
