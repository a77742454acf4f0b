// The screen's display-device list (one record per monitor, with the DirectDraw driver and the
// full-screen mode size found for the game) and the scaled output that shows the game, aspect
// kept, inside a larger target with black borders.
#pragma once

#include <cstdint>
#include <string>

#include "winapi/base.h"

struct CDisplayDeviceRecord {
    HMONITOR monitor = nullptr;
    uint8_t monitorDepth = 0;  // 0: the desktop's depth
    std::string deviceName;
    std::string displayName;   // " (Primary)" appended for the primary when there are two or more
    GUID driverGuid{};
    bool driverHasGuid = false;
    DWORD depthMask = 0;       // depth bits (bit 0 32 ... bit 3 8 bits per pixel) shifted left by 8
    GUID hardwareDevice{};     // the driver's first hardware-rasterising device; zero when none
    DWORD renderDepths = 0;
    DWORD fullScreenWidth = 0; // 0, 0: no mode for the game's size
    DWORD fullScreenHeight = 0;
    bool exactHeight = false;
    bool hardware3D = false;
    bool has60Hz = false;
};

struct CScaledOutput {
    bool active = false;
    LONG targetWidth = 0;
    LONG targetHeight = 0;
    LONG x = 0;
    LONG y = 0;
    LONG width = 0;
    LONG height = 0;
    bool borders = false;
    RECT border[2]{};
    LONG windowWidth = 0;
    LONG windowHeight = 0;
};
