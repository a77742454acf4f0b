// The pixel library's globals, its two exports and its registration as a built-in module.
#include "raster/pixel_lib.h"

#include "raster/pixel_lib_entries.h"
#include "winapi/kernel_module.h"

CPixelLibrary* g_pPixelLib = nullptr;
RECT* g_pPixelLibChangedRect = nullptr;
PixelLibEntries g_PixelLibFuncs;

namespace pixel_lib {

ConfigKernels g_kernels{CopyRows32, CopyColorRows32, CopyAlphaRows32};
RECT g_changed{0, 0, 0, 0};

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
