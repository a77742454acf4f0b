#include "platform/monitor_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "winapi/kernel.h"

CMonitorList* g_pMonitorList = nullptr;

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT rect, LPARAM data)
{
    auto* records = reinterpret_cast<std::vector<CMonitorRecord>*>(data);
    CMonitorRecord record;
    record.monitor = monitor;
    if (rect != nullptr)
        record.monitorRect = *rect;
    records->push_back(record);
    return TRUE;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

int Width(const RECT& r)
{
    return r.right - r.left;
}

int Height(const RECT& r)
{
    return r.bottom - r.top;
}

} // namespace

CMonitorList::CMonitorList()
{
    Refresh();
    DescribeAdapters();
}

CMonitorList::~CMonitorList() = default;

void CMonitorList::Refresh()
{
    m_records.clear();
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&m_records));
    for (CMonitorRecord& record : m_records) {
        MONITORINFOEXA info{};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoA(record.monitor, reinterpret_cast<MONITORINFO*>(&info))) {
            record.workRect = info.rcWork;
            std::memcpy(record.deviceName, info.szDevice, sizeof(record.deviceName));
            record.deviceName[sizeof(record.deviceName) - 1] = '\0';
        }
        HDC dc = CreateDCA(record.deviceName, record.deviceName, nullptr, nullptr);
        if (dc == nullptr) {
            record.bitsPerPixel = 0;
            record.refreshRate = 0;
            continue;
        }
        record.bitsPerPixel = static_cast<uint8_t>(GetDeviceCaps(dc, BITSPIXEL));
        const int refresh = GetDeviceCaps(dc, VREFRESH);
        record.refreshRate = refresh < 2 ? 0 : static_cast<uint16_t>(refresh);
        DeleteDC(dc);
    }
}

uint32_t CMonitorList::DescribeAdapters()
{
    if (m_records.empty())
        return 1;
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i, device = DISPLAY_DEVICEA{}, device.cb = sizeof(device)) {
        if (!(device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP))
            continue;
        for (CMonitorRecord& record : m_records) {
            if (lstrcmpA(device.DeviceName, record.deviceName) != 0)
                continue;
            std::memcpy(record.description, device.DeviceString, sizeof(device.DeviceString));
            record.description[sizeof(device.DeviceString) - 1] = '\0';
            record.primary = (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) ? 1 : 0;
            record.secondDevice = (device.StateFlags & (1u << 27)) ? 1 : 0;
            record.duplicate = 255;
        }
    }
    // Several monitors on identical adapters: number them "[1]", "[2]", ... in list order.
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].duplicate != 255)
            continue;
        int next = 2;
        for (size_t j = i + 1; j < m_records.size(); ++j) {
            if (m_records[j].duplicate != 255 || std::strcmp(m_records[j].description, m_records[i].description) != 0)
                continue;
            // The original writes one digit into "[ ]", which turns ten and more into other
            // characters; the number is written out in full here.
            char suffix[16];
            std::snprintf(suffix, sizeof(suffix), "[%d]", next);
            std::strncat(m_records[j].description, suffix,
                         sizeof(m_records[j].description) - std::strlen(m_records[j].description) - 1);
            m_records[j].duplicate = static_cast<uint8_t>(next < 255 ? next : 254);
            ++next;
        }
        if (next > 2) {
            std::strncat(m_records[i].description, "[1]",
                         sizeof(m_records[i].description) - std::strlen(m_records[i].description) - 1);
            m_records[i].duplicate = 1;
        }
    }
    return 0;
}

uint32_t CMonitorList::GetMonitorRect(RECT* out, HMONITOR monitor) const
{
    for (const CMonitorRecord& record : m_records) {
        if (record.monitor == monitor) {
            *out = record.monitorRect;
            return 0;
        }
    }
    *out = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return 1;
}

HMONITOR CMonitorList::FindMonitorFitting(int width, int height) const
{
    if (width < 1 || height < 1)
        return nullptr;
    for (const CMonitorRecord& record : m_records)
        if (Width(record.monitorRect) >= width && Height(record.monitorRect) >= height)
            return record.monitor;
    return nullptr;
}

int CMonitorList::PlaceRect(int32_t* x, int32_t* y, int width, int height, bool anyMonitor, bool centre) const
{
    if (m_records.empty() || width < 1 || height < 1)
        return -1;
    // Edges past the integer range stop at its end (a stored position near INT_MAX overflowed).
    const auto edge = [](int64_t v) { return static_cast<LONG>(std::min<int64_t>(v, INT32_MAX)); };
    const RECT rect{*x, *y, edge(int64_t{*x} + width), edge(int64_t{*y} + height)};
    if (!anyMonitor) {
        for (const CMonitorRecord& record : m_records)
            if (Inside(rect, record.workRect))
                return 0;
    }
    const CMonitorRecord* target = &m_records.front();
    const HMONITOR nearest = MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    for (const CMonitorRecord& record : m_records)
        if (record.monitor == nearest)
            target = &record;
    RECT area = target->workRect;
    bool mayCentre = true;
    if (Width(area) < width || Height(area) < height) {
        mayCentre = false;
        for (const CMonitorRecord& record : m_records) {
            if (Width(record.monitorRect) >= width && Height(record.monitorRect) >= height) {
                area = record.workRect;
                mayCentre = true;
                break;
            }
        }
    }
    *x = area.left;
    *y = area.top;
    if (centre && mayCentre) {
        const int dx = Width(area) / 2 - width / 2;
        const int dy = Height(area) / 2 - height / 2;
        if (dx >= 0 && dy >= 0) {
            *x += dx;
            *y += dy;
        }
    }
    return 1;
}
