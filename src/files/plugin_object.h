// The object bases of the effect (DCP) and transition (TCP) registries: what a registry makes by
// name and how it gives it back. Header-only, so that a plug-in library needs no engine symbols.
// The effects derive CLayerEffect from CPluginEffect and CScreenFilter from CPluginFilter.
#pragma once

#include "files/effect_args.h"
#include "files/plugin_record.h"
#include "winapi/base.h"

class CImageObject;

// An object with a hold count: the extra holders, 0 = one holder. Release at 0 deletes it.
class CHeldPluginObject : public CPluginObject {
public:
    void Release()
    {
        if (m_holdCount != 0)
            --m_holdCount;
        else
            delete this;
    }

    DWORD m_holdCount = 0;
};

// Effect object: InitV takes the creator's arguments → 0 accepted, non-zero refused.
class CPluginEffect : public CHeldPluginObject {
public:
    virtual int InitV(const CEffectArgs& args)
    {
        (void)args;
        return 0;
    }
};

// Screen filter or transition: SetParamsV takes the canvas and the arguments → 0 accepted,
// non-zero refused.
class CPluginFilter : public CHeldPluginObject {
public:
    virtual int SetParamsV(CImageObject* canvas, const CEffectArgs& args) = 0;
};

// A kind's direct-apply callback: the meaning of the packs is the kind's own; 0 = success.
using EffectCallbackFunc = int (*)(const CEffectArgs& in, CEffectArgs* out);
// Factories: make a new object for the kind's parameter (a plug-in's "GetObject" with the kind's
// index), null when they cannot.
using EffectFactoryFunc = CPluginEffect* (*)(DWORD parameter);
using FilterFactoryFunc = CPluginFilter* (*)(DWORD parameter);
// A transition kind's class init (run at its first lookup) and class teardown (run when the kind
// is dropped).
using FilterClassFunc = void (*)();
