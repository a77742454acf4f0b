// The frame's screen transitions against recording transitions registered under the real names:
// page and set swaps by layer kind, the change applied at once, waits cut short, the rule picture
// cache, the composite fades' times, the filter index, the remembered quake and the windows that
// stay with the shown page.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "controls/text_layer.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "script/message_window.h"
#include "raster/image.h"
#include "support/tgs_effect_recorder.h"
#include "support/tgs_engine_host.h"

using tgsengine::Bench;
using tgsrecord::SamePack;
using tgsrecord::TheLog;

namespace {

class TgsTransitions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pictures.ok);
        b = std::make_unique<Bench>();
        f = b->frame.get();
        ASSERT_EQ(f->StartScenario(false), 0);
        ASSERT_NE(f->Screen(1), nullptr);
        b->link.onStep = [this](tgsengine::RecordingLink& link) { Present(link.now); };
    }
    void TearDown() override
    {
        f->ClearScene();
        b.reset();
    }
    // What the game's presenter does with a running transition each frame.
    void Present(uint32_t now)
    {
        reg.scheduler.RunDue(now);
        CImageObject* screen = f->Screen(0);
        if (screen->HasFilter() && screen->GetFilter()->Step(now) != 0)
            screen->DetachFilter(screen->GetApplyOnEnd());
    }
    // The times of the cross-fades made so far.
    std::vector<int32_t> CrossTimes() const
    {
        std::vector<int32_t> times;
        for (const tgsrecord::Made& m : TheLog().transitions)
            if (m.name == "cross")
                times.push_back(m.pack.IntAt(0));
        return times;
    }

    tgsrecord::Pictures pictures;
    tgsrecord::Registries reg;
    std::unique_ptr<Bench> b;
    CTgsFrame* f = nullptr;
};

TEST_F(TgsTransitions, PageSwapsFlipTheLayerRecords)
{
    struct Case {
        int32_t kind;
        std::array<int32_t, 7> before, after;
    };
    const Case cases[] = {
        {0, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}},  {1, {0, 9, 1, 0, 4, 5, 6}, {0, 9, 0, 1, 4, 5, 6}},
        {2, {0, 0, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}},  {3, {0, 1, 2, 3, 4, 1, 0}, {0, 1, 2, 3, 4, 0, 1}},
        {4, {0, 1, 2, 3, 4, 5, 6}, {0, 0, 2, 3, 4, 5, 6}},  {5, {0, 7, 2, 3, 4, 5, 6}, {0, 0, 2, 3, 4, 5, 6}},
        {7, {0, 0, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}},  {8, {0, 9, 1, 0, 0, 5, 6}, {0, 9, 1, 0, 1, 5, 6}},
        {8, {0, 9, 1, 0, 2, 5, 6}, {0, 9, 0, 1, 2, 5, 6}},  {9, {0, 9, 1, 0, 4, 5, 6}, {0, 9, 2, 1, 4, 5, 6}},
        {9, {0, 9, 2, 1, 4, 5, 6}, {0, 9, 1, 0, 4, 5, 6}},  {9, {0, 9, 0, 1, 4, 5, 6}, {0, 9, 0, 0, 4, 5, 6}},
        {12, {0, 9, 1, 0, 4, 5, 6}, {0, 9, 0, 1, 4, 5, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        TgsLayerSlot& slot = f->LayerSlot(0);
        slot.effectKind = c.kind;
        slot.words = c.before;
        TgsPageRecord* front = &f->Page(0);
        f->SwapPageRecords();
        EXPECT_EQ(slot.words, c.after);
        EXPECT_EQ(&f->Page(1), front);
        f->LayerSlot(0).effectKind = 0;
    }
}

TEST_F(TgsTransitions, AppliedAtOnceTheScreenAndRecordsSwap)
{
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", 1, 0, false), 0);
    TgsSpriteRecord* backSprite = f->FindSpriteSlot(0, 1, 0);
    TgsPageRecord* back = &f->Page(1);
    CScene* backScene = f->Screen(1)->GetScene();
    // Page mode 1: the scenes, the page records and the sprite sets swap.
    f->PageMode() = 1;
    f->ApplyTransitionAtOnce();
    EXPECT_EQ(f->Screen(0)->GetScene(), backScene);
    EXPECT_EQ(&f->Page(0), back);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0), backSprite);
    // Page mode 2: the backgrounds and page records swap, the sprite sets stay.
    f->PageMode() = 2;
    f->ApplyTransitionAtOnce();
    EXPECT_EQ(f->Screen(0)->GetScene(), backScene);
    EXPECT_EQ(&f->Page(1), back);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0), backSprite);
}

