// The effect base: creation by name, busy hooks, holder slots, refusals and hold counts.
#include "effect_test_world.h"

using namespace effects_test;

namespace {

// A test effect: set-up word 0 is its answer, word 1 asks for the busy mode; it runs `steps` steps.
class TestEffect : public CLayerEffect {
public:
    static inline int alive = 0;
    static inline DWORD holdOnCreate = 0;
    static inline TestEffect* last = nullptr;
    TestEffect()
    {
        ++alive;
        last = this;
        m_holdCount = holdOnCreate;
    }
    ~TestEffect() override { --alive; }
    static CPluginEffect* Create(DWORD) { return new TestEffect; }
    int32_t GetKind() override { return kLayerEffectKind; }
    const char* GetName() override { return "test"; }
    uint8_t GetObjectType() override { return 3; }
    int32_t Step(uint32_t) override { return ++stepped >= 3 ? -1 : 0; }
    void OnCancel() override {}
    int SetUpV(CTimerManager* manager, CImageObject*, const CEffectArgs& args) override
    {
        if (manager == nullptr)
            return 1;
        if (const int answer = args.IntAt(0))
            return answer;
        if (manager->Add(this, 0, 0, 0) != 0)
            return 5;
        if (args.IntAt(1))
            BeginBusy();
        return 0;
    }
    int stepped = 0;
};

// A plug-in's object: an effect of the registry but no engine effect.
class ForeignEffect : public CPluginEffect {
public:
    static inline int alive = 0;
    ForeignEffect() { ++alive; }
    ~ForeignEffect() override { --alive; }
    static CPluginEffect* Create(DWORD) { return new ForeignEffect; }
};

struct BaseWorld {
    BaseWorld()
    {
        TestEffect::alive = 0;
        TestEffect::holdOnCreate = 0;
        registry.Register(&TestEffect::Create, "test", 3, nullptr, nullptr, 0);
        registry.Register(&ForeignEffect::Create, "foreign", 3, nullptr, nullptr, 0);
        g_pObjectPluginManager = &registry;
        g_pObjectManager = &scheduler;
        g_bKeepEffectPriority = 0;
    }
    ~BaseWorld()
    {
        scheduler.CancelAll();
        g_pObjectManager = nullptr;
        g_pObjectPluginManager = nullptr;
        g_bKeepEffectPriority = 0;
    }
    VirtualClock clock;
    CObjectPluginManager registry;
    CTimerManager scheduler;
    BusyCounter busy;
};

} // namespace

