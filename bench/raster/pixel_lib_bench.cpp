// Our pixel library's entries against pixman, memcpy and memset on the same pictures (640x480 and
// 1920x1080), and the raster's cross-fade and alpha blend through the library against their own
// paths (64x64 and 1920x1080). Each contest reports ours_ms, peer_ms and ratio (peer / ours).
// Goals: 1.5 x pixman, 0.8 x memcpy or memset for copies and fills, the hand-offs within 3 % of
// their own paths; alpha onto alpha and the turned drawing at least pixman's speed. The colour
// fills, blends and turned drawing also count the allocations of our side (`allocs`, none allowed).
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "raster/blend_mode_ops.h"
#include "raster/pixel_lib.h"

#include "alloc_count.h"
#include "contest.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using bench::Contest;
using bench::Goal;

namespace {

struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{640, 480}, {1920, 1080}};
constexpr Size kHandOffSizes[] = {{64, 64}, {1920, 1080}};

const PixelLibEntries& Lib()
{
    static const PixelLibEntries entries = [] {
        // As after start-up on any x86-64 processor: the SIMD kernels.
        g_bUseMmx = 1;
        std::unique_ptr<CPixelLibTable> table(PixelLibGetLibrary(nullptr));
        return table->entries;
    }();
    return entries;
}

// Random 32-bit pixels with sprite-like alpha (opaque, clear and soft runs).
void FillRandom(CImage& image, uint32_t seed)
{
    std::mt19937 random(seed);
    for (LONG y = 0; y < image.GetHeight(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.GetRowAddress(y));
        for (LONG x = 0; x < image.GetWidth(); ++x) {
            const uint32_t v = random(), kind = (x / 16 + y / 16) % 3;
            row[x] = kind == 0 ? v | 0xFF000000u : kind == 1 ? v & 0x00FFFFFFu : v;
        }
    }
}

std::unique_ptr<CImage> Picture(Size s, int bpp, uint32_t seed)
{
    auto image = std::make_unique<CImage>();
    image->Create(s.width, s.height, bpp, 0);
    if (bpp == 32) {
        FillRandom(*image, seed);
    }
    return image;
}

// A peer's picture over a copy of an image's pixels (premultiplied when asked, as pixman blends).
struct PeerPicture {
    std::vector<uint32_t> pixels;
    pixman_image_t* image = nullptr;
    PeerPicture(const CImage& from, pixman_format_code_t format, bool premultiply = false)
        : pixels(size_t(from.GetWidth()) * from.GetHeight())
    {
        std::memcpy(pixels.data(), from.GetBits(), pixels.size() * 4);
        if (premultiply) {
            for (uint32_t& v : pixels) {
                const uint32_t a = v >> 24;
                auto m = [&](int shift) { return ((((v >> shift) & 255) * a + 127) / 255) << shift; };
                v = (a << 24) | m(16) | m(8) | m(0);
            }
        }
        image = pixman_image_create_bits(format, from.GetWidth(), from.GetHeight(), pixels.data(),
                                         from.GetWidth() * 4);
    }
    ~PeerPicture() { pixman_image_unref(image); }
};

pixman_image_t* Solid(uint16_t a, uint16_t r = 0, uint16_t g = 0, uint16_t b = 0)
{
    const pixman_color_t c{r, g, b, a};
    return pixman_image_create_solid_fill(&c);
}

void Composite(pixman_op_t op, pixman_image_t* s, pixman_image_t* m, PeerPicture& d)
{
    pixman_image_composite32(op, s, m, d.image, 0, 0, 0, 0, 0, 0, pixman_image_get_width(d.image),
                             pixman_image_get_height(d.image));
}

Size At(const benchmark::State& state)
{
    return kSizes[state.range(0)];
}

// --- fills -----------------------------------------------------------------------------------

