// The pixel-library loader: loads "tvpgl.dll" (our built-in module, found in any folder), hands it
// the copy kernels that match the MMX flag, takes its entry table and publishes it to the raster
// (g_pPixelLib, g_pPixelLibChangedRect, g_PixelLibFuncs in raster/pixel_lib.h).
#pragma once

#include "raster/pixel_lib.h"
#include "winapi/kernel.h"

class CPixelLibrary {
public:
    CPixelLibrary() = default;
    CPixelLibrary(const CPixelLibrary&) = delete;
    CPixelLibrary& operator=(const CPixelLibrary&) = delete;
    // Deletes the table, frees the module; when this library is the published one, the raster's
    // globals are cleared first.
    virtual ~CPixelLibrary();

    HMODULE module = nullptr;        // null: the library is not usable
    CPixelLibTable* table = nullptr; // owned
};

// Loads the library at path (made full first) with the processor record (null: the plain
// kernels). Always answers an object; it has no module when the path cannot be made full, the
// module does not load, an export is missing, GetLibrary gives no table or the table lacks an
// entry. Null only when the object itself cannot be allocated.
CPixelLibrary* LoadPixelLibrary(const char* path, const CpuInfo* record);
// g_pPixelLib := library when it is non-null and has a module (its table published), else null
// (the raster globals cleared). The library stays the caller's.
void SetPixelLibrary(CPixelLibrary* library);
