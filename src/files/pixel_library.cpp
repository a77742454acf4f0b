// The pixel-library loader (see pixel_library.h).
#include "files/pixel_library.h"

#include "files/path_utils.h"
#include "platform/cpu_info.h"

#include <new>

namespace {

// Every slot the raster and its callers use; a table missing one leaves the library unused.
bool Complete(const PixelLibEntries& e)
{
    const void* const slots[] = {
        reinterpret_cast<const void*>(e.fill32),
        reinterpret_cast<const void*>(e.fill8),
        reinterpret_cast<const void*>(e.fillColor),
        reinterpret_cast<const void*>(e.fillColorMode),
        reinterpret_cast<const void*>(e.fillAlpha),
        reinterpret_cast<const void*>(e.blend),
        reinterpret_cast<const void*>(e.stretchBlend),
        reinterpret_cast<const void*>(e.drawQuad),
        reinterpret_cast<const void*>(e.drawTransformed),
        reinterpret_cast<const void*>(e.op13),
        reinterpret_cast<const void*>(e.mirror32),
        reinterpret_cast<const void*>(e.mirror8),
        reinterpret_cast<const void*>(e.flip32),
        reinterpret_cast<const void*>(e.flip8),
        reinterpret_cast<const void*>(e.op21),
        reinterpret_cast<const void*>(e.op22),
        reinterpret_cast<const void*>(e.op23),
        reinterpret_cast<const void*>(e.op24),
        reinterpret_cast<const void*>(e.crossFade),
        reinterpret_cast<const void*>(e.ruleFade),
        reinterpret_cast<const void*>(e.fadePixels),
    };
    for (const void* slot : slots) {
        if (!slot) {
            return false;
        }
    }
    return true;
}

void ClearGlobals()
{
    g_pPixelLib = nullptr;
    g_pPixelLibChangedRect = nullptr;
    g_PixelLibFuncs = PixelLibEntries{};
}

} // namespace

CPixelLibrary::~CPixelLibrary()
{
    if (g_pPixelLib == this) {
        ClearGlobals();
    }
    delete table;
    table = nullptr;
    if (module) {
        FreeLibrary(module);
        module = nullptr;
    }
}

CPixelLibrary* LoadPixelLibrary(const char* path, const CpuInfo* record)
{
    auto* library = new (std::nothrow) CPixelLibrary;
    if (!library) {
        return nullptr;
    }
    char full[MAX_PATH];
    if (!path || MakeFullPath(full, path, nullptr) == 0) {
        return library;
    }
    HMODULE module = LoadLibraryA(full);
    if (!module) {
        return library;
    }
    auto config = reinterpret_cast<PixelLibConfigProc>(GetProcAddress(module, kPixelLibConfigExport));
    auto getLibrary =
        reinterpret_cast<PixelLibGetLibraryProc>(GetProcAddress(module, kPixelLibGetLibraryExport));
    if (!config || !getLibrary) {
        FreeLibrary(module);
        return library;
    }
    const bool simd = record && record->mmx;
    if (simd) {
        config(0, CopyRows32Mmx, CopyColorRows32Mmx, CopyAlphaRows32Mmx);
    } else {
        config(0, CopyRows32, CopyColorRows32, CopyAlphaRows32);
    }
    CPixelLibTable* table = getLibrary(record);
    if (!table || !table->changedRect || !Complete(table->entries)) {
        delete table;
        FreeLibrary(module);
        return library;
    }
    library->module = module;
    library->table = table;
    return library;
}

void SetPixelLibrary(CPixelLibrary* library)
{
    if (!library || !library->module || !library->table) {
        ClearGlobals();
        return;
    }
    g_pPixelLib = library;
    g_pPixelLibChangedRect = library->table->changedRect;
    g_PixelLibFuncs = library->table->entries;
}
