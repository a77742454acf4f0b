// Fuzz harness of the step-list effects: sp_panime, bg_panime, sp_change and sp_parts made by name,
// and the direct applies of sp_panime and bg_panime, with step lists from a table or from the
// bytes, packs of any words (NaN and infinite doubles, wrong-base objects), canvases of 0-64 pixels
// a side at 8 or 32 bits and sprites of 0-40 pixels, then steps at any times mixed with SetParams,
// QueryV, pause, resume, cancel and redraws. Nothing may read or write outside the pictures, no
// step may hang, and the old sprite of sp_change is freed exactly once.
#include "authoring/effect_data.h"
#include "display/surface_sprite.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/bg_panime.h"
#include "effects/effect_rows.h"
#include "effects/layer_effect.h"
#include "effects/sp_panime.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cos_table.h"
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

const char* const kLists[] = {
    "1000 P100,50O0", "100 P10,0 P20,0", "F 100 P10,0 B P20,0 S P5,5 N", "A2 50 P1,1Z2R90 o3,4 z P0,0Z0.5",
    "!l 500 c", "M10 >>>]2^1 300 A-1.5", "1 P1,1 1 P2,2", "P-2147483648,2147483647Z1e300R-1e300",
    "0 P1,1 0 P2,2", "L7 $3%2_1[1 p-5,5 2000", "S P0,0 P10,10 P0,20 P30,0 100",
};
const char* const kPartsLists[] = {"SYS\\CA040.TXT", "SYS\\NONE.TXT", "", "SYS\\CA040_EYE.ELG"};

struct World {
    World()
    {
        IdentifyCpu();
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        folder = (std::filesystem::temp_directory_path() / ("tessaro-fuzz-steps-" + std::to_string(getpid()))).string();
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
        g_pCosTable = &cosines;
    }
    ~World()
    {
        g_pCosTable = nullptr;
        g_pObjectPluginManager = nullptr;
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
        SetPixelLibrary(nullptr);
        std::error_code code;
        std::filesystem::remove_all(folder, code);
    }
    std::unique_ptr<CPixelLibrary> library;
    std::string folder;
    CFileManager files;
    CGllManager loaders;
    CObjectPluginManager registry;
    CCosTable cosines;
    CImage stray; // a wrong-base object for packs
};