TEST_F(TgsTransitions, NamedTransitionsRunWaitAndSkip)
{
    struct Case {
        const char* name;
        std::function<int(CTgsFrame&)> start;
        std::function<CEffectArgs(CTgsFrame&)> pack;
    };
    const Case cases[] = {
        {"cross", [](CTgsFrame& f) { return f.TransCross(0); },
         [](CTgsFrame&) { return CEffectArgs::Of(1000); }},
        {"rule", [](CTgsFrame& f) { return f.TransRule(1, 500, -3); },
         [](CTgsFrame& f) { return CEffectArgs::Of(500, static_cast<CSurface*>(f.RuleImage()), 32); }},
        {"trans", [](CTgsFrame& f) { return f.TransTrans(300, 2, 0); },
         [](CTgsFrame&) { return CEffectArgs::Of(300, 2, 0); }},
        {"wave", [](CTgsFrame& f) { return f.TransFilter(1, 400, 7, 8, 9); },
         [](CTgsFrame&) { return CEffectArgs::Of(400, 7, 8, 9, 0, 0); }},
        {"hblur", [](CTgsFrame& f) { return f.TransFilter(6, 0, 1, 2, 3); },
         [](CTgsFrame&) { return CEffectArgs::Of(1000, 1, 2, 3, 0, 0); }},
        {"scroll", [](CTgsFrame& f) { return f.TransScroll(200, 3, 1, 16); },
         [](CTgsFrame&) { return CEffectArgs::Of(200, 3, 1, 16); }},
        {"ripple", [](CTgsFrame& f) { return f.TransRipple(800, 1, 2, 3, 4, 5, 6); },
         [](CTgsFrame&) { return CEffectArgs::Of(800, 2, 3, 4, 6, 1, 5); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TheLog().transitions.clear();
        TgsPageRecord* back = &f->Page(1);
        ASSERT_EQ(c.start(*f), 0);
        ASSERT_EQ(TheLog().transitions.size(), 1u);
        EXPECT_EQ(TheLog().transitions[0].name, c.name);
        EXPECT_EQ(TheLog().transitions[0].target, f->Screen(0));
        EXPECT_TRUE(SamePack(TheLog().transitions[0].pack, c.pack(*f)));
        EXPECT_TRUE(f->TransitionRunning());
        EXPECT_EQ(&f->Page(0), back); // begun: the pages already swapped
        EXPECT_EQ(f->WaitTransition(true), 0);
        EXPECT_FALSE(f->TransitionRunning());
        EXPECT_FALSE(f->Screen(0)->HasFilter());
    }
    // A skip during the wait ends the transition at its last picture.
    TheLog().transitionSteps = 1000;
    ASSERT_EQ(f->TransCross(500), 0);
    b->link.onStep = [this](tgsengine::RecordingLink& link) {
        Present(link.now);
        f->SkipMode() = 1;
    };
    EXPECT_EQ(f->WaitTransition(true), 1);
    EXPECT_FALSE(f->Screen(0)->HasFilter());
    f->SkipMode() = 0;
    // Stopped: jumped to its end.
    b->link.onStep = nullptr;
    ASSERT_EQ(f->TransCross(500), 0);
    f->StopTransition();
    EXPECT_FALSE(f->Screen(0)->HasFilter());
    EXPECT_FALSE(f->TransitionRunning());
}

TEST_F(TgsTransitions, SkipsFiltersAndFailures)
{
    // A bad filter index is -1 and starts nothing, unless a skip applies the change at once.
    TgsPageRecord* front = &f->Page(0);
    EXPECT_EQ(f->TransFilter(7, 100, 0, 0, 0), -1);
    EXPECT_EQ(&f->Page(0), front);
    EXPECT_TRUE(TheLog().transitions.empty());
    f->SkipMode() = 1;
    EXPECT_EQ(f->TransFilter(7, 100, 0, 0, 0), 0);
    EXPECT_NE(&f->Page(0), front);
    EXPECT_EQ(f->TransCross(100), 0);
    EXPECT_EQ(&f->Page(0), front);
    EXPECT_TRUE(TheLog().transitions.empty());
    f->SkipMode() = 0;
    // A missing rule picture applies the change at once: -1.
    EXPECT_EQ(f->TransRule(9, 100, 8), -1);
    EXPECT_NE(&f->Page(0), front);
    // Not registered: 2, shown at once.
    CTransitionPluginManager empty;
    g_pTransitionPluginManager = &empty;
    EXPECT_EQ(f->TransCross(100), 2);
    EXPECT_EQ(&f->Page(0), front);
    EXPECT_FALSE(f->Screen(0)->HasFilter());
    g_pTransitionPluginManager = &reg.transitions;
}

TEST_F(TgsTransitions, RulePictureLoadedOnce)
{
    EXPECT_EQ(f->LoadRuleImage(1), 0);
    EXPECT_EQ(f->RuleImageNumber(), 1);
    std::filesystem::remove(pictures.dir.Linux("SYS/RULE001.ELG"));
    EXPECT_EQ(f->LoadRuleImage(1), 0); // cached: the file is not read again
    EXPECT_EQ(f->LoadRuleImage(9), 1);
    EXPECT_EQ(f->RuleImageNumber(), 1); // a failed load keeps the cached number
    // An option forgets the cached picture.
    f->SetTransitionOption(0, true);
    EXPECT_EQ(f->RuleImageNumber(), -1);
    EXPECT_EQ(f->LoadRuleImage(1), 1);
}

TEST_F(TgsTransitions, CompositeFadeTimes)
{
    EXPECT_EQ(f->DoubleCrossFade(0, 0), 0);
    EXPECT_EQ(CrossTimes(), (std::vector<int32_t>{400, 200}));
    TheLog().transitions.clear();
    EXPECT_EQ(f->DoubleCrossFade(-5, 0), 0);
    EXPECT_EQ(CrossTimes(), (std::vector<int32_t>{400, 200}));
    TheLog().transitions.clear();
    EXPECT_EQ(f->DoubleCrossFade(1200, 0), 0);
    EXPECT_EQ(CrossTimes(), (std::vector<int32_t>{800, 400}));
    TheLog().transitions.clear();
    // A picture that cannot be loaded is 2, the fades go on.
    EXPECT_EQ(f->ChangeBackgroundFaded("NONE.ELG", 7, 0), 2);
    EXPECT_EQ(CrossTimes(), (std::vector<int32_t>{500, 300}));
    TheLog().transitions.clear();
    // Skipping: nothing fades.
    f->SkipMode() = 1;
    EXPECT_EQ(f->DoubleCrossFade(0, 0), 0);
    EXPECT_TRUE(CrossTimes().empty());
    f->SkipMode() = 0;
    // A stop during the first fade ends the composite with -1, the pages as the screen shows them.
    TheLog().transitionSteps = 1000;
    b->link.stopAfter = b->link.steps + 2;
    TgsPageRecord* front = &f->Page(0);
    EXPECT_EQ(f->DoubleCrossFade(0, 0), -1);
    EXPECT_NE(&f->Page(0), front);
    EXPECT_FALSE(f->Screen(0)->HasFilter());
}

// The user's count-late-frames byte: the frame timer stops counting while a composite fade runs
// and counts again after it; without the byte the timer's flag (here set by a script) is never
// touched.
TEST_F(TgsTransitions, CompositeFadesPauseLateFrameCounting)
{
    for (const bool byteSet : {true, false}) {
        SCOPED_TRACE(byteSet ? "byte set" : "byte clear");
        b->link.userLateFrames = byteSet;
        b->link.lateCounting = true;
        b->link.lateCountingSets.clear();
        std::vector<bool> seen;
        b->link.onStep = [&](tgsengine::RecordingLink& link) {
            seen.push_back(link.lateCounting);
            Present(link.now);
        };
        EXPECT_EQ(f->DoubleCrossFade(0, 0), 0);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), byteSet ? 0 : static_cast<long>(seen.size()));
        EXPECT_TRUE(b->link.lateCounting);
        const std::vector<bool> sets =
            byteSet ? std::vector<bool>{false, true, false, true} : std::vector<bool>{};
        EXPECT_EQ(b->link.lateCountingSets, sets);
    }
}

