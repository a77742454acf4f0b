// Fuzz harness of the background and sprite effects: an effect made by name (every bg_* and sp_*
// name the registries hold), a pack of any words (integers, NaN and infinite doubles, decimal
// texts, texts as bg_haze groups and bg_blur paths, null and wrong-base objects, sprites with
// pictures of any size: none, 1x1, 8-bit), canvases of 0-64 pixels a side with or without a
// background and a back page, then steps at any times mixed with SetParams, QueryV, pause,
// resume and cancel; and the direct-apply functions. Nothing may read or write outside the
// pictures, no step may spin, and every effect must end cleanly.
#include "authoring/effect_data.h"
#include "display/surface_sprite.h"
#include "drawing/kad_file.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/bg_anime.h"
#include "effects/bg_effects.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "effects/layer_effect.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "support/fuzz_input.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        folder = (std::filesystem::temp_directory_path() / ("tessaro-fuzz-bgsp-" + std::to_string(getpid())))
                     .string();
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
        RegisterRows(registry, GameEffectRows());
        g_pObjectPluginManager = &registry;
        for (const auto& kind : registry.GetKinds())
            if (std::strncmp(kind.name, "bg_", 3) == 0 || std::strncmp(kind.name, "sp_", 3) == 0)
                names.push_back(kind.name);
        kad.Load("ANIME\\BG.KAD");
        SeedSubtractiveRandom(state, 7);
        SetEffectRandomSources(&state);
    }
    std::unique_ptr<CPixelLibrary> library;
    std::string folder;
    CFileManager files;
    CGllManager loaders;
    CObjectPluginManager registry;
    std::vector<std::string> names;
    CKadFile kad;
    CCosTable cosines;
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
    case 0:
        return INT32_MIN;
    case 1:
        return INT32_MAX;
    case 2:
        return static_cast<int32_t>(v);
    default:
        return static_cast<int32_t>(v % 300) - 60;
    }
}

// A picture of any size and depth, or none.
std::unique_ptr<CImage> Picture(FuzzInput& in)
{
    auto image = std::make_unique<CImage>();
    switch (in.Small(4)) {
    case 0:
        return image; // no pixels
    case 1:
        image->Create(1, 1, 32, 0);
        break;
    case 2:
        image->Create(1 + in.Small(40), 1 + in.Small(40), 8, 0);
        break;
    default:
        image->Create(1 + in.Small(80), 1 + in.Small(80), 32, 0);
        break;
    }
    if (image->GetBits() != nullptr)
        image->FillRect32(in.U32(), nullptr);
    return image;
}

struct Pieces {
    std::vector<std::unique_ptr<CImage>> pictures;
    std::vector<std::unique_ptr<CSprite>> sprites;
    CSprite* heapOld = nullptr; // sp_cfade's and sp_change's old sprite: the effect's once set up
    CImage* heapOldPicture = nullptr;
};

CSprite* Sprite(FuzzInput& in, Pieces& pieces, CScene* scene)
{
    pieces.pictures.push_back(Picture(in));
    pieces.sprites.push_back(std::make_unique<CSprite>());
    CSprite* sprite = pieces.sprites.back().get();
    sprite->SetImage(pieces.pictures.back().get(), nullptr, in.Small(80) - 10, in.Small(80) - 10);
    if (scene != nullptr && in.Small(4) != 0)
        scene->GetList().Insert(sprite, in.Small(4), 0);
    if (in.Small(4) == 0)
        sprite->SetRotateZoom(in.Small(512), 0.5 + in.Small(4) * 0.5);
    sprite->SetVisible(in.Small(3) != 0);
    return sprite;
}

void AddValue(FuzzInput& in, CEffectArgs& pack, World& world, CImageObject* canvas, Pieces& pieces,
              CScene* scene)
{
    static const char* const kTexts[] = {"0.5",
                                         "nan",
                                         "inf",
                                         "1e999",
                                         "-3",
                                         "",
                                         " +2.5",
                                         "0",
                                         "2.0",
                                         "(1,0,10)",
                                         "(1,0,20)(3,40,6)",
                                         "(0,0,1.0)(20,10,2.0)(40,30,1.5)",
                                         "(1,2)",
                                         "((",
                                         "x"};
    switch (in.Small(10)) {
    case 0:
    case 1:
    case 2:
        pack.AddInt(Word(in));
        break;
    case 3: {
        const double doubles[] = {std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  1e300,
                                  -0.0,
                                  0.25};
        pack.AddDouble(doubles[in.Small(6)]);
        break;
    }
    case 4:
        pack.AddText(kTexts[in.Small(15)]);
        break;
    case 5:
        pack.AddPointer(nullptr);
        break;
    case 6:
        pack.AddObject(static_cast<CSurface*>(&world.stray));
        break;
    case 7:
        pack.AddObject(static_cast<CDrawable*>(Sprite(in, pieces, scene)));
        break;
    case 8:
        pack.AddObject(static_cast<CGroupFile*>(in.Small(2) ? &world.kad : nullptr));
        break;
    default:
        pack.AddObject(canvas);
        break;
    }
}