void Fill32VsPixmanFill(benchmark::State& state)
{
    auto d = Picture(At(state), 32, 1);
    PeerPicture p(*d, PIXMAN_a8r8g8b8);
    Contest(
        state, [&] { Lib().fill32(d.get(), 0x80123456u, nullptr); },
        [&] {
            pixman_fill(p.pixels.data(), d->GetWidth(), 32, 0, 0, d->GetWidth(), d->GetHeight(), 0x80123456u);
        },
        Goal{.ratio = 0.8});
}
void Fill32VsMemset(benchmark::State& state)
{
    auto d = Picture(At(state), 32, 1);
    std::vector<uint32_t> peer(size_t(d->GetWidth()) * d->GetHeight());
    Contest(
        state, [&] { Lib().fill32(d.get(), 0x7F7F7F7Fu, nullptr); },
        [&] { std::memset(peer.data(), 0x7F, peer.size() * 4); }, Goal{.ratio = 0.8});
}
void Fill8VsMemset(benchmark::State& state)
{
    auto d = Picture(At(state), 8, 1);
    std::vector<uint8_t> peer(size_t(d->GetPitch()) * d->GetHeight());
    Contest(
        state, [&] { Lib().fill8(d.get(), 0x7F, nullptr); },
        [&] { std::memset(peer.data(), 0x7F, peer.size()); }, Goal{.ratio = 0.8});
}
void FillColorVsOverSolid(benchmark::State& state)
{
    auto d = Picture(At(state), 32, 1);
    PeerPicture p(*d, PIXMAN_x8r8g8b8);
    pixman_image_t* solid = Solid(0x8000, 0x1800, 0x4000, 0x7800);
    Lib(); // loaded before anything is counted
    bench::AllocationTally tally;
    Contest(
        state, tally.Wrap([&] { Lib().fillColor(d.get(), 0x3080F0, 128, nullptr); }),
        [&] { Composite(PIXMAN_OP_OVER, solid, nullptr, p); }, Goal{.ratio = 1.5});
    tally.Report(state, 0);
    pixman_image_unref(solid);
}
void FillColorAddVsOverSolid(benchmark::State& state)
{
    auto d = Picture(At(state), 32, 1);
    PeerPicture p(*d, PIXMAN_x8r8g8b8);
    pixman_image_t* solid = Solid(0x8000, 0x1800, 0x4000, 0x7800);
    Lib(); // loaded before anything is counted
    bench::AllocationTally tally;
    Contest(
        state, tally.Wrap([&] { Lib().fillColorMode(d.get(), 0x3080F0, 128, nullptr, 1); }),
        [&] { Composite(PIXMAN_OP_OVER, solid, nullptr, p); }, Goal{.ratio = 1.5});
    tally.Report(state, 0);
    pixman_image_unref(solid);
}

// --- blends ----------------------------------------------------------------------------------

// Entry 9 in a mode at an opacity against pixman's op with an optional solid mask.
void BlendContest(benchmark::State& state, DWORD mode, DWORD opacity, pixman_op_t op, uint16_t mask,
                  pixman_format_code_t dstFormat, double goal = 1.5)
{
    auto d = Picture(At(state), 32, 1);
    auto s = Picture(At(state), 32, 2);
    PeerPicture pd(*d, dstFormat);
    PeerPicture ps(*s, PIXMAN_a8r8g8b8, mode == 2 || mode == 3);
    pixman_image_t* m = mask ? Solid(mask) : nullptr;
    Lib(); // loaded before anything is counted
    bench::AllocationTally tally;
    Contest(
        state, tally.Wrap([&] { Lib().blend(d.get(), s.get(), 0, 0, nullptr, mode, opacity, 0); }),
        [&] { Composite(op, ps.image, m, pd); }, Goal{.ratio = goal});
    tally.Report(state, 0);
    if (m) {
        pixman_image_unref(m);
    }
}
void CrossFadeVsOverMask(benchmark::State& state)
{
    BlendContest(state, 0, 128, PIXMAN_OP_OVER, 0x8000, PIXMAN_x8r8g8b8);
}
void ByAlphaVsOver(benchmark::State& state)
{
    BlendContest(state, 2, 255, PIXMAN_OP_OVER, 0, PIXMAN_x8r8g8b8);
}
void AlphaOnAlphaVsOver(benchmark::State& state)
{
    BlendContest(state, 3, 255, PIXMAN_OP_OVER, 0, PIXMAN_a8r8g8b8, 1.0);
}
void AddVsAddMask(benchmark::State& state)
{
    BlendContest(state, 4, 128, PIXMAN_OP_ADD, 0x8000, PIXMAN_x8r8g8b8);
}
void CopyVsMemcpy(benchmark::State& state)
{
    auto d = Picture(At(state), 32, 1);
    auto s = Picture(At(state), 32, 2);
    std::vector<uint32_t> peer(size_t(d->GetWidth()) * d->GetHeight());
    Contest(
        state, [&] { Lib().blend(d.get(), s.get(), 0, 0, nullptr, 0, 255, 0); },
        [&] { std::memcpy(peer.data(), s->GetBits(), peer.size() * 4); }, Goal{.ratio = 0.8});
}

