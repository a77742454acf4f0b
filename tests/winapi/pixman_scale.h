// The reference for every scaled picture: pixman's bilinear scaling (centres aligned, edges padded)
// of 32-bit x8r8g8b8 pixels, and the largest channel difference between two pictures.
#pragma once

#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "winapi/host.h"

namespace pixman_test {

// `source` (sw x sh, rows packed) scaled to dw x dh.
inline std::vector<uint32_t> Scale(const uint32_t* source, int sw, int sh, int dw, int dh)
{
    std::vector<uint32_t> in(source, source + static_cast<size_t>(sw) * sh);
    std::vector<uint32_t> out(static_cast<size_t>(dw) * dh);
    pixman_image_t* from = pixman_image_create_bits(PIXMAN_x8r8g8b8, sw, sh, in.data(), sw * 4);
    pixman_image_t* to = pixman_image_create_bits(PIXMAN_x8r8g8b8, dw, dh, out.data(), dw * 4);
    // The factors rounded to pixman's 16.16 (its own conversion truncates: 800/1440 would land a
    // hundredth of a pixel short by the right edge).
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, static_cast<pixman_fixed_t>(65536.0 * sw / dw + 0.5),
                                static_cast<pixman_fixed_t>(65536.0 * sh / dh + 0.5));
    pixman_image_set_transform(from, &transform);
    pixman_image_set_filter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
    pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, dw, dh);
    pixman_image_unref(from);
    pixman_image_unref(to);
    return out;
}

// The largest difference of one colour channel between pixel a and pixel b.
inline int ChannelDistance(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(static_cast<int>(a >> shift & 255) - static_cast<int>(b >> shift & 255)));
    return most;
}

// How a shown frame differs from a w x h picture letterboxed into it: pixels of the box more than 2
// off the picture's scaling, the first few of them described, and border pixels that are not black.
struct LetterboxDifference {
    int far = 0;
    int border = 0;
    std::string firstFar;
};
inline LetterboxDifference CompareLetterboxed(const winapi::Frame& shown, const uint32_t* picture, int w, int h)
{
    LetterboxDifference d;
    const RECT box = winapi::LetterboxRect(w, h, shown.width, shown.height);
    const int boxW = box.right - box.left, boxH = box.bottom - box.top;
    const std::vector<uint32_t> want = Scale(picture, w, h, boxW, boxH);
    std::ostringstream described;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            const uint32_t got = shown.At(x, y) & 0xFFFFFF;
            if (x < box.left || x >= box.right || y < box.top || y >= box.bottom) {
                d.border += got != 0;
                continue;
            }
            const uint32_t expected = want[static_cast<size_t>(y - box.top) * boxW + (x - box.left)];
            if (ChannelDistance(got, expected) > 2 && d.far++ < 5)
                described << " (" << x << ", " << y << "): " << std::hex << got << " against " << expected << std::dec;
        }
    d.firstFar = described.str();
    return d;
}

} // namespace pixman_test
