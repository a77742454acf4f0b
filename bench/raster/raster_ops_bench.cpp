// Raster operation kernels side by side with pixman on the same buffers (640 x 480 pictures): each
// benchmark times ours and pixman's in alternation and prints the median times per frame and the
// ratio pixman / ours (above 1: ours is faster; the goal is 1.5).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include "contest.h"
#include "raster/blend_mode_kernels.h"
#include "raster/blend_tables.h"
#include "raster/blur_kernels.h"
#include "raster/mask_kernels.h"
#include "raster/quad_kernels.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kW = 640;
constexpr int kH = 480;

struct Buffer {
    int width, height;
    std::vector<uint32_t> px;
    Buffer(int w, int h, uint32_t seed) : width(w), height(h), px(size_t(w) * h)
    {
        std::mt19937 rng(seed);
        for (auto& p : px) {
            p = rng();
        }
    }
    BYTE* Bytes() { return reinterpret_cast<BYTE*>(px.data()); }
    int Pitch() const { return width * 4; }
    pixman_image_t* Image(pixman_format_code_t f = PIXMAN_a8r8g8b8)
    {
        return pixman_image_create_bits(f, width, height, px.data(), Pitch());
    }
};

// Every contest here has the same goal: 1.5 times pixman's speed.
void Contest(benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& peer)
{
    bench::Contest(state, ours, peer, bench::Goal{.ratio = 1.5});
}

