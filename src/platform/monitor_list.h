// CMonitorList records the desktop's monitors with their rectangles, colour depth, refresh rate
// and adapter description. The frame owns one and publishes it as g_pMonitorList; window
// placement, the windowed-mode test, WM_DISPLAYCHANGE and the start-up report use it.
#pragma once

#include <vector>

#include "winapi/user.h"

struct CMonitorRecord {
    HMONITOR monitor = nullptr;
    uint8_t bitsPerPixel = 0;   // 0 when no DC could be made for the device
    uint16_t refreshRate = 0;   // values below 2 are stored as 0
    RECT monitorRect{0, 0, 0, 0};
    RECT workRect{0, 0, 0, 0};
    char deviceName[32] = {};
    char description[128 + 8] = {};  // the adapter's DeviceString, with "[n]" for duplicates
    uint8_t primary = 0;
    uint8_t secondDevice = 0;   // bit 27 of the display device's state flags
    uint8_t duplicate = 0;      // 255 after matching; 1, 2, ... when descriptions repeat
};

class CMonitorList {
public:
    // Refresh and the description pass.
    CMonitorList();
    virtual ~CMonitorList();

    // Empties the list and enumerates the monitors again (rectangles, work areas, device names,
    // depth and refresh rate); descriptions are left cleared.
    void Refresh();
    // Gives each record its adapter description, primary flag and duplicate number.
    // → 1 with no records, else 0.
    uint32_t DescribeAdapters();
    // → 0 with the monitor's rectangle; 1 (and the primary screen's size) for an unknown monitor.
    uint32_t GetMonitorRect(RECT* out, HMONITOR monitor) const;
    // The first monitor at least width x height; null when none, the list is empty or a size < 1.
    HMONITOR FindMonitorFitting(int width, int height) const;
    // Moves (x, y) so that the rectangle lies on a monitor's work area (centred with centre).
    // → -1 with no records or a size < 1; 0 when it already lies on one (anyMonitor false); 1 moved.
    int PlaceRect(int32_t* x, int32_t* y, int width, int height, bool anyMonitor, bool centre) const;

    const std::vector<CMonitorRecord>& Records() const { return m_records; }

private:
    std::vector<CMonitorRecord> m_records;
};

// The frame's monitor list (null until the frame publishes it).
extern CMonitorList* g_pMonitorList;
