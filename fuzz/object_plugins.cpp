// Fuzzes the effect and transition registries with fake DCP and TCP libraries, registered as
// built-in modules, whose kind counts, names, types and objects come from the input. The input is
// a list of operations, each a word: load the DCP or TCP library, register a built-in kind, create
// an effect or a transition by name (the new object's hold count and its answer to the arguments
// come from the input), find a callback, unload a type, unload all. Names are picked from a small
// table by input words (one of them null).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "files/object_plugin_manager.h"
#include "files/path_utils.h"
#include "files/transition_plugin_manager.h"
#include "support/fuzz_input.h"
#include "winapi/kernel.h"

namespace {

FuzzInput* g_in = nullptr;
const char* const kNames[] = {"quake", "glow", "ripple", nullptr, "", "Quake"};
std::set<CHeldPluginObject*> g_live; // objects a refusal left with another holder

const char* Name()
{
    return kNames[g_in->Small(static_cast<int>(std::size(kNames)))];
}

template <typename Base>
class FuzzObject : public Base {
public:
    FuzzObject()
    {
        this->m_holdCount = static_cast<DWORD>(g_in->Small(3));
        m_refuse = g_in->Small(3) == 0;
        g_live.insert(this);
    }
    ~FuzzObject() override { g_live.erase(this); }

protected:
    int m_refuse;
};

class FuzzEffect : public FuzzObject<CPluginEffect> {
public:
    int InitV(const CEffectArgs&) override { return m_refuse; }
};

class FuzzFilter : public FuzzObject<CPluginFilter> {
public:
    int SetParamsV(CImageObject*, const CEffectArgs&) override { return m_refuse; }
};

int GetObjectNum()
{
    // Mostly small counts, sometimes any word (negative and huge counts are refused).
    return g_in->Small(4) == 0 ? g_in->I32() : g_in->Small(6);
}
CPluginEffect* GetEffect(DWORD) { return g_in->Small(5) == 0 ? nullptr : new FuzzEffect; }
CPluginFilter* GetFilter(DWORD) { return g_in->Small(5) == 0 ? nullptr : new FuzzFilter; }
const char* GetObjectName(DWORD) { return Name(); }
BYTE GetObjectType(DWORD) { return static_cast<BYTE>(g_in->Small(4)); }
int Callback(const CEffectArgs&, CEffectArgs* out)
{
    out->AddInt(1);
    return 0;
}
void ClassFunc() {}

const winapi::BuiltinProc kDcp[] = {
    {"GetObjectNum", winapi::ToFarProc(GetObjectNum)},   {"GetObject", winapi::ToFarProc(GetEffect)},
    {"GetObjectName", winapi::ToFarProc(GetObjectName)}, {"GetObjectType", winapi::ToFarProc(GetObjectType)},
    {"CallbackAssistFunc", winapi::ToFarProc(Callback)},
};
const winapi::BuiltinProc kTcp[] = {
    {"GetObjectNum", winapi::ToFarProc(GetObjectNum)},   {"GetObject", winapi::ToFarProc(GetFilter)},
    {"GetObjectName", winapi::ToFarProc(GetObjectName)}, {"GetObjectType", winapi::ToFarProc(GetObjectType)},
};

struct Setup {
    Setup()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        SetBaseFolder(temp);
        winapi::RegisterBuiltinModule("fuzz.dcp", kDcp, std::size(kDcp));
        winapi::RegisterBuiltinModule("fuzz.tcp", kTcp, std::size(kTcp));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Setup setup;
    FuzzInput in{data, size};
    g_in = &in;
    CObjectPluginManager effects;
    CTransitionPluginManager transitions;
    for (int steps = 0; steps < 64 && !in.AtEnd(); ++steps) {
        switch (in.Small(10)) {
        case 0:
            effects.LoadPlugin("fuzz.dcp");
            break;
        case 1:
            transitions.LoadPlugin("fuzz.tcp");
            break;
        case 2:
            effects.Register(GetEffect, Name(), static_cast<BYTE>(in.Small(4)), Callback, nullptr, 0);
            break;
        case 3:
            transitions.Register(GetFilter, Name(), static_cast<BYTE>(in.Small(4)), 0, ClassFunc, ClassFunc);
            break;
        case 4:
            if (CPluginEffect* effect = effects.Create(Name(), 1, 2.0, "text"))
                effect->Release();
            break;
        case 5:
            if (CPluginFilter* filter = transitions.Create(nullptr, Name(), 100))
                filter->Release();
            break;
        case 6:
            if (EffectCallbackFunc callback = effects.FindCallbackFunc(Name())) {
                CEffectArgs out;
                callback(CEffectArgs(), &out);
            }
            effects.FindCallbackFunc2(Name());
            break;
        case 7:
            effects.UnloadType(static_cast<BYTE>(in.Small(4)));
            break;
        case 8:
            transitions.UnloadType(static_cast<BYTE>(in.Small(4)));
            break;
        default:
            effects.UnloadAll();
            transitions.UnloadAll();
            break;
        }
    }
    // Objects still held elsewhere after a refusal go with their last holder.
    while (!g_live.empty())
        delete *g_live.begin();
    return 0;
}
