// Copies, blends, keyed and palette copies and fills of the raster against their peers (memcpy,
// memset, pixman, SDL2) at 640x480, 1920x1080 and 3840x2160. Each contest times both contenders
// on the same buffers, alternating, and reports the medians and the speed ratio (peer time / our
// time: above 1 means ours is faster). Goals: blends 1.5 x pixman without an allocation; copies,
// keyed and palette copies and fills are bound by memory on both sides and stay at parity (0.8,
// the machine's noise below it).
#include "raster/row_kernels.h"

#include "alloc_count.h"
#include "contest.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};

struct Buffers {
    int width, height, pitch;
    std::vector<uint32_t> src, dst;
    std::vector<uint8_t> indices;
    uint32_t palette[256];

    explicit Buffers(Size s) : width(s.width), height(s.height), pitch(s.width * 4)
    {
        std::mt19937 random(42);
        src.resize(static_cast<size_t>(width) * height);
        dst.resize(src.size());
        indices.resize(src.size());
        for (size_t i = 0; i < src.size(); ++i) {
            uint32_t v = static_cast<uint32_t>(random());
            // Alpha: a third transparent, a third opaque, a third in between; keys now and then.
            const uint32_t kind = v % 3;
            v = kind == 0 ? v & 0x00FFFFFFu : kind == 1 ? v | 0xFF000000u : v;
            if (v % 7 == 0) {
                v = 0x00FF00FFu;
            }
            src[i] = v;
            dst[i] = static_cast<uint32_t>(random()) | 0xFF000000u;
            indices[i] = static_cast<uint8_t>(random());
        }
        for (int i = 0; i < 256; ++i) {
            palette[i] = 0xFF000000u | static_cast<uint32_t>(random() & 0x00FFFFFF);
        }
    }
    BYTE* Dst() { return reinterpret_cast<BYTE*>(dst.data()); }
    const BYTE* Src() const { return reinterpret_cast<const BYTE*>(src.data()); }
};

using bench::Contest;

pixman_image_t* PixmanOf(pixman_format_code_t format, Buffers& b, std::vector<uint32_t>& pixels)
{
    return pixman_image_create_bits(format, b.width, b.height, pixels.data(), b.pitch);
}

void CopyVsMemcpy(benchmark::State& state)
{
    Buffers b(kSizes[state.range(0)]);
    Contest(
        state, [&] { CopyRows32Mmx(b.Dst(), b.Src(), 0, 0, b.width, b.height); },
        [&] { std::memcpy(b.dst.data(), b.src.data(), b.src.size() * 4); }, bench::Goal{.ratio = 0.8});
}

void CopyVsPixmanSrc(benchmark::State& state)
{
    Buffers b(kSizes[state.range(0)]);
    pixman_image_t* s = PixmanOf(PIXMAN_a8r8g8b8, b, b.src);
    pixman_image_t* d = PixmanOf(PIXMAN_a8r8g8b8, b, b.dst);
    Contest(
        state, [&] { CopyRows32Mmx(b.Dst(), b.Src(), 0, 0, b.width, b.height); },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, b.width, b.height); },
        bench::Goal{.ratio = 0.8});
    pixman_image_unref(s);
    pixman_image_unref(d);
}

// Sprite-like alpha: runs of 8 to 200 pixels that are opaque, transparent or a soft edge.
void MakeSpriteAlpha(Buffers& b)
{
    std::mt19937 random(7);
    size_t i = 0;
    while (i < b.src.size()) {
        const size_t run = std::min<size_t>(8 + random() % 193, b.src.size() - i);
        const uint32_t kind = random() % 5;
        for (size_t k = 0; k < run; ++k, ++i) {
            const uint32_t alpha = kind < 2 ? 255 : kind < 4 ? 0 : static_cast<uint32_t>(random() & 255);
            b.src[i] = (b.src[i] & 0x00FFFFFFu) | alpha << 24;
        }
    }
}

void BlendContest(benchmark::State& state, bool spriteAlpha)
{
    Buffers b(kSizes[state.range(0)]);
    if (spriteAlpha) {
        MakeSpriteAlpha(b);
    }
    // pixman blends premultiplied pixels: give it the premultiplied form of the same source.
    std::vector<uint32_t> premultiplied(b.src.size());
    for (size_t i = 0; i < b.src.size(); ++i) {
        const uint32_t v = b.src[i], a = v >> 24;
        auto m = [&](int shift) { return ((((v >> shift) & 255) * a + 127) / 255) << shift; };
        premultiplied[i] = (a << 24) | m(16) | m(8) | m(0);
    }
    std::vector<uint32_t> peerDst = b.dst;
    pixman_image_t* s = PixmanOf(PIXMAN_a8r8g8b8, b, premultiplied);
    pixman_image_t* d = PixmanOf(PIXMAN_x8r8g8b8, b, peerDst);
    const auto ours = [&] { BlendAlphaRows32Mmx(b.Dst(), b.Src(), 0, 0, b.width, b.height); };
    Contest(
        state, ours,
        [&] { pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, b.width, b.height); },
        bench::Goal{.ratio = 1.5});
    bench::ReportAllocations(state, ours);
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void BlendVsPixmanOver(benchmark::State& state)
{
    BlendContest(state, false);
}