TEST_F(TgsTransitions, RememberedQuakeIsNotWaitedFor)
{
    ASSERT_EQ(f->StartQuake(0, 1, 1, 1, 500, 0, 0, 1, 1, 0), 0);
    ASSERT_NE(f->Page(0).effects[1], nullptr);
    ASSERT_EQ(f->TransQuake(0, 3, 4, 5, 0, 1, true, true, 1), 0);
    EXPECT_EQ(f->Page(0).effects[1], nullptr); // the pages' quakes are released
    ASSERT_EQ(TheLog().transitions.size(), 1u);
    EXPECT_TRUE(SamePack(TheLog().transitions[0].pack, CEffectArgs::Of(3, 4, 5, 0, 1, 1)));
    EXPECT_EQ(f->RememberedQuake(), (std::array<int32_t, 6>{1, 3, 4, 5, 1, 1}));
    const int steps = b->link.steps;
    EXPECT_EQ(f->WaitTransition(true), 0);
    EXPECT_EQ(b->link.steps, steps);
    EXPECT_FALSE(f->Screen(0)->HasFilter());
    EXPECT_EQ(f->RememberedQuake()[0], 0);
    // A quake that is waited for does not start while skipping.
    f->SkipMode() = 1;
    EXPECT_EQ(f->TransQuake(0, 3, 4, 5, 300, 1, true, true, 1), 0);
    EXPECT_EQ(TheLog().transitions.size(), 1u);
}

