// The pixel library's globals, its two exports and its registration as a built-in module.
#include "raster/pixel_lib.h"

#include "raster/pixel_lib_entries.h"
#include "raster/pixel_lib_handoff.h"
#include "winapi/kernel_module.h"

CPixelLibrary* g_pPixelLib = nullptr;
RECT* g_pPixelLibChangedRect = nullptr;
PixelLibEntries g_PixelLibFuncs;

namespace pixel_lib {

ConfigKernels g_kernels{CopyRows32, CopyColorRows32, CopyAlphaRows32};
RECT g_changed{0, 0, 0, 0};

RECT LastChange()
{
    return g_pPixelLibChangedRect ? *g_pPixelLibChangedRect : RECT{0, 0, 0, 0};
}

int Finish(CImage& dst, int result, int failure)
{
    if (result != 0) {
        return failure;
    }
    // An empty report changed nothing: the region and the flag stay as the operation's own path
    // would leave them.
    const RECT r = LastChange();
    if (r.left < r.right && r.top < r.bottom) {
        dst.MarkChanged(r);
    }
    return 0;
}

} // namespace pixel_lib

void PixelLibConfig(int, PixelLibCopyKernel copyRows, PixelLibCopyKernel copyColorRows,
                    PixelLibCopyKernel copyAlphaRows)
{
    // A null kernel keeps the plain one: the library never calls through a null pointer.
    pixel_lib::g_kernels.copyRows = copyRows ? copyRows : CopyRows32;
    pixel_lib::g_kernels.copyColorRows = copyColorRows ? copyColorRows : CopyColorRows32;
    pixel_lib::g_kernels.copyAlphaRows = copyAlphaRows ? copyAlphaRows : CopyAlphaRows32;
}

CPixelLibTable* PixelLibGetLibrary(const CpuInfo*)
{
    auto* table = new CPixelLibTable;
    table->changedRect = &pixel_lib::g_changed;
    table->entries = pixel_lib::Entries();
    return table;
}

bool RegisterPixelLibraryModule()
{
    static const winapi::BuiltinProc kProcs[] = {
        {kPixelLibConfigExport, winapi::ToFarProc(&PixelLibConfig)},
        {kPixelLibGetLibraryExport, winapi::ToFarProc(&PixelLibGetLibrary)},
    };
    return winapi::RegisterBuiltinModule(kPixelLibModuleName, kProcs, std::size(kProcs));
}