void BlendSpriteVsPixmanOver(benchmark::State& state)
{
    BlendContest(state, true);
}

SDL_Surface* SdlOf(Buffers& b, void* pixels, uint32_t format, int pitch)
{
    return SDL_CreateRGBSurfaceWithFormatFrom(pixels, b.width, b.height, format == SDL_PIXELFORMAT_INDEX8 ? 8 : 32,
                                              pitch, format);
}

void KeyedCopyVsSdl(benchmark::State& state)
{
    Buffers b(kSizes[state.range(0)]);
    SDL_Surface* s = SdlOf(b, b.src.data(), SDL_PIXELFORMAT_ARGB8888, b.pitch);
    SDL_Surface* d = SdlOf(b, b.dst.data(), SDL_PIXELFORMAT_ARGB8888, b.pitch);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    SDL_SetColorKey(s, SDL_TRUE, 0x00FF00FFu);
    Contest(
        state, [&] { CopyKeyRows32(b.Dst(), b.Src(), 0, 0, b.width, b.height, 0x00FF00FFu); },
        [&] { SDL_BlitSurface(s, nullptr, d, nullptr); }, bench::Goal{.ratio = 0.8});
    SDL_FreeSurface(s);
    SDL_FreeSurface(d);
}

void PaletteCopyVsSdl(benchmark::State& state)
{
    Buffers b(kSizes[state.range(0)]);
    SDL_Surface* s = SdlOf(b, b.indices.data(), SDL_PIXELFORMAT_INDEX8, b.width);
    SDL_Surface* d = SdlOf(b, b.dst.data(), SDL_PIXELFORMAT_ARGB8888, b.pitch);
    SDL_Color colors[256];
    for (int i = 0; i < 256; ++i) {
        colors[i] = SDL_Color{static_cast<Uint8>(b.palette[i] >> 16), static_cast<Uint8>(b.palette[i] >> 8),
                              static_cast<Uint8>(b.palette[i]), 255};
    }
    SDL_SetPaletteColors(s->format->palette, colors, 0, 256);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    Contest(
        state, [&] { PaletteRows32(b.Dst(), b.indices.data(), 0, 0, b.width, b.height, b.palette); },
        [&] { SDL_BlitSurface(s, nullptr, d, nullptr); }, bench::Goal{.ratio = 0.8});
    SDL_FreeSurface(s);
    SDL_FreeSurface(d);
}

void FillVsMemset(benchmark::State& state)
{
    Buffers b(kSizes[state.range(0)]);
    Contest(
        state, [&] { FillRows32(b.Dst(), 0, b.width, b.height, 0x7F7F7F7Fu); },
        [&] { std::memset(b.dst.data(), 0x7F, b.dst.size() * 4); }, bench::Goal{.ratio = 0.8});
}

void FillVsPixmanFill(benchmark::State& state)
{
    Buffers b(kSizes[state.range(0)]);
    Contest(
        state, [&] { FillRows32(b.Dst(), 0, b.width, b.height, 0x80123456u); },
        [&] {
            pixman_fill(b.dst.data(), b.pitch / 4, 32, 0, 0, b.width, b.height, 0x80123456u);
        },
        bench::Goal{.ratio = 0.8});
}

void Sizes(benchmark::internal::Benchmark* bench)
{
    bench->ArgName("size")->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(CopyVsMemcpy)->Apply(Sizes);
BENCHMARK(CopyVsPixmanSrc)->Apply(Sizes);
BENCHMARK(BlendVsPixmanOver)->Apply(Sizes);
BENCHMARK(BlendSpriteVsPixmanOver)->Apply(Sizes);
BENCHMARK(KeyedCopyVsSdl)->Apply(Sizes);
BENCHMARK(PaletteCopyVsSdl)->Apply(Sizes);
BENCHMARK(FillVsMemset)->Apply(Sizes);
BENCHMARK(FillVsPixmanFill)->Apply(Sizes);
