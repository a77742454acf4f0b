// Arbitrary bytes as a KGM parts file: parsed for both readers, then loaded by reader B into a
// control set and a form, and by reader A over a real screen and scene, from a folder holding a
// few valid pictures. After a failure nothing the load made may remain (the set and the form
// empty; the screen's lists, the scene's list and background as they were); after a success
// everything is deleted again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "controls/control_container.h"
#include "controls/control_set.h"
#include "controls/parts_file.h"
#include "controls/parts_file_b.h"
#include "display/screen.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "winapi/kernel.h"

namespace {

struct Folder {
    std::string folder;
    std::string path;
    CFileManager files;
    CGllManager loaders;
    std::unique_ptr<CPixelLibrary> library;
    CImage target;
    CImage earlier;
    Folder()
    {
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tessaro-fuzz-kgm-" + std::to_string(getpid());
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\FUZZ.GMP";
        g_pFileManager = &files;
        SetBaseFolder(folder.c_str());
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        // Pictures the seeds name: a.bmp (8 x 6), b.bmp (3 x 5), c (4 x 4, no extension).
        const struct {
            const char* name;
            int w, h;
        } pictures[] = {{"a.bmp", 8, 6}, {"b.bmp", 3, 5}, {"c", 4, 4}};
        for (const auto& p : pictures) {
            CImage image;
            image.Create(p.w, p.h, 32, 0);
            image.FillRect32(0xFF336699u, nullptr);
            image.ExportPixels((folder + "\\" + p.name).c_str(), 0, 0);
        }
        target.Create(32, 24, 32, 0);
        earlier.Create(32, 24, 32, 0);
    }
    ~Folder()
    {
        for (const char* name : {"FUZZ.GMP", "a.bmp", "b.bmp", "c"})
            DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
        SetPixelLibrary(nullptr);
    }
};

// A form with no input: reader B only links controls into it.
class Form : public CControlContainer {
public:
    ~Form() override { RemoveAllControls(); }
    void GetCursorPos(int* x, int* y) override { *x = *y = 0; }
    CActionMap* GetActionMap() override { return nullptr; }
    CInputSource* GetKeyboard() override { return nullptr; }
    CInputSource* GetMouse() override { return nullptr; }
};

void LoadReaderB(Folder& f, const uint8_t* data, size_t size)
{
    CScreen screen;
    CScene scene;
    scene.SetTarget(&f.target, false);
    CControlSet set;
    set.SetScene(&scene);
    Form form;
    CPartsFileB parts;
    const int code = parts.Load(&set, &form, f.path.c_str(), 3, 5, size > 1 && (data[1] & 1),
                                size > 2 && (data[2] & 2) ? nullptr : &screen);
    if (code != 0 && (parts.GetCount() != 0 || set.GetCount() != 0 || !form.GetControls().empty()))
        __builtin_trap();
    set.DeleteAll();
}

Folder& Shared()
{
    static Folder folder;
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Folder& f = Shared();
    PartsLayout layout;
    for (EPartsReader reader : {EPartsReader::A, EPartsReader::B}) {
        size_t offset = 0;
        if (ParsePartsFile(data, size, reader, &layout, &offset) != 0 && offset > size)
            __builtin_trap();
    }
    HANDLE file = CreateFileA(f.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);

    LoadReaderB(f, data, size);

    CScreen screen;
    CScene scene;
    CDrawList overlay;
    scene.SetTarget(&f.target, false);
    scene.SetBackgroundImage(&f.earlier, 0, 0, false);
    if (size > 0 && (data[0] & 1))
        scene.SetOverlay(&overlay);
    CPartsFileA parts;
    const int code = parts.Load(&screen, &scene, f.path.c_str(), 3, size > 1 && (data[1] & 1), size > 2 && (data[2] & 1));
    CSurface* background = nullptr;
    scene.GetBackground(&background, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (code != 0) {
        if (parts.GetCount() != 0 || screen.DrawableCount() != 0 || screen.SurfaceCount() != 0 ||
            scene.GetList().Head() != nullptr || overlay.Head() != nullptr || background != &f.earlier)
            __builtin_trap();
        return 0;
    }
    CImage out;
    out.Create(32, 24, 32, 0);
    scene.RenderToImage(&out, 0, 0, true);
    scene.SetBackgroundImage(nullptr, 0, 0, false);
    scene.SetOverlay(nullptr);
    return 0;
}
