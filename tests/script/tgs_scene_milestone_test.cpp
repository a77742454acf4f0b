// The scenario engine's scene, end to end: a scenario packed by `tob pack` runs on a frame with the
// game's effect and transition registries. Backgrounds (variants from DATA/BG.TXT) change by
// cross-fade and by rule, three sprites of groups A and B are placed and coloured, a sprite
// cross-fades, sp_panime runs on a sprite and on the window, snow and a quake start and are
// stopped again, with page ends between the steps. Each page end's frame equals a reference the
// test composes with the raster operations; a frame in the middle of the cross-fade is the two
// references blended at the fade's progress; a click during the rule transition ends it at its
// last picture; with the effects setting off every step applies at once and ends on the same frame.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "drawing/scene.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "effects/screen_transition.h"
#include "platform/cos_table.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "support/tgs_effect_recorder.h"
#include "support/tgs_engine_host.h"
#include "winapi/clock.h"
#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/mmsystem.h"

using tgsengine::Bench;

namespace {

const char* kScenario = "@message 0\n"
                        "@layerimage \"BG01A.ELG\" 0\n"
                        "@sprite 0 \"CH1S.ELG\" 1 0 0 0\n"
                        "@sprite 1 \"CH2M.ELG\" 2 0 0 0\n"
                        "@sprite 0 \"CH3X.ELG\" 0 0 0 1\n"
                        "@spcolormode 0 1 0 0 0 0\n"
                        "@spcolormode 1 3 0 0 0 0\n"
                        "@sptop 0 0 0\n"
                        "@page\n"
                        "@message 1\n"
                        "@bgcf \"BG12B.ELG\" 500 2 0 0 0\n"
                        "@transwait 1\n"
                        "@sprite 1 \"CH3X.ELG\" 0 0 0 1\n"
                        "@spplace 1 1 0 0 1\n"
                        "@weather 0 2 40 0 \"\" 1 1\n"
                        "@quakestart 300 6 6 -1 0 1 1 0\n"
                        "@quakewait 0 1\n"
                        "@layerfxwait 0 1\n"
                        "@layerfxwait 1 1\n"
                        "@sppanime 1 \"(0,0)(0,0)\" 200 0 1 0\n"
                        "@spwait 1 0 1 1\n"
                        "@winanime -1 \"(0,0)(0,0)\" 200 0\n"
                        "@winwait -1 1\n"
                        "@page\n"
                        "@message 2\n"
                        "@bgrule \"BG02.ELG\" 1 600 0 4 0 0 0\n"
                        "@transwait 1\n"
                        "@spcf 0 \"CH2M.ELG\" 1 300 0 0\n"
                        "@transwait 1\n"
                        "@page\n";

// A picture the test composes: a background with a colour mode, sprites at their places.
struct Layer {
    const char* name;
    int x, y; // the sprite's bottom centre
    int mode;
};

class TgsSceneMilestone : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pictures.ok);
        g_pCosTable = &cosines;
        SetEffectRandomSources(&random);
        RegisterRows(effects, HostEffectRows());
        RegisterRows(effects, GameEffectRows());
        RegisterRows(transitions, GameTransitionRows());
        RegisterRows(transitions, HostFilterRows());
        g_pObjectPluginManager = &effects;
        g_pTransitionPluginManager = &transitions;
        g_pObjectManager = &scheduler;
        b = std::make_unique<Bench>();
        f = b->frame.get();
        dc = winapi::CreateMemoryDC(shown.data(), 800, 600, 800 * 4, 32);
        b->link.onStep = [this](tgsengine::RecordingLink& link) { Step(link); };
        // The filters read the game's clock: it moves with the frames.
        winapi::UseVirtualClock(true);
    }
    void TearDown() override
    {
        f->ClearScene();
        b.reset();
        DeleteDC(dc);
        scheduler.CancelAll();
        scheduler.RunDue(0);
        SetEffectRandomSources(nullptr);
        g_pObjectPluginManager = nullptr;
        g_pTransitionPluginManager = nullptr;
        g_pObjectManager = nullptr;
        g_pCosTable = nullptr;
        winapi::UseVirtualClock(false);
    }

    // One application frame: effects stepped, the screen presented (its transition drawn), the page
    // ends clicked through and their frames kept.
    void Step(tgsengine::RecordingLink& link)
    {
        winapi::AdvanceVirtualClock(link.stepMs);
        scheduler.RunDue(link.now);
        CImageObject* screen = f->Screen(0);
        if (screen->HasFilter()) {
            const std::string name = screen->GetFilter()->GetName();
            const bool first = firstFilterStep.count(name) == 0;
            if (first)
                firstFilterStep[name] = link.now;
            const bool capture = name == "cross" && link.now - firstFilterStep[name] == 240 && !midFade;
            if (capture) {
                // Both pages as the filter reads them, before it draws this frame.
                before = Render(0);
                after = Render(1);
            }
            // The filter reads the game's clock: its times lie between these readings.
            const uint32_t ahead = timeGetTime();
            screen->Present(nullptr, dc, nullptr, 0, false);
            const uint32_t behind = timeGetTime();
            if (first && name == "cross")
                crossStart = {ahead, behind};
            if (capture) {
                midFade = std::make_unique<std::vector<uint32_t>>(shown);
                midFadeTime = {ahead, behind};
            }
            if (name == "rule") {
                ++ruleFrames;
                link.skipHeld = ruleFrames >= 3; // a click
            }
        } else {
            link.skipHeld = false;
        }
        // The last frame of each message is its page end's.
        if (f->CurrentMessage() >= 0)
            pages[f->CurrentMessage()] = Render(0);
        link.advance = true;
    }
    // The page's scene composed into a picture.
    std::vector<uint32_t> Render(int page)
    {
        CImage out;
        EXPECT_EQ(out.Create(800, 600, 32, 0), 0);
        EXPECT_EQ(f->PageScene(static_cast<uint8_t>(page))->RenderToImage(&out, 0, kDrawAny, false), 0);
        return Pixels(out);
    }
    static std::vector<uint32_t> Pixels(const CImage& image)
    {
        std::vector<uint32_t> pixels(800 * 600);
        for (LONG y = 0; y < 600; ++y)
            memcpy(&pixels[static_cast<size_t>(y) * 800], image.GetRowPointer(y), 800 * 4);
        return pixels;
    }
    std::unique_ptr<CImage> Load(const char* name)
    {
        auto image = std::make_unique<CImage>();
        EXPECT_EQ(image->Load(name, nullptr, 0, 0), 0) << name;
        return image;
    }
    static void Mode(CImage& image, int mode)
    {
        if (mode == 1 || mode == 2)
            Grayscale(image, nullptr);
        if (mode == 2)
            Colorize(image, 152, 128, 107, 24, 0, -4, nullptr);
        if (mode == 3)
            Invert(image, 0, nullptr);
        if (mode == 4)
            image.AdjustBrightness(150, nullptr);
    }
    // A background, then the sprites from the back of the list to the front.
    std::vector<uint32_t> Compose(const char* background, int mode, std::initializer_list<Layer> sprites)
    {
        auto picture = Load(background);
        Mode(*picture, mode);
        for (const Layer& s : sprites) {
            auto sprite = Load(s.name);
            Mode(*sprite, s.mode);
            EXPECT_EQ(picture->BlendAlpha(sprite.get(), s.x - sprite->GetWidth() / 2,
                                          s.y - sprite->GetHeight(), nullptr, false),
                      0);
        }
        return Pixels(*picture);
    }
    static int Difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
    {
        if (a.size() != b.size())
            return 256;
        int worst = 0;
        for (size_t i = 0; i < a.size(); ++i)
            for (int shift = 0; shift < 24; shift += 8) {
                const int d = std::abs(static_cast<int>((a[i] >> shift) & 255) -
                                       static_cast<int>((b[i] >> shift) & 255));
                worst = std::max(worst, d);
            }
        return worst;
    }
    int RunScenario() { return b->Run(kScenario); }

    tgsrecord::Pictures pictures;
    CCosTable cosines;
    SubtractiveRandomState random{};
    CObjectPluginManager effects;
    CTransitionPluginManager transitions;
    CTimerManager scheduler;
    std::unique_ptr<Bench> b;
    CTgsFrame* f = nullptr;
    std::vector<uint32_t> shown = std::vector<uint32_t>(800 * 600);
    HDC dc = nullptr;
    std::map<std::string, uint32_t> firstFilterStep;
    std::map<int32_t, std::vector<uint32_t>> pages;
    std::vector<uint32_t> before, after;
    std::unique_ptr<std::vector<uint32_t>> midFade;
    std::pair<uint32_t, uint32_t> crossStart, midFadeTime;
    int ruleFrames = 0;
};