TEST_F(TgsTransitions, FinishCopiesTheFrontToTheBack)
{
    ASSERT_EQ(f->LoadSpriteImage(1, "CH2M.ELG", 0, 1, false), 0);
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", 1, 0, false), 0);
    EXPECT_EQ(f->FinishTransition(), 0);
    const TgsSpriteRecord* front = f->FindSpriteSlot(1, 0, 1);
    const TgsSpriteRecord* back = f->FindSpriteSlot(1, 1, 1);
    EXPECT_STREQ(back->name, front->name);
    EXPECT_EQ(back->image, front->image); // shared, held twice
    EXPECT_NE(back->sprite, front->sprite);
    EXPECT_EQ(back->x, front->x);
    EXPECT_EQ(f->FindSpriteSlot(0, 1, 0)->sprite, nullptr); // the back's own sprites are gone
    // A fade on the front takes the old sprite with a picture of its own: the back keeps the
    // shared one, and clearing the scene frees each picture once (the sanitizer watches).
    CImage* shared = back->image;
    ASSERT_EQ(f->StartSpCfade(1, "CH3X.ELG", 0, 100, false, 0, 1), 0);
    EXPECT_EQ(back->image, shared);
    EXPECT_FALSE(f->IsImageShared(shared));
    TheLog().endNow = true;
    for (int i = 0; i < 3; ++i)
        Present(b->link.now += 16);
}

