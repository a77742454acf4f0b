// Fuzz harness of the effect objects: a layer effect made by name (or a rectangle wipe, or a
// cursor move), a pack of any words (integers, NaN and infinite doubles, texts, null and
// wrong-base objects), canvases of 0-64 pixels a side at 8 or 32 bits, then steps at any times
// (backwards, across the wrap) mixed with SetParams, QueryV, pause, resume, cancel and page swaps.
// Nothing may read or write outside the pictures, and every effect must end cleanly.
#include "authoring/effect_data.h"
#include "display/app_frame.h"
#include "display/surface_sprite.h"
#include "effects/cursor_move.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "effects/layer_effect.h"
#include "effects/wipe_task.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "support/fuzz_input.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

const char* const kNames[] = {"quake", "noise", "paper", "light", "snow", "rain"};

struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        folder = (std::filesystem::temp_directory_path() / ("tessaro-fuzz-effects-" + std::to_string(getpid()))).string();
        std::string error;
        effect_data::Write(folder, 5, &error);
        std::string windows = "Z:" + folder + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder(windows.c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        RegisterRows(registry, HostEffectRows());
        g_pObjectPluginManager = &registry;
    }
    std::unique_ptr<CPixelLibrary> library;
    std::string folder;
    CFileManager files;
    CGllManager loaders;
    CObjectPluginManager registry;
    SubtractiveRandomState state{};
    CImage stray; // a wrong-base object for packs
};

World& TheWorld()
{
    static World* world = new World;
    return *world;
}

int32_t Word(FuzzInput& in)
{
    const uint32_t v = in.U32();
    switch (v >> 29) {
    case 0: return INT32_MIN;
    case 1: return INT32_MAX;
    case 2: return static_cast<int32_t>(v);
    default: return static_cast<int32_t>(v % 300) - 60;
    }
}

void AddValue(FuzzInput& in, CEffectArgs& pack, World& world, CImageObject* canvas)
{
    static const char* const kTexts[] = {"0.5", "nan", "inf", "1e999", "-3", "", " +2.5", "0", "x"};
    switch (in.Small(8)) {
    case 0:
    case 1:
    case 2: pack.AddInt(Word(in)); break;
    case 3: {
        const double doubles[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(), 1e300, -0.0, 0.25};
        pack.AddDouble(doubles[in.Small(6)]);
        break;
    }
    case 4: pack.AddText(kTexts[in.Small(9)]); break;
    case 5: pack.AddPointer(nullptr); break;
    case 6: pack.AddObject(static_cast<CSurface*>(&world.stray)); break;
    default: pack.AddObject(canvas); break;
    }
}

CEffectArgs Pack(FuzzInput& in, World& world, CImageObject* canvas)
{
    CEffectArgs pack;
    // Mostly integer words in the places the effects read, sometimes anything.
    const int count = in.Small(11);
    const bool typed = in.Small(4) == 0;
    for (int i = 0; i < count; ++i) {
        if (typed)
            AddValue(in, pack, world, canvas);
        else if (i == 4 && in.Small(2))
            pack.AddText(in.Small(2) ? "0.5" : "nan");
        else
            pack.AddInt(Word(in));
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
    const int depth = in.Small(2) ? 32 : 8;
    const LONG w = in.Small(65), h = in.Small(65);
    CSurfaceSprite front, back;
    front.Create(w, h, depth, 1);
    back.Create(w, h, depth, 1);
    if (in.Small(4) != 0)
        front.SetBackCanvas(&back);
    CImage background;
    if (background.Create(w + in.Small(5), h + in.Small(5), depth, 0) == 0 && front.GetScene()) {
        background.FillRect32(in.U32(), nullptr);
        front.GetScene()->SetBackgroundImage(&background, in.Small(9) - 4, in.Small(9) - 4, true);
        if (back.GetScene())
            back.GetScene()->SetBackgroundImage(&background, 0, 0, true);
    }
    CTimerManager scheduler;
    uint32_t now = in.U32();
    const int what = in.Small(8);
    CLayerEffect* effect = nullptr;
    CWipeTask* wipe = nullptr;
    CWipeRunner runner{&scheduler};
    if (what < 6) {
        CPluginEffect* object = world.registry.CreateRaw(kNames[what]);
        effect = dynamic_cast<CLayerEffect*>(object);
        const CEffectArgs pack = Pack(in, world, &front);
        if (effect->SetUpV(in.Small(8) ? &scheduler : nullptr, in.Small(8) ? &front : nullptr, pack) != 0) {
            effect->Release();
            effect = nullptr;
        } else {
            effect->SetOwnerSlot(&effect);
        }
    } else if (what == 6) {
        int32_t words[8];
        for (int32_t& word : words)
            word = in.Small(4) == 0 ? 65535 : Word(in);
        wipe = StartWipeTask(&runner, Word(in), static_cast<uint32_t>(Word(in)), front.GetImage(),
                             in.Small(4) ? back.GetImage() : nullptr, words);
    } else {
        // Without an active frame a move only jumps (mode 2) or refuses.
        auto* move = new CCursorMoveEffect;
        if (move->Setup(&scheduler, g_pAppFrame, Word(in), Word(in), in.U32(), 0.0, in.Byte() % 3) != 0)
            delete move;
    }
    for (int op = 0; op < 64 && !in.AtEnd(); ++op) {
        switch (in.Small(10)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const uint32_t step = in.Small(8) == 0 ? in.U32() : static_cast<uint32_t>(in.Small(200));
            now += step;
            scheduler.RunDue(now);
            break;
        }
        case 4:
            if (effect)
                effect->SetParamsV(Pack(in, world, &front));
            break;
        case 5:
            if (effect) {
                CEffectArgs out;
                effect->QueryV(Pack(in, world, &front), &out);
            }
            break;
        case 6:
            in.Small(2) ? scheduler.PauseKind(-1) : scheduler.ResumeKind(-1);
            break;
        case 7:
            if (effect)
                scheduler.Cancel(effect);
            if (wipe && in.Small(2))
                CancelWipeTask(&runner, wipe);
            break;
        case 8:
            front.SwapScenes(&back);
            break;
        default:
            if (wipe && IsWipeTaskAlive(&runner, wipe))
                FinishWipeTask(&runner, wipe);
            if (front.GetScene())
                front.GetScene()->Redraw(nullptr, nullptr, 0, 0);
            break;
        }
    }
    scheduler.CancelAll();
    return 0;
}
