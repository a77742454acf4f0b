// The displays of the machine as the host reports them: bounds, work area, depth, refresh rate
// and device name. GDI's device facts and the monitor calls read them. Internal to winapi.
#pragma once

#include <string>
#include <vector>

#include "winapi/base.h"

namespace winapi {

struct DisplayInfo {
    RECT bounds{0, 0, 1920, 1080};
    RECT work{0, 0, 1920, 1040};
    int bitsPerPixel = 32;
    int refreshHz = 60;
    std::string deviceName = "\\\\.\\DISPLAY1";
    std::string adapter = "Tessaro Display Adapter";  // the adapter's description
    bool primary = true;
};

// The displays now, primary first; never empty (one default display when the host knows none).
std::vector<DisplayInfo> CurrentDisplays();

// Replaces the list (the host, at start and when the displays change; tests). Primary first.
void SetDisplays(std::vector<DisplayInfo> displays);

} // namespace winapi
