// Arbitrary bytes as a parts list: byte 0 holds the set-up options (bit 0 read the "#s" blocks,
// bit 1 own scenes, bit 2 both pages, bit 3 zoom 0.5, bit 4 zoom 3), the rest is the list, loaded
// by sp_parts over a front and a back canvas from a folder holding two pictures ("a.bmp" 8 x 6,
// "b.bmp" 3 x 5). A refused set-up must leave both scenes' lists empty; a running effect is
// stepped a few hundred times on the virtual clock with show and stop requests taken from the
// bytes, then cancelled, after which the lists must be empty again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "display/surface_sprite.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "effects/sp_parts.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "platform/timer_manager.h"
#include "raster/image.h"
#include "winapi/clock.h"
#include "winapi/kernel.h"

namespace {

struct World {
    std::string folder;
    std::string path;
    CFileManager files;
    CGllManager loaders;
    std::unique_ptr<CPixelLibrary> library;
    CSurfaceSprite front;
    CSurfaceSprite back;
    CImage background;
    World()
    {
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tessaro-fuzz-parts-" + std::to_string(getpid());
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\FUZZ.TXT";
        g_pFileManager = &files;
        SetBaseFolder(folder.c_str());
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        const struct {
            const char* name;
            int w, h;
        } pictures[] = {{"a.bmp", 8, 6}, {"b.bmp", 3, 5}};
        for (const auto& p : pictures) {
            CImage image;
            image.Create(p.w, p.h, 32, 0);
            image.FillRect32(0xFF336699u, nullptr);
            image.ExportPixels((folder + "\\" + p.name).c_str(), 0, 0);
        }
        front.Create(32, 24, 32, 1);
        back.Create(32, 24, 32, 1);
        front.SetBackCanvas(&back);
        background.Create(32, 24, 32, 0);
        front.GetScene()->SetBackgroundImage(&background, 0, 0, false);
        back.GetScene()->SetBackgroundImage(&background, 0, 0, false);
        winapi::UseVirtualClock(true);
        winapi::SetVirtualTime(1000);
    }
    ~World()
    {
        for (const char* name : {"FUZZ.TXT", "a.bmp", "b.bmp"})
            DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
        SetPixelLibrary(nullptr);
    }
    bool Empty()
    {
        return front.GetScene()->GetList().Head() == nullptr && back.GetScene()->GetList().Head() == nullptr;
    }
};

World& Shared()
{
    static World world;
    return world;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    World& w = Shared();
    const uint8_t options = data[0];
    HANDLE file = CreateFileA(w.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    WriteFile(file, data + 1, static_cast<DWORD>(size - 1), &written, nullptr);
    CloseHandle(file);

    CTimerManager scheduler;
    const double zoom = (options & 8) ? 0.5 : (options & 16) ? 3.0 : 1.0;
    auto* effect = new CSpPartsEffect;
    const int code = effect->SetUp(&scheduler, &w.front, "FUZZ.TXT", 2, 3, 100, options & 1, zoom, 0,
                                   (options & 2) != 0, (options & 4) != 0, 1, 1);
    if (code != 0) {
        delete effect;
        if (!w.Empty())
            __builtin_trap();
        return 0;
    }
    uint32_t now = timeGetTime();
    for (int i = 0; i < 300; ++i) {
        const uint8_t b = size > 1 ? data[1 + static_cast<size_t>(i) % (size - 1)] : 0;
        now += 1 + (b & 63) * ((i % 50 == 49) ? 1000 : 1);
        scheduler.RunDue(now);
        if (scheduler.Contains(effect) && i % 37 == 36)
            effect->SetParams(b % 3, b >> 4, b & 1, (b >> 1) & 1);
    }
    scheduler.CancelAll();
    if (!w.Empty())
        __builtin_trap();
    return 0;
}
