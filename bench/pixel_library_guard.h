// The pixel library loaded and published for one benchmark, as the game loads it at start-up;
// unpublished again at the end.
#pragma once

#include <memory>

#include "files/pixel_library.h"
#include "platform/cpu_info.h"

namespace bench {

struct PixelLibrary {
    PixelLibrary()
    {
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
    }
    ~PixelLibrary() { SetPixelLibrary(nullptr); }
    PixelLibrary(const PixelLibrary&) = delete;
    PixelLibrary& operator=(const PixelLibrary&) = delete;
    std::unique_ptr<CPixelLibrary> library;
};

} // namespace bench
