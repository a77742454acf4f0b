// Fuzz harness of the screen filters and named transitions: one of the fourteen made by name
// from the shipped rows for a canvas of 1-64 pixels a side (sometimes 8-bit), with a pack of any
// words (integers, NaN, infinite and huge doubles, texts, null and wrong-base objects, rule
// pictures of any size and depth); then steps at any times (backwards, across the wrap), Draw
// whole, in bands of any height and with stray jobs, IsDone, new parameters and the release.
// Nothing may read or write outside the pictures.
#include "display/surface_sprite.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "files/pixel_library.h"
#include "files/transition_plugin_manager.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "support/fuzz_input.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace {

const char* const kNames[] = {"cross", "rule",  "scroll",   "wave",      "mosaic", "rotaxis", "trans",
                              "tone",  "quake", "zoomflip", "rotcenter", "addsub", "hblur",   "ripple"};

struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        g_pCosTable = &cosines;
        RegisterRows(registry, GameTransitionRows());
        RegisterRows(registry, HostFilterRows());
    }
    std::unique_ptr<CPixelLibrary> library;
    CCosTable cosines;
    CTransitionPluginManager registry;
    SubtractiveRandomState state{};
    CImage stray8; // an 8-bit picture passed where others are expected
};

World& TheWorld()
{
    static World* world = new World;
    return *world;
}

// Any integer: the extremes, raw words, or (mostly) -1000 .. 64535.
int32_t Word(FuzzInput& in)
{
    const uint32_t v = in.U32();
    switch (v >> 29) {
    case 0: return INT32_MIN;
    case 1: return INT32_MAX;
    case 2: return static_cast<int32_t>(v);
    default: return static_cast<int32_t>(v & 0xFFFF) - 1000;
    }
}

CEffectArgs Pack(FuzzInput& in, CImageObject* canvas, CImage* rule)
{
    static const char* const kTexts[] = {"0.5", "nan", "inf", "1e300", "-2", "", " +2.5", "0", "1e-30", "x"};
    CEffectArgs pack;
    const int count = in.Small(9);
    for (int i = 0; i < count; ++i) {
        switch (in.Small(8)) {
        case 4: {
            const double doubles[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(), 1e300, -0.0, 0.25, 3.0};
            pack.AddDouble(doubles[in.Small(7)]);
            break;
        }
        case 5: pack.AddText(kTexts[in.Small(10)]); break;
        case 6: pack.AddPointer(nullptr); break;
        case 7:
            switch (in.Small(3)) {
            case 0: pack.AddObject(static_cast<CSurface*>(rule)); break;
            case 1: pack.AddObject(static_cast<CSurface*>(&TheWorld().stray8)); break;
            default: pack.AddObject(canvas); break;
            }
            break;
        default: pack.AddInt(Word(in)); break;
        }
    }
    return pack;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    World& world = TheWorld();
    SeedSubtractiveRandom(world.state, static_cast<int32_t>(in.U32()));
    SetEffectRandomSources(in.Small(16) == 0 ? nullptr : &world.state);
    const char* name = kNames[in.Small(14)];
    const int depth = in.Small(4) == 0 ? 8 : 32;
    const LONG w = 1 + in.Small(64), h = 1 + in.Small(64);
    CImage rule;
    const LONG rw = 1 + in.Small(80), rh = 1 + in.Small(80);
    if (rule.Create(rw, rh, in.Small(2) ? 8 : 32, 0) == 0)
        rule.FillRect32(in.U32(), nullptr);
    if (world.stray8.GetBits() == nullptr)
        world.stray8.Create(3, 3, 8, 0);
    CSurfaceSprite front, back;
    if (front.Create(w, h, depth, 1) != 0 || back.Create(w, h, depth, 1) != 0)
        return 0;
    front.GetImage()->FillRect32(in.U32(), nullptr);
    back.GetImage()->FillRect32(in.U32(), nullptr);
    auto* filter =
        static_cast<CScreenFilter*>(world.registry.CreateObject(&front, name, Pack(in, &front, &rule)));
    if (filter == nullptr)
        return 0;
    CImage out;
    if (out.Create(w, h, 32, 0) != 0) {
        filter->Release();
        return 0;
    }
    CImage* old = front.GetImage();
    CImage* fresh = filter->GetObjectType() <= 1 ? back.GetImage() : nullptr;
    uint32_t now = in.U32();
    for (int op = 0; op < 64 && !in.AtEnd(); ++op) {
        switch (in.Small(10)) {
        case 0:
        case 1:
        case 2:
            now += in.Small(8) == 0 ? in.U32() : static_cast<uint32_t>(in.Small(300));
            filter->Step(now);
            break;
        case 3:
            now -= static_cast<uint32_t>(in.Small(500));
            filter->Step(now);
            break;
        case 4:
            filter->Draw(FilterJob{0, 0, w, h, &out, 0, 0, old, 0, 0, fresh, 0, 0});
            break;
        case 5: {
            const LONG band = 1 + in.Small(70);
            for (LONG y = 0; y < h; y += band)
                filter->Draw(FilterJob{0, y, w, std::min(band, h - y), &out, 0, y, old, 0, y, fresh, 0, y});
            break;
        }
        case 6: {
            // A stray job: offsets and sizes around the pictures' edges.
            auto near = [&](LONG limit) { return static_cast<LONG>(in.Small(static_cast<int>(limit) + 6)) - 3; };
            filter->Draw(FilterJob{near(w), near(h), near(w), near(h), &out, near(w), near(h), old, near(w), near(h),
                                   in.Small(2) ? fresh : nullptr, near(w), near(h)});
            break;
        }
        case 7:
            filter->IsDone();
            break;
        case 8:
            filter->SetParamsV(in.Small(8) ? &front : nullptr, Pack(in, &front, &rule));
            break;
        default:
            filter->Release();
            filter = nullptr;
            break;
        }
        if (filter == nullptr)
            break;
    }
    if (filter)
        filter->Release();
    SetEffectRandomSources(nullptr);
    return 0;
}