TEST_F(TgsSceneMilestone, ScenarioScenesMatchTheirReferences)
{
    ASSERT_EQ(RunScenario(), 0);
    EXPECT_EQ(f->Page(0).variant, 0u); // BG02 is listed in no group
    // Page 1: group B's sprite at the back, A's slot 0 moved to A's top over slot 1.
    const auto first = Compose(
        "BG01A.ELG", 0, {{"CH3X.ELG", 400, 600, 0}, {"CH2M.ELG", 600, 600, 3}, {"CH1S.ELG", 200, 600, 1}});
    ASSERT_EQ(pages.count(0), 1u);
    EXPECT_LE(Difference(pages[0], first), 1);
    // Page 2: the new background in colour mode 2 brought in by the cross-fade (the back sprites
    // were cleared), then group B's slot 1.
    const auto second = Compose("BG12B.ELG", 2, {{"CH3X.ELG", 200, 600, 0}});
    ASSERT_EQ(pages.count(1), 1u);
    EXPECT_LE(Difference(pages[1], second), 1);
    // The middle of the cross-fade: the two pages blended at its progress.
    ASSERT_TRUE(midFade);
    CImage blend, from, to;
    ASSERT_EQ(blend.Create(800, 600, 32, 0), 0);
    ASSERT_EQ(from.Create(800, 600, 32, 0), 0);
    ASSERT_EQ(to.Create(800, 600, 32, 0), 0);
    for (LONG y = 0; y < 600; ++y) {
        memcpy(from.GetRowPointer(y), &before[static_cast<size_t>(y) * 800], 800 * 4);
        memcpy(to.GetRowPointer(y), &after[static_cast<size_t>(y) * 800], 800 * 4);
    }
    const uint32_t low = ScaleProgress(midFadeTime.first - crossStart.second, 255, 500);
    const uint32_t high = ScaleProgress(midFadeTime.second - crossStart.first, 255, 500);
    EXPECT_GT(high, 0u);
    EXPECT_LT(low, 255u);
    int best = 256;
    for (uint32_t progress = low; progress <= high; ++progress) {
        ASSERT_EQ(PixelLibOp25(blend, &from, &to, progress, 0, 0, 0, 800, 600, 0, 0, 0, 0), 0);
        best = std::min(best, Difference(*midFade, Pixels(blend)));
    }
    EXPECT_LE(best, 2);
    // Page 3: the rule transition cut short by a click, then CH2M cross-faded into A's slot 0.
    EXPECT_LT(ruleFrames, 600 / 16);
    const auto third = Compose("BG02.ELG", 4, {{"CH2M.ELG", 200, 600, 0}});
    ASSERT_EQ(pages.count(2), 1u);
    EXPECT_LE(Difference(pages[2], third), 1);
    EXPECT_LE(Difference(Render(0), third), 1);
}

TEST_F(TgsSceneMilestone, EffectsOffApplyEveryStepAtOnce)
{
    b->settings.config.option9 = 0;
    b->settings.config.fastEffects = 1;
    ASSERT_EQ(RunScenario(), 0);
    EXPECT_FALSE(midFade);
    EXPECT_EQ(ruleFrames, 0);
    EXPECT_LE(Difference(
                  pages[0],
                  Compose("BG01A.ELG", 0,
                          {{"CH3X.ELG", 400, 600, 0}, {"CH2M.ELG", 600, 600, 3}, {"CH1S.ELG", 200, 600, 1}})),
              1);
    EXPECT_LE(Difference(pages[1], Compose("BG12B.ELG", 2, {{"CH3X.ELG", 200, 600, 0}})), 1);
    EXPECT_LE(Difference(Render(0), Compose("BG02.ELG", 4, {{"CH2M.ELG", 200, 600, 0}})), 1);
}

} // namespace
