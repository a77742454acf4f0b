// Scenes and sprites against pixman composing the same pixels: a whole 1920x1080 frame of a
// background and 50, 200 or 500 soft-alpha sprites (banded and not), the sprite blend at alpha 255
// and 128, the smooth scaled rendering, the rotate-zoom rendering, and an 800x600 scene composed
// from scratch. Each contest times both sides alternately on the same work and reports the
// medians and the ratio (peer time / our time: above 1 means ours is faster).
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "files/pixel_library.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include "alloc_count.h"
#include "contest.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

// The pixel library and cosine table, as start-up publishes them.
struct Environment {
    Environment()
    {
        IdentifyCpu(); // the SIMD kernels where the processor has them, as at start-up
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        g_pCosTable = &cos;
    }
    std::unique_ptr<CPixelLibrary> library;
    CCosTable cos;
};
Environment& Env()
{
    static Environment env;
    return env;
}

using bench::Contest;

// An image with sprite-like alpha: opaque, clear and soft runs (or opaque throughout).
std::unique_ptr<CImage> MakeImage(int w, int h, uint32_t seed, bool soft)
{
    auto image = std::make_unique<CImage>();
    image->Create(w, h, 32, 0);
    std::mt19937 random(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image->GetRowAddress(y));
        for (int x = 0; x < w;) {
            const int run = std::min(w - x, 8 + static_cast<int>(random() % 120));
            const uint32_t kind = random() % 5;
            for (int k = 0; k < run; ++k, ++x) {
                const uint32_t alpha =
                    !soft ? 255 : kind < 2 ? 255 : kind < 4 ? 0 : static_cast<uint32_t>(random() & 255);
                row[x] = alpha << 24 | (static_cast<uint32_t>(random()) & 0xFFFFFF);
            }
        }
    }
    image->SetAlphaFlag(soft);
    return image;
}

pixman_image_t* PixmanOf(CImage& image)
{
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, image.GetWidth(), image.GetHeight(),
                                    reinterpret_cast<uint32_t*>(image.GetBits()), image.GetPitch());
}

// A background and n sprites of 64 to 256 pixels a side with soft alpha, both sides.
struct Frame {
    Frame(int width, int height, int count, int minSide, int maxSide, uint32_t seed)
    {
        Env();
        target.Create(width, height, 32, 0);
        background = MakeImage(width, height, seed, false);
        scene.SetTarget(&target, false);
        scene.SetBackgroundImage(background.get(), 0, 0, false);
        std::mt19937 random(seed + 1);
        for (int i = 0; i < count; ++i) {
            const int w = minSide + static_cast<int>(random() % static_cast<uint32_t>(maxSide - minSide + 1));
            const int h = minSide + static_cast<int>(random() % static_cast<uint32_t>(maxSide - minSide + 1));
            images.push_back(MakeImage(w, h, seed + 10 + static_cast<uint32_t>(i), true));
            auto sprite = std::make_unique<CSprite>();
            const int x = static_cast<int>(random() % static_cast<uint32_t>(width - w));
            const int y = static_cast<int>(random() % static_cast<uint32_t>(height - h));
            sprite->SetImage(images.back().get(), nullptr, x, y);
            scene.GetList().Insert(sprite.get(), static_cast<uint32_t>(i), 0);
            pixSprites.push_back({PixmanOf(*images.back()), x, y, w, h});
            sprites.push_back(std::move(sprite));
        }
        peerTarget.Create(width, height, 32, 0);
        pixTarget = PixmanOf(peerTarget);
        pixBackground = PixmanOf(*background);
    }
    ~Frame()
    {
        for (auto& s : pixSprites)
            pixman_image_unref(s.image);
        pixman_image_unref(pixTarget);
        pixman_image_unref(pixBackground);
    }
    void Ours()
    {
        scene.InvalidateAll();
        scene.Redraw(nullptr, nullptr, 0, 0);
    }
    void Peer()
    {
        const int w = target.GetWidth(), h = target.GetHeight();
        pixman_image_composite32(PIXMAN_OP_SRC, pixBackground, nullptr, pixTarget, 0, 0, 0, 0, 0, 0, w, h);
        // The back of the list first, as the scene draws it.
        for (auto it = pixSprites.rbegin(); it != pixSprites.rend(); ++it)
            pixman_image_composite32(PIXMAN_OP_OVER, it->image, nullptr, pixTarget, 0, 0, 0, 0, it->x, it->y, it->w,
                                     it->h);
    }
    struct PixSprite {
        pixman_image_t* image;
        int x, y, w, h;
    };
    CImage target, peerTarget;
    std::unique_ptr<CImage> background;
    std::vector<std::unique_ptr<CImage>> images;
    std::vector<std::unique_ptr<CSprite>> sprites;
    std::vector<PixSprite> pixSprites;
    CScene scene;
    pixman_image_t* pixTarget = nullptr;
    pixman_image_t* pixBackground = nullptr;
};

void SceneRedrawFullFrame(benchmark::State& state)
{
    Frame frame(1920, 1080, static_cast<int>(state.range(0)), 64, 256, 5);
    const uint8_t saved = g_bBandedRedraw;
    g_bBandedRedraw = static_cast<uint8_t>(state.range(1));
    Contest(state, [&] { frame.Ours(); }, [&] { frame.Peer(); }, bench::Goal{.ratio = 1.5}, 7);
    bench::ReportAllocations(state, [&] { frame.Ours(); });
    g_bBandedRedraw = saved;
}

