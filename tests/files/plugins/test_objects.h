// What the object plug-ins of the tests (test_objects.cpp) count, shared with the tests, which
// reach it through the plug-in's "GetTestCounters" export.
#pragma once

#include "files/effect_args.h"
#include "winapi/base.h"

struct TestObjectCounters {
    int created = 0;
    int destroyed = 0;
    int initCalls = 0;    // InitV or SetParamsV
    DWORD nextHold = 0;   // the hold count the next object starts with
    DWORD lastIndex = 0;  // the factory's argument of the last object
    void* lastObject = nullptr;
    void* lastCanvas = nullptr;
    CEffectArgs lastArgs;
};

using GetTestCountersFunc = TestObjectCounters* (*)();
