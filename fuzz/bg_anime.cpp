// Fuzz harness of bg_anime: KAD bytes that CKadFile accepts, a frame file of any bytes (written
// as F0..F3.ELG beside it), a set-up of any words, then steps at any times (keeping time or not)
// mixed with every operation, every question, pause, resume and cancel. Nothing may read or
// write outside the frame image or the slots, no loop may spin, and the loader must stop cleanly.
#include "effects/bg_anime.h"
#include "display/surface_sprite.h"
#include "drawing/kad_file.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "support/fuzz_input.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

struct World {
    World()
    {
        folder = (std::filesystem::temp_directory_path() / ("tessaro-fuzz-anime-" + std::to_string(getpid())))
                     .string();
        std::filesystem::create_directories(folder);
        windows = "Z:" + folder;
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        SetBaseFolder((windows + "\\").c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
    }
    std::string folder;
    std::string windows;
    CFileManager files;
    CGllManager loaders;
};

World& TheWorld()
{
    static World* world = new World;
    return *world;
}

int32_t Word(FuzzInput& in)
{
    const uint32_t v = in.U32();
    switch (v >> 30) {
    case 0:
        return static_cast<int32_t>(v);
    default:
        return static_cast<int32_t>(v % 16) - 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    World& world = TheWorld();
    const size_t kadSize = in.U16();
    if (kadSize > size - in.pos)
        return 0;
    CKadFile kad;
    if (kad.LoadFromMemory(data + in.pos, static_cast<uint32_t>(kadSize)) != 0)
        return 0;
    in.pos += kadSize;
    const size_t frameSize = std::min<size_t>(in.U16(), size - std::min(size, in.pos));
    for (int k = 0; k < 4; ++k) {
        std::ofstream out(world.folder + "/F" + std::to_string(k) + ".ELG",
                          std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + in.pos), static_cast<std::streamsize>(frameSize));
    }
    in.pos += frameSize;

    CSurfaceSprite canvas;
    canvas.Create(1 + in.Small(64), 1 + in.Small(64), 32, 1);
    CTimerManager scheduler;
    g_bBgAnimeKeepTime = in.Small(2);
    CLayerEffect* effect = new CBgAnimeEffect;
    const int32_t group = Word(in), entry = Word(in), wrap = in.Small(2), play = in.Small(2);
    if (effect->SetUp(&scheduler, &canvas, static_cast<CGroupFile*>(&kad), world.windows.c_str(), group,
                      entry, wrap, play) != 0) {
        effect->Release();
        return 0;
    }
    effect->SetOwnerSlot(&effect);
    uint32_t now = in.U32();
    for (int op = 0; op < 64 && !in.AtEnd() && effect != nullptr; ++op) {
        switch (in.Small(6)) {
        case 0:
        case 1:
            now += in.Small(8) == 0 ? in.U32() : static_cast<uint32_t>(in.Small(300));
            scheduler.RunDue(now);
            break;
        case 2: {
            const int32_t operation = in.Small(8) - 1;
            effect->SetParams(operation, Word(in), Word(in));
            break;
        }
        case 3:
            effect->Query(nullptr, in.Small(8) - 1);
            break;
        case 4:
            in.Small(2) ? scheduler.PauseKind(-1) : scheduler.ResumeKind(-1);
            break;
        default:
            if (in.Small(4) == 0)
                scheduler.Cancel(effect);
            else
                SetBgAnimeFlag(CEffectArgs::Of(in.Small(2)), nullptr);
            break;
        }
    }
    scheduler.CancelAll();
    return 0;
}