// The message, name and choice windows belong to the frame: whichever way the pages swap, they
// stay in the shown scene, behind group A's first slot (same priority) and in front of group B,
// drawn and taking input; the back page holds none of them.
TEST_F(TgsTransitions, WindowsStayWithTheShownPage)
{
    CMessageWindow* window = f->MessageWindow();
    CTextLayer* layer = f->ChoiceLayer();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(f->NameWindow(), nullptr);
    ASSERT_NE(layer, nullptr);
    window->SetBackgroundColor(0, 0x2040FF, 255, true);
    window->SetVisible(true);
    f->NameWindow()->SetBackgroundColor(0, 0xFF4020, 255, true);
    f->NameWindow()->SetVisible(true);
    for (const char* line : {"A", "B"})
        ASSERT_EQ(layer->AddLine(line, nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
    layer->SetVisible(true);
    for (uint8_t page = 0; page < 2; ++page) {
        ASSERT_EQ(f->LoadSpriteImage(0, "CH1S.ELG", page, 0, false), 0);
        ASSERT_EQ(f->LoadSpriteImage(0, "CH2M.ELG", page, 1, false), 0);
    }
    const auto runToEnd = [this](int started) {
        EXPECT_EQ(started, 0);
        return f->WaitTransition(false);
    };
    const struct {
        const char* name;
        std::function<void()> swap;
    } cases[] = {
        {"at once", [this] { f->ApplyTransitionAtOnce(); }},
        {"twice at once", [this] {
             f->ApplyTransitionAtOnce();
             f->ApplyTransitionAtOnce();
         }},
        {"cross to its end", [&] { EXPECT_EQ(runToEnd(f->TransCross(100)), 0); }},
        {"rule to its end", [&] { EXPECT_EQ(runToEnd(f->TransRule(1, 100, 8)), 0); }},
        {"kept trans to its end", [&] { EXPECT_EQ(runToEnd(f->TransTrans(100, 2, 1)), 0); }},
        {"cross stopped", [this] {
             TheLog().transitionSteps = 1000;
             ASSERT_EQ(f->TransCross(500), 0);
             f->StopTransition();
             TheLog().transitionSteps = 3;
         }},
        {"two crosses", [&] {
             EXPECT_EQ(runToEnd(f->TransCross(100)), 0);
             EXPECT_EQ(runToEnd(f->TransCross(100)), 0);
         }},
    };
    const uint32_t group = static_cast<uint32_t>(CTgsFrame::kWindowGroup);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.swap();
        ASSERT_FALSE(f->Screen(0)->HasFilter());
        CScene* shown = f->Screen(0)->GetScene();
        CDrawList& list = shown->GetList();
        EXPECT_EQ(window->GetDrawList(), &list);
        EXPECT_EQ(window->GetSprite().GetOwnerList(), &list);
        EXPECT_EQ(f->NameWindow()->GetSprite().GetOwnerList(), &list);
        EXPECT_EQ(layer->GetLineSprite(1)->GetOwnerList(), &list);
        for (DrawNode* n = f->Screen(1)->GetScene()->GetList().Head(); n; n = n->next)
            EXPECT_NE(n->group, group);
        // Front to back: A's first slot, the windows in their own order, then group B.
        std::vector<const CDrawable*> order;
        for (DrawNode* n = list.Head(); n; n = n->next)
            if (n->group == group || n->drawable == f->FindSpriteSlot(0, 0, 0)->sprite ||
                n->drawable == f->FindSpriteSlot(0, 0, 1)->sprite)
                order.push_back(n->drawable);
        ASSERT_GE(order.size(), 5u);
        EXPECT_EQ(order.front(), f->FindSpriteSlot(0, 0, 0)->sprite);
        EXPECT_EQ(order.back(), f->FindSpriteSlot(0, 0, 1)->sprite);
        EXPECT_EQ(order[order.size() - 2], &window->GetSprite());
        // Drawn: the shown page with the windows hidden differs where the message window stands.
        CImage with, without;
        ASSERT_EQ(with.Create(800, 600, 32, 0), 0);
        ASSERT_EQ(without.Create(800, 600, 32, 0), 0);
        ASSERT_EQ(shown->RenderToImage(&with, 0, 0, true), 0);
        window->SetVisible(false);
        ASSERT_EQ(shown->RenderToImage(&without, 0, 0, true), 0);
        window->SetVisible(true);
        const auto at = [](CImage& image, int x, int y) {
            return reinterpret_cast<const uint32_t*>(image.GetBits() + y * image.GetPitch())[x] & 0xFFFFFF;
        };
        EXPECT_NE(at(with, 700, 560), at(without, 700, 560));
        // Taking input: a line chosen after the swap reaches the form, and a line added now joins
        // the shown page.
        EXPECT_TRUE(layer->SelectLine(1));
        EXPECT_EQ(b->form.TakeActivatedValue(), CTgsFrame::kChoiceLayerValue + 1);
        ASSERT_EQ(layer->AddLine("C", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(layer->GetLineSprite(2)->GetOwnerList(), &list);
        layer->ClearLines();
        for (const char* line : {"A", "B"})
            ASSERT_EQ(layer->AddLine(line, nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
    }
}

} // namespace
