// The effect and transition registries: built-in kinds, DCP and TCP plug-in libraries (real shared
// objects from plugins/test_objects.cpp), loading codes, what stays loaded, creation with argument
// packs, refusals and hold counts, class init and teardown.
#include <gtest/gtest.h>

#include <string>

#include "files/object_plugin_manager.h"
#include "files/transition_plugin_manager.h"
#include "plugins/test_objects.h"
#include "plugins/plugin_paths.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

using plugin_test::LinuxPlugin;
using plugin_test::Mapped;
using plugin_test::Plugin;

// The counters of a loaded plug-in (keeps one extra reference while the test looks).
struct Counters {
    explicit Counters(const std::string& relative) : module(LoadLibraryA(Plugin(relative).c_str()))
    {
        if (module != nullptr)
            counters = reinterpret_cast<GetTestCountersFunc>(GetProcAddress(module, "GetTestCounters"))();
    }
    ~Counters()
    {
        if (module != nullptr)
            FreeLibrary(module);
    }
    TestObjectCounters* operator->() const { return counters; }
    HMODULE module;
    TestObjectCounters* counters = nullptr;
};

// A built-in effect kind for the precedence tests.
int g_builtinMade = 0;
class BuiltinEffect : public CPluginEffect {};
CPluginEffect* MakeBuiltin(DWORD parameter)
{
    g_builtinMade += static_cast<int>(parameter);
    return new BuiltinEffect;
}

} // namespace

