// Publishes our pixel library (the built-in module, loaded as start-up loads it) for a scope.
#pragma once

#include "files/pixel_library.h"
#include "platform/cpu_info.h"

#include <gtest/gtest.h>

#include <memory>

namespace pixel_lib_test {

class Published {
public:
    Published()
    {
        EXPECT_TRUE(RegisterPixelLibraryModule());
        m_library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(m_library.get());
        EXPECT_NE(g_pPixelLib, nullptr);
    }
    ~Published() { SetPixelLibrary(nullptr); }
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

private:
    std::unique_ptr<CPixelLibrary> m_library;
};

} // namespace pixel_lib_test