TEST(LayerEffect, BusyHooksAndHolders)
{
    struct Case {
        const char* what;
        bool keepPriority;
        int effects;          // made with the busy mode, one after the other
        bool cancelFirst;     // cancelled before its first step
        int beginsAfterSetUp; // hooks called after the set-ups
        int openWhileRunning;
        int beginsAtEnd;
        int endsAtEnd;
    };
    const Case cases[] = {
        {"one busy effect runs to its end", false, 1, false, 1, 1, 1, 1},
        {"keep-priority: never a hook", true, 1, false, 0, 0, 0, 0},
        {"cancelled before its first step: one end", false, 1, true, 1, 1, 1, 1},
        {"two nest: restored after both", false, 2, false, 2, 2, 2, 2},
        {"two, keep-priority", true, 2, true, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BaseWorld world;
        g_bKeepEffectPriority = c.keepPriority;
        CLayerEffect* holders[2] = {nullptr, nullptr};
        for (int i = 0; i < c.effects; ++i)
            ASSERT_EQ(CreateLayerEffect("test", nullptr, CEffectArgs::Of(0, 1), &holders[i]), 0);
        EXPECT_EQ(BusyCounter::begins, c.beginsAfterSetUp);
        EXPECT_EQ(BusyCounter::open, c.openWhileRunning);
        if (c.cancelFirst) {
            world.scheduler.Cancel(holders[0]);
            EXPECT_EQ(holders[0], nullptr); // the holder is cleared at once
            EXPECT_FALSE(world.scheduler.Contains(holders[0]));
        }
        for (uint32_t t = 0; t < 5; ++t)
            VirtualClock::Tick(world.scheduler, 1);
        EXPECT_EQ(world.scheduler.GetCount(), 0u);
        EXPECT_EQ(holders[0], nullptr);
        EXPECT_EQ(holders[1], nullptr);
        EXPECT_EQ(TestEffect::alive, 0);
        EXPECT_EQ(BusyCounter::begins, c.beginsAtEnd);
        EXPECT_EQ(BusyCounter::ends, c.endsAtEnd);
        EXPECT_EQ(BusyCounter::open, 0);
    }
}

TEST(LayerEffect, CreationRefusals)
{
    BaseWorld world;
    CLayerEffect* holder = nullptr;
    // Names are exact bytes.
    EXPECT_EQ(CreateLayerEffect("TEST", nullptr, CEffectArgs::Of(0), &holder), 1);
    EXPECT_EQ(CreateLayerEffect("missing", nullptr, CEffectArgs::Of(0), &holder), 1);
    // A plug-in's object that is no engine effect is released.
    EXPECT_EQ(CreateLayerEffect("foreign", nullptr, CEffectArgs::Of(0), &holder), 2);
    EXPECT_EQ(ForeignEffect::alive, 0);
    // A refused set-up deletes the object at hold 0 and drops one hold above.
    EXPECT_EQ(CreateLayerEffect("test", nullptr, CEffectArgs::Of(4), &holder), 2);
    EXPECT_EQ(TestEffect::alive, 0);
    TestEffect::holdOnCreate = 1;
    EXPECT_EQ(CreateLayerEffect("test", nullptr, CEffectArgs::Of(4), &holder), 2);
    EXPECT_EQ(TestEffect::alive, 1);
    EXPECT_EQ(holder, nullptr);
    delete TestEffect::last; // its other holder's part

    EXPECT_EQ(world.scheduler.GetCount(), 0u);
    // No scheduler: the set-up refuses.
    g_pObjectManager = nullptr;
    TestEffect::holdOnCreate = 0;
    EXPECT_EQ(CreateLayerEffect("test", nullptr, CEffectArgs::Of(0), &holder), 2);
    g_pObjectPluginManager = nullptr;
    EXPECT_EQ(CreateLayerEffect("test", nullptr, CEffectArgs::Of(0), &holder), 1);
}

TEST(LayerEffect, BaseDefaults)
{
    TestEffect effect;
    CEffectArgs out;
    EXPECT_EQ(effect.SetParams(1, 2), -2);
    EXPECT_EQ(effect.Query(&out, 1), -2);
    EXPECT_EQ(effect.GetBusyState(), 1);
    EXPECT_EQ(effect.InitV(CEffectArgs()), 0);
    // Without a hook the state stays armed.
    effect.BeginBusy();
    EXPECT_EQ(effect.GetBusyState(), 1);
}

TEST(EffectArgs, TypedObjectsAnswerOnlyForTheirBase)
{
    CImage image;
    CSurfaceSprite canvas;
    CEffectArgs pack = CEffectArgs::Of(static_cast<CSurface*>(&image), static_cast<CImageObject*>(&canvas), 5);
    EXPECT_EQ(pack.GetSurface(0), static_cast<CSurface*>(&image));
    EXPECT_EQ(pack.GetDrawable(0), nullptr);
    EXPECT_EQ(pack.GetImageObject(0), nullptr);
    EXPECT_EQ(pack.GetImageObject(1), static_cast<CImageObject*>(&canvas));
    EXPECT_EQ(pack.GetSurface(2), nullptr);
    EXPECT_EQ(pack.GetGroupFile(9), nullptr);
    // Out values land at their word's index.
    CEffectArgs out;
    out.SetInt(2, 7);
    out.SetDouble(0, 0.5);
    EXPECT_EQ(out.GetCount(), 3u);
    EXPECT_EQ(out.IntAt(2), 7);
    EXPECT_EQ(out.IntAt(1, -1), 0);
    double d = 0;
    EXPECT_TRUE(out.GetDouble(0, &d));
    EXPECT_EQ(d, 0.5);
}
