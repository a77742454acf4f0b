// CScreenFilter: a screen filter or named transition that runs on a canvas, composing each frame
// of it from the canvas's pictures. The effects derive their filters from it; a canvas only steps
// it, has it draw bands, and asks whether it is done. The two thread-priority hooks are set by
// the game at start-up (null until then).
#pragma once

#include "files/plugin_object.h"

#include <cstdint>
#include <utility>

class CImage;

// One band (or the whole picture) for CScreenFilter::Draw: the destination rectangle in the
// filter image and where each source is read.
struct FilterJob {
    LONG bandX;
    LONG bandY;
    LONG bandWidth;
    LONG bandHeight;
    CImage* destination;
    LONG destinationX;
    LONG destinationY;
    CImage* source;
    LONG sourceX;
    LONG sourceY;
    CImage* secondSource; // null unless the filter reads a second picture
    LONG secondX;
    LONG secondY;
};

// Its use count is the held-object count of the plug-in base (m_holdCount): 0 = one holder, and
// the holder that drops it last deletes it.
class CScreenFilter : public CPluginFilter {
public:
    // 0 or 1: reads a second picture; 2 and above: one picture. Odd types are never banded.
    virtual uint8_t GetObjectType() = 0;
    // The name the filter is registered under.
    virtual const char* GetName() = 0;
    // Once per shown frame before composing; non-zero ends the filter.
    virtual int Step(DWORD now) = 0;
    // Draws the job's band into its destination → 0, or 5 when a pixel operation failed (the
    // canvas goes on to IsDone either way).
    virtual int Draw(const FilterJob& job) = 0;
    // After the frame was shown; non-zero ends the filter.
    virtual int IsDone() = 0;
    // Plug-in filters take their parameters here; a filter of the engine needs none.
    int SetParamsV(CImageObject*, const CEffectArgs&) override { return 0; }
    // SetParamsV with the pack of the C++ arguments.
    template <typename... A>
    int SetParams(CImageObject* canvas, A&&... values)
    {
        return SetParamsV(canvas, CEffectArgs::Of(std::forward<A>(values)...));
    }
    // Not supported.
    virtual int Reserved1(DWORD, DWORD) { return -2; }
    virtual int Reserved2() { return -2; }

    DWORD GetUseCount() const { return m_holdCount; }
    void SetUseCount(DWORD count) { m_holdCount = count; }
};

// The game's thread-priority functions, null until it sets them; callers test before calling.
extern void (*g_pfnLowerThreadPriority)();
extern void (*g_pfnRestoreThreadPriority)();