TEST(ObjectPlugins, LoadingCodesAndWhatStaysLoaded)
{
    struct Case {
        const char* file;
        int code;
        size_t kinds;
    } cases[] = {
        {"objects/first.DCP", 0, 2},
        {"objects_broken/no_type.DCP", 3, 0},
        {"objects_broken/null_name.DCP", 5, 0},
        {"objects_broken/throws.DCP", 5, 0},
        {"objects_broken/negative.DCP", 5, 0},
        {"objects_broken/huge.DCP", 5, 0},
        {"objects_broken/empty.DCP", 0, 0},
        {"objects/missing.DCP", 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CObjectPluginManager manager;
        EXPECT_EQ(manager.LoadPlugin(Plugin(c.file).c_str()), c.code);
        EXPECT_EQ(manager.GetKinds().size(), c.kinds);
        EXPECT_EQ(Mapped(c.file), c.kinds != 0);
        EXPECT_EQ(manager.GetLibraryCount(), c.kinds != 0 ? 1u : 0u);
    }
    CObjectPluginManager manager;
    std::string up;
    for (int i = 0; i < 40; ++i)
        up += "..\\";
    EXPECT_EQ(manager.LoadPlugin((up + "x.DCP").c_str()), 1);
    EXPECT_EQ(manager.LoadFolder(up.c_str()), -1);
    // Five broken libraries; the one without kinds loads and is let go.
    EXPECT_EQ(manager.LoadFolder(Plugin("objects_broken").c_str()), 5);
    EXPECT_EQ(manager.GetLibraryCount(), 0u);
    EXPECT_EQ(manager.LoadFolder(Plugin("objects").c_str()), 0);
    EXPECT_EQ(manager.GetKinds().size(), 4u);
    CTransitionPluginManager transitions;
    EXPECT_EQ(transitions.LoadFolder(Plugin("objects").c_str()), 0);
    EXPECT_EQ(transitions.GetKinds().size(), 2u);
}

TEST(ObjectPlugins, EffectKindsCallbacksAndPrecedence)
{
    CObjectPluginManager manager;
    EXPECT_EQ(manager.Register(nullptr, "x", 3, nullptr, nullptr, 0), 1);
    EXPECT_EQ(manager.Register(MakeBuiltin, nullptr, 3, nullptr, nullptr, 0), 1);
    ASSERT_EQ(manager.Register(MakeBuiltin, "glow", 9, nullptr, nullptr, 1), 0);
    ASSERT_EQ(manager.LoadPlugin(Plugin("objects/first.DCP").c_str()), 0);
    ASSERT_EQ(manager.LoadPlugin(Plugin("objects/second.DCP").c_str()), 0);
    Counters first("objects/first.DCP");
    Counters second("objects/second.DCP");
    ASSERT_NE(first.counters, nullptr);

    // Kinds in order: the built-in, then each library's kinds with their index as parameter.
    const auto& kinds = manager.GetKinds();
    ASSERT_EQ(kinds.size(), 5u);
    EXPECT_STREQ(kinds[1].name, "quake");
    EXPECT_EQ(kinds[1].type, 3);
    EXPECT_EQ(kinds[2].type, 5);
    EXPECT_EQ(kinds[2].parameter, 1u);

    // The earlier built-in keeps "glow"; the first library keeps "quake"; names are exact.
    g_builtinMade = 0;
    CPluginEffect* glow = manager.Create("glow");
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(g_builtinMade, 1);
    glow->Release();
    CPluginEffect* quake = manager.Create("quake");
    ASSERT_NE(quake, nullptr);
    EXPECT_EQ(first->created, 1);
    EXPECT_EQ(second->created, 0);
    quake->Release();
    EXPECT_EQ(first->destroyed, 1);
    EXPECT_EQ(manager.Create("Quake"), nullptr);
    EXPECT_EQ(manager.Create("nothing"), nullptr);
    CPluginEffect* fizz = manager.CreateRaw("fizz");
    ASSERT_NE(fizz, nullptr);
    EXPECT_EQ(second->lastIndex, 1u);
    EXPECT_EQ(second->initCalls, 0);
    fizz->Release();

    DWORD parameter = 9;
    EXPECT_NE(manager.FindFactory("fizz", &parameter), nullptr);
    EXPECT_EQ(parameter, 1u);
    CEffectArgs out;
    ASSERT_NE(manager.FindCallbackFunc("quake"), nullptr);
    EXPECT_EQ(manager.FindCallbackFunc("quake")(CEffectArgs(), &out), 0);
    ASSERT_NE(manager.FindCallbackFunc2("quake"), nullptr);
    EXPECT_EQ(manager.FindCallbackFunc2("quake")(CEffectArgs(), &out), 0);
    int32_t answer = 0;
    EXPECT_TRUE(out.GetInt(1, &answer));
    EXPECT_EQ(answer, 2);
    // The second library has no second callback; the built-in none at all.
    EXPECT_NE(manager.FindCallbackFunc("fizz"), nullptr);
    EXPECT_EQ(manager.FindCallbackFunc2("fizz"), nullptr);
    EXPECT_EQ(manager.FindCallbackFunc("glow"), nullptr);
    EXPECT_EQ(manager.FindCallbackFunc2("nothing"), nullptr);
}

TEST(ObjectPlugins, UnloadingATypeKeepsALibraryWithOtherKinds)
{
    CObjectPluginManager manager;
    ASSERT_EQ(manager.LoadPlugin(Plugin("objects/first.DCP").c_str()), 0);
    ASSERT_EQ(manager.LoadPlugin(Plugin("objects/second.DCP").c_str()), 0);
    manager.UnloadType(5);  // "glow" of the first library
    EXPECT_EQ(manager.Create("glow"), nullptr);
    EXPECT_TRUE(Mapped("objects/first.DCP"));
    manager.UnloadType(7);  // no such type
    EXPECT_EQ(manager.GetKinds().size(), 3u);
    manager.UnloadType(3);  // every other kind of both libraries
    EXPECT_TRUE(manager.GetKinds().empty());
    EXPECT_EQ(manager.GetLibraryCount(), 0u);
    EXPECT_FALSE(Mapped("objects/first.DCP"));
    EXPECT_FALSE(Mapped("objects/second.DCP"));

    ASSERT_EQ(manager.LoadPlugin(Plugin("objects/first.DCP").c_str()), 0);
    EXPECT_TRUE(Mapped("objects/first.DCP"));
    manager.UnloadAll();
    EXPECT_FALSE(Mapped("objects/first.DCP"));
}

// Both libraries offer "quake": each registry makes its own kind of object.
TEST(ObjectPlugins, RefusalsReleaseByHoldCountAndPacksArriveIntact)
{
    CObjectPluginManager effects;
    CTransitionPluginManager transitions;
    ASSERT_EQ(effects.LoadPlugin(Plugin("objects/first.DCP").c_str()), 0);
    ASSERT_EQ(transitions.LoadPlugin(Plugin("objects/first.TCP").c_str()), 0);
    Counters dcp("objects/first.DCP");
    Counters tcp("objects/first.TCP");
    auto* canvas = reinterpret_cast<CImageObject*>(&dcp);

    for (TestObjectCounters* c : {dcp.counters, tcp.counters}) {
        SCOPED_TRACE(c == dcp.counters ? "DCP" : "TCP");
        auto create = [&](int first) -> CHeldPluginObject* {
            if (c == dcp.counters)
                return effects.Create("quake", first);
            return transitions.Create(canvas, "quake", first);
        };
        // Refused at hold 0: deleted.
        c->nextHold = 0;
        EXPECT_EQ(create(-1), nullptr);
        EXPECT_EQ(c->created, 1);
        EXPECT_EQ(c->destroyed, 1);
        // Refused with two extra holders: one is dropped, the object lives on.
        c->nextHold = 2;
        EXPECT_EQ(create(-1), nullptr);
        EXPECT_EQ(c->destroyed, 1);
        auto* held = static_cast<CHeldPluginObject*>(static_cast<CPluginObject*>(c->lastObject));
        EXPECT_EQ(held->m_holdCount, 1u);
        held->Release();
        held->Release();
        EXPECT_EQ(c->destroyed, 2);
        c->nextHold = 0;
        CHeldPluginObject* accepted = create(4);
        ASSERT_NE(accepted, nullptr);
        accepted->Release();
    }
    EXPECT_EQ(tcp->lastCanvas, canvas);

    // Every type of value arrives as it was put in.
    int target = 0;
    const std::string text = winapi::Sjis("揺れ");
    CPluginEffect* effect = effects.Create("quake", -7, 2.5, text.c_str(), &target, std::string("s"));
    ASSERT_NE(effect, nullptr);
    effect->Release();
    const CEffectArgs& got = dcp->lastArgs;
    ASSERT_EQ(got.GetCount(), 5u);
    int32_t i = 0;
    double d = 0;
    const char* t = nullptr;
    void* p = nullptr;
    EXPECT_TRUE(got.GetInt(0, &i));
    EXPECT_EQ(i, -7);
    EXPECT_TRUE(got.GetDouble(1, &d));
    EXPECT_EQ(d, 2.5);
    EXPECT_TRUE(got.GetText(2, &t));
    EXPECT_EQ(std::string(t), text);
    EXPECT_TRUE(got.GetPointer(3, &p));
    EXPECT_EQ(p, &target);
    EXPECT_TRUE(got.GetText(4, &t));
    EXPECT_STREQ(t, "s");
    // Another type, or past the end: false, the output untouched.
    EXPECT_FALSE(got.GetDouble(0, &d));
    EXPECT_FALSE(got.GetInt(5, &i));
    EXPECT_EQ(i, -7);
    EXPECT_EQ(got.GetType(5), CEffectArgs::kNone);
    // No arguments: an empty pack, which InitV accepts.
    effect = effects.Create("quake");
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(dcp->lastArgs.GetCount(), 0u);
    effect->Release();
}

namespace {

int g_inits = 0;
int g_teardowns = 0;
void RippleInit() { ++g_inits; }
void RippleTeardown() { ++g_teardowns; }
class RippleFilter : public CPluginFilter {
public:
    int SetParamsV(CImageObject*, const CEffectArgs&) override { return 0; }
};
CPluginFilter* MakeRipple(DWORD) { return new RippleFilter; }

} // namespace

TEST(ObjectPlugins, TransitionKindsInitOnceAndTearDownWhenDropped)
{
    g_inits = g_teardowns = 0;
    {
        CTransitionPluginManager manager;
        EXPECT_EQ(manager.Register(nullptr, "ripple", 0, 0, RippleInit, RippleTeardown), 1);
        ASSERT_EQ(manager.Register(MakeRipple, "ripple", 0, 0, RippleInit, RippleTeardown), 0);
        ASSERT_EQ(manager.Register(MakeRipple, "plain", 1, 0, nullptr, nullptr), 0);
        ASSERT_EQ(manager.LoadPlugin(Plugin("objects/first.TCP").c_str()), 0);
        EXPECT_EQ(g_inits, 0);
        for (int i = 0; i < 3; ++i) {
            CPluginFilter* filter = manager.Create(nullptr, "ripple", 100);
            ASSERT_NE(filter, nullptr);
            filter->Release();
        }
        EXPECT_EQ(g_inits, 1);
        EXPECT_TRUE(manager.GetKinds()[0].initDone);
        DWORD parameter = 0;
        EXPECT_NE(manager.FindFactory("swirl", &parameter), nullptr);
        EXPECT_EQ(parameter, 1u);
        EXPECT_EQ(manager.Create(nullptr, "nothing"), nullptr);

        // Dropping the kinds of type 0 ("ripple", the library's "swirl") runs ripple's teardown
        // and keeps the library for its "quake".
        manager.UnloadType(0);
        EXPECT_EQ(g_teardowns, 1);
        EXPECT_TRUE(Mapped("objects/first.TCP"));
        EXPECT_EQ(manager.GetKinds().size(), 2u);
        ASSERT_EQ(manager.Register(MakeRipple, "ripple", 0, 0, RippleInit, RippleTeardown), 0);
    }
    // The destructor unloads all: the second ripple's teardown, the library freed.
    EXPECT_EQ(g_teardowns, 2);
    EXPECT_FALSE(Mapped("objects/first.TCP"));
}