void BM_SmoothScale(benchmark::State& state)
{
    // 640 x 480 up to 960 x 720 (x 1.5), bilinear.
    Buffer src(kW + 1, kH + 1, 1), ours(960, 720, 2), peer(960, 720, 2);
    StretchSteps steps{0, 0, (uint64_t(kW - 1) << 32) / 960, (uint64_t(kH - 1) << 32) / 720};
    pixman_image_t* s = src.Image();
    pixman_image_t* d = peer.Image();
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kW - 1) / 960), pixman_double_to_fixed(double(kH - 1) / 720));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    Contest(
        state, [&] { SmoothRows32Mmx(ours.Bytes(), src.Bytes(), 0, src.Pitch(), 960, 720, steps); },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, 960, 720); });
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void BM_RotateZoom(benchmark::State& state)
{
    // 640 x 480 turned by 30 degrees at zoom 1.25 about the centre of a 480 x 360 destination, nearest
    // texels. The destination lies wholly inside the turned picture, so both sides draw every
    // destination pixel (a larger one would have pixman also clear the corners we leave alone).
    constexpr int dw = 480, dh = 360;
    Buffer src(kW, kH, 3), ours(dw, dh, 4), peer(dw, dh, 4);
    const double a = M_PI / 6, z = 1.25;
    const double cx = dw / 2.0, cy = dh / 2.0;
    POINT dq[4];
    const double corners[4][2] = {{0, 0}, {kW, 0}, {0, kH}, {kW, kH}};
    for (int i = 0; i < 4; ++i) {
        const double x = (corners[i][0] - kW / 2.0) * z, y = (corners[i][1] - kH / 2.0) * z;
        dq[i] = POINT{LONG(std::lround(cx + x * std::cos(a) + y * std::sin(a))),
                      LONG(std::lround(cy - x * std::sin(a) + y * std::cos(a)))};
    }
    const POINT sq[4] = {{0, 0}, {kW - 1, 0}, {0, kH - 1}, {kW - 1, kH - 1}};
    const QuadTarget target{ours.Bytes(), ours.Pitch(), RECT{0, 0, dw, dh}};
    const QuadSource source{src.Bytes(), src.Pitch(), RECT{0, 0, kW, kH}};
    pixman_image_t* s = src.Image();
    pixman_image_t* d = peer.Image();
    pixman_transform_t t;
    pixman_f_transform_t ft;
    pixman_f_transform_init_translate(&ft, -cx, -cy);
    pixman_f_transform_rotate(&ft, nullptr, std::cos(a), std::sin(a));
    pixman_f_transform_scale(&ft, nullptr, 1 / z, 1 / z);
    pixman_f_transform_translate(&ft, nullptr, kW / 2.0, kH / 2.0);
    pixman_transform_from_pixman_f_transform(&t, &ft);
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
    Contest(
        state, [&] { MapQuadRows32(target, source, dq, sq, 0); },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, dw, dh); });
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void BM_BlendAdd(benchmark::State& state)
{
    const int mode = int(state.range(0));
    Buffer src(kW, kH, 5), ours(kW, kH, 6), peer(kW, kH, 6);
    pixman_image_t* s = src.Image();
    pixman_image_t* d = peer.Image();
    BlendModeKernel k = BlendModeRows32(mode, false, true);
    Contest(
        state, [&] { k(ours.Bytes(), src.Bytes(), 0, 0, kW, kH, 0); },
        [&] { pixman_image_composite32(PIXMAN_OP_ADD, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH); });
    state.SetLabel(mode == 1 ? "add vs ADD" : "subtract vs ADD");
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void BM_CrossFade(benchmark::State& state)
{
    Buffer src(kW, kH, 7), ours(kW, kH, 8), peer(kW, kH, 8);
    pixman_image_t* s = src.Image();
    pixman_image_t* d = peer.Image();
    const pixman_color_t half{0x8000, 0x8000, 0x8000, 0x8000};
    pixman_image_t* m = pixman_image_create_solid_fill(&half);
    Contest(
        state, [&] { CrossFadeRows32Mmx(ours.Bytes(), src.Bytes(), 0, 0, kW, kH, 128); },
        [&] { pixman_image_composite32(PIXMAN_OP_OVER, s, m, d, 0, 0, 0, 0, 0, 0, kW, kH); });
    pixman_image_unref(s);
    pixman_image_unref(m);
    pixman_image_unref(d);
}

void BM_BlurBlend(benchmark::State& state)
{
    const int radius = 8;
    Buffer src(kW, kH, 9), ours(kW, kH, 10), peer(kW, kH, 10);
    pixman_image_t* s = src.Image();
    pixman_image_t* d = peer.Image();
    std::vector<pixman_fixed_t> kernel(2 + 2 * radius + 1);
    kernel[0] = pixman_int_to_fixed(2 * radius + 1);
    kernel[1] = pixman_int_to_fixed(1);
    for (int i = 0; i < 2 * radius + 1; ++i) {
        kernel[2 + i] = pixman_double_to_fixed(1.0 / (2 * radius + 1));
    }
    pixman_image_set_filter(s, PIXMAN_FILTER_CONVOLUTION, kernel.data(), int(kernel.size()));
    pixman_image_set_repeat(s, PIXMAN_REPEAT_PAD);
    Contest(
        state, [&] { BlurBlendRows32(ours.Bytes(), src.Bytes(), 0, 0, kW, kH, 0, kW - 1, radius, 255); },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH); });
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void BM_MaskBlend(benchmark::State& state)
{
    Buffer colors(kW, 1, 11), ours(kW, kH, 12), peer(kW, kH, 12);
    std::vector<uint8_t> mask(size_t(kW) * kH);
    std::mt19937 rng(13);
    for (auto& m : mask) {
        m = uint8_t(rng());
    }
    pixman_image_t* s = colors.Image();
    pixman_image_set_repeat(s, PIXMAN_REPEAT_NORMAL);
    pixman_image_t* m = pixman_image_create_bits(PIXMAN_a8, kW, kH, reinterpret_cast<uint32_t*>(mask.data()), kW);
    pixman_image_t* d = peer.Image();
    Contest(
        state,
        [&] { BlendImageByMaskRows32Mmx(ours.Bytes(), mask.data(), 0, 0, kW, kH, colors.px.data(), g_MulTable[255]); },
        [&] { pixman_image_composite32(PIXMAN_OP_OVER, s, m, d, 0, 0, 0, 0, 0, 0, kW, kH); });
    pixman_image_unref(s);
    pixman_image_unref(m);
    pixman_image_unref(d);
}

} // namespace

BENCHMARK(BM_SmoothScale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateZoom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlendAdd)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrossFade)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlurBlend)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskBlend)->Unit(benchmark::kMillisecond);
