// Test helpers of the display layer: a task that stays put and a recording one, a cross-fade filter of the tests' own, and
// DirectDraw surfaces of the seven device formats.
#pragma once

#include "display/screen_filter.h"
#include "display/task.h"
#include "drawing/drawing_test_util.h"
#include "raster/image.h"
#include "raster/dib_convert.h"
#include "raster/surface_convert.h"
#include "winapi/ddraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace display_test {

// A task of the tests that stays where it is: at (0, 0), never moved, sized or hit.
class StillTask : public CTask {
public:
    LONG GetX() const override { return 0; }
    LONG GetY() const override { return 0; }
    void SetPosition(LONG, LONG) override {}
    void SetSize(LONG, LONG) override {}
    void SetSizeAndPosition(LONG, LONG, LONG, LONG) override {}
    void MoveBy(LONG, LONG) override {}
    bool HitTest(LONG, LONG, bool) override { return false; }
    bool Overlaps(CTask*) override { return false; }
};

// A task that records its draws into a shared log and answers what it is told.
class LogTask : public StillTask {
public:
    LogTask(std::string name, std::string* log) : m_name(std::move(name)), m_log(log) {}
    uint8_t GetType() const override { return kSceneColorRect; }
    bool GetBounds(RECT*) override { return false; }
    int Draw(IDirectDrawSurface7*, const RECT*, CScreen*) override
    {
        *m_log += m_name;
        return drawAnswer;
    }
    int OnDeviceRestore() override
    {
        *m_log += m_name;
        return restoreAnswer;
    }
    int drawAnswer = 0;
    int restoreAnswer = 0;

private:
    std::string m_name;
    std::string* m_log;
};

// The tests' cross-fade: each band is first * (1 - level) + second * level, level = frames / total
// (256 steps), or the first source alone without a second. Step ends after `total` frames (0: at
// once); counts what it was asked.
class CrossFade : public CScreenFilter {
public:
    explicit CrossFade(int total, uint8_t type = 0) : m_total(total), m_type(type) {}
    ~CrossFade() override { ++*deleted; }
    uint8_t GetObjectType() override { return m_type; }
    int Step(DWORD) override
    {
        ++steps;
        return steps > m_total ? 7 : 0;
    }
    const char* GetName() override { return "test-cross"; }
    int Draw(const FilterJob& job) override
    {
        jobs.push_back(job);
        const uint32_t level = static_cast<uint32_t>(std::min(256, steps * 256 / std::max(1, m_total)));
        const int bytes = job.destination->GetBitsPerPixel() / 8;
        for (LONG y = 0; y < job.bandHeight; ++y) {
            BYTE* to = job.destination->GetRowAddress(job.destinationY + y) + job.destinationX * bytes;
            const BYTE* a = job.source->GetRowAddress(job.sourceY + y) + job.sourceX * bytes;
            const BYTE* b = job.secondSource ? job.secondSource->GetRowAddress(job.secondY + y) + job.secondX * bytes
                                             : nullptr;
            for (LONG i = 0; i < job.bandWidth * bytes; ++i)
                to[i] = b ? static_cast<BYTE>((a[i] * (256 - level) + b[i] * level) >> 8) : a[i];
        }
        return 0;
    }
    int IsDone() override { return 0; }

    int steps = 0;
    std::vector<FilterJob> jobs;
    int* deleted = &m_ownDeleted;

private:
    int m_total;
    uint8_t m_type;
    int m_ownDeleted = 0;
};

struct DeviceFormat {
    uint32_t code;
    DWORD bits, r, g, b, a;
};
inline const DeviceFormat kDeviceFormats[] = {
    {kPixelX1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0},      {kPixelR5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0},
    {kPixelR8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},     {kPixelX8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {kPixelA1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000}, {kPixelA4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {kPixelA8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
};

// A surface of one of the formats above.
inline IDirectDrawSurface7* MakeSurface(drawing_test::SurfaceSet& set, LONG w, LONG h, const DeviceFormat& f)
{
    return set.Make(w, h, f.bits, f.r, f.g, f.b, f.a);
}

} // namespace display_test