// --- scaled, parallelogram and transformed drawing --------------------------------------------

// A source of two thirds the size scaled up to the destination, nearest or bilinear, SRC or OVER.
void StretchContest(benchmark::State& state, DWORD mode, bool bilinear)
{
    const Size size = At(state);
    auto d = Picture(size, 32, 1);
    auto s = Picture(Size{size.width * 2 / 3, size.height * 2 / 3}, 32, 2);
    PeerPicture pd(*d, PIXMAN_x8r8g8b8);
    PeerPicture ps(*s, PIXMAN_a8r8g8b8, mode == 2);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(s->GetWidth()) / size.width),
                                pixman_double_to_fixed(double(s->GetHeight()) / size.height));
    pixman_image_set_transform(ps.image, &t);
    pixman_image_set_filter(ps.image, bilinear ? PIXMAN_FILTER_BILINEAR : PIXMAN_FILTER_NEAREST, nullptr, 0);
    const SIZE dstSize{size.width, size.height};
    Contest(
        state,
        [&] {
            Lib().stretchBlend(d.get(), s.get(), &dstSize, 0, 0, nullptr, mode, bilinear ? 1 : 0, 255, 0);
        },
        [&] { Composite(mode == 0 ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, ps.image, nullptr, pd); }, Goal{.ratio = 1.5});
}
void StretchNearestVsSrc(benchmark::State& state)
{
    StretchContest(state, 0, false);
}
void StretchBilinearVsSrc(benchmark::State& state)
{
    StretchContest(state, 0, true);
}
void StretchNearestVsOver(benchmark::State& state)
{
    StretchContest(state, 2, false);
}
void StretchBilinearVsOver(benchmark::State& state)
{
    StretchContest(state, 2, true);
}

