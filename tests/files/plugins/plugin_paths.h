// Where the tests' plug-in libraries are built, as Linux and Windows paths, and whether one is
// mapped into the process now.
#pragma once

#include <dlfcn.h>

#include <string>

#include "winapi/kernel.h"

namespace plugin_test {

// relative: below the build's tests/files/plugins, e.g. "objects/first.DCP".
inline std::string LinuxPlugin(const std::string& relative)
{
    return std::string(TESSARO_BINARY_DIR) + "/tests/files/plugins/" + relative;
}

inline std::string Plugin(const std::string& relative)
{
    return winapi::WindowsPathFromLinux(LinuxPlugin(relative));
}

inline bool Mapped(const std::string& relative)
{
    void* handle = dlopen(LinuxPlugin(relative).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

} // namespace plugin_test
