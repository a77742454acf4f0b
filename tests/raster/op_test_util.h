// Test helpers of the raster operations on images: random images with update regions, the switch
// between the plain and the SIMD kernels, and the check that an operation changed only what it
// should and recorded it.
#pragma once

#include "platform/cpu_info.h"
#include "raster/image.h"
#include "support/pixel_buffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace op_test {

inline std::unique_ptr<CImage> MakeImage(int w, int h, int bpp, raster_test::Random& random)
{
    auto image = std::make_unique<CImage>();
    EXPECT_EQ(image->Create(w, h, bpp, kImageWithTracker), 0);
    raster_test::FillRandom(*image, random);
    image->SetChanged(false);
    return image;
}

inline uint32_t Px(const CImage& image, int x, int y)
{
    uint32_t v;
    std::memcpy(&v, image.GetRowAddress(y) + 4 * x, 4);
    return v;
}
inline void SetPx(CImage& image, int x, int y, uint32_t v) { std::memcpy(image.GetRowAddress(y) + 4 * x, &v, 4); }

// Sets g_bUseMmx for a scope.
class SimdSwitch {
public:
    explicit SimdSwitch(bool on) : m_saved(g_bUseMmx) { g_bUseMmx = on ? 1 : 0; }
    ~SimdSwitch() { g_bUseMmx = m_saved; }

private:
    uint8_t m_saved;
};

// The update region's bounds and the changed flag after one call on a fresh image.
inline bool Marked(const CImage& image, const RECT& rect)
{
    const CUpdateRegion* region = image.GetUpdateRegion();
    if (!image.IsChanged() || !region || !region->BoundsValid()) {
        return false;
    }
    const RECT& b = region->Bounds();
    return b.left == rect.left && b.top == rect.top && b.right == rect.right && b.bottom == rect.bottom;
}
inline bool Untouched(const CImage& image)
{
    const CUpdateRegion* region = image.GetUpdateRegion();
    return !image.IsChanged() && (!region || region->Count() == 0);
}

} // namespace op_test