// The destination-sized source turned by 30 degrees at zoom 1.5 about the destination's centre:
// entry 11 (corners) or 12 (the same mapping as a transform), against pixman's affine drawing.
void TurnContest(benchmark::State& state, DWORD mode, bool transformed, double goal)
{
    const Size size = At(state);
    auto d = Picture(size, 32, 1);
    auto s = Picture(size, 32, 2);
    PeerPicture pd(*d, PIXMAN_x8r8g8b8);
    PeerPicture ps(*s, PIXMAN_a8r8g8b8, mode == 2);
    const double a = M_PI / 6, z = 1.5, cx = size.width / 2.0, cy = size.height / 2.0;
    // Source (x, y) -> destination: turned counter-clockwise on the screen about the centre.
    const PixelLibTransform m{z * std::cos(a),
                              -z * std::sin(a),
                              z * std::sin(a),
                              z * std::cos(a),
                              cx - z * (std::cos(a) * cx + std::sin(a) * cy),
                              cy - z * (-std::sin(a) * cx + std::cos(a) * cy)};
    auto map = [&](double x, double y) {
        return PixelLibPoint{m.m11 * x + m.m21 * y + m.tx, m.m12 * x + m.m22 * y + m.ty};
    };
    const PixelLibPoint corners[3] = {map(0, 0), map(size.width, 0), map(0, size.height)};
    pixman_f_transform_t ft;
    pixman_f_transform_init_translate(&ft, -cx, -cy);
    pixman_f_transform_rotate(&ft, nullptr, std::cos(a), std::sin(a));
    pixman_f_transform_scale(&ft, nullptr, 1 / z, 1 / z);
    pixman_f_transform_translate(&ft, nullptr, cx, cy);
    pixman_transform_t t;
    pixman_transform_from_pixman_f_transform(&t, &ft);
    pixman_image_set_transform(ps.image, &t);
    pixman_image_set_filter(ps.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    Lib(); // loaded before anything is counted
    bench::AllocationTally tally;
    Contest(
        state, tally.Wrap([&] {
            transformed ? Lib().drawTransformed(d.get(), s.get(), &m, nullptr, mode, 0, 255, 0, 0, 0, nullptr)
                        : Lib().drawQuad(d.get(), s.get(), corners, nullptr, mode, 0, 255, 0, 0, 0, nullptr);
        }),
        [&] { Composite(mode == 0 ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, ps.image, nullptr, pd); },
        Goal{.ratio = goal});
    tally.Report(state, 0);
}
void QuadVsAffineSrc(benchmark::State& state)
{
    TurnContest(state, 0, false, 1.5);
}
void QuadVsAffineOver(benchmark::State& state)
{
    TurnContest(state, 2, false, 1.0);
}
void TransformVsAffineSrc(benchmark::State& state)
{
    TurnContest(state, 0, true, 1.0);
}
void TransformVsAffineOver(benchmark::State& state)
{
    TurnContest(state, 2, true, 1.0);
}

// --- mirrors and flips -----------------------------------------------------------------------

void TurnOverContest(benchmark::State& state, PixelLibRectOpFn entry, int bpp)
{
    auto d = Picture(At(state), bpp, 1);
    std::vector<uint8_t> peer(size_t(d->GetPitch()) * d->GetHeight());
    Contest(
        state, [&] { entry(d.get(), nullptr); }, [&] { std::memcpy(peer.data(), d->GetBits(), peer.size()); },
        Goal{.ratio = 0.8});
}
void Mirror32VsMemcpy(benchmark::State& state)
{
    TurnOverContest(state, Lib().mirror32, 32);
}
void Mirror8VsMemcpy(benchmark::State& state)
{
    TurnOverContest(state, Lib().mirror8, 8);
}
void Flip32VsMemcpy(benchmark::State& state)
{
    TurnOverContest(state, Lib().flip32, 32);
}
void Flip8VsMemcpy(benchmark::State& state)
{
    TurnOverContest(state, Lib().flip8, 8);
}

// --- two-source fades ------------------------------------------------------------------------

void CrossFade25VsSrcOver(benchmark::State& state)
{
    auto d = Picture(At(state), 32, 1);
    auto a = Picture(At(state), 32, 2);
    auto b = Picture(At(state), 32, 3);
    PeerPicture pd(*d, PIXMAN_a8r8g8b8), pa(*a, PIXMAN_a8r8g8b8), pb(*b, PIXMAN_x8r8g8b8);
    pixman_image_t* half = Solid(0x8000);
    const LONG w = d->GetWidth(), h = d->GetHeight();
    Contest(
        state, [&] { Lib().crossFade(d.get(), a.get(), b.get(), 128, 0, 0, 0, w, h, 0, 0, 0, 0); },
        [&] {
            Composite(PIXMAN_OP_SRC, pa.image, nullptr, pd);
            Composite(PIXMAN_OP_OVER, pb.image, half, pd);
        },
        Goal{.ratio = 1.5});
    pixman_image_unref(half);
}
void RuleFade26VsSrcOverA8(benchmark::State& state)
{
    auto d = Picture(At(state), 32, 1);
    auto a = Picture(At(state), 32, 2);
    auto b = Picture(At(state), 32, 3);
    auto rule = Picture(At(state), 8, 4);
    std::mt19937 random(5);
    for (LONG y = 0; y < rule->GetHeight(); ++y) {
        for (LONG x = 0; x < rule->GetWidth(); ++x) {
            rule->GetRowAddress(y)[x] = uint8_t((x + y + random() % 8) & 0xFF);
        }
    }
    PeerPicture pd(*d, PIXMAN_a8r8g8b8), pa(*a, PIXMAN_a8r8g8b8), pb(*b, PIXMAN_x8r8g8b8);
    pixman_image_t* mask =
        pixman_image_create_bits(PIXMAN_a8, rule->GetWidth(), rule->GetHeight(),
                                 reinterpret_cast<uint32_t*>(rule->GetBits()), rule->GetPitch());
    const LONG w = d->GetWidth(), h = d->GetHeight();
    Contest(
        state,
        [&] {
            Lib().ruleFade(d.get(), a.get(), b.get(), rule.get(), 128, 64, 0, 0, 0, w, h, 0, 0, 0, 0, 0, 0);
        },
        [&] {
            Composite(PIXMAN_OP_SRC, pa.image, nullptr, pd);
            Composite(PIXMAN_OP_OVER, pb.image, mask, pd);
        },
        Goal{.ratio = 1.5});
    pixman_image_unref(mask);
}

// --- the raster's own operations through the library against their own paths -----------------

class Library {
public:
    Library()
    {
        RegisterPixelLibraryModule();
        m_library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", nullptr));
    }
    void Use(bool on) { SetPixelLibrary(on ? m_library.get() : nullptr); }

private:
    std::unique_ptr<CPixelLibrary> m_library;
};

void HandOffContest(benchmark::State& state, const std::function<void(CImage&, const CImage&)>& op)
{
    static Library library;
    Lib();
    const Size size = kHandOffSizes[state.range(0)];
    auto d = Picture(size, 32, 1);
    auto s = Picture(size, 32, 2);
    Contest(
        state,
        [&] {
            library.Use(true);
            op(*d, *s);
        },
        [&] {
            library.Use(false);
            op(*d, *s);
        },
        Goal{.ratio = 1 / 1.03}, size.width < 100 ? 401 : 15);
    library.Use(false);
}
void CrossFadeThroughLibraryVsOwn(benchmark::State& state)
{
    HandOffContest(state, [](CImage& d, const CImage& s) { CrossFade(d, &s, 100, 0, 0, nullptr); });
}
void BlendAlphaThroughLibraryVsOwn(benchmark::State& state)
{
    HandOffContest(state, [](CImage& d, const CImage& s) { d.BlendAlpha(&s, 0, 0, nullptr, false); });
}

void Sizes(benchmark::internal::Benchmark* bench)
{
    bench->ArgName("size")->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(Fill32VsPixmanFill)->Apply(Sizes);
BENCHMARK(Fill32VsMemset)->Apply(Sizes);
BENCHMARK(Fill8VsMemset)->Apply(Sizes);
BENCHMARK(FillColorVsOverSolid)->Apply(Sizes);
BENCHMARK(FillColorAddVsOverSolid)->Apply(Sizes);
BENCHMARK(CrossFadeVsOverMask)->Apply(Sizes);
BENCHMARK(CopyVsMemcpy)->Apply(Sizes);
BENCHMARK(ByAlphaVsOver)->Apply(Sizes);
BENCHMARK(AlphaOnAlphaVsOver)->Apply(Sizes);
BENCHMARK(AddVsAddMask)->Apply(Sizes);
BENCHMARK(StretchNearestVsSrc)->Apply(Sizes);
BENCHMARK(StretchBilinearVsSrc)->Apply(Sizes);
BENCHMARK(StretchNearestVsOver)->Apply(Sizes);
BENCHMARK(StretchBilinearVsOver)->Apply(Sizes);
BENCHMARK(QuadVsAffineSrc)->Apply(Sizes);
BENCHMARK(QuadVsAffineOver)->Apply(Sizes);
BENCHMARK(TransformVsAffineSrc)->Apply(Sizes);
BENCHMARK(TransformVsAffineOver)->Apply(Sizes);
BENCHMARK(Mirror32VsMemcpy)->Apply(Sizes);
BENCHMARK(Mirror8VsMemcpy)->Apply(Sizes);
BENCHMARK(Flip32VsMemcpy)->Apply(Sizes);
BENCHMARK(Flip8VsMemcpy)->Apply(Sizes);
BENCHMARK(CrossFade25VsSrcOver)->Apply(Sizes);
BENCHMARK(RuleFade26VsSrcOverA8)->Apply(Sizes);
BENCHMARK(CrossFadeThroughLibraryVsOwn)->Apply(Sizes);
BENCHMARK(BlendAlphaThroughLibraryVsOwn)->Apply(Sizes);
