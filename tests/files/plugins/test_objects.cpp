// Effect (DCP) and transition (TCP) plug-ins for the registry tests, built in several kinds (see
// tests/files/CMakeLists.txt): "quake" (type 3) and "glow" (5) with both callbacks; TEST_SECOND
// "quake" and "fizz" (both 3) without the second callback; TEST_TCP transitions "quake" (2) and
// "swirl" (0); broken ones without GetObjectType, with a null name, a throwing count, or another
// count (TEST_KIND_COUNT). Objects refuse their arguments when the first value is the
// integer -1, and count what happens to them.
#include <stdexcept>

#include "files/plugin_object.h"
#include "plugins/test_objects.h"

namespace {

TestObjectCounters g_counters;

#ifdef TEST_TCP
using Base = CPluginFilter;
#else
using Base = CPluginEffect;
#endif

class TestObject : public Base {
public:
    explicit TestObject(DWORD index)
    {
        ++g_counters.created;
        g_counters.lastIndex = index;
        g_counters.lastObject = this;
        m_holdCount = g_counters.nextHold;
    }
    ~TestObject() override { ++g_counters.destroyed; }

#ifdef TEST_TCP
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override
    {
        g_counters.lastCanvas = canvas;
        return Accept(args);
    }
#else
    int InitV(const CEffectArgs& args) override { return Accept(args); }
#endif

private:
    static int Accept(const CEffectArgs& args)
    {
        ++g_counters.initCalls;
        g_counters.lastArgs = args;
        int32_t first = 0;
        return args.GetInt(0, &first) && first == -1 ? 1 : 0;
    }
};

#ifndef TEST_KIND_COUNT
#define TEST_KIND_COUNT 2
#endif
#if defined(TEST_SECOND)
const char* const kNames[] = {"quake", "fizz"};
const BYTE kTypes[] = {3, 3};
#elif defined(TEST_TCP)
const char* const kNames[] = {"quake", "swirl"};
const BYTE kTypes[] = {2, 0};
#else
const char* const kNames[] = {"quake", "glow"};
const BYTE kTypes[] = {3, 5};
#endif

[[maybe_unused]] int Answer(const CEffectArgs&, CEffectArgs* out, int value)
{
    if (out != nullptr)
        out->AddInt(value);
    return 0;
}

} // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT TestObjectCounters* GetTestCounters()
{
    return &g_counters;
}

EXPORT int GetObjectNum()
{
#ifdef TEST_THROWS
    throw std::runtime_error("broken plug-in");
#endif
    return TEST_KIND_COUNT;
}

EXPORT Base* GetObject(DWORD index)
{
    return new TestObject(index);
}

EXPORT const char* GetObjectName(DWORD index)
{
#ifdef TEST_NULL_NAME
    if (index == 1)
        return nullptr;
#endif
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "extra";
}

#ifndef TEST_NO_TYPE
EXPORT BYTE GetObjectType(DWORD index)
{
    return index < sizeof kTypes ? kTypes[index] : 0;
}
#endif

#ifdef TEST_CALLBACKS
EXPORT int CallbackAssistFunc(const CEffectArgs& in, CEffectArgs* out)
{
    return Answer(in, out, 1);
}
#ifndef TEST_NO_CALLBACK2
EXPORT int CallbackAssistFunc2(const CEffectArgs& in, CEffectArgs* out)
{
    return Answer(in, out, 2);
}
#endif
#endif