void SceneFromScratch800x600(benchmark::State& state)
{
    Frame frame(800, 600, 3, 300, 300, 9);
    // Three 300 x 500 sprites.
    for (size_t i = 0; i < 3; ++i) {
        frame.images[i] = MakeImage(300, 500, 20 + static_cast<uint32_t>(i), true);
        frame.sprites[i]->SetImage(frame.images[i].get(), nullptr, 40 + 240 * static_cast<int>(i), 50);
        pixman_image_unref(frame.pixSprites[i].image);
        frame.pixSprites[i] = {PixmanOf(*frame.images[i]), 40 + 240 * static_cast<int>(i), 50, 300, 500};
    }
    // Well under 1 ms on one core (aim 0.5 ms); no ratio is asked of it.
    Contest(state, [&] { frame.Ours(); }, [&] { frame.Peer(); }, bench::Goal{.ms = 1.0}, 31);
}

void SpriteBlendVsOver(benchmark::State& state)
{
    Env();
    const int alpha = static_cast<int>(state.range(0));
    auto source = MakeImage(1024, 768, 3, true);
    auto target = MakeImage(1024, 768, 4, false);
    auto peerTarget = MakeImage(1024, 768, 4, false);
    CSprite sprite;
    sprite.SetImage(source.get(), nullptr, 0, 0);
    sprite.SetAlpha(static_cast<BYTE>(alpha));
    pixman_image_t* s = PixmanOf(*source);
    pixman_image_t* d = PixmanOf(*peerTarget);
    pixman_color_t grey{0, 0, 0, static_cast<uint16_t>(alpha * 257)};
    pixman_image_t* mask = alpha == 255 ? nullptr : pixman_image_create_solid_fill(&grey);
    Contest(
        state, [&] { sprite.Draw(target.get(), nullptr); },
        [&] { pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, 0, 0, 0, 0, 0, 0, 1024, 768); },
        bench::Goal{.ratio = 1.5});
    if (mask)
        pixman_image_unref(mask);
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void RenderScaledVsBilinear(benchmark::State& state)
{
    Env();
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    auto source = MakeImage(640, 480, 6, true);
    CSprite sprite;
    sprite.SetImage(source.get(), nullptr, 0, 0);
    sprite.SetDrawMode(1); // smooth
    CImage peerTarget;
    peerTarget.Create(w, h, 32, 0);
    pixman_image_t* s = PixmanOf(*source);
    pixman_image_t* d = PixmanOf(peerTarget);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(640.0 / w), pixman_double_to_fixed(480.0 / h));
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    Contest(
        state,
        [&] {
            sprite.SetSize(0, 0); // the work image stays; the next size renders again
            sprite.SetSize(w, h);
        },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h); },
        bench::Goal{.ratio = 1.5});
    pixman_image_unref(s);
    pixman_image_unref(d);
}

void RotateZoomVsAffine(benchmark::State& state)
{
    Env();
    auto source = MakeImage(512, 512, 7, true);
    CSprite sprite;
    sprite.SetImage(source.get(), nullptr, 0, 0);
    sprite.SetDrawMode(1);
    const int angle = 43; // 30 degrees in 512 steps a turn
    const double zoom = 1.3;
    sprite.SetRotateZoom(angle, zoom);
    const int w = sprite.GetWorkImage()->GetWidth(), h = sprite.GetWorkImage()->GetHeight();
    CImage peerTarget;
    peerTarget.Create(w, h, 32, 0);
    pixman_image_t* s = PixmanOf(*source);
    pixman_image_t* d = PixmanOf(peerTarget);
    pixman_f_transform_t forward, reverse;
    pixman_f_transform_init_identity(&forward);
    pixman_f_transform_init_identity(&reverse);
    const double theta = -angle * 2 * M_PI / 512;
    pixman_f_transform_translate(&forward, &reverse, -256, -256);
    pixman_f_transform_scale(&forward, &reverse, zoom, zoom);
    pixman_f_transform_rotate(&forward, &reverse, std::cos(theta), std::sin(theta));
    pixman_f_transform_translate(&forward, &reverse, w / 2.0, h / 2.0);
    pixman_transform_t t;
    pixman_transform_from_pixman_f_transform(&t, &reverse);
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    int turn = 0;
    Contest(
        state, [&] { sprite.SetRotateZoom(angle + 512 * (++turn & 1), zoom); },
        [&] { pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h); },
        bench::Goal{.ratio = 1.0}); // at least the affine transform's speed
    bench::ReportAllocations(state, [&] { sprite.SetRotateZoom(angle + 512 * (++turn & 1), zoom); });
    pixman_image_unref(s);
    pixman_image_unref(d);
}

BENCHMARK(SceneRedrawFullFrame)
    ->ArgsProduct({{50, 200, 500}, {0, 1}})
    ->ArgNames({"sprites", "banded"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SceneFromScratch800x600)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SpriteBlendVsOver)->Arg(255)->Arg(128)->ArgName("alpha")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(RenderScaledVsBilinear)
    ->Args({1280, 960})
    ->Args({320, 240})
    ->ArgNames({"w", "h"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(RotateZoomVsAffine)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
