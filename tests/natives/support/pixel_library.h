// Our pixel library (sprites take images and draw through it), published for the object's life.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "raster/pixel_lib.h"

struct TestPixelLibrary {
    TestPixelLibrary()
    {
        EXPECT_TRUE(RegisterPixelLibraryModule());
        library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
    }
    ~TestPixelLibrary() { SetPixelLibrary(nullptr); }
    std::unique_ptr<CPixelLibrary> library;
};
