// Entry 1 (the rows mirrored top to bottom) drawn in one pass against one canvas piece per row:
// random sources (alpha 0, 255 and between), odd sizes, placed inside the destination and across
// each of its edges, cut by a destination clip and a source clip, both modes and a colour key, at
// every SIMD level with the switch off and on.
#include "platform/cpu_info.h"
#include "raster/wipe_canvas.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <random>

namespace {

using namespace wipetest;

struct Outcome {
    std::vector<uint32_t> pixels;
    RECT bounds;
};

Outcome Draw(const CImage& start, CImage& src, const RECT* clip, int32_t x, int32_t y, int32_t mode,
             bool byPieces)
{
    auto dst = TrackedCopy(start);
    if (clip != nullptr)
        dst->ClipRectToSize(clip);
    if (byPieces) {
        int32_t result = 0;
        CWipeCanvas canvas;
        EXPECT_TRUE(canvas.Begin(dst.get(), &src, 100, x, y, mode, nullptr, &result));
        const int64_t w = src.GetWidth(), h = src.GetHeight();
        for (int64_t i = 0; i < h; ++i)
            canvas.PieceAt(0, i, w, i + 1, x, int64_t{y} + h - 1 - i);
    } else {
        EXPECT_EQ(DrawTransition(1, dst.get(), &src, 100, x, y, mode, nullptr), 0);
    }
    return Outcome{Pixels(*dst), dst->GetUpdateRegion()->Bounds()};
}

TEST(WipeMirrorRows, OnePassDrawsThePixelsOfARowPerPiece)
{
    std::mt19937 rng(kSeed);
    AtEverySimdSetting([&] {
        for (int round = 0; round < 60; ++round)
            for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                const LONG sw = 1 + static_cast<LONG>(rng() % 45), sh = 1 + static_cast<LONG>(rng() % 20);
                const LONG dw = 1 + static_cast<LONG>(rng() % 50), dh = 1 + static_cast<LONG>(rng() % 24);
                auto src = NoisyImage(rng, sw, sh);
                if (mode == kTransitionCopy && round % 4 == 0)
                    src->SetColorKeyValue(At(*src, 0, 0));
                if (round % 3 == 0) {
                    const RECT from{static_cast<LONG>(rng() % sw), static_cast<LONG>(rng() % sh),
                                    sw - static_cast<LONG>(rng() % 2), sh - static_cast<LONG>(rng() % 2)};
                    src->ClipRectToSize(&from);
                }
                auto start = NoisyImage(rng, dw, dh);
                const RECT clip{static_cast<LONG>(rng() % dw), static_cast<LONG>(rng() % dh),
                                dw - static_cast<LONG>(rng() % 3), dh - static_cast<LONG>(rng() % 3)};
                const RECT* cut = round % 2 == 0 ? &clip : nullptr;
                const int32_t x = static_cast<int32_t>(rng() % (dw + sw)) - sw / 2;
                const int32_t y = static_cast<int32_t>(rng() % (dh + sh)) - sh / 2;
                const Outcome once = Draw(*start, *src, cut, x, y, mode, false);
                const Outcome pieces = Draw(*start, *src, cut, x, y, mode, true);
                ASSERT_EQ(once.pixels, pieces.pixels) << sw << "x" << sh << " at " << x << "," << y
                                                      << " on " << dw << "x" << dh << ", mode " << mode;
                EXPECT_TRUE(once.bounds.left == pieces.bounds.left &&
                            once.bounds.top == pieces.bounds.top &&
                            once.bounds.right == pieces.bounds.right &&
                            once.bounds.bottom == pieces.bounds.bottom);
            }
    });
}

} // namespace