CEffectArgs Pack(FuzzInput& in, World& world, CImageObject* canvas, Pieces& pieces, CScene* scene, bool cfade)
{
    CEffectArgs pack;
    const int count = in.Small(18);
    const bool typed = in.Small(3) != 0;
    for (int i = 0; i < count; ++i) {
        if (cfade && i == 1) {
            // The old sprite as the scenario engine hands it: detached, on the heap.
            pieces.heapOldPicture = Picture(in).release();
            pieces.heapOld = new CSprite;
            if (pieces.heapOld->SetImage(pieces.heapOldPicture, nullptr, in.Small(60), in.Small(60)) != 0) {
                delete pieces.heapOldPicture; // a sprite without picture hands over none
                pieces.heapOldPicture = nullptr;
            }
            pack.AddObject(static_cast<CDrawable*>(pieces.heapOld));
        } else if (typed) {
            AddValue(in, pack, world, canvas, pieces, scene);
        } else {
            pack.AddInt(Word(in));
        }
    }
    return pack;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    World& world = TheWorld();
    g_pCosTable = in.Small(16) == 0 ? nullptr : &world.cosines;
    g_bBgAnimeKeepTime = in.Small(2);
    const int depth = in.Small(4) == 0 ? 8 : 32;
    const LONG w = in.Small(65), h = in.Small(65);
    // Canvases and pictures first: the scheduler (declared after) deletes the effects before them.
    CSurfaceSprite front, back;
    front.Create(w, h, depth, 1);
    back.Create(w, h, depth, 1);
    if (in.Small(4) != 0)
        front.SetBackCanvas(&back);
    CImage background;
    if (in.Small(5) != 0 && background.Create(w + in.Small(5), h + in.Small(5), depth, 0) == 0 &&
        front.GetScene()) {
        background.FillRect32(in.U32(), nullptr);
        front.GetScene()->SetBackgroundImage(&background, in.Small(9) - 4, in.Small(9) - 4, true);
        if (back.GetScene())
            back.GetScene()->SetBackgroundImage(&background, 0, 0, true);
    }
    Pieces pieces;
    CTimerManager scheduler;
    const std::string& name =
        world.names[static_cast<size_t>(in.Small(static_cast<int>(world.names.size())))];
    // Both take word 1 as a detached old sprite that they own once set up.
    const bool cfade = name == "sp_cfade" || name == "sp_change";
    CLayerEffect* effect = dynamic_cast<CLayerEffect*>(world.registry.CreateRaw(name.c_str()));
    const CEffectArgs pack = Pack(in, world, &front, pieces, front.GetScene(), cfade);
    const int result =
        effect->SetUpV(in.Small(8) ? &scheduler : nullptr, in.Small(8) ? &front : nullptr, pack);
    if (result != 0) {
        effect->Release();
        effect = nullptr;
        if (pieces.heapOld != nullptr) {
            delete pieces.heapOld;
            delete pieces.heapOldPicture;
        }
    } else {
        effect->SetOwnerSlot(&effect);
    }
    uint32_t now = in.U32();
    for (int op = 0; op < 64 && !in.AtEnd(); ++op) {
        switch (in.Small(9)) {
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
                effect->SetParamsV(Pack(in, world, &front, pieces, front.GetScene(), false));
            break;
        case 5:
            if (effect) {
                CEffectArgs out;
                effect->QueryV(Pack(in, world, &front, pieces, front.GetScene(), false), &out);
            }
            break;
        case 6:
            in.Small(2) ? scheduler.PauseKind(-1) : scheduler.ResumeKind(-1);
            break;
        case 7:
            if (effect)
                scheduler.Cancel(effect);
            break;
        default: {
            CEffectArgs out;
            const CEffectArgs direct = Pack(in, world, &front, pieces, front.GetScene(), false);
            switch (in.Small(3)) {
            case 0:
                ApplyBgZoomDirect(direct, in.Small(2) ? &out : nullptr);
                break;
            case 1:
                ApplyBgBlurDirect(direct, in.Small(2) ? &out : nullptr);
                break;
            default:
                SetBgAnimeFlag(direct, &out);
                break;
            }
            if (front.GetScene())
                front.GetScene()->Redraw(nullptr, nullptr, 0, 0);
            break;
        }
        }
    }
    scheduler.CancelAll();
    return 0;
}