World& TheWorld()
{
    static World world;
    return world;
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

double Double(FuzzInput& in)
{
    const double doubles[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(), 1e300, -0.0, 0.25, 1.0, 2.0};
    return doubles[in.Small(8)];
}

// A step list from the table, or up to 24 bytes of the input.
std::string List(FuzzInput& in)
{
    if (in.Small(3) != 0)
        return kLists[in.Small(static_cast<int>(std::size(kLists)))];
    std::string text;
    const int n = in.Small(25);
    for (int i = 0; i < n; ++i)
        text.push_back(static_cast<char>(in.Byte() ? in.Byte() : ' '));
    return text;
}

// A picture of 0-40 pixels a side (none when a side is 0) at 8 or 32 bits.
std::unique_ptr<CImage> Picture(FuzzInput& in)
{
    auto image = std::make_unique<CImage>();
    const LONG w = in.Small(41), h = in.Small(41);
    if (image->Create(w, h, in.Small(4) ? 32 : 8, 0) == 0)
        image->FillRect32(in.U32(), nullptr);
    image->SetAlphaFlag(in.Small(2) != 0);
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    World& world = TheWorld();
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
    // The new sprite lives here; the old one is handed over to sp_change.
    auto newImage = Picture(in);
    CSprite newSprite;
    newSprite.SetImage(newImage.get(), nullptr, Word(in) % 50, Word(in) % 50);
    if (front.GetScene() && in.Small(4) != 0)
        front.GetScene()->GetList().Insert(&newSprite, static_cast<uint32_t>(in.Small(40)), 0);
    CImage* oldImage = Picture(in).release();
    auto* oldSprite = new CSprite;
    oldSprite->SetImage(oldImage, nullptr, Word(in) % 50, Word(in) % 50);
    if (front.GetScene() && in.Small(4) != 0)
        front.GetScene()->GetList().Insert(oldSprite, static_cast<uint32_t>(in.Small(40)), 0);
    if (in.Small(4) == 0)
        oldSprite->SetSize(in.Small(20), in.Small(20));
    bool oldOwned = false;

    CTimerManager scheduler;
    CTimerManager* manager = in.Small(8) ? &scheduler : nullptr;
    CImageObject* target = in.Small(8) ? &front : nullptr;
    CDrawable* sprite = in.Small(8) ? static_cast<CDrawable*>(&newSprite) : nullptr;
    const std::string list = List(in);
    CLayerEffect* effect = nullptr;
    const int what = in.Small(6);
    if (what < 4) {
        static const char* const kNames[] = {"sp_panime", "bg_panime", "sp_change", "sp_parts"};
        effect = dynamic_cast<CLayerEffect*>(world.registry.CreateRaw(kNames[what]));
        CEffectArgs pack;
        switch (what) {
        case 0: pack = CEffectArgs::Of(sprite, list, Word(in), in.Small(2), in.Small(2)); break;
        case 1:
            pack = CEffectArgs::Of(list, Word(in), in.Small(3) ? 65535 : Word(in), in.Small(2), in.Small(2),
                                   in.Small(2), in.Small(2));
            break;
        case 2:
            pack = CEffectArgs::Of(sprite, in.Small(8) ? static_cast<CDrawable*>(oldSprite) : nullptr, list,
                                   in.Small(6), in.Small(50), in.Small(2), Word(in), in.Small(2));
            break;
        default:
            pack = CEffectArgs::Of(kPartsLists[in.Small(4)], Word(in) % 100, Word(in) % 100, in.Small(200),
                                   in.Small(2), Double(in), in.Small(2), in.Small(2), in.Small(2), in.Small(2),
                                   in.Small(2));
            break;
        }
        if (in.Small(16) == 0)
            pack.AddObject(static_cast<CSurface*>(&world.stray));
        const int code = effect->SetUpV(manager, target, pack);
        if (code != 0) {
            effect->Release();
            effect = nullptr;
        } else {
            oldOwned = what == 2;
            effect->SetOwnerSlot(&effect);
        }
    } else {
        CEffectArgs out;
        if (what == 4)
            ApplySpPanimeDirect(in.Small(4) ? CEffectArgs::Of(1, sprite, list) : CEffectArgs::Of(0, Word(in), Word(in)),
                                &out);
        else
            ApplyBgPanimeDirect(CEffectArgs::Of(target, list), in.Small(2) ? &out : nullptr);
    }
    uint32_t now = in.U32();
    for (int op = 0; op < 64 && !in.AtEnd(); ++op) {
        switch (in.Small(9)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            now += in.Small(8) == 0 ? in.U32() : static_cast<uint32_t>(in.Small(200));
            scheduler.RunDue(now);
            break;
        }
        case 4:
            if (effect)
                effect->SetParams(in.Small(4), Word(in), Word(in), Word(in));
            break;
        case 5:
            if (effect) {
                CEffectArgs out;
                effect->QueryV(CEffectArgs::Of(Word(in)), &out);
            }
            break;
        case 6:
            in.Small(2) ? scheduler.PauseKind(-1) : scheduler.ResumeKind(-1);
            break;
        case 7:
            if (effect)
                scheduler.Cancel(effect);
            break;
        default:
            if (front.GetScene())
                front.GetScene()->Redraw(nullptr, nullptr, 0, 0);
            break;
        }
    }
    scheduler.CancelAll();
    if (!oldOwned) {
        delete oldSprite;
        delete oldImage;
    }
    return 0;
}
