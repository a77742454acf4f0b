// The start-up report; see startup_report.h.
#include "platform/startup_report.h"

#include "platform/report_sources.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

std::string TimeLine(const char* format)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return ReportPrintf(format, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

const char* YesNo(bool yes)
{
    return yes ? "Yes" : "No";
}

const char* Mark(uint8_t present)
{
    return present ? winapi::Sjis("○") : winapi::Sjis("×");
}

BOOL CALLBACK ReportWindowTitleProc(HWND hwnd, LPARAM lines)
{
    char title[256] = {};
    if (IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == nullptr && GetWindowTextA(hwnd, title, sizeof title) > 0)
        *reinterpret_cast<std::string*>(lines) += ReportPrintf("%s\r\n", title);
    return TRUE;
}

} // namespace

CStartupReport::~CStartupReport()
{
    Close();
}

uint32_t CStartupReport::Open(const std::string& folder)
{
    Close();
    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    path += "SYS_LOG.TXT";
    m_file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_file == INVALID_HANDLE_VALUE ? 6 : 0;
}

void CStartupReport::Close()
{
    if (m_file != INVALID_HANDLE_VALUE) {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
}

void CStartupReport::Write(const std::string& text)
{
    if (m_file == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD written = 0;
    WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void CStartupReport::WriteStart(const ReportFrameInfo& frame, const CWindowsInfo& info, const CMonitorList* monitors)
{
    std::string text = TimeLine("< Initialize Start...  %04d/%02d/%02d  %02d:%02d:%02d >\r\n\r\n");
    text += ReportPrintf(winapi::Sjis("「%s」Version %s\r\n"), frame.title.c_str(),
                   AppVersionText(frame.versionMajor, frame.versionMinor, frame.revision).c_str());
    if (!frame.notice.empty())
        text += ReportPrintf("%s\r\n", frame.notice.c_str());
    if (!frame.webAddress.empty())
        text += ReportPrintf("%s\r\n", frame.webAddress.c_str());
    text += "\r\n[ System ]\r\n";
    text += ReportPrintf("OS       : %s (%s)\r\n", info.m_windowsName, info.m_versionText.c_str());
    text += ReportPrintf("Language : %s\r\n", info.m_language.c_str());
    text += ReportPrintf("Memory   : %dMB (Avail %dMB)\r\n", static_cast<int>(info.m_memoryEx.ullTotalPhys >> 20),
                   static_cast<int>(info.m_memoryEx.ullAvailPhys >> 20));
    text += "Display  : ";
    if (monitors == nullptr || monitors->Records().empty()) {
        text += ReportPrintf("%d x %d  %dbit %dHz (Not MonitorInfo)\r\n", info.m_screenWidth, info.m_screenHeight,
                       info.m_bitsPerPixel, info.m_refreshRate);
    } else {
        const auto& records = monitors->Records();
        for (size_t i = 0; i < records.size(); ++i) {
            const CMonitorRecord& r = records[i];
            if (i != 0)
                text += "\r\n           ";
            text += ReportPrintf("%d x %d  %dbit %dHz", static_cast<int>(r.monitorRect.right - r.monitorRect.left),
                           static_cast<int>(r.monitorRect.bottom - r.monitorRect.top), r.bitsPerPixel, r.refreshRate);
            if (r.primary && records.size() > 1)
                text += " (Primary)";
        }
        text += "\r\n";
    }
    text += "DirectX  : " + info.DirectXText();
    text += ReportPrintf("\r\nPageFile : %dMB (Avail %dMB)", static_cast<int>(info.m_memoryEx.ullTotalPageFile >> 20),
                   static_cast<int>(info.m_memoryEx.ullAvailPageFile >> 20));
    char module[256] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    text += ReportPrintf("\r\nModule   : %s", module);
    text += ReportPrintf("\r\nDirectory: %s\r\n\r\n\r\n", frame.programFolder.c_str());

    const CpuInfo& cpu = g_CpuInfo;
    text += "[ CPU ]\r\nName    : " + CpuNameText(cpu);
    text += ReportPrintf("\r\nVender  : %s\r\n", cpu.vendor);
    text += ReportPrintf("          Type %d / Family %d / Model %d / Stepping %d\r\n", cpu.type, cpu.family, cpu.model,
                   cpu.stepping);
    if (frame.measureCpuClock)
        text += "CpuClock: " + FormatCpuClock(MeasureCpuClock()) + ReportPrintf(" (%d CPU)\r\n", info.m_processorCount);
    text += "Cache   : " + CpuCacheText(cpu);
    text += ReportPrintf("\r\nSupport : FPU %s / TSC %s / CMOV %s\r\n", Mark(cpu.fpu), Mark(cpu.tsc), Mark(cpu.cmov));
    text += ReportPrintf("          MMX %s / SSE %s / SSE2 %s / SSE3 %s / MMX+ %s / 3DNow! %s / 3DNow!+ %s / HTT %s\r\n\r\n\r\n",
                   Mark(cpu.mmx), Mark(cpu.sse), Mark(cpu.sse2), Mark(cpu.sse3), Mark(cpu.amdMmxExtensions),
                   Mark(cpu.amd3DNow), Mark(cpu.amd3DNowExtended), Mark(cpu.htt));
    Write(text);
}

void CStartupReport::WriteDevices(const CInputManager& input, uint8_t inputMode)
{
    std::string text;
    if (inputMode == 0) {
        const CKeyboardDevice* keyboard = input.GetKeyboard();
        const CMouseDevice* mouse = input.GetMouse();
        text += "[ DirectInput ]\r\n";
        text += ReportPrintf("KeyBoard: %d Key\r\n", keyboard != nullptr ? static_cast<int>(keyboard->m_keyCount) : 0);
        text += ReportPrintf("Mouse   : %d Axes / %d Button", mouse != nullptr ? mouse->m_axisCount : 0,
                       mouse != nullptr ? mouse->m_buttonCount : 0);
    } else {
        text += inputMode == 2 ? "[ Input Window Message ]" : "[ Input Windows API ]";
    }
    text += "\r\nJoyStick: ";
    if (const CJoystickDevice* joystick = input.GetJoystick(0))
        text += ReportPrintf("No.%d / %s / %d Axes / %d Button", joystick->m_number, joystick->m_name.c_str(),
                       joystick->m_axisCount, static_cast<int>(joystick->m_buttonCount));
    else
        text += "None";
    text += "\r\n\r\n\r\n";

    text += "[ DirectSound ]\r\n";
    const SoundDeviceRecord* devices = RefreshSoundDevices();
    if (devices == nullptr) {
        text += "Unknown\r\n\r\n\r\n";
    } else {
        int number = 0;
        for (const SoundDeviceRecord* device = devices; device != nullptr; device = device->next) {
            if (device->pGuid == nullptr)
                continue;
            text += ReportPrintf("<Device %d>\r\n", ++number);
            text += ReportPrintf("Driver Name: %s\r\n", device->description.c_str());
            text += ReportPrintf("Driver File: %s\r\n", device->module.c_str());
        }
        text += "\r\n\r\n";
    }
    Write(text);
}

void CStartupReport::WriteDisplay(const ReportFrameInfo& frame)
{
    const DisplayReportFacts display = CurrentDisplayReportFacts();
    std::string text;
    if (display.fullScreen) {
        text += "[ FullScreen Mode ]\r\nDisplay : ";
        if (!display.adapterDescription.empty())
            text += ReportPrintf("%s\r\n          ", display.adapterDescription.c_str());
        text += ReportPrintf("%d x %d  %dbit\r\n", display.fullWidth, display.fullHeight, display.fullDepth);
    } else {
        text += "[ Window Mode ]\r\n";
    }
    if (!display.directDraw) {
        Write(text + "< GDI >\r\n\r\n\r\n");
        return;
    }
    text += "< DirectDraw >\r\n";
    text += ReportPrintf("Driver Name   : %s\r\n", display.driverName.c_str());
    text += ReportPrintf("Driver File   : %s\r\n", display.driverFile.c_str());
    text += ReportPrintf("Driver Version: %d.%d.%d.%d\r\n", display.driverVersion[0], display.driverVersion[1],
                   display.driverVersion[2], display.driverVersion[3]);
    text += std::string("DirectDraw    : ") + (display.hal ? "HAL" : "HEL");
    text += ReportPrintf("\r\nHAL StretchBlt: %s\r\n", YesNo(display.halStretch));
    if (display.videoMemoryTotal == 0)
        text += "VideoMemory   : Unknown\r\n";
    else
        text += ReportPrintf("VideoMemory   : %.3f MB (free: %.3f MB)\r\n", static_cast<double>(display.videoMemoryTotal) / 1048576,
                       static_cast<double>(display.videoMemoryFree) / 1048576);
    if (display.primaryExists) {
        text += ReportPrintf("Primary       : VRAM[%s]  Caps[0x%08x]\r\n", YesNo(display.primaryVram), display.primaryCaps);
        text += ReportPrintf("Secondary     : VRAM[%s]  Caps[0x%08x]\r\n", YesNo(display.secondaryVram), display.secondaryCaps);
        text += ReportPrintf("Pixel         : %dbit  Type[0x%04x]  RGB %d%d%d / %08x:%08x:%08x\r\n", display.pixelBits,
                       display.pixelType, display.redBits, display.greenBits, display.blueBits, display.redMask,
                       display.greenMask, display.blueMask);
    }
    Write(text);
    if (frame.direct3DReport && display.direct3D) {
        WriteDirect3D(frame, display);
        Write("\r\n\r\n");
    } else if (display.deviceBlit) {
        Write("< Direct3D >\r\n" +
              ReportPrintf("Texture       : %d x %d  Type[0x%04x]\r\n", display.textureWidth, display.textureHeight,
                     display.textureType) +
              ReportPrintf("DirectBlt     : %s\r\n", YesNo(display.directBlt)) + "\r\n\r\n");
    } else {
        Write("\r\n\r\n");
    }
}

void CStartupReport::WriteDirect3D(const ReportFrameInfo& frame, const DisplayReportFacts& display)
{
    static const char* const kDevices[] = {"HEL", "HAL", "T&L"};
    static const char* const kFormats[] = {
        "16bpp   RGB    5,5,5\r\n",   "16bpp   RGB    5,6,5\r\n", "16bpp  ARGB  1,5,5,5\r\n",
        "16bpp  ARGB  4,4,4,4\r\n", "24bpp   RGB    8,8,8\r\n", "32bpp   RGB    8,8,8\r\n",
        "32bpp  ARGB  8,8,8,8\r\n",
    };
    std::string text = "< Direct3D >\r\n";
    text += ReportPrintf("Device : %s\r\n", kDevices[display.d3dDevice >= 0 && display.d3dDevice < 3 ? display.d3dDevice : 0]);
    if (frame.useZBuffer)
        text += ReportPrintf("ZBuffer: %dbit\r\n", display.zBufferBits);
    text += "\r\n<Support Texture>\r\n";
    for (int i = 0; i < 7; ++i)
        if (display.textureFormats >> i & 1)
            text += kFormats[i];
    text += ReportPrintf("\r\nMax Texture Stages: %d\r\n", display.maxTextureStages);
    text += ReportPrintf("Min Texture Size  : %d x %d\r\n", display.minTextureWidth, display.minTextureHeight);
    text += ReportPrintf("Max Texture Size  : %d x %d\r\n\r\n", display.maxTextureWidth, display.maxTextureHeight);
    text += ReportPrintf("DrawPrimitiveVertex: %s\r\n", YesNo(display.drawPrimitiveVertex));
    text += ReportPrintf("GouraudAlpha       : %s\r\n", YesNo(display.gouraudAlpha));
    text += ReportPrintf("AlphaTest          : %s\r\n", YesNo(display.alphaTest));
    text += ReportPrintf("ZBufferLessHSR     : %s\r\n", YesNo(display.zBufferLessHsr));
    text += "\r\n<Caps>\r\n";
    text += ReportPrintf("TextureCaps  : 0x%08x\r\n", display.textureCaps);
    text += ReportPrintf("TextureOpCaps: 0x%08x\r\n", display.textureOpCaps);
    text += ReportPrintf("SrcBlendCaps : 0x%08x\r\n", display.srcBlendCaps);
    text += ReportPrintf("DestBlendCaps: 0x%08x\r\n", display.destBlendCaps);
    text += "\r\n<Texture Limitation>\r\n";
    if (display.powerOfTwo)
        text += "The square of 2\r\n";
    if (display.noLimitation)
        text += "No Limitation\r\n";
    if (display.squareOnly)
        text += "Only a square\r\n";
    Write(text);
}

void CStartupReport::WriteFinish(const CWindowsInfo& info)
{
    std::string text = "[ Drive Info ]\r\n";
    const std::string windows = UpperWindowsFolder();
    ForEachDrive([&](const std::string& root, UINT type) {
        text += ReportPrintf(" [%s] ", root.c_str());
        switch (type) {
        case DRIVE_REMOVABLE: text += "Removable Drive\r\n"; return;
        case DRIVE_REMOTE: text += "Network Drive\r\n"; return;
        case DRIVE_CDROM: text += "CD/DVD-ROM Drive\r\n"; return;
        case DRIVE_RAMDISK: text += "RAM-Disk Drive\r\n"; return;
        case DRIVE_FIXED: break;
        default: text += "Unknown\r\n"; return;
        }
        uint64_t freeBytes = 0, totalBytes = 0;
        if (!info.GetDiskFreeSpace(root.c_str(), &freeBytes, &totalBytes)) {
            text += "Unknown\r\n";  // a failed size query used to print a size of garbage
            return;
        }
        text += GroupedMegabytes(freeBytes >> 20) + " / " + GroupedMegabytes(totalBytes >> 20) + " MB";
        if (!windows.empty() && windows.compare(0, root.size(), root) == 0)
            text += ReportPrintf(" (%s)", windows.c_str());
        text += "\r\n";
    });
    text += "\r\n\r\n[ Application ]\r\n";
    EnumWindows(ReportWindowTitleProc, reinterpret_cast<LPARAM>(&text));
    text += "\r\n\r\n[ Process ]\r\n";
    if (!ForEachProcess(info.m_isNt != 0, [&](const char* line) { text += ReportPrintf("%s\r\n", line); }))
        text += "Error\r\n";
    text += TimeLine("\r\n< Initialize Done...  %04d/%02d/%02d  %02d:%02d:%02d >\r\n");
    Write(text);
    Close();
}
